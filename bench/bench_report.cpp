// The report window over 10^6 order lines (10^5 orders, 10^4 customers, four stores), each path
// against a raw baseline measured in the same run:
//   - 订单明细表 over the whole range and over one month: 查询 end to end (the panel's values,
//     translation, the rows into the result, the footers, the caption) against the translated
//     statement prepared once and stepped raw through sqlite3 with the same values, every column
//     read; the month's raw statement reports SQLite's full-scan steps (0: an index range);
//   - 客户消费汇总 (a group by over every line) the same way;
//   - the first paint of the window over 10^6 rows (an absolute bound, 200 ms);
//   - 复制选中行 of all rows and columns against a loop building the same text from the rows.
// The reports are the demo's own: their descriptors are read from demo/seed.sql.
//   bench_report [--benchmark_filter=...]
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <map>

#include "BenchMain.h"
#include "BenchSession.h"
#include "PeakMemory.h"
#include "RawSqlite.h"
#include "db/tsql/TsqlSession.h"
#include "report/uBaseReportForm.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

namespace {

constexpr int kOrders = 100000;
constexpr int kLinesEach = 10;
constexpr int kCustomers = 10000;
constexpr int kStores = 4;
constexpr int kEmployees = 100;  // besides the signed-in one

QString F(const char* text) {
    return QString::fromUtf8(text);
}

// The descriptor of a demo report, as the demo database stores it.
QString demoDescriptor(const char* code) {
    QFile seed(QStringLiteral(QD_DEMO_SEED));
    if (!seed.open(QIODevice::ReadOnly))
        qFatal("bench_report: cannot read %s", QD_DEMO_SEED);
    const QString text = QString::fromUtf8(seed.readAll());
    const QRegularExpression row(
        QStringLiteral("insert into qd_sys_rptmain\\(.*values\\(1, '%1', N'[^']*', N'[^']*', "
                       "N'(.*)', \\d+\\)")
            .arg(QLatin1String(code)));
    const QRegularExpressionMatch m = row.match(text);
    if (!m.hasMatch())
        qFatal("bench_report: report %s not in the demo", code);
    return m.captured(1).replace(QStringLiteral("''"), QStringLiteral("'"));
}

struct ReportBench {
    Qd::Bench::BenchSession session;
    sqlite3* raw = nullptr;             // the session's connection
    Sys::TPlugItemSingleBasic lines;    // 订单明细表
    Sys::TPlugItemSingleBasic summary;  // 客户消费汇总

    static ReportBench& get() {
        static ReportBench b;
        return b;
    }

    ReportBench() {
        // Written raw on the session's own connection, which holds the functions behind the
        // tables' checks.
        raw = session.db->handle();
        Qd::Bench::exec(raw, "begin");
        for (int s = 2; s <= kStores; ++s)
            Qd::Bench::exec(raw, QStringLiteral("insert into qd_b_ckbmk(orgid, code, name) "
                                                "values(1, 'MD0%1', '门店%1');"
                                                "insert into qd_auth_ck_access(orgid, uid, ck_id) "
                                                "values(1, 1, %1)")
                                     .arg(s)
                                     .toUtf8()
                                     .constData());
        for (int e = 1; e <= kEmployees; ++e)
            Qd::Bench::exec(raw, QStringLiteral("insert into qd_b_ygbmk(orgid, ck_id, code, name) "
                                                "values(1, %1, 'E%2', '员工%2')")
                                     .arg(1 + e % kStores)
                                     .arg(e)
                                     .toUtf8()
                                     .constData());
        // Other users' store access, as in a chain with many logins.
        for (int u = 2; u <= 200; ++u)
            Qd::Bench::exec(raw, QStringLiteral("insert into qd_auth_ck_access(orgid, uid, ck_id) "
                                                "values(1, %1, %2)")
                                     .arg(u)
                                     .arg(1 + u % kStores)
                                     .toUtf8()
                                     .constData());
        sqlite3_stmt* customer = nullptr;
        sqlite3_prepare_v2(raw, "insert into qd_b_khbmk(orgid, code, name) values(1, ?1, ?2)", -1,
                           &customer, nullptr);
        for (int k = 1; k <= kCustomers; ++k) {
            const QByteArray code = "K" + QByteArray::number(k).rightJustified(5, '0');
            const QByteArray name = QStringLiteral("客户%1").arg(k).toUtf8();
            sqlite3_bind_text(customer, 1, code.constData(), int(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(customer, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(customer) != SQLITE_DONE)
                qFatal("bench_report: %s", sqlite3_errmsg(raw));
            sqlite3_reset(customer);
        }
        sqlite3_finalize(customer);
        sqlite3_stmt* order = nullptr;
        sqlite3_stmt* line = nullptr;
        sqlite3_prepare_v2(
            raw,
            "insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, "
            "kdr_id, kh_id, je) values(1, ?1, ?2, ?3, ?4, 1, 1, ?5, ?6)",
            -1, &order, nullptr);
        sqlite3_prepare_v2(raw,
                           "insert into qd_x_xmzzk_mx(orgid, billno, xm_id, gcxmmc, sl, dj, je) "
                           "values(1, ?1, 1, '宣传单页', ?2, 0.35, ?3)",
                           -1, &line, nullptr);
        const QDateTime start(QDate(2026, 1, 1), QTime(9, 0));
        for (int i = 0; i < kOrders; ++i) {
            const QByteArray no = "D" + QByteArray::number(i).rightJustified(7, '0');
            // A year of orders, about 270 a day, in every store.
            const QByteArray date = start.addSecs(qint64(i) * 315)
                                        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                        .toUtf8();
            sqlite3_bind_int(order, 1, 1 + i % kStores);
            sqlite3_bind_text(order, 2, no.constData(), int(no.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(order, 3, date.constData(), int(date.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(order, 4, i % 3 == 0 ? 1 : 0);
            sqlite3_bind_int(order, 5, 1 + (i * 7) % kCustomers);
            sqlite3_bind_double(order, 6, 35.0 * kLinesEach);
            sqlite3_bind_int(order, 7, 2 + i % kEmployees);
            if (sqlite3_step(order) != SQLITE_DONE)
                qFatal("bench_report: %s", sqlite3_errmsg(raw));
            sqlite3_reset(order);
            for (int k = 1; k <= kLinesEach; ++k) {
                sqlite3_bind_text(line, 1, no.constData(), int(no.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int(line, 2, 100 * k);
                sqlite3_bind_double(line, 3, 35.0 * k);
                sqlite3_step(line);
                sqlite3_reset(line);
            }
        }
        sqlite3_finalize(order);
        sqlite3_finalize(line);
        Qd::Bench::exec(raw, "commit");
        Qd::Bench::exec(raw, "analyze");

        for (const auto& [code, title] :
             {std::pair{"RPT01", "订单明细表"}, std::pair{"RPT02", "客户消费汇总"}})
            session.db->exec(F("insert into qd_sys_rptmain(orgid, code, title, pluginfo) "
                               "values(1, :code, :title, :info)"),
                             {{F("code"), QString::fromLatin1(code)},
                              {F("title"), F(title)},
                              {F("info"), demoDescriptor(code)}});
        session.login();
        lines.code = F("RPT01");
        lines.title = F("订单明细表");
        summary.code = F("RPT02");
        summary.title = F("客户消费汇总");
    }
};

// A report window of `item` with its dates set; the store and the others left empty.
std::unique_ptr<Report::TBaseReportForm> reportForm(Sys::TPlugItemSingleBasic& item, const char* bt,
                                                    const char* et) {
    auto form = std::make_unique<Report::TBaseReportForm>(nullptr, &item);
    form->FormCreate();
    form->init(item.title, QString());
    form->vgParams->setValue(F("bt"), F(bt));
    form->vgParams->setValue(F("et"), F(et));
    return form;
}

// The report's statement as the session translates it, prepared raw on the session's own
// connection (which holds the translator's functions), its parameters bound by name from
// `values` (the others NULL).
sqlite3_stmt* rawStatement(const QString& descriptor, const std::map<QString, QString>& values) {
    ReportBench& b = ReportBench::get();
    const QString mainsql =
        QJsonDocument::fromJson(descriptor.toUtf8()).object().value(F("mainsql")).toString();
    const QStringList translated = b.session.db->session().explain(Sys::sqlTemplate(mainsql));
    sqlite3_stmt* st = nullptr;
    sqlite3* db = b.session.db->handle();
    if (translated.size() != 1 || sqlite3_prepare_v2(db, translated.front().toUtf8().constData(),
                                                     -1, &st, nullptr) != SQLITE_OK)
        qFatal("bench_report: cannot prepare the translated statement (%s): %s", sqlite3_errmsg(db),
               qPrintable(translated.join(u'\n')));
    for (int p = 1; p <= sqlite3_bind_parameter_count(st); ++p) {
        const QString name = QString::fromUtf8(sqlite3_bind_parameter_name(st, p)).mid(1);
        const auto it = values.find(name.toLower());
        if (it == values.end()) {
            sqlite3_bind_null(st, p);
            continue;
        }
        const QByteArray v = it->second.toUtf8();
        sqlite3_bind_text(st, p, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    }
    return st;
}

void openReport(benchmark::State& state, Sys::TPlugItemSingleBasic& item, const char* bt,
                const char* et) {
    ReportBench::get();
    std::unique_ptr<Report::TBaseReportForm> form = reportForm(item, bt, et);
    Ui::GridView* view = form->cxgMainDBBandedTableView1;
    const Ui::GridColumn* amount = view->columnByField(F("je"));
    double peak = 0;
    for (auto _ : state) {
        Qd::Bench::resetPeakMemory();
        form->actopen->trigger();
        benchmark::DoNotOptimize(view->footerText(amount));
        peak = std::max(peak, Qd::Bench::peakMemoryMiB());
    }
    state.counters["rows"] = form->cdsMain.recordCount();
    state.counters["rows/s"] =
        benchmark::Counter(double(form->cdsMain.recordCount()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kIsIterationInvariant);
    state.counters["peakMiB"] = peak;
}

void openRaw(benchmark::State& state, const char* code, const char* bt, const char* et) {
    ReportBench::get();
    sqlite3_stmt* st = rawStatement(demoDescriptor(code), {{F("bt"), F(bt)}, {F("et"), F(et)}});
    int rows = 0;
    for (auto _ : state) {
        rows = Qd::Bench::readAll(st);
        sqlite3_reset(st);
    }
    state.counters["rows"] = rows;
    state.counters["fullscan"] = sqlite3_stmt_status(st, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0);
    sqlite3_finalize(st);
}

const char kFrom[] = "2000-01-01";
const char kTo[] = "2030-12-31";
const char kMonthFrom[] = "2026-06-01";
const char kMonthTo[] = "2026-06-30";

void BM_OrderLines(benchmark::State& state) {
    openReport(state, ReportBench::get().lines, kFrom, kTo);
}
void BM_OrderLinesRaw(benchmark::State& state) {
    openRaw(state, "RPT01", kFrom, kTo);
}
void BM_OrderLinesMonth(benchmark::State& state) {
    openReport(state, ReportBench::get().lines, kMonthFrom, kMonthTo);
}
void BM_OrderLinesMonthRaw(benchmark::State& state) {
    openRaw(state, "RPT01", kMonthFrom, kMonthTo);
}
void BM_CustomerSummary(benchmark::State& state) {
    openReport(state, ReportBench::get().summary, kFrom, kTo);
}
void BM_CustomerSummaryRaw(benchmark::State& state) {
    openRaw(state, "RPT02", kFrom, kTo);
}

// The window shown over 10^6 rows: the time from the query's end to its first painted screen.
void BM_FirstPaint(benchmark::State& state) {
    std::unique_ptr<Report::TBaseReportForm> form =
        reportForm(ReportBench::get().lines, kFrom, kTo);
    form->resize(1280, 760);
    for (auto _ : state) {
        state.PauseTiming();
        form->hide();
        form->actopen->trigger();
        state.ResumeTiming();
        form->show();
        benchmark::DoNotOptimize(form->grab());
    }
    state.counters["rows"] = form->cdsMain.recordCount();
}

// 复制选中行 of every row and column.
void BM_CopyAll(benchmark::State& state) {
    std::unique_ptr<Report::TBaseReportForm> form =
        reportForm(ReportBench::get().lines, kFrom, kTo);
    form->actopen->trigger();
    form->cxgMainDBBandedTableView1->selectAll();
    qsizetype length = 0;
    for (auto _ : state)
        length = form->selectedText(false).size();
    state.counters["MiB"] = double(length) * 2 / (1 << 20);
}

// The same text built by a plain loop over the rows and the shown columns.
void BM_CopyAllRaw(benchmark::State& state) {
    std::unique_ptr<Report::TBaseReportForm> form =
        reportForm(ReportBench::get().lines, kFrom, kTo);
    form->actopen->trigger();
    const Db::RecordSet& rs = form->cdsMain;
    std::vector<int> fields;
    for (const Ui::GridColumn* c : form->cxgMainDBBandedTableView1->columns())
        fields.push_back(rs.fieldIndex(c->fieldName));
    qsizetype length = 0;
    for (auto _ : state) {
        QString text;
        for (int pos = 0; pos < rs.recordCount(); ++pos) {
            const std::uint32_t row = rs.rowAt(pos);
            for (int f : fields) {
                text += rs.textAt(row, f);
                text += u'\t';
            }
            text += QStringLiteral("\r\n");
        }
        length = text.size();
    }
    state.counters["MiB"] = double(length) * 2 / (1 << 20);
}

}  // namespace

BENCHMARK(BM_OrderLinesRaw)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_OrderLines)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_OrderLinesMonthRaw)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_OrderLinesMonth)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_CustomerSummaryRaw)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_CustomerSummary)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_FirstPaint)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_CopyAllRaw)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_CopyAll)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_OrderLines", "BM_OrderLinesRaw", 1.5},
                                     {"BM_OrderLinesMonth", "BM_OrderLinesMonthRaw", 1.5},
                                     {"BM_CustomerSummary", "BM_CustomerSummaryRaw", 1.15},
                                     {"BM_CopyAll", "BM_CopyAllRaw", 2.0}});
}
