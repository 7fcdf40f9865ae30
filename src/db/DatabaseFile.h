#pragma once

#include <QString>

namespace Qd::Core::Db {

// What a database file holds, as far as a program about to open it needs to know.
enum class DatabaseContent {
    Nothing,    // no file, an empty file, or a database that holds nothing of its own
    Framework,  // the framework's tables
    Foreign,    // tables, but not the framework's: another program's database
};

// Looks into the database file at `path` by reading it only: nothing in it changes, whatever it
// holds. Throws DbError with the embedded database's code and words (fileFault() says which
// trouble) when the file is not a database, is damaged, or cannot be read. `vfs` as for
// SqliteDataServices.
DatabaseContent inspectDatabaseFile(const QString& path, const char* vfs = nullptr);

}  // namespace Qd::Core::Db
