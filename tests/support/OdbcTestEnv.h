#pragma once

// The embedded database behind Debian's SQLite ODBC driver, registered in an odbcinst.ini the
// tests write themselves (ODBCSYSINI points the driver manager at it): the ODBC data services
// run on a real driver manager and driver without a server.

#include <QString>

namespace Qd::Test {

// Registers the driver as "QdSQLite" (and FreeTDS's as "FreeTDS" where it is installed) once per
// process; false (with `why`) when the SQLite driver is missing.
bool registerSqliteOdbcDriver(QString* why = nullptr);

// The connection string for the database file `path` through that driver, with the framework's
// T-SQL extension loaded on each connection.
QString sqliteOdbcConnection(const QString& path);

}  // namespace Qd::Test
