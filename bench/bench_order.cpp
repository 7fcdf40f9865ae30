// The order window on a large demo: store MD01 with 10^5 orders of 10 lines (10^6 lines) and one
// order of 10^4 lines, store MD02 with 10^3 orders. Each step of the window against a raw
// baseline in the same run, the same translated statements through plain sqlite3 calls:
//   - opening the 10^4-line order (OpenBillData: both queries, the record sets, the grid's model,
//     the header) against preparing and stepping both statements, reading every column; and the
//     time to the first painted screen of a window opened on it;
//   - saving 10^3 edited lines of it (_Update, one guarded batch) against the same update
//     statements in one raw transaction; and the whole 保存 (check, write, images, reload);
//   - 后单 among 10^5 orders against the raw statements, and against a step among 10^3;
//   - a window made on a demo order while its item and customer lookups list 10^6 rows each,
//     to its first painted screen, against the same over 10^2 rows (the window's memory
//     reported as windowMiB).
//   bench_order [--benchmark_filter=...]
#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>

#include "BenchMain.h"
#include "DemoBench.h"
#include "DemoOrderBill.h"
#include "RawSqlite.h"
#include "bill/uCustBillRuleObj.h"
#include "db/DataServices.h"
#include "db/SqliteDataServices.h"
#include "db/tsql/TsqlSession.h"
#include "sys/SystemServices.h"

using namespace Qd::Core;
using Qd::App::TOrderBillForm;
using Qd::Bench::exec;
using Qd::Bench::readAll;

namespace {

constexpr int kLargeOrders = 100000;
constexpr int kLinesPerOrder = 10;
constexpr int kSmallOrders = 1000;
constexpr int kBigLines = 10000;
constexpr int kEditedLines = 1000;
const QString kBig = QStringLiteral("A9999999");  // the 10^4-line order, last of MD01's chain

QString F(const char* text) {
    return QString::fromUtf8(text);
}

// Orders `prefix` + number for a store, each with `lines` lines, through raw inserts.
void addOrders(sqlite3* db, int store, int employee, const char* prefix, int first, int count,
               int lines) {
    sqlite3_stmt* order = nullptr;
    sqlite3_stmt* line = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version,"
                       " kdr_id, kh_id, ywy_id, gcxmmc, zy, je, beizhu)"
                       " values(1, ?1, ?2, '2026-11-01 09:00:00', ?3, 1, ?4, ?5, ?4, ?6,"
                       " '批量', ?7, '')",
                       -1, &order, nullptr);
    sqlite3_prepare_v2(db,
                       "insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj,"
                       " zk, je, beizhu) values(1, ?1, ?2, ?3, ?4, ?5, 1, 12.5, 1, ?6, '')",
                       -1, &line, nullptr);
    for (int i = first; i < first + count; ++i) {
        const QByteArray no = QByteArray(prefix) + QByteArray::number(i).rightJustified(7, '0');
        sqlite3_bind_int(order, 1, store);
        sqlite3_bind_text(order, 2, no.constData(), int(no.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(order, 3, i % 3 == 1 ? 1 : 0);  // the big order is a draft
        sqlite3_bind_int(order, 4, employee);
        sqlite3_bind_int(order, 5, 1 + i % 5);
        const QByteArray project = QStringLiteral("项目%1").arg(i).toUtf8();
        sqlite3_bind_text(order, 6, project.constData(), int(project.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(order, 7, 12.5 * lines * 3);
        sqlite3_step(order);
        sqlite3_reset(order);
        for (int l = 0; l < lines; ++l) {
            const QByteArray uid = no + '-' + QByteArray::number(l);
            const QByteArray name = QStringLiteral("条目%1").arg(l).toUtf8();
            sqlite3_bind_text(line, 1, no.constData(), int(no.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(line, 2, uid.constData(), int(uid.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(line, 3, 1 + l % 10);
            sqlite3_bind_text(line, 4, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(line, 5, 3);
            sqlite3_bind_double(line, 6, 37.5);
            sqlite3_step(line);
            sqlite3_reset(line);
        }
    }
    sqlite3_finalize(order);
    sqlite3_finalize(line);
}

int intOf(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    const int v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    return v;
}

// The demo database with the orders above, the window, and a raw connection to the same file.
struct OrderBench {
    Qd::Bench::DemoBench demo{QStringLiteral("/tmp/qd_bench_order_XXXXXX")};
    Db::SqliteDataServices* db = demo.db.get();
    sqlite3* raw = demo.raw;
    std::unique_ptr<Sys::SystemServices> sys;
    std::unique_ptr<TOrderBillForm> form;
    QString masterSql;  // the window's statements, translated, the number as :billno
    QString detailSql;
    int employee = 0;

    OrderBench() {
        employee = intOf(raw, "select yg_id from qd_sys_users where code = '1001'");
        const int md01 = intOf(raw, "select id from qd_b_ckbmk where code = 'MD01'");
        const int md02 = intOf(raw, "select id from qd_b_ckbmk where code = 'MD02'");
        exec(raw, "begin");
        addOrders(raw, md01, employee, "A", 1, kLargeOrders, kLinesPerOrder);
        addOrders(raw, md02, employee, "E", 1, kSmallOrders, kLinesPerOrder);
        addOrders(raw, md01, employee, "A", 9999999, 1, kBigLines);
        exec(raw, "commit");
        exec(raw, "analyze");

        sys = std::make_unique<Sys::SystemServices>(*db);
        Sys::setSystemServices(sys.get());
        sys->login(F("1001"), F("123456"), md01);
        Sys::TPlugItem* item = sys->plugs().plugbyName(F("订单"), true);
        auto* window = new TOrderBillForm(nullptr, item);
        window->setOpening(QString(), kBig);
        window->FormCreate();
        window->resize(1200, 800);
        window->show();
        // The head store audits after a save; here a save is all that is measured.
        window->CustBillRule->Fflag.fill(QLatin1Char('0'));
        form.reset(window);
        // The window goes with the application, before the statics are destroyed.
        qAddPostRoutine([] { get().form.reset(); });

        // What OpenBillData sends, translated once with the number as a parameter.
        const QJsonObject data = window->pluginfo.value(F("data")).toObject();
        auto translated = [this](QString sql) {
            sql.replace(F("{billno}"), F(":billno"));
            return db->session().explain(sql).join(F(";\n"));
        };
        masterSql = translated(data.value(F("master")).toObject().value(F("sql")).toString());
        detailSql = translated(data.value(F("detail")).toObject().value(F("sql")).toString());
    }
    ~OrderBench() {
        form.reset();
        Sys::setSystemServices(nullptr);
    }

    static OrderBench& get() {
        static OrderBench bench;
        return bench;
    }

    // Both statements of one bill through raw calls; the lines read.
    int rawOpen(const QByteArray& no) {
        int lines = 0;
        for (const QString* sql : {&masterSql, &detailSql}) {
            sqlite3_stmt* st = nullptr;
            const QByteArray text = sql->toUtf8();
            sqlite3_prepare_v2(raw, text.constData(), int(text.size()), &st, nullptr);
            sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, ":orgid"), "1", 1,
                              SQLITE_STATIC);
            sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, ":billno"), no.constData(),
                              int(no.size()), SQLITE_STATIC);
            lines = readAll(st);
            sqlite3_finalize(st);
        }
        return lines;
    }

    // The big order into edit, as 修改 does, with `edited` lines given new quantities.
    void editBigOrder(int round) {
        form->OpenBillData(kBig);
        form->actEdit->trigger();
        Db::RecordSet& lines = form->cdsDetail;
        lines.disableControls();
        lines.first();
        for (int i = 0; i < kEditedLines; ++i, lines.next()) {
            lines.edit();
            lines.field(F("sl")).setValue(2 + (round + i) % 7);
            lines.post();
        }
        lines.enableControls();
    }
    // Back to browsing the stored order (the edit dropped).
    void dropEdit() {
        form->FDataOperateState = Sys::TOperateState::browse;
        form->cdsMaster.cancel();
        form->OpenBillData(kBig);
    }
};

void BM_OpenBigOrder(benchmark::State& state) {
    OrderBench& b = OrderBench::get();
    for (auto _ : state)
        b.form->OpenBillData(kBig);
    state.counters["lines"] = b.form->cdsDetail.recordCount();
}

void BM_OpenBigOrderRaw(benchmark::State& state) {
    OrderBench& b = OrderBench::get();
    const QByteArray no = kBig.toUtf8();
    int lines = 0;
    for (auto _ : state)
        lines = b.rawOpen(no);
    state.counters["lines"] = lines;
}

// A window opened on the big order, to its first painted screen.
void BM_OpenBigOrderFirstPaint(benchmark::State& state) {
    OrderBench& b = OrderBench::get();
    for (auto _ : state) {
        auto window = std::make_unique<TOrderBillForm>(nullptr, b.form->PlugItem);
        window->setOpening(QString(), kBig);
        window->FormCreate();
        window->resize(1200, 800);
        benchmark::DoNotOptimize(window->grab());
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

// Times `write` after each round's edit of the big order (posted, as the save posts it); the
// edit is dropped afterwards, untimed.
void timeEditedSave(benchmark::State& state, const std::function<bool(OrderBench&)>& write) {
    OrderBench& b = OrderBench::get();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        b.editBigOrder(++round);
        b.form->cdsMaster.checkBrowseMode();
        state.ResumeTiming();
        if (!write(b))
            state.SkipWithError("the save failed");
        state.PauseTiming();
        b.dropEdit();
        state.ResumeTiming();
    }
}

void BM_SaveThousandLines(benchmark::State& state) {
    timeEditedSave(state, [](OrderBench& b) { return b.form->_Update() == 0; });
}

// The statements of that save, translated (untimed), in one raw transaction.
void BM_SaveThousandLinesRaw(benchmark::State& state) {
    timeEditedSave(state, [&state](OrderBench& b) {
        state.PauseTiming();
        QStringList sql;
        Db::GetUpDataSQLList(b.form->masterTableName, F("id"), b.form->MasterIgnorefields,
                             b.form->cdsMaster, sql, 0);
        Db::GetUpDataSQLList(F("qd_x_xmzzk_mx"), F("id"), {F("id")}, b.form->cdsDetail, sql, 0);
        sql.removeIf([](const QString& s) { return s.startsWith(F("if @@rowcount")); });
        std::vector<QByteArray> statements;
        for (const QString& s : b.db->session().explain(sql.join(F("\n"))))
            statements.push_back(s.toUtf8());
        state.ResumeTiming();
        bool done = exec(b.raw, "begin immediate");
        for (const QByteArray& s : statements) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(b.raw, s.constData(), int(s.size()), &st, nullptr);
            done = sqlite3_step(st) == SQLITE_DONE && done;
            sqlite3_finalize(st);
        }
        return exec(b.raw, "commit") && done;
    });
}

// The whole 保存 of the edit: checks, the write, both log images and the reload.
void BM_SaveWhole(benchmark::State& state) {
    OrderBench& b = OrderBench::get();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        b.editBigOrder(++round);
        state.ResumeTiming();
        b.form->actSave->trigger();
        if (b.form->FDataOperateState != Sys::TOperateState::browse)
            state.SkipWithError("the save failed");
    }
}

// 后单 from the middle of a store's chain, starting over at `first` at its end.
void stepThrough(benchmark::State& state, const QString& first) {
    OrderBench& b = OrderBench::get();
    b.form->OpenBillData(first);
    for (auto _ : state)
        b.form->OpenBillData(b.form->nextBillno.isEmpty() ? first : b.form->nextBillno);
    state.counters["lines"] = b.form->cdsDetail.recordCount();
}

void BM_StepLarge(benchmark::State& state) {
    stepThrough(state, F("A0050000"));
}

void BM_StepSmall(benchmark::State& state) {
    stepThrough(state, F("E0000001"));
}

// The same bills' two queries into record sets of their own: the data layer's share of a step.
void BM_StepLargeLoad(benchmark::State& state) {
    OrderBench& b = OrderBench::get();
    int n = 50000;
    for (auto _ : state) {
        Db::RecordSet master;
        Db::RecordSet detail;
        b.form->LoadBillData("A" + QString::number(++n).rightJustified(7, QLatin1Char('0')), master,
                             detail);
    }
}

void BM_StepLargeRaw(benchmark::State& state) {
    OrderBench& b = OrderBench::get();
    int n = 50000;
    for (auto _ : state) {
        const QByteArray no = "A" + QByteArray::number(++n).rightJustified(7, '0');
        benchmark::DoNotOptimize(b.rawOpen(no));
    }
}

// ---- the window over large lookups -----------------------------------------------------------

// Items and customers up to `count` each, with Chinese names and their pinyin initials, coded
// "G…" so that the demo's own rows (XM…, K…) sort after them, beyond a lookup's first rows.
void addLookupRows(sqlite3* db, int count) {
    static const char16_t kSyllables[] = u"华星金桥海蓝博学绿源恒信宏达新东方文化广告印务设计展览";
    const int kinds = int(std::size(kSyllables)) - 1;
    sqlite3_stmt* item = nullptr;
    sqlite3_stmt* customer = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into qd_b_xmbmk(orgid, p1, p2, code, name, helpcode, itemno,"
                       " baseunit, dj) values(1, 1, 2, ?1, ?2, ?3, 'A4', '张', 1.5)",
                       -1, &item, nullptr);
    sqlite3_prepare_v2(db,
                       "insert into qd_b_khbmk(orgid, ck_id, code, name, helpcode, mobile)"
                       " values(1, 1, ?1, ?2, ?3, '13900000000')",
                       -1, &customer, nullptr);
    const int items = count - intOf(db, "select count(*) from qd_b_xmbmk");
    const int customers = count - intOf(db, "select count(*) from qd_b_khbmk");
    for (int i = 0; i < std::max(items, customers); ++i) {
        QString name;
        for (int n = i, k = 0; k < 4; ++k, n /= kinds)
            name += QChar(kSyllables[n % kinds]);
        const QByteArray code = "G" + QByteArray::number(i).rightJustified(7, '0');
        const QByteArray text = name.toUtf8();
        const QByteArray help = Sys::HZtoPY(name).toUtf8();
        for (sqlite3_stmt* st : {item, customer}) {
            if ((st == item && i >= items) || (st == customer && i >= customers))
                continue;
            sqlite3_bind_text(st, 1, code.constData(), int(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, help.constData(), int(help.size()), SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(item);
    sqlite3_finalize(customer);
}

// The resident memory of the process now, in MiB.
double residentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = statm.readAll().split(' ');
    return pages.size() > 1 ? pages[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

// A demo database whose item and customer lookups list `rows` rows each, logged into MD01.
struct LookupBench {
    Qd::Bench::DemoBench demo{QStringLiteral("/tmp/qd_bench_order_lookups_XXXXXX")};
    std::unique_ptr<Sys::SystemServices> sys;

    explicit LookupBench(int rows) {
        exec(demo.raw, "begin");
        addLookupRows(demo.raw, rows);
        exec(demo.raw, "commit");
        exec(demo.raw, "analyze");
    }

    // The order window made on a demo order, to its first painted screen.
    void openWindow(benchmark::State& state) {
        Sys::setProgramHome(demo.dir.path());
        Db::setDataServices(demo.db.get());
        sys = std::make_unique<Sys::SystemServices>(*demo.db);
        Sys::setSystemServices(sys.get());
        sys->login(F("1001"), F("123456"), 1);
        Sys::TPlugItem* item = sys->plugs().plugbyName(F("订单"), true);
        const double before = residentMiB();
        double grown = 0;
        for (auto _ : state) {
            auto window = std::make_unique<TOrderBillForm>(nullptr, item);
            window->setOpening(QString(), F("Z202611017"));
            window->FormCreate();
            window->resize(1200, 800);
            benchmark::DoNotOptimize(window->grab());
            state.PauseTiming();
            grown = std::max(grown, residentMiB() - before);
            window.reset();
            state.ResumeTiming();
        }
        state.counters["windowMiB"] = grown;
        Sys::setSystemServices(nullptr);
        Db::setDataServices(nullptr);
    }
};

void BM_OpenOrderLookupsSmall(benchmark::State& state) {
    static LookupBench small(100);
    small.openWindow(state);
}

void BM_OpenOrderLookupsLarge(benchmark::State& state) {
    static LookupBench large(1000000);
    large.openWindow(state);
}

}  // namespace

BENCHMARK(BM_OpenOrderLookupsSmall)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);
BENCHMARK(BM_OpenOrderLookupsLarge)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);
BENCHMARK(BM_OpenBigOrderRaw)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_OpenBigOrder)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_OpenBigOrderFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveThousandLinesRaw)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);
BENCHMARK(BM_SaveThousandLines)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);
BENCHMARK(BM_SaveWhole)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StepLargeRaw)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_StepLargeLoad)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_StepLarge)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_StepSmall)->Unit(benchmark::kMicrosecond)->Repetitions(3);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(
        argc, argv,
        {{"BM_OpenBigOrder", "BM_OpenBigOrderRaw", 2.0},
         {"BM_SaveThousandLines", "BM_SaveThousandLinesRaw", 3.0},
         {"BM_StepLarge", "BM_StepLargeRaw", 2.0},
         {"BM_StepLarge", "BM_StepSmall", 1.5},
         {"BM_OpenOrderLookupsLarge", "BM_OpenOrderLookupsSmall", 1.2}});
}
