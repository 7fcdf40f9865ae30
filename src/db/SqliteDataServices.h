#pragma once

#include <memory>

#include "db/BackendDataServices.h"

struct sqlite3;

namespace Qd::Core::Db {

namespace Tsql {
class Session;
}

// The data services over an SQLite database file (or ":memory:"). The file is opened in WAL mode
// with a busy timeout, so that several clients can share it. Stored files live in the table
// qd_sys_filestore of the same database; local copies go to "cache/files/" under the program
// home.
class SqliteDataServices : public BackendDataServices {
public:
    // Opens (creating when missing) the database at `path`; throws DbError naming the path when
    // it cannot be opened.
    // `vfs` names the file system to open it with (the default when null; tests pass the one
    // of FaultVfs).
    explicit SqliteDataServices(const QString& path, int busyTimeoutMs = 5000,
                                const char* vfs = nullptr);
    ~SqliteDataServices() override;

    QStringList parameterNames(const QString& sql) override;
    // A plain query stays open on the connection while its rows come in chunks.
    std::unique_ptr<ChunkedLoad> openDataInChunks(RecordSet& rs, const QString& sql,
                                                  const Params& params = {}) override;

    bool putFile(const QString& name, QIODevice& stream) override;
    QString downloadFile(const QString& name) override;
    bool delAttachFile(const QString& name) override;

    DataPacket query(const QString& sql, const Params& params = {}) override;
    void exec(const QString& sql, const Params& params = {}) override;
    DataPacket queryLast(const QString& sql, const Params& params = {}) override;

    const QString& path() const;
    sqlite3* handle() const;
    // The session every batch runs through (tools that want every result set, or the
    // translation of a batch). Its errors are TsqlError / TsqlExecError as they come.
    Tsql::Session& session();

    struct Impl;  // the connection and its session; opaque outside the implementation

private:
    std::unique_ptr<Impl> d;
};

}  // namespace Qd::Core::Db
