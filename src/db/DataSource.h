#pragma once

#include <QString>
#include <memory>

#include "db/BackendDataServices.h"

namespace Qd::Core::Db {

class SqliteDataServices;
class OdbcDataServices;

// Where the data is, as the client, qdsql, the tests and the benchmarks are told it: a file of
// the embedded database, or "odbc:" and an ODBC connection string
// ("odbc:Driver=FreeTDS;Server=host;Port=1433;Database=qd;UID=...;PWD=..." or "odbc:DSN=name").
struct DataSource {
    enum class Kind { File, Odbc };
    Kind kind = Kind::File;
    QString file;        // Kind::File: the database file
    QString connection;  // Kind::Odbc: the connection string, without "odbc:"

    bool isOdbc() const { return kind == Kind::Odbc; }
    // For people: the file with the platform's separators, or "server / database"; never a
    // password.
    QString displayName() const;
};

inline constexpr int kDefaultLoginTimeoutSeconds = 10;

// Reads a source as written after --db. "odbc:" (in any case) starts a connection string;
// anything else names a file. Throws DbError for an empty source and for a connection string
// that cannot be right (see connectionStringFault), naming the server and the fault, never
// the password.
DataSource parseDataSource(const QString& where);

// Why a connection string cannot be right, in the words the user is shown; empty when it may
// be. Parts of the string are never repeated: a stray part may be the tail of a password.
QString connectionStringFault(const QString& connection);

// What a connection string reaches, for people: "server:port / database", "DSN=name", or the
// database alone (the embedded driver's file); never the password.
QString connectionTarget(const QString& connection);

// The sentence for a database that holds none (or not all) of the framework's tables: `name`
// as displayName gives it, `missing` the tables it lacks (left out when it has none of them).
// The same words whichever backend, so that a user reads one message for one trouble.
QString foreignDatabaseMessage(const QString& name, const QStringList& missing,
                               const QString& whatToDo);

// An open database of either backend, with the throwing calls that tools and set-up code use
// beside the data services the windows use.
class Database {
public:
    explicit Database(std::unique_ptr<BackendDataServices> backend);
    ~Database();

    IDataServices& services() { return *m_backend; }
    DataPacket query(const QString& sql, const Params& params = {}) {
        return m_backend->query(sql, params);
    }
    void exec(const QString& sql, const Params& params = {}) { m_backend->exec(sql, params); }
    // The last result set of a batch, closed when it returns none.
    DataPacket queryLast(const QString& sql, const Params& params = {}) {
        return m_backend->queryLast(sql, params);
    }
    // As DataSource::displayName: what the trace, the login dialog and the status bar show.
    QString displayName() const;

    // The backend, for what only one of them offers; null for the other.
    SqliteDataServices* sqlite() const;
    OdbcDataServices* odbc() const;

private:
    std::unique_ptr<BackendDataServices> m_backend;
};

std::unique_ptr<Database> databaseOver(std::unique_ptr<BackendDataServices> db);

// Opens a source: the file (created when missing) or the ODBC connection, which waits at most
// `loginTimeoutSeconds` for the server. Throws DbError naming the file or the server and the
// reason; never the password.
// `queryTimeoutSeconds` bounds each statement on the server (0: none).
std::unique_ptr<Database> openDataSource(const DataSource& source,
                                         int loginTimeoutSeconds = kDefaultLoginTimeoutSeconds,
                                         int queryTimeoutSeconds = 0);

// What the data services in force reach, for people, as displayName gives it; empty for
// services of neither backend.
QString dataServicesName(IDataServices& services);

}  // namespace Qd::Core::Db
