// The bill windows' data paths, one group per concern, each against a raw baseline measured in
// the same run:
//   - one bill's rows among many: its attachments among 10^6 rows and its audit log among 10^6
//     rows by 10^4 employees (the dialogs' reads against a raw prepared select and fetch), 1,000
//     tickets of one bill among 10^5 (the read, and the dialog to its first painted screen), and
//     a store's rule with 200 column settings;
//   - attachments' file store: a 256 MiB file stored (MD5File + putFile) and fetched
//     (downloadFile), against an MD5 pass and an incremental blob write / a blob read and a file
//     write with raw sqlite3 calls; with the growth of the peak resident size of each.
//   bench_bill [--benchmark_filter=...]
#include <sqlite3.h>

#include <unistd.h>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "BenchDatabase.h"
#include "BenchMain.h"
#include "BenchSession.h"
#include "base/ProgramHome.h"
#include "bill/uCustBillRuleObj.h"
#include "bill/uImgAttachListForm.h"
#include "bill/ubilllogviewform.h"
#include "bill/uticketeditform.h"
#include "db/DataServices.h"

using namespace Qd::Core;
using namespace Qd::Core::Db;

namespace {

// ---- memory ------------------------------------------------------------------------------

// A figure of /proc/self/status in KiB ("VmHWM", "VmRSS"); 0 where there is none.
qint64 statusKiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The growth of the peak resident size while it lives: the peak is reset when it starts (Linux's
// clear_refs), so what it reports is the most memory the measured step held beyond what was
// resident before it.
class PeakGrowth {
public:
    PeakGrowth() {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        m_before = statusKiB("VmRSS:");
    }
    double mib() const { return double(statusKiB("VmHWM:") - m_before) / 1024.0; }

private:
    qint64 m_before;
};

// ---- attachments' file store ----------------------------------------------------------------

constexpr qint64 kFileBytes = qint64(256) << 20;
constexpr qint64 kChunk = qint64(1) << 20;

// A 256 MiB file in a temporary folder under /tmp, the data services' database beside it (also
// the program home, for the downloaded copies), and a raw connection to a database of its own
// in the same mode, for the baselines. Made once for the group, removed at exit.
struct FileStoreBench {
    QTemporaryDir dir{QStringLiteral("/tmp/qd_bench_bill_XXXXXX")};
    QString source;
    QString name;  // as the attachment list names it: MD5 hex + extension
    std::unique_ptr<Qd::Bench::BenchDatabase> services;
    sqlite3* raw = nullptr;

    FileStoreBench() {
        Qd::Core::Sys::setProgramHome(dir.path());
        source = dir.filePath(QStringLiteral("scan.tif"));
        QFile out(source);
        out.open(QIODevice::WriteOnly);
        QByteArray chunk(int(kChunk), Qt::Uninitialized);
        for (qint64 done = 0; done < kFileBytes; done += kChunk) {
            for (int i = 0; i < chunk.size(); i += 64)
                chunk[i] = char((done + i) / 4096);
            out.write(chunk);
        }
        out.close();
        name = MD5Print(MD5File(source)) + QStringLiteral(".tif");
        services = std::make_unique<Qd::Bench::BenchDatabase>();
        setDataServices(services->db.get());
        sqlite3_open(dir.filePath(QStringLiteral("raw.db")).toUtf8().constData(), &raw);
        sqlite3_exec(raw,
                     "PRAGMA journal_mode=WAL;"
                     "create table files(id integer primary key, md5 text, size integer,"
                     " content blob)",
                     nullptr, nullptr, nullptr);
    }
    ~FileStoreBench() { sqlite3_close(raw); }

    static FileStoreBench& get() {
        static FileStoreBench bench;
        return bench;
    }
};

// Writes the rest of `file` (kFileBytes) into a new row of the raw table with raw calls:
// insert a zeroblob, then the blob written chunk by chunk, in one transaction. Its rowid, or -1.
qint64 rawStore(sqlite3* db, QFile& file, const QByteArray& md5Hex, QByteArray& chunk) {
    sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into files(md5, size, content) values(?1, ?2, zeroblob(?2))", -1,
                       &insert, nullptr);
    sqlite3_bind_text(insert, 1, md5Hex.constData(), int(md5Hex.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert, 2, kFileBytes);
    sqlite3_step(insert);
    sqlite3_finalize(insert);
    const qint64 row = sqlite3_last_insert_rowid(db);
    sqlite3_blob* blob = nullptr;
    sqlite3_blob_open(db, "main", "files", "content", row, 1, &blob);
    qint64 offset = 0;
    for (qint64 n; (n = file.read(chunk.data(), chunk.size())) > 0; offset += n)
        sqlite3_blob_write(blob, chunk.constData(), int(n), int(offset));
    sqlite3_blob_close(blob);
    const bool done = sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    return done && offset == kFileBytes ? row : -1;
}

void BM_StoreFile(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    double growth = 0;
    for (auto _ : state) {
        PeakGrowth peak;
        const QString name = MD5Print(MD5File(b.source)) + QStringLiteral(".tif");
        QFile file(b.source);
        if (!dataServices().putFile(name, file))
            state.SkipWithError("putFile failed");
        growth = std::max(growth, peak.mib());
        state.PauseTiming();
        dataServices().delAttachFile(name);
        state.ResumeTiming();
    }
    state.counters["rss_growth_MiB"] = growth;
}

// Baseline: one MD5 pass over the file, then the file written into a blob with raw calls.
void BM_StoreFileRaw(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    QByteArray chunk(int(kChunk), Qt::Uninitialized);
    double growth = 0;
    for (auto _ : state) {
        PeakGrowth peak;
        QFile file(b.source);
        file.open(QIODevice::ReadOnly);
        QCryptographicHash md5(QCryptographicHash::Md5);
        for (qint64 n; (n = file.read(chunk.data(), chunk.size())) > 0;)
            md5.addData(QByteArrayView(chunk.constData(), n));
        const QByteArray hex = md5.result().toHex();
        file.seek(0);
        if (rawStore(b.raw, file, hex, chunk) < 0)
            state.SkipWithError("raw store failed");
        growth = std::max(growth, peak.mib());
        state.PauseTiming();
        sqlite3_exec(b.raw, "delete from files", nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
    state.counters["rss_growth_MiB"] = growth;
}

// Each run writes 256 MiB that the system writes back later: without waiting for that (untimed)
// the run after another pays for its writeback, and whichever runs second loses.
void settleWriteback(benchmark::State& state) {
    state.PauseTiming();
    ::sync();
    state.ResumeTiming();
}

void BM_DownloadFile(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    QFile file(b.source);
    if (!dataServices().putFile(b.name, file)) {
        state.SkipWithError("putFile failed");
        return;
    }
    double growth = 0;
    for (auto _ : state) {
        settleWriteback(state);
        PeakGrowth peak;
        if (dataServices().downloadFile(b.name).isEmpty())
            state.SkipWithError("downloadFile failed");
        growth = std::max(growth, peak.mib());
    }
    state.counters["rss_growth_MiB"] = growth;
    dataServices().delAttachFile(b.name);
}

// Baseline: the blob read in chunks with raw calls and written to a file.
void BM_DownloadFileRaw(benchmark::State& state) {
    FileStoreBench& b = FileStoreBench::get();
    QByteArray chunk(int(kChunk), Qt::Uninitialized);
    QFile file(b.source);
    file.open(QIODevice::ReadOnly);
    const qint64 row = rawStore(b.raw, file, QByteArray(), chunk);
    const QString copy = b.dir.filePath(QStringLiteral("raw-copy.tif"));
    double growth = 0;
    for (auto _ : state) {
        settleWriteback(state);
        PeakGrowth peak;
        sqlite3_blob* blob = nullptr;
        sqlite3_blob_open(b.raw, "main", "files", "content", row, 0, &blob);
        const qint64 size = sqlite3_blob_bytes(blob);
        QFile out(copy);
        out.open(QIODevice::WriteOnly);
        for (qint64 done = 0; done < size; done += kChunk) {
            const int n = int(std::min(kChunk, size - done));
            sqlite3_blob_read(blob, chunk.data(), n, int(done));
            out.write(chunk.constData(), n);
        }
        sqlite3_blob_close(blob);
        if (!out.flush() || out.size() != kFileBytes)
            state.SkipWithError("raw download failed");
        out.close();
        growth = std::max(growth, peak.mib());
    }
    state.counters["rss_growth_MiB"] = growth;
    sqlite3_exec(b.raw, "delete from files", nullptr, nullptr, nullptr);
}

// ---- one bill's rows among many -----------------------------------------------------------------

// A session over a database holding 10^6 attachment rows (10 per bill), 10^6 audit log rows
// (10 per bill) written by 10^4 employees, and 10^5 tickets of which 1,000 belong to bill 7.
struct BillRows {
    Qd::Bench::BenchSession session;
    static constexpr int kBills = 100000;

    BillRows() {
        sqlite3* h = session.db->handle();
        sqlite3_exec(h, "begin", nullptr, nullptr, nullptr);
        fill(h,
             "insert into qd_sys_attachList(orgid, billcode, billno, fileName, realName, filesize, "
             "suffix, suffixInfo, remark, createtime) values(1, 'XMZZK', ?1, '设计稿.png', ?2, "
             "123456, '.png', '.png', '设计稿.png', '2026-11-03 09:30:00')",
             kBills * 10, [](sqlite3_stmt* s, int i) {
                 bindText(s, 1, billno(i / 10));
                 bindText(s, 2, QString::number(i, 16).rightJustified(32, '0') + ".png");
             });
        fill(h, "insert into qd_b_ygbmk(orgid, code, name) values(1, ?1, ?2)", 10000,
             [](sqlite3_stmt* s, int i) {
                 bindText(s, 1, QStringLiteral("E%1").arg(i));
                 bindText(s, 2, QStringLiteral("员工%1").arg(i));
             });
        fill(
            h,
            "insert into qd_sys_billaudit_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, "
            "auditmsg, auditstate, createtime) values(1, 'XMZZK', '订单', ?1, 1, ?2, '审核通过', "
            "'审核', '2026-11-03 09:30:00')",
            kBills * 10, [](sqlite3_stmt* s, int i) {
                bindText(s, 1, billno(i / 10));
                sqlite3_bind_int(s, 2, 2 + i % 10000);
            });
        fill(h,
             "insert into qd_sys_tickets(orgid, biztype, bizid, czy_id, lastupdate, msg) "
             "values(1, '订单', ?1, ?2, '2026-11-03 09:30:00', ?3)",
             100000, [](sqlite3_stmt* s, int i) {
                 sqlite3_bind_int(s, 1, i < 1000 ? 7 : 8 + i % 5000);
                 sqlite3_bind_int(s, 2, 2 + i % 10000);
                 bindText(
                     s, 3,
                     QStringLiteral("第%1条：客户希望喷绘布改为哑光材质，请确认价格。").arg(i));
             });
        sqlite3_exec(h, "commit", nullptr, nullptr, nullptr);
        session.login();
    }

    static QString billno(int bill) {
        return QStringLiteral("D%1").arg(bill, 8, 10, QLatin1Char('0'));
    }
    static void bindText(sqlite3_stmt* s, int i, const QString& v) {
        const QByteArray b = v.toUtf8();
        sqlite3_bind_text(s, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    template <class Bind>
    static void fill(sqlite3* h, const char* sql, int n, Bind bind) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(h, sql, -1, &s, nullptr);
        for (int i = 0; i < n; ++i) {
            bind(s, i);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
    }

    // Runs `sql` with its text parameters bound in order, fetching every column of every row.
    int rawFetch(const char* sql, std::initializer_list<QString> params) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(session.db->handle(), sql, -1, &s, nullptr);
        int i = 0;
        for (const QString& p : params)
            bindText(s, ++i, p);
        int rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(s); ++c)
                benchmark::DoNotOptimize(sqlite3_column_text(s, c));
            ++rows;
        }
        sqlite3_finalize(s);
        return rows;
    }
};

BillRows& billRows() {
    static BillRows rows;
    return rows;
}

const QString kBill = BillRows::billno(54321);

void BM_AttachListLoad(benchmark::State& state) {
    billRows();
    Bill::TImgAttachListForm form(nullptr, QStringLiteral("XMZZK"), kBill);
    for (auto _ : state)
        form._initData();
    state.counters["rows"] = form.cdsResult.recordCount();
}
BENCHMARK(BM_AttachListLoad)->Unit(benchmark::kMicrosecond);

void BM_AttachListRaw(benchmark::State& state) {
    BillRows& r = billRows();
    int rows = 0;
    for (auto _ : state)
        rows = r.rawFetch(
            "select * from qd_sys_attachList where orgid=?1 and billcode=?2 and "
            "billno = ?3",
            {QStringLiteral("1"), QStringLiteral("XMZZK"), kBill});
    state.counters["rows"] = rows;
}
BENCHMARK(BM_AttachListRaw)->Unit(benchmark::kMicrosecond);

// The dialog's statement alone, into a record set no view shows: what the reload costs beyond it
// is the list's and the remark's refresh.
void BM_AttachListQuery(benchmark::State& state) {
    billRows();
    Bill::TImgAttachListForm form(nullptr, QStringLiteral("XMZZK"), kBill);
    Db::RecordSet rs;
    for (auto _ : state)
        Db::dataServices().openDataToCDS(rs, form.SQLStore.value(QStringLiteral("list")),
                                         {{QStringLiteral("orgid"), QStringLiteral("1")},
                                          {QStringLiteral("billcode"), QStringLiteral("XMZZK")},
                                          {QStringLiteral("billno"), kBill}});
    state.counters["rows"] = rs.recordCount();
}
BENCHMARK(BM_AttachListQuery)->Unit(benchmark::kMicrosecond);

void BM_AuditLogLoad(benchmark::State& state) {
    billRows();
    Bill::Tbillauditlogviewform form(nullptr, QStringLiteral("XMZZK"), kBill);
    const QString sql = form.SQLStore.value(QStringLiteral("log"));
    for (auto _ : state)
        Db::dataServices().openDataToCDS(form.cdsResult, sql,
                                         {{QStringLiteral("orgid"), QStringLiteral("1")},
                                          {QStringLiteral("modulecode"), QStringLiteral("XMZZK")},
                                          {QStringLiteral("billno"), kBill}});
    state.counters["rows"] = form.cdsResult.recordCount();
}
BENCHMARK(BM_AuditLogLoad)->Unit(benchmark::kMicrosecond);

void BM_AuditLogRaw(benchmark::State& state) {
    BillRows& r = billRows();
    int rows = 0;
    for (auto _ : state)
        rows = r.rawFetch(
            "select t1.*, t2.code czy_code, t2.name czy_name, t3.code ck_code, t3.name ck_name "
            "from qd_sys_billaudit_logs t1 left join qd_b_ygbmk t2 on t1.orgid = t2.orgid and "
            "t1.czy_id = t2.id left join qd_b_ckbmk t3 on t1.orgid = t3.orgid and t1.ck_id = t3.id "
            "where t1.orgid = ?1 and t1.modulecode = ?2 and t1.billno = ?3",
            {QStringLiteral("1"), QStringLiteral("XMZZK"), kBill});
    state.counters["rows"] = rows;
}
BENCHMARK(BM_AuditLogRaw)->Unit(benchmark::kMicrosecond);

void BM_TicketsLoad(benchmark::State& state) {
    billRows();
    Bill::Tticketeditform form(nullptr, QStringLiteral("订单"), 7);
    for (auto _ : state)
        form._initData();
    state.counters["rows"] = form.cdsResult.recordCount();
}
BENCHMARK(BM_TicketsLoad)->Unit(benchmark::kMicrosecond);

void BM_TicketsRaw(benchmark::State& state) {
    BillRows& r = billRows();
    int rows = 0;
    for (auto _ : state)
        rows = r.rawFetch(
            "select t1.*, t2.code czy_code, t2.name czy_name from qd_sys_tickets t1 "
            "left join qd_b_ygbmk t2 on t1.czy_id = t2.id where t1.orgid=?1 and "
            "t1.bizid=?2 and t1.biztype=?3 order by t1.id",
            {QStringLiteral("1"), QStringLiteral("7"), QStringLiteral("订单")});
    state.counters["rows"] = rows;
}
BENCHMARK(BM_TicketsRaw)->Unit(benchmark::kMicrosecond);

// From creating the conversation to its first painted screen.
void BM_TicketsFirstPaint(benchmark::State& state) {
    billRows();
    for (auto _ : state) {
        Bill::Tticketeditform form(nullptr, QStringLiteral("订单"), 7);
        form.show();
        benchmark::DoNotOptimize(form.grab());
    }
}
BENCHMARK(BM_TicketsFirstPaint)->Unit(benchmark::kMillisecond);

// A store's rule with 200 column settings.
void BM_BillRuleLoad(benchmark::State& state) {
    billRows();
    QStringList settings;
    for (int i = 0; i < 200; ++i)
        settings
            << QStringLiteral(
                   R"({"fieldname":"f%1","deftitle":"字段%1","custtitle":"显示%1",)"
                   R"("fieldtype":"默认","dispformat":"0.00","decimalcount":2,"display":true})")
                   .arg(i);
    Db::dataServices().execSQL(
        QStringLiteral("insert into qd_sys_billnorule_user(orgid, ck_id, billcode, caption, "
                       "gridconfig) values('1', 1, 'BENCH', N'规则', :g)"),
        {{QStringLiteral("g"),
          QLatin1Char('[') + settings.join(QLatin1Char(',')) + QLatin1Char(']')}});
    for (auto _ : state) {
        Bill::TCustBillRule rule(QStringLiteral("BENCH"));
        benchmark::DoNotOptimize(rule.Fgrids.size());
    }
}
BENCHMARK(BM_BillRuleLoad)->Unit(benchmark::kMicrosecond);

}  // namespace

// Each run moves 256 MiB: a few, and the fastest counts (BenchMain.h).
void fewRuns(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(3);
}

BENCHMARK(BM_StoreFileRaw)->Apply(fewRuns);
BENCHMARK(BM_StoreFile)->Apply(fewRuns);
BENCHMARK(BM_DownloadFileRaw)->Apply(fewRuns);
BENCHMARK(BM_DownloadFile)->Apply(fewRuns);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_StoreFile", "BM_StoreFileRaw", 1.3},
                                     {"BM_DownloadFile", "BM_DownloadFileRaw", 1.3},
                                     {"BM_AttachListLoad", "BM_AttachListRaw", 2.0},
                                     {"BM_AttachListQuery", "BM_AttachListRaw", 0},
                                     {"BM_AuditLogLoad", "BM_AuditLogRaw", 2.0},
                                     {"BM_TicketsLoad", "BM_TicketsRaw", 2.0}});
}
