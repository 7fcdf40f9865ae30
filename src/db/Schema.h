#pragma once

#include <QString>

namespace Qd::Core::Db {

class SqliteDataServices;

// The framework's schema: one T-SQL script (src/db/schema/framework.sql, shipped inside the
// library) that builds every table of the framework on the server and, translated, on the
// embedded database.
QString frameworkSchemaScript();

// Builds the framework's tables in a database that has none of them yet. Returns true when it
// built them, false when they were there; throws DbError when the script fails.
bool ensureFrameworkSchema(SqliteDataServices& db);

}  // namespace Qd::Core::Db
