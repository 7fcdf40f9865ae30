// The simple bill window's paths, each against a raw baseline measured in the same run:
//   - OpenBillData of random receipts among 10^5 receipts and 10^6 lines (the window's two
//     statements, the strip filled), against the same two statements prepared once and stepped
//     raw through sqlite3 with the number bound, every column read;
//   - 删除全部 of a bill's 10^4 lines in the window (the grid over them), against deleting the same
//     rows from a record set alone;
//   - 100 bills of 20 lines, each loaded and printed (打印, then 直接打印 in the print window) to a
//     PDF printer with its print log row and count, among 10^6 print log rows, against the
//     engine alone printing the same pages from the same rows in memory to the same printer.
//   bench_simple_bill [--benchmark_filter=...]
#include <sqlite3.h>

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPrinter>
#include <random>

#include "BenchMain.h"
#include "BenchSession.h"
#include "RawSqlite.h"
#include "base/UnattendedPrompter.h"
#include "bill/uSampleBillEditRibbonForm.h"
#include "db/DataServices.h"
#include "print/engine/Engine.h"
#include "print/engine/Render.h"
#include "print/engine/TemplateFile.h"
#include "print/uDataSetCollection.h"
#include "print/uPrinterForm.h"
#include "sys/uPlugItem.h"

using namespace Qd::Core;
namespace Print = Qd::Print;

namespace {

constexpr int kReceipts = 100000;
constexpr int kLinesEach = 10;
constexpr int kBigBillLines = 10000;
constexpr int kPrinted = 100;  // bills printed, of kPrintedLines lines each
constexpr int kPrintedLines = 20;
constexpr int kPrintLogRows = 1000000;

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
QString printedOf(int i) {
    return QStringLiteral("PR%1").arg(i, 4, 10, QLatin1Char('0'));
}

// The receipt's page: number, customer, amount and its words, then the lines.
Print::ReportTemplate receiptTemplate() {
    using namespace Print;
    ReportTemplate t;
    t.name = F("收款单");
    t.datasets = {F("表头数据"), F("明细数据")};
    const auto text = [](const char* name, double left, double top, double width,
                         const char* content) {
        return ReportObject{.name = name,
                            .rectMm = QRectF(left, top, width, 6),
                            .content = TextObject{.text = F(content)}};
    };
    t.bands.push_back(
        Band{.kind = BandKind::MasterData,
             .name = "MasterData1",
             .heightMm = 26,
             .dataset = F("表头数据"),
             .objects = {text("Title", 0, 0, 180, "[表单名称]"),
                         text("Bill", 0, 8, 90, "单号：[表头数据.\"billno\"]"),
                         text("Way", 90, 8, 90, "收款方式：[表头数据.\"skfs\"]"),
                         text("Sum", 0, 16, 90, "金额：[表头数据.\"je\"]"),
                         text("Words", 90, 16, 90, "大写：[MoneyCn([表头数据.\"je\"])]")}});
    t.bands.push_back(Band{.kind = BandKind::DetailData,
                           .name = "DetailData1",
                           .heightMm = 7,
                           .dataset = F("明细数据"),
                           .objects = {text("Order", 0, 0, 40, "[明细数据.\"xmzzk_billno\"]"),
                                       text("Name", 40, 0, 80, "[明细数据.\"gcxmmc\"]"),
                                       text("Amount", 120, 0, 40, "[明细数据.\"je\"]")}});
    return t;
}

// The receipts (SK0000001 ... with ten lines each, and BIG with 10^4 lines) and the window's
// module, signed in once.
struct ReceiptBench {
    Qd::Bench::BenchSession session;
    sqlite3* raw = nullptr;
    Sys::TPlugItemSingleBasic item;
    Ui::UnattendedPrompter prompter{Ui::UnattendedPrompter::Answer::Accept, false};
    std::vector<QString> numbers;  // the random receipts, the same sequence for both sides
    int printers = 0;              // PDF files made

    // A PDF printer writing a file of its own.
    std::unique_ptr<QPrinter> pdfPrinter() {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(
            session.dir.filePath(QStringLiteral("job-%1.pdf").arg(++printers % 8)));
        return printer;
    }

    // 10^6 print log rows: each receipt printed ten times, written through the data services
    // (the log's columns have the T-SQL layer's checks and collation).
    void addPrintLog() {
        for (int round = 0; round < kPrintLogRows / kReceipts; ++round)
            session.db->exec(
                F("insert into qd_sys_billpirnt_logs(orgid, modulecode, billtype, billno, ck_id, "
                  "czy_id) select 1, 'SKD', N'收款单', billno, 1, 1 from t_receipt where billno "
                  "like 'SK%'"));
    }

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
        for (int i = 1; i <= kPrinted; ++i)
            addBill(printedOf(i).toUtf8(), kPrintedLines, 0);
        sqlite3_finalize(master);
        sqlite3_finalize(line);
        sqlite3_exec(raw, "commit", nullptr, nullptr, nullptr);
        addPrintLog();
        sqlite3_exec(raw, "analyze", nullptr, nullptr, nullptr);
        // A clerk with the print right (the administrator may not print bills) and the
        // receipt's template for every store.
        session.db->exec(
            F("update qd_sys_users set isadmin = 0\n"
              "insert into qd_sys_userrights(orgid, userid, rightcode) "
              "values(1, 1, 'SKD_06')"));
        session.db->execSQL(F("insert into qd_sys_printdocs(orgid, modulecode, code, docname, "
                              "owner, ck_id, isort, docfile) values(1, 'SKD', '01', N'标准', 0, "
                              "0, 0, :f)"),
                            {{F("f"), Print::TemplateFile::toBytes(receiptTemplate())}});
        Fr4::TPrinterForm::defaultPrinterFactory = [this] { return pdfPrinter(); };
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

using Qd::Bench::readAll;

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

// Each bill loaded, then 打印 and 直接打印 (the print dialog confirmed): the print window reads
// the templates, the engine prints, the print log row and count are written.
void BM_PrintBills(benchmark::State& state) {
    ReceiptBench& b = ReceiptBench::get();
    Bill::TSampleBillEditRibbonForm form(nullptr, &b.item);
    form.FormCreate();
    b.prompter.onDialog = [](QDialog& d) {
        if (auto* window = dynamic_cast<Fr4::TPrinterForm*>(&d)) {
            window->actPrint->trigger();
            return window->result();
        }
        return int(QDialog::Accepted);  // the print dialog
    };
    qint64 loadNs = 0;
    qint64 printNs = 0;
    QElapsedTimer t;
    for (auto _ : state) {
        for (int i = 1; i <= kPrinted; ++i) {
            t.start();
            form.OpenBillData(printedOf(i));
            loadNs += t.nsecsElapsed();
            t.start();
            form.actPrint->trigger();
            printNs += t.nsecsElapsed();
        }
    }
    b.prompter.onDialog = {};
    const double runs = double(state.iterations());
    state.counters["loadms"] = double(loadNs) / 1e6 / runs;
    state.counters["printms"] = double(printNs) / 1e6 / runs;
    state.counters["bills/s"] = benchmark::Counter(
        double(kPrinted), benchmark::Counter::kIsRate | benchmark::Counter::kIsIterationInvariant);
    state.counters["logged"] = Db::dataServices()
                                   .openData(F("select count(*) from qd_sys_billpirnt_logs"))
                                   .field(0)
                                   .asInteger() -
                               kPrintLogRows;
}

// The same bills' rows read once into record sets; each printed by the engine alone (the same
// template, functions and variables) to a PDF printer of the same kind.
void BM_PrintBillsEngine(benchmark::State& state) {
    ReceiptBench& b = ReceiptBench::get();
    struct Bill {
        Db::RecordSet master, detail;
    };
    std::vector<std::unique_ptr<Bill>> bills;
    for (int i = 1; i <= kPrinted; ++i) {
        auto bill = std::make_unique<Bill>();
        const QString quoted = u'\'' + printedOf(i) + u'\'';
        Db::dataServices().openDataToCDS(
            bill->master, F("select a.* from t_receipt a where a.billno = ") + quoted);
        Db::dataServices().openDataToCDS(
            bill->detail,
            F("select d.* from t_receipt_mx d where d.billno = ") + quoted + F(" order by d.id"));
        bills.push_back(std::move(bill));
    }
    Print::ReportTemplate tmpl = receiptTemplate();
    int pages = 0;
    for (auto _ : state) {
        for (const auto& bill : bills) {
            Fr4::TDataSetCollection collection;
            collection.Add() =
                Fr4::TDataSetCollectionItem(&collection, F("表头数据"), F("SKD"), &bill->master);
            collection.Add() =
                Fr4::TDataSetCollectionItem(&collection, F("明细数据"), F("SKD"), &bill->detail);
            Fr4::PrintData data(collection);
            data._AddUserFunc();
            data._AddVariables(tmpl, {{F("表单编号"), F("SKD")}, {F("表单名称"), F("收款单")}});
            const Print::PreparedReport report = Print::prepare(tmpl, data.data());
            std::unique_ptr<QPrinter> printer = b.pdfPrinter();
            Print::print(report, *printer);
            pages = report.pageCount();
        }
    }
    state.counters["pages"] = pages;
    state.counters["bills/s"] = benchmark::Counter(
        double(kPrinted), benchmark::Counter::kIsRate | benchmark::Counter::kIsIterationInvariant);
}

}  // namespace

BENCHMARK(BM_OpenReceiptRaw)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_OpenReceipt)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_DeleteAllLinesRecordSet)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(3);
BENCHMARK(BM_PrintBillsEngine)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_PrintBills)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_DeleteAllLines)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_OpenReceipt", "BM_OpenReceiptRaw", 2.0},
                                     {"BM_DeleteAllLines", "BM_DeleteAllLinesRecordSet", 1.5},
                                     {"BM_PrintBills", "BM_PrintBillsEngine", 1.5}});
}
