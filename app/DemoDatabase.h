#pragma once

#include <QString>
#include <memory>

class QDate;

namespace Qd::Core::Db {
class SqliteDataServices;
}

namespace Qd::App {

// Opens the client's database file, creating it when missing. A database that holds nothing
// yet gets the framework's tables and then the demo organisation (the seed script at
// ":/demo/seed.sql", built into the client); one with the framework's tables is opened as it
// is, except a demo seeded by another edition of the schema, seed and templates: that file is
// kept as demoBackupName(path, today), the user is told so (a message of the information kind),
// and the demo is made again. Nothing is written to a file that is not a database, is damaged,
// or holds another program's tables; a file made here and not seeded whole is removed again.
// Throws DbError with the sentence the user is shown: the file, what is wrong and what to do.
// `vfs` as for SqliteDataServices.
std::unique_ptr<Core::Db::SqliteDataServices> openDemoDatabase(const QString& path,
                                                               const char* vfs = nullptr);

// The name an old demo is kept under: "<path>.bak-<yyyyMMdd>", or with "-2", "-3", ... added
// when that file exists already.
QString demoBackupName(const QString& path, const QDate& day);

// Builds the framework's tables and runs `seedSql` when the database has none of those tables
// yet; returns true when it did.
bool seedIfNew(Core::Db::SqliteDataServices& db, const QString& seedSql);

// The edition of the demo: a digest of the framework schema, the seed script, the demo
// templates and what the demo attachments are made from.
QString demoEdition(const QString& seedSql);

// The demo seed script carried by the program; throws DbError when it is not built in.
QString demoSeedScript();

}  // namespace Qd::App
