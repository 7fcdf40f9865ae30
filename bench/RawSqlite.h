#pragma once

// The raw baselines' sqlite3 calls, shared by the benchmarks that compare a window against them.

#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <QtGlobal>

namespace Qd::Bench {

inline bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Steps a prepared statement to its end reading every column as its type asks; the rows.
inline int readAll(sqlite3_stmt* st) {
    int rows = 0;
    qint64 sink = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0, n = sqlite3_column_count(st); c < n; ++c) {
            switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                    sink += sqlite3_column_int64(st, c);
                    break;
                case SQLITE_FLOAT:
                    sink += qint64(sqlite3_column_double(st, c));
                    break;
                case SQLITE_TEXT:
                    sink += sqlite3_column_bytes(st, c) + *sqlite3_column_text(st, c);
                    break;
                case SQLITE_BLOB:
                    sink += sqlite3_column_bytes(st, c);
                    break;
                default:
                    break;
            }
        }
    }
    benchmark::DoNotOptimize(sink);
    return rows;
}

}  // namespace Qd::Bench
