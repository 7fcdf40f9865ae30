#include "db/DatabaseFile.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <iterator>

#include "db/DbError.h"

namespace Qd::Core::Db {

namespace {

// The names of what a database holds (tables, views, indexes, triggers), but for the embedded
// database's own bookkeeping.
QStringList objectsOf(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(
        db, "select name from sqlite_master where name not like 'sqlite\\_%' escape '\\'", -1, &st,
        nullptr);
    QStringList names;
    if (rc == SQLITE_OK)
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw DbError(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_extended_errcode(db));
    return names;
}

// Reading a database in write-ahead-log mode makes its log and shared-memory files. A file
// refused is used by no one, so those are removed again when they were made here.
class SideFiles {
public:
    explicit SideFiles(const QString& path) : m_path(path) {
        for (const char* suffix : kSuffixes)
            m_existed << QFileInfo::exists(path + QLatin1String(suffix));
    }
    void removeMadeHere() const {
        for (int i = 0; i < int(std::size(kSuffixes)); ++i)
            if (!m_existed[i])
                QFile::remove(m_path + QLatin1String(kSuffixes[i]));
    }

private:
    static constexpr const char* kSuffixes[] = {"-wal", "-shm"};
    QString m_path;
    QList<bool> m_existed;
};

}  // namespace

DatabaseContent inspectDatabaseFile(const QString& path, const char* vfs) {
    if (!QFileInfo::exists(path))
        return DatabaseContent::Nothing;
    const SideFiles sideFiles(path);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, vfs);
    QStringList objects;
    try {
        if (rc != SQLITE_OK)
            throw DbError(QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)),
                          db ? sqlite3_extended_errcode(db) : rc);
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, 5000);  // another client may be committing just now
        objects = objectsOf(db);
    } catch (const DbError&) {
        sqlite3_close_v2(db);
        sideFiles.removeMadeHere();
        throw;
    }
    sqlite3_close_v2(db);
    // The data services add their file store to every database they open.
    objects.removeAll(QStringLiteral("qd_sys_filestore"));
    objects.removeAll(QStringLiteral("qd_sys_filestore_content"));
    if (objects.contains(QStringLiteral("qd_sys_config"), Qt::CaseInsensitive))
        return DatabaseContent::Framework;
    return objects.isEmpty() ? DatabaseContent::Nothing : DatabaseContent::Foreign;
}

}  // namespace Qd::Core::Db
