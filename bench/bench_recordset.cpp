// Loading a large query into a record set, and painting a grid over it.
//   bench_recordset [--benchmark_filter=...]
#include <sqlite3.h>

#include <QAbstractTableModel>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableView>
#include <fstream>
#include <string>

#include "BenchMain.h"
#include "db/ChunkedLoad.h"
#include "db/FaultVfs.h"
#include "db/RecordSetModel.h"
#include "db/SqliteDataServices.h"

using namespace Qd::Core::Db;

namespace {

constexpr int kRows = 1000000;
const char* kSelect = "select id, code, name, addr, qty, price, amount, made from goods";

// A database of kRows rows x 8 columns: 3 text columns of about 10 Chinese characters,
// 5 numeric / date columns. Built once and kept beside the benchmark.
QString benchDb() {
    const QString path = QDir::temp().filePath(QStringLiteral("qd-bench-goods-1m.db"));
    if (QFile::exists(path))
        return path;
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "create table goods(id integer primary key, code varchar(20), name nvarchar(40),"
                 " addr nvarchar(40), qty int, price money, amount float, made datetime);"
                 "begin;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "insert into goods values(?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    const QString chars =
        QStringLiteral("北京上海广州深圳杭州成都苹果香蕉橙子电脑手机服装鞋帽家电");
    for (int i = 1; i <= kRows; ++i) {
        QString code = QStringLiteral("SP%1").arg(i, 8, 10, QLatin1Char('0'));
        QString name, addr;
        for (int k = 0; k < 10; ++k) {
            name += chars[(i * 7 + k * 3) % chars.size()];
            addr += chars[(i * 13 + k * 5) % chars.size()];
        }
        const QByteArray c = code.toUtf8(), n = name.toUtf8(), a = addr.toUtf8();
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, c.constData(), int(c.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, n.constData(), int(n.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, a.constData(), int(a.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 5, i % 1000);
        sqlite3_bind_double(st, 6, (i % 10000) / 100.0);
        sqlite3_bind_double(st, 7, i * 1.25);
        char made[32];
        std::snprintf(made, sizeof made, "2026-%02d-15 10:30:00", 1 + i % 12);
        sqlite3_bind_text(st, 8, made, -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

long rssKiB() {
    std::ifstream f("/proc/self/status");
    std::string key;
    while (f >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            f >> kb;
            return kb;
        }
        f.ignore(1 << 12, '\n');
    }
    return 0;
}

// Leaves the AVX upper state in use, as 256-bit code that returns without vzeroupper does. No
// target attribute: with one the compiler would end the function with vzeroupper itself.
#if defined(__x86_64__)
void dirtyVectorState() {
    if (!__builtin_cpu_supports("avx"))
        return;
    __asm__ volatile("vcmpps $15, %%ymm0, %%ymm0, %%ymm0" ::: "xmm0");
}
#else
void dirtyVectorState() {}
#endif

// Baseline: a prepared statement stepped over every row, each column read into a local, on a
// connection opened as the data services open theirs (no connection mutex).
void rawSqliteStep(benchmark::State& state, bool dirty) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(benchDb().toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    for (auto _ : state) {
        if (dirty) {
            dirtyVectorState();
            state.counters["dirty"] = Qd::Core::Sys::vectorStateDirty();
        }
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, kSelect, -1, &st, nullptr);
        std::int64_t sum = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            sum += sqlite3_column_int64(st, 0);
            for (int c : {1, 2, 3}) {
                const unsigned char* t = sqlite3_column_text(st, c);
                sum += sqlite3_column_bytes(st, c) + (t ? t[0] : 0);
            }
            sum += sqlite3_column_int(st, 4);
            sum += std::int64_t(sqlite3_column_double(st, 5));
            sum += std::int64_t(sqlite3_column_double(st, 6));
            const unsigned char* m = sqlite3_column_text(st, 7);
            sum += m ? m[5] : 0;
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_close(db);
}

void BM_RawSqliteStep(benchmark::State& state) {
    rawSqliteStep(state, false);
}

// The same loop entered with the AVX upper state in use: what that state costs on this CPU.
void BM_RawSqliteStepDirtyState(benchmark::State& state) {
    rawSqliteStep(state, true);
}

void openDataIntoRecordSet(benchmark::State& state, const char* vfs, bool dirty = false) {
    SqliteDataServices db(benchDb(), 5000, vfs);
    for (auto _ : state) {
        if (dirty)
            dirtyVectorState();
        RecordSet rs;
        const long before = rssKiB();
        rs.setData(db.query(QString::fromLatin1(kSelect)));
        state.counters["rows"] = rs.recordCount();
        state.counters["storage_MiB"] = double(rs.storageBytes()) / (1 << 20);
        state.counters["rss_growth_MiB"] = double(rssKiB() - before) / 1024;
    }
}

void BM_OpenDataIntoRecordSet(benchmark::State& state) {
    openDataIntoRecordSet(state, nullptr);
}

// The load entered with the AVX upper state in use, as after Qt's string hashing on some CPUs:
// the statement's row loop resets it (QD_KEEP_VECTOR_STATE=1 to see the load without that).
void BM_OpenDataDirtyState(benchmark::State& state) {
    openDataIntoRecordSet(state, nullptr, true);
}

// The same through the file system that can fail, disarmed: it must cost nothing.
void BM_OpenDataThroughFaultVfs(benchmark::State& state) {
    openDataIntoRecordSet(state, FaultVfs::name());
}

// A list as a window shows it: the record set in a table view, its first screen painted.
struct ShownList {
    RecordSet rs;
    RecordSetModel model{&rs};
    QTableView view;
    QImage screen{1200, 800, QImage::Format_ARGB32_Premultiplied};
    ShownList() {
        view.setModel(&model);
        view.verticalHeader()->setDefaultSectionSize(24);
        view.resize(1200, 800);
        view.show();
    }
    void paint() {
        QPainter p(&screen);
        view.render(&p);
    }
};

// Baseline of the chunked loads: every row read before the list first paints.
void BM_ShownListWhole(benchmark::State& state) {
    SqliteDataServices db(benchDb());
    for (auto _ : state) {
        ShownList list;
        db.openDataToCDS(list.rs, QString::fromLatin1(kSelect));
        list.paint();
        state.counters["rows"] = list.rs.recordCount();
    }
}

// A list opened in chunks: its first screen painted, then with `whole` every row read from the
// event loop and the list painted again.
void shownListInChunks(benchmark::State& state, bool whole) {
    SqliteDataServices db(benchDb());
    for (auto _ : state) {
        ShownList list;
        const std::unique_ptr<ChunkedLoad> load =
            db.openDataInChunks(list.rs, QString::fromLatin1(kSelect));
        list.paint();
        while (whole && !load->finished())
            QCoreApplication::processEvents();
        if (whole)
            list.paint();
        state.counters["rows"] = list.rs.recordCount();
    }
}

// From opening to the first painted screen when the rest of the rows come from the event loop.
void BM_ShownListFirstPaint(benchmark::State& state) {
    shownListInChunks(state, false);
}

// The same until every row is in.
void BM_ShownListInChunks(benchmark::State& state) {
    shownListInChunks(state, true);
}

// A trivial model: constant strings, the baseline of painting.
class ConstantModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& = {}) const override { return kRows; }
    int columnCount(const QModelIndex& = {}) const override { return 8; }
    QVariant data(const QModelIndex&, int role) const override {
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("北京上海广州深圳杭州"))
                                       : QVariant();
    }
};

void paintFirstScreen(benchmark::State& state, QAbstractItemModel& model) {
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setDefaultSectionSize(24);
    view.resize(1200, 800);
    view.show();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.viewport()->update();
        QPainter p(&image);
        view.render(&p);
    }
}

void BM_PaintConstantModel(benchmark::State& state) {
    ConstantModel model;
    paintFirstScreen(state, model);
}

void BM_PaintRecordSetModel(benchmark::State& state) {
    SqliteDataServices db(benchDb());
    RecordSet rs;
    rs.setData(db.query(QString::fromLatin1(kSelect)));
    RecordSetModel model(&rs);
    paintFirstScreen(state, model);
}

}  // namespace

BENCHMARK(BM_RawSqliteStep)->Unit(benchmark::kMillisecond)->MinWarmUpTime(1.0)->MinTime(3.0);
BENCHMARK(BM_RawSqliteStepDirtyState)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenDataIntoRecordSet)
    ->Unit(benchmark::kMillisecond)
    ->MinWarmUpTime(1.0)
    ->MinTime(3.0)
    ->Repetitions(3);
BENCHMARK(BM_OpenDataDirtyState)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenDataThroughFaultVfs)
    ->Unit(benchmark::kMillisecond)
    ->MinWarmUpTime(1.0)
    ->MinTime(3.0)
    ->Repetitions(3);
BENCHMARK(BM_ShownListWhole)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(3);
BENCHMARK(BM_ShownListFirstPaint)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ShownListInChunks)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(3);
BENCHMARK(BM_PaintConstantModel)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PaintRecordSetModel)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(
        argc, argv,
        {{"BM_OpenDataIntoRecordSet", "BM_RawSqliteStep", 1.2},
         {"BM_RawSqliteStepDirtyState", "BM_RawSqliteStep", 0},
         {"BM_OpenDataDirtyState", "BM_OpenDataIntoRecordSet", 0},
         {"BM_OpenDataThroughFaultVfs", "BM_OpenDataIntoRecordSet", 1.03},
         {"BM_PaintRecordSetModel", "BM_PaintConstantModel", 1.5},
         {"BM_ShownListInChunks", "BM_ShownListWhole", 1.25},
         {"BM_ShownListFirstPaint", "BM_ShownListWhole", 0}});
}
