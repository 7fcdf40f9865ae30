#pragma once

#include <memory>
#include <vector>

#include "db/BackendDataServices.h"

namespace Qd::Core::Db {

// The data services over an ODBC connection: SQL Server through FreeTDS or Microsoft's driver
// (batches go to the server as written), or the embedded database through its ODBC driver
// (batches pass the T-SQL translator first; tests and benchmarks). The contract is the
// embedded backend's: named parameters, typed result sets, errors shown and traced, a batch that
// fails changes nothing, the file store and bill versions in the same database.
class OdbcDataServices : public BackendDataServices {
public:
    struct Options {
        int loginTimeoutSeconds = 10;  // connecting, and reconnecting after a lost link
        int queryTimeoutSeconds = 0;   // 0: statements may run as long as they need
    };

    // Connects with an ODBC connection string ("Driver=FreeTDS;Server=...;UID=...;PWD=...", or
    // "DSN=name"). Throws DbError naming the server and the reason; never the password.
    explicit OdbcDataServices(const QString& connection);
    OdbcDataServices(const QString& connection, Options options);
    ~OdbcDataServices() override;

    QStringList parameterNames(const QString& sql) override;

    bool putFile(const QString& name, QIODevice& stream) override;
    QString downloadFile(const QString& name) override;
    bool delAttachFile(const QString& name) override;

    DataPacket query(const QString& sql, const Params& params = {}) override;
    void exec(const QString& sql, const Params& params = {}) override;
    DataPacket queryLast(const QString& sql, const Params& params = {}) override;
    // Every result set of a batch, in order.
    std::vector<DataPacket> queryAll(const QString& sql, const Params& params = {});

    // What the connection reaches, for people: "server / database" (the DSN, or the file of
    // the embedded driver); never the password.
    QString target() const;
    // The connection string with its secrets masked.
    QString maskedConnection() const;
    // The database's product name as the driver reports it ("Microsoft SQL Server", "SQLite").
    QString dbmsName() const;
    // True when batches pass the T-SQL translator (the embedded database's driver).
    bool translates() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace Qd::Core::Db
