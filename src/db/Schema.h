#pragma once

#include <QString>
#include <QStringList>

namespace Qd::Core::Db {

class Database;
class SqliteDataServices;

// The framework's schema: one T-SQL script (src/db/schema/framework.sql, shipped inside the
// library) that builds every table of the framework on the server and, translated, on the
// embedded database.
QString frameworkSchemaScript();

// The tables the script makes, in its order.
QStringList frameworkTables();

// Builds the framework's tables in a database that has none of them yet (and the ones later
// editions of the script added, in a database that has the others). Returns true when it built
// them all, false when they were there; throws DbError when the script fails.
bool ensureFrameworkSchema(SqliteDataServices& db);
bool ensureFrameworkSchema(Database& db);

// The framework's tables `db` lacks, in the script's order: empty when it has them all. One
// statement, so that a server far away answers at once.
QStringList missingFrameworkTables(Database& db);

}  // namespace Qd::Core::Db
