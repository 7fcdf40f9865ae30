// The data checkup over 10^5 orders with 10^6 lines and 10^4 customers, against raw baselines
// measured in the same run:
//   - a run of 10 checks by the window (no pause between checks) against the same checks
//     written by hand for SQLite and stepped through the C API; each check alone through the
//     data services against its raw statement (per-check ratios);
//   - the repair of 10^5 rows with its check again, in one transaction, by the window against
//     raw BEGIN / UPDATE / count / COMMIT.
//   bench_checkup [--benchmark_filter=...]
#include <sqlite3.h>

#include "BenchMain.h"
#include "BenchSession.h"
#include "RawSqlite.h"
#include "base/UnattendedPrompter.h"
#include "db/DataServices.h"
#include "sys/SystemServices.h"
#include "tools/uDataCheckupForm.h"

using namespace Qd::Core;

namespace {

constexpr int kFixRows = 100000;

// A check as the catalogue stores it and as written by hand for SQLite.
struct Check {
    const char* title;
    const char* tsql;
    const char* raw;
};

const Check kChecks[] = {
    {"订单没有明细",
     "select count(*) from qd_x_xmzzk m where m.orgid = :orgid and not exists (select 1 from "
     "qd_x_xmzzk_mx d where d.orgid = m.orgid and d.billno = m.billno)",
     "select count(*) from qd_x_xmzzk m where m.orgid = 1 and not exists (select 1 from "
     "qd_x_xmzzk_mx d where d.orgid = m.orgid and d.billno = m.billno)"},
    {"明细缺少项目", "select count(*) from qd_x_xmzzk_mx where orgid = :orgid and xm_id = 0",
     "select count(*) from qd_x_xmzzk_mx where orgid = 1 and xm_id = 0"},
    {"单号重复",
     "select count(*) from (select billno from qd_x_xmzzk where orgid = :orgid group by billno "
     "having count(*) > 1) t",
     "select count(*) from (select billno from qd_x_xmzzk where orgid = 1 group by billno having "
     "count(*) > 1) t"},
    {"客户重名",
     "select count(*) from (select name from qd_b_khbmk where orgid = :orgid group by name having "
     "count(*) > 1) t",
     "select count(*) from (select name from qd_b_khbmk where orgid = 1 group by name having "
     "count(*) > 1) t"},
    {"订单缺少客户", "select count(*) from qd_x_xmzzk where orgid = :orgid and kh_id = 0",
     "select count(*) from qd_x_xmzzk where orgid = 1 and kh_id = 0"},
    {"负数金额", "select count(*) from qd_x_xmzzk_mx where orgid = :orgid and je < 0",
     "select count(*) from qd_x_xmzzk_mx where orgid = 1 and je < 0"},
    {"数量为零", "select count(*) from qd_x_xmzzk_mx where orgid = :orgid and sl = 0",
     "select count(*) from qd_x_xmzzk_mx where orgid = 1 and sl = 0"},
    {"客户缺少电话",
     "select count(*) from qd_b_khbmk where orgid = :orgid and isnull(mobile, '') = ''",
     "select count(*) from qd_b_khbmk where orgid = 1 and ifnull(mobile, '') = ''"},
    {"有订单", "select count(*) from qd_x_xmzzk where orgid = :orgid",
     "select count(*) from qd_x_xmzzk where orgid = 1"},
    {"未来日期", "select count(*) from qd_x_xmzzk where orgid = :orgid and billdate > getdate()",
     "select count(*) from qd_x_xmzzk where orgid = 1 and billdate > datetime('now', 'localtime')"},
};
constexpr int kCheckCount = int(std::size(kChecks));

struct CheckupBench {
    Qd::Bench::BenchSession session;
    sqlite3* raw = nullptr;
    Ui::UnattendedPrompter prompter{Ui::UnattendedPrompter::Answer::Accept, false};

    static CheckupBench& get() {
        static CheckupBench b;
        return b;
    }

    CheckupBench() {
        raw = session.db->handle();
        Qd::Bench::exec(raw, "begin");
        Qd::Bench::exec(raw,
                        "with recursive n(i) as (select 1 union all select i + 1 from n where i < "
                        "10000) insert into qd_b_khbmk(orgid, code, name, mobile) select 1, 'K' "
                        "|| i, '客户' || i, case when i % 7 = 0 then null else '139' || i end "
                        "from n");
        Qd::Bench::exec(raw,
                        "with recursive n(i) as (select 1 union all select i + 1 from n where i < "
                        "100000) insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, kh_id, "
                        "je) select 1, 1, 'D' || i, datetime('2024-01-01', '+' || (i % 700) || "
                        "' days'), i % 10000, 100 from n");
        Qd::Bench::exec(raw,
                        "with recursive n(i) as (select 0 union all select i + 1 from n where i < "
                        "999999) insert into qd_x_xmzzk_mx(orgid, billno, xm_id, sl, dj, je) "
                        "select 1, 'D' || (i / 10 + 1), i % 97, i % 13, 10, (i % 13) * 10 from n");
        Qd::Bench::exec(raw, "create table qd_fixme(id integer primary key, unit text)");
        Qd::Bench::exec(raw, "commit");
        session.login();
        Ui::setPrompter(&prompter);
    }

    void catalogue(const QString& inserts) {
        session.db->exec(QStringLiteral("delete from qd_sys_checkitems\n") + inserts);
    }
};

QString checkRow(const char* title, const char* sql) {
    return QStringLiteral(
               "insert into qd_sys_checkitems(category, title, checksql, resultrule) "
               "values(N'单据', N'%1', N'%2', 0)\n")
        .arg(QString::fromUtf8(title), Db::quoteSql(QString::fromUtf8(sql)));
}

void BM_RunRaw(benchmark::State& state) {
    CheckupBench& b = CheckupBench::get();
    for (auto _ : state)
        for (const Check& c : kChecks) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(b.raw, c.raw, -1, &st, nullptr);
            benchmark::DoNotOptimize(Qd::Bench::readAll(st));
            sqlite3_finalize(st);
        }
}

void BM_Run(benchmark::State& state) {
    CheckupBench& b = CheckupBench::get();
    QString inserts;
    for (const Check& c : kChecks)
        inserts += checkRow(c.title, c.tsql);
    b.catalogue(inserts);
    Tools::Tdatacheckupform form(nullptr, QStringLiteral("CHK"));
    form.checkWaitMs = 0;
    for (auto _ : state)
        form.actdoStartExecute();
    state.counters["checks"] = form.cdsCheck.recordCount();
}

// One check through the data services, as the window runs it, and raw.
void checkRaw(benchmark::State& state, int check) {
    CheckupBench& b = CheckupBench::get();
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(b.raw, kChecks[check].raw, -1, &st, nullptr);
        benchmark::DoNotOptimize(Qd::Bench::readAll(st));
        sqlite3_finalize(st);
    }
}

void checkByServices(benchmark::State& state, int check) {
    CheckupBench::get();
    const QString sql = Sys::sqlTemplate(QString::fromUtf8(kChecks[check].tsql));
    for (auto _ : state) {
        Db::RecordSet rs;
        benchmark::DoNotOptimize(Db::dataServices().openDataToCDS(rs, sql));
    }
}

void resetFixTable(CheckupBench& b) {
    Qd::Bench::exec(b.raw, "delete from qd_fixme");
    Qd::Bench::exec(b.raw,
                    "with recursive n(i) as (select 1 union all select i + 1 from n where i < "
                    "100000) insert into qd_fixme(id, unit) select i, null from n");
}

void BM_FixRaw(benchmark::State& state) {
    CheckupBench& b = CheckupBench::get();
    for (auto _ : state) {
        state.PauseTiming();
        resetFixTable(b);
        state.ResumeTiming();
        Qd::Bench::exec(b.raw, "begin");
        Qd::Bench::exec(b.raw, "update qd_fixme set unit = 'x' where unit is null");
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(b.raw, "select count(*) from qd_fixme where unit is null", -1, &st,
                           nullptr);
        benchmark::DoNotOptimize(Qd::Bench::readAll(st));
        sqlite3_finalize(st);
        Qd::Bench::exec(b.raw, "commit");
    }
    state.counters["rows"] = kFixRows;
}

void BM_Fix(benchmark::State& state) {
    CheckupBench& b = CheckupBench::get();
    b.catalogue(
        QStringLiteral("insert into qd_sys_checkitems(category, title, checksql, "
                       "resultrule, fixsql) values(N'资料', N'缺少单位', N'select "
                       "count(*) from qd_fixme where unit is null', 0, N'update qd_fixme "
                       "set unit = ''x'' where unit is null')"));
    Tools::Tdatacheckupform form(nullptr, QStringLiteral("CHK"));
    form.checkWaitMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        resetFixTable(b);
        form.actdoStartExecute();  // finds the rows
        form.cdsCheck.first();
        state.ResumeTiming();
        form.actFixExecute();
    }
    state.counters["rows"] = kFixRows;
}

}  // namespace

BENCHMARK(BM_RunRaw)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Run)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_FixRaw)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Fix)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

int main(int argc, char** argv) {
    // Each check under a name of its own: ratios are taken per benchmark name.
    static std::vector<std::string> names;
    for (int i = 0; i < kCheckCount; ++i) {
        names.push_back("BM_Check" + std::to_string(i));
        names.push_back("BM_Check" + std::to_string(i) + "Raw");
    }
    for (int i = 0; i < kCheckCount; ++i) {
        benchmark::RegisterBenchmark(names[2 * i].c_str(), checkByServices, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(names[2 * i + 1].c_str(), checkRaw, i)
            ->Unit(benchmark::kMillisecond);
    }
    std::vector<Qd::Bench::Ratio> ratios = {{"BM_Run", "BM_RunRaw", 1.3},
                                            {"BM_Fix", "BM_FixRaw", 1.3}};
    for (int i = 0; i < kCheckCount; ++i)
        ratios.push_back({names[2 * i].c_str(), names[2 * i + 1].c_str(), 0});
    return Qd::Bench::runWithRatios(argc, argv, ratios);
}
