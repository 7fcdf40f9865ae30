// The simple bill window's paths, each against a raw baseline measured in the same run:
//   - OpenBillData of random receipts among 10^5 receipts and 10^6 lines (the window's two
//     statements, the strip filled), against the same two statements prepared once and stepped
//     raw through sqlite3 with the number bound, every column read;
//   - 删除全部 of a bill's 10^4 lines in the window (the grid over them), against deleting the same
//     rows from a record set alone.
//   bench_simple_bill [--benchmark_filter=...]
#include <sqlite3.h>

#include <QAction>
#include <QLabel>
#include <random>

#include "BenchMain.h"
#include "BenchSession.h"
#include "base/UnattendedPrompter.h"
#include "bill/uSampleBillEditRibbonForm.h"
#include "db/DataServices.h"
#include "sys/uPlugItem.h"

using namespace Qd::Core;

namespace {

constexpr int kReceipts = 100000;
constexpr int kLinesEach = 10;
constexpr int kBigBillLines = 10000;

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const char kMasterSql[] =
    "select a.*, '' prevBillNo, '' NextBillNo from t_receipt a where a.orgid = :orgid and "
    "a.billno = :billno";
const char kDetailSql[] =
    "select d.* from t_receipt_mx d where d.orgid = :orgid and d.billno = :billno order by d.id";

QString billnoOf(int i) {
    return QStringLiteral("SK%1").arg(i, 7, 10, QLatin1Char('0'));
}

// The receipts (SK0000001 ... with ten lines each, and BIG with 10^4 lines) and the window's
// module, signed in once.
struct ReceiptBench {
    Qd::Bench::BenchSession session;
    sqlite3* raw = nullptr;
    Sys::TPlugItemSingleBasic item;
    Ui::UnattendedPrompter prompter{Ui::UnattendedPrompter::Answer::Accept, false};
    std::vector<QString> numbers;  // the random receipts, the same sequence for both sides

    static ReceiptBench& get() {
        static ReceiptBench b;
        return b;
    }

    ReceiptBench() {
        Ui::setPrompter(&prompter);
        sqlite3_open(session.dir.filePath(QStringLiteral("bench.db")).toUtf8().constData(), &raw);
        // Made raw, as plain tables (the T-SQL layer's length checks need its own functions).
        sqlite3_exec(raw,
                     "create table t_receipt(id integer primary key autoincrement, orgid int not "
                     "null, ck_id int not null, billno varchar(30) not null, billdate datetime "
                     "not null, status int not null default 0, version int not null default 1, "
                     "kdr_id int not null, kh_id int null, skfs nvarchar(20) null, zy "
                     "nvarchar(100) null, je money null, beizhu nvarchar(200) null, printcount "
                     "int null);"
                     "create index ix_t_receipt on t_receipt(orgid, billno);"
                     "create table t_receipt_mx(id integer primary key autoincrement, orgid int "
                     "not null, billno varchar(30) not null, uid varchar(40) null, xmzzk_billno "
                     "varchar(30) null, gcxmmc nvarchar(100) null, ddje money null, je money "
                     "null, beizhu nvarchar(200) null);"
                     "create index ix_t_receipt_mx on t_receipt_mx(orgid, billno);",
                     nullptr, nullptr, nullptr);
        sqlite3_exec(raw, "begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* master = nullptr;
        sqlite3_stmt* line = nullptr;
        sqlite3_prepare_v2(raw,
                           "insert into t_receipt(orgid, ck_id, billno, billdate, status, "
                           "version, kdr_id, kh_id, skfs, zy, je) values(1, 1, ?1, "
                           "'2026-11-03 09:05:00', ?2, 1, 1, ?3, '转账', '预付款', ?4)",
                           -1, &master, nullptr);
        sqlite3_prepare_v2(raw,
                           "insert into t_receipt_mx(orgid, billno, uid, xmzzk_billno, gcxmmc, "
                           "ddje, je) values(1, ?1, ?2, ?3, '年会物料', 1200, ?4)",
                           -1, &line, nullptr);
        if (!master || !line)
            qFatal("bench_simple_bill: %s", sqlite3_errmsg(raw));
        const auto addBill = [&](const QByteArray& no, int lines, int status) {
            sqlite3_bind_text(master, 1, no.constData(), int(no.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(master, 2, status);
            sqlite3_bind_int(master, 3, 1 + lines % 97);
            sqlite3_bind_double(master, 4, 100.0 * lines);
            sqlite3_step(master);
            sqlite3_reset(master);
            for (int k = 0; k < lines; ++k) {
                const QByteArray uid = no + '-' + QByteArray::number(k);
                sqlite3_bind_text(line, 1, no.constData(), int(no.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(line, 2, uid.constData(), int(uid.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(line, 3, "XM0001", -1, SQLITE_STATIC);
                sqlite3_bind_double(line, 4, 100.0 + k);
                sqlite3_step(line);
                sqlite3_reset(line);
            }
        };
        for (int i = 1; i <= kReceipts; ++i)
            addBill(billnoOf(i).toUtf8(), kLinesEach, i % 3 == 0 ? 1 : 0);
        addBill("BIG", kBigBillLines, 0);
        sqlite3_finalize(master);
        sqlite3_finalize(line);
        sqlite3_exec(raw, "commit", nullptr, nullptr, nullptr);
        sqlite3_exec(raw, "analyze", nullptr, nullptr, nullptr);
        session.login();

        item.code = F("SKD");
        item.title = F("收款单");
        item.setTexts(QStringLiteral(R"json({"title": "收款单", "data": {
            "master": {"tablename": "t_receipt", "sql": "%1"},
            "detail": {"sql": "%2", "columns": [
              {"fieldname": "xmzzk_billno", "label": "订单", "width": "110"},
              {"fieldname": "gcxmmc", "label": "项目名称", "width": "150"},
              {"fieldname": "ddje", "label": "订单金额", "width": "90", "type": "money"},
              {"fieldname": "je", "label": "本次收款", "width": "90", "type": "money",
               "footer": "true"},
              {"fieldname": "beizhu", "label": "备注", "width": "160"}]}}})json")
                          .arg(F(kMasterSql), F(kDetailSql)),
                      QString(), QString());
        std::mt19937 random(20261206);
        std::uniform_int_distribution<int> pick(1, kReceipts);
        for (int i = 0; i < 1000; ++i)
            numbers.push_back(billnoOf(pick(random)));
    }
};

void BM_OpenReceipt(benchmark::State& state) {
    ReceiptBench& b = ReceiptBench::get();
    Bill::TSampleBillEditRibbonForm form(nullptr, &b.item);
    form.FormCreate();
    std::size_t next = 0;
    for (auto _ : state) {
        form.OpenBillData(b.numbers[next++ % b.numbers.size()]);
        benchmark::DoNotOptimize(form.cxLabel3->text());
    }
    state.counters["lines"] = form.cdsDetail.recordCount();
}

// Steps a statement to its end, reading every column; the rows.
int readAll(sqlite3_stmt* st) {
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0, n = sqlite3_column_count(st); c < n; ++c)
            benchmark::DoNotOptimize(sqlite3_column_text(st, c));
    }
    return rows;
}

// The same two statements prepared once, the number bound, stepped to their ends.
void BM_OpenReceiptRaw(benchmark::State& state) {
    ReceiptBench& b = ReceiptBench::get();
    sqlite3_stmt* master = nullptr;
    sqlite3_stmt* detail = nullptr;
    sqlite3_prepare_v2(b.raw,
                       "select a.*, '' prevBillNo, '' NextBillNo from t_receipt a where a.orgid "
                       "= '1' and a.billno = ?1",
                       -1, &master, nullptr);
    sqlite3_prepare_v2(b.raw,
                       "select d.* from t_receipt_mx d where d.orgid = '1' and d.billno = ?1 order "
                       "by d.id",
                       -1, &detail, nullptr);
    std::size_t next = 0;
    int lines = 0;
    for (auto _ : state) {
        const QByteArray no = b.numbers[next++ % b.numbers.size()].toUtf8();
        for (sqlite3_stmt* st : {master, detail}) {
            sqlite3_bind_text(st, 1, no.constData(), int(no.size()), SQLITE_TRANSIENT);
            lines = readAll(st);
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(master);
    sqlite3_finalize(detail);
    state.counters["lines"] = lines;
}

void BM_DeleteAllLines(benchmark::State& state) {
    ReceiptBench& b = ReceiptBench::get();
    Bill::TSampleBillEditRibbonForm form(nullptr, &b.item);
    form.FormCreate();
    form.resize(900, 600);
    form.show();
    for (auto _ : state) {
        state.PauseTiming();
        form.FDataOperateState = Sys::TOperateState::browse;
        form.OpenBillData(F("BIG"));
        form.FDataOperateState = Sys::TOperateState::edit;
        form.ComponentReadOnly(false);
        state.ResumeTiming();
        form.actDetail_DelAll->trigger();
    }
    state.counters["left"] = form.cdsDetail.recordCount();
    form.FDataOperateState = Sys::TOperateState::browse;
}

void BM_DeleteAllLinesRecordSet(benchmark::State& state) {
    ReceiptBench::get();
    Db::RecordSet lines;
    for (auto _ : state) {
        state.PauseTiming();
        Db::dataServices().openDataToCDS(
            lines, F("select d.* from t_receipt_mx d where d.orgid = 1 and d.billno = 'BIG' "
                     "order by d.id"));
        state.ResumeTiming();
        lines.first();
        while (!lines.isEmpty())
            lines.deleteRecord();
    }
    state.counters["left"] = lines.recordCount();
}

}  // namespace

BENCHMARK(BM_OpenReceiptRaw)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_OpenReceipt)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_DeleteAllLinesRecordSet)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(3);
BENCHMARK(BM_DeleteAllLines)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_OpenReceipt", "BM_OpenReceiptRaw", 2.0},
                                     {"BM_DeleteAllLines", "BM_DeleteAllLinesRecordSet", 1.5}});
}
