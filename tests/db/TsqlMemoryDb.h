#pragma once

// An in-memory embedded database with a T-SQL session on it, for the T-SQL layer's tests: the
// values of the first result set of a batch, row by row, and the T-SQL types of its columns.
#include <sqlite3.h>

#include <QVariantList>
#include <memory>
#include <vector>

#include "db/SqliteValues.h"
#include "db/tsql/TsqlSession.h"

struct TsqlMemoryDb {
    sqlite3* db = nullptr;
    std::unique_ptr<Qd::Core::Db::Tsql::Session> session;
    QStringList columnTypes;  // of the result set values() returned last

    TsqlMemoryDb() {
        sqlite3_open(":memory:", &db);
        session = std::make_unique<Qd::Core::Db::Tsql::Session>(db);
    }
    ~TsqlMemoryDb() {
        session.reset();
        sqlite3_close(db);
    }
    TsqlMemoryDb(const TsqlMemoryDb&) = delete;
    TsqlMemoryDb& operator=(const TsqlMemoryDb&) = delete;

    std::vector<QVariantList> values(const QString& batch,
                                     const Qd::Core::Db::Params& params = {}) {
        struct Rows : Qd::Core::Db::Tsql::Session::ResultSink {
            std::vector<QVariantList> out;
            QStringList types;
            void columns(sqlite3_stmt*, const QStringList& t, std::shared_ptr<void>&) override {
                types = t;
            }
            void row(sqlite3_stmt* st) override {
                QVariantList cells;
                for (int c = 0; c < sqlite3_column_count(st); ++c)
                    cells << Qd::Core::Db::columnVariant(st, c);
                out.push_back(cells);
            }
        } sink;
        session->run(batch, params, &sink);
        columnTypes = sink.types;
        return sink.out;
    }
};
