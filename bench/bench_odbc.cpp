// The ODBC data services loading 10^6 rows of 8 columns through the embedded database's ODBC
// driver, against a plain ODBC fetch loop over the same statement, driver and block size; and
// the embedded backend reading the same file, which shows what the driver itself costs.
//   bench_odbc [--benchmark_filter=...] [--benchmark_enable_random_interleaving=true]

#include <malloc.h>

#include <array>

#include "BenchMain.h"
#include "GoodsLines.h"
#include "db/odbc/Odbc.h"
#include "db/odbc/OdbcDataServices.h"
#include "db/odbc/OdbcLoader.h"
#include "support/OdbcTestEnv.h"

using namespace Qd::Core::Db;

namespace {

const QString kSelect =
    QStringLiteral("select id, code, name, qty, price, amount, made, ok from lines");

QString connection() {
    QString why;
    if (!Qd::Test::registerSqliteOdbcDriver(&why))
        qFatal("%s", qPrintable(why));
    return Qd::Test::sqliteOdbcConnection(
        Qd::Bench::goodsLines().dir.filePath(QStringLiteral("bench.db")));
}

void BM_OdbcDataServicesQuery(benchmark::State& state) {
    OdbcDataServices odbc(connection());
    for (auto _ : state) {
        const DataPacket rs = odbc.query(kSelect);
        if (rs.recordCount() != Qd::Bench::kGoodsLines)
            state.SkipWithError("query failed");
    }
}

// Baseline: the statement through plain ODBC calls on a connection of its own: column-wise
// bound arrays of the same C types and block size the loader uses, fetched to the end, each
// value touched.
class PlainOdbc {
public:
    // `text`: the connection string (the driver registered before the environment is made).
    explicit PlainOdbc(const QString& text) {
        using namespace Odbc;
        m_env = Handle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
        SQLSetEnvAttr(m_env.get(), SQL_ATTR_ODBC_VERSION, SQLPOINTER(SQL_OV_ODBC3), 0);
        m_dbc = Handle(SQL_HANDLE_DBC, m_env.get());
        check(SQLDriverConnectW(m_dbc.get(), nullptr, wide(text), SQLSMALLINT(text.size()), nullptr,
                                0, nullptr, SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, m_dbc.get(), QStringLiteral("connect"));
    }

    // The rows fetched.
    qint64 fetchAll() {
        using namespace Odbc;
        struct Bound {
            SQLSMALLINT cType;
            SQLLEN width;
            std::vector<char> values;
            std::vector<SQLLEN> lengths;
        };
        // id, code nvarchar(20), name nvarchar(40), qty, price, amount, made, ok
        std::array<Bound, 8> cols{{{SQL_C_SBIGINT, sizeof(SQLBIGINT), {}, {}},
                                   {SQL_C_WCHAR, (20 + 1) * 2, {}, {}},
                                   {SQL_C_WCHAR, (40 + 1) * 2, {}, {}},
                                   {SQL_C_SBIGINT, sizeof(SQLBIGINT), {}, {}},
                                   {SQL_C_CHAR, 64, {}, {}},
                                   {SQL_C_DOUBLE, sizeof(double), {}, {}},
                                   {SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT), {}, {}},
                                   {SQL_C_SBIGINT, sizeof(SQLBIGINT), {}, {}}}};
        Handle stmt(SQL_HANDLE_STMT, m_dbc.get());
        SQLULEN fetched = 0;
        SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0);
        SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(kRowsPerBlock), 0);
        SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        for (std::size_t c = 0; c < cols.size(); ++c) {
            Bound& col = cols[c];
            col.values.resize(std::size_t(col.width) * kRowsPerBlock);
            col.lengths.resize(kRowsPerBlock);
            SQLBindCol(stmt.get(), SQLUSMALLINT(c + 1), col.cType, col.values.data(), col.width,
                       col.lengths.data());
        }
        check(SQLExecDirectW(stmt.get(), wide(kSelect), SQLINTEGER(kSelect.size())),
              SQL_HANDLE_STMT, stmt.get(), QStringLiteral("select"));
        qint64 rows = 0, sink = 0;
        for (SQLRETURN rc; (rc = SQLFetch(stmt.get())) != SQL_NO_DATA;) {
            check(rc, SQL_HANDLE_STMT, stmt.get(), QStringLiteral("fetch"));
            for (SQLULEN r = 0; r < fetched; ++r)
                for (const Bound& col : cols)
                    if (col.lengths[r] != SQL_NULL_DATA)
                        sink += col.lengths[r] + col.values[std::size_t(col.width) * r];
            rows += qint64(fetched);
        }
        benchmark::DoNotOptimize(sink);
        return rows;
    }

private:
    Odbc::Handle m_env, m_dbc;
};

void BM_PlainOdbcFetch(benchmark::State& state) {
    PlainOdbc odbc(connection());
    for (auto _ : state)
        if (odbc.fetchAll() != Qd::Bench::kGoodsLines)
            state.SkipWithError("fetch failed");
}

// The embedded backend on the same file: the driver's own cost shows against it.
void BM_SqliteDataServicesQuery(benchmark::State& state) {
    SqliteDataServices& db = *Qd::Bench::goodsLines().db;
    for (auto _ : state) {
        const DataPacket rs = db.query(kSelect);
        if (rs.recordCount() != Qd::Bench::kGoodsLines)
            state.SkipWithError("query failed");
    }
}

}  // namespace

BENCHMARK(BM_PlainOdbcFetch)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_OdbcDataServicesQuery)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_SqliteDataServicesQuery)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

int main(int argc, char** argv) {
    // The driver allocates and frees the values of every row: with the allocator's trimming, a
    // heap that the benchmark before left small goes back to the system and faults in again
    // thousands of times a load, which times the heap's history rather than the loop. One
    // setting for every benchmark of the run.
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
    return Qd::Bench::runWithRatios(
        argc, argv,
        {{"BM_OdbcDataServicesQuery", "BM_PlainOdbcFetch", 1.5},
         {"BM_OdbcDataServicesQuery", "BM_SqliteDataServicesQuery", 0}});
}
