// Report-shaped T-SQL over 10^6 order lines: a monthly summary per customer with a running
// total and a row number (join, group by month, window functions), against the same query
// written for the embedded database by hand and read with raw sqlite3 calls; and the sum of a
// decimal(18,2) column through the translator against SQLite's own floating sum.
#include <sqlite3.h>

#include "BenchDatabase.h"
#include "BenchMain.h"
#include "db/SqliteDataServices.h"

using namespace Qd::Core::Db;

namespace {

constexpr int kLines = 1 << 20;  // order lines; a header has 8 of them
constexpr int kCustomers = 500;

const char* kReportTsql =
    "select kh_id, ym, amount,\n"
    "       row_number() over (partition by kh_id order by ym) as n,\n"
    "       sum(amount) over (partition by kh_id order by ym) as running\n"
    "from (select h.kh_id, convert(varchar(7), h.billdate, 120) as ym, sum(l.amount) as amount\n"
    "      from ordh h join ordl l on l.bill_id = h.id\n"
    "      group by h.kh_id, convert(varchar(7), h.billdate, 120)) m\n"
    "order by kh_id, ym";

const char* kReportSqlite =
    "select kh_id, ym, amount,\n"
    "       row_number() over (partition by kh_id order by ym) as n,\n"
    "       sum(amount) over (partition by kh_id order by ym) as running\n"
    "from (select h.kh_id, substr(h.billdate, 1, 7) as ym, sum(l.amount) as amount\n"
    "      from ordh h join ordl l on l.bill_id = h.id\n"
    "      group by h.kh_id, substr(h.billdate, 1, 7)) m\n"
    "order by kh_id, ym";

struct Fixture : Qd::Bench::BenchDatabase {
    Fixture() {
        // Rows are made by doubling a numbers table through the translator, so that they are
        // stored as the translator stores them.
        db->exec(QStringLiteral(
            "create table num (i int primary key)\n"
            "create table ordh (id int primary key, kh_id int, billdate datetime)\n"
            "create table ordl (id int primary key, bill_id int, qty int, price decimal(18,2), "
            "amount decimal(18,2))\n"
            "insert into num values(0)"));
        for (int size = 1; size < kLines; size *= 2)
            db->exec(QStringLiteral("insert into num select i + %1 from num").arg(size));
        db->exec(QStringLiteral(
                     "insert into ordh select i, i % %1, dateadd(day, i % 730, '2025-01-01') "
                     "from num where i < %2\n"
                     "insert into ordl select i, i / 8, 1 + i % 7, cast((i % 997) / 100.0 as "
                     "decimal(18,2)), cast((1 + i % 7) * ((i % 997) / 100.0) as decimal(18,2)) "
                     "from num")
                     .arg(kCustomers)
                     .arg(kLines / 8));
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Steps a hand-written statement to its end, reading every column as its type.
void stepAll(sqlite3* db, const char* sql, benchmark::State& state) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        state.SkipWithError(sqlite3_errmsg(db));
        return;
    }
    std::int64_t n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            n += sqlite3_column_type(st, c) == SQLITE_TEXT
                     ? sqlite3_column_bytes(st, c)
                     : std::int64_t(sqlite3_column_double(st, c));
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(n);
}

void BM_ReportHandWritten(benchmark::State& state) {
    sqlite3* db = fixture().db->handle();
    for (auto _ : state)
        stepAll(db, kReportSqlite, state);
}

void BM_ReportTsql(benchmark::State& state) {
    SqliteDataServices& db = *fixture().db;
    const QString sql = QString::fromLatin1(kReportTsql);
    for (auto _ : state) {
        try {
            DataPacket rows = db.query(sql);
            benchmark::DoNotOptimize(rows.recordCount());
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());  // a construct the translator refuses
            return;
        }
    }
}

void BM_SumDecimalFloat(benchmark::State& state) {
    sqlite3* db = fixture().db->handle();
    for (auto _ : state)
        stepAll(db, "select sum(amount) from ordl", state);
}

void BM_SumDecimalTsql(benchmark::State& state) {
    SqliteDataServices& db = *fixture().db;
    const QString sql = QStringLiteral("select sum(amount) from ordl");
    for (auto _ : state) {
        DataPacket rows = db.query(sql);
        benchmark::DoNotOptimize(rows.recordCount());
    }
}

}  // namespace

BENCHMARK(BM_ReportHandWritten)->Unit(benchmark::kMillisecond)->MinTime(2)->Repetitions(3);
BENCHMARK(BM_ReportTsql)->Unit(benchmark::kMillisecond)->MinTime(2)->Repetitions(3);
BENCHMARK(BM_SumDecimalFloat)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_SumDecimalTsql)->Unit(benchmark::kMillisecond)->MinTime(1);

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_ReportTsql", "BM_ReportHandWritten", 1.2},
                                     {"BM_SumDecimalTsql", "BM_SumDecimalFloat", 1.5}});
}
