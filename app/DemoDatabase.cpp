#include "DemoDatabase.h"

#include "DemoTemplates.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/OwnerOnly.h"
#include "db/DataServices.h"
#include "db/DbError.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "print/engine/TemplateFile.h"

namespace Qd::App {

QString demoSeedScript() {
    const QString path = QStringLiteral(":/demo/seed.sql");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Core::Db::DbError(QStringLiteral("缺少资源 %1").arg(path));
    return QString::fromUtf8(f.readAll());
}

QString demoEdition(const QString& seedSql) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(Core::Db::frameworkSchemaScript().toUtf8());
    hash.addData(seedSql.toUtf8());
    for (const auto& t : {demoItemListTemplate(), demoEmployeeListTemplate(),
                          demoSummaryListTemplate(), demoOrderTemplate()})
        hash.addData(Print::TemplateFile::toBytes(t));
    return QString::fromLatin1(hash.result().toHex());
}

bool seedIfNew(Core::Db::SqliteDataServices& db, const QString& seedSql) {
    if (!Core::Db::ensureFrameworkSchema(db))
        return false;
    db.exec(seedSql);
    addDemoTemplates(db);
    db.exec(QStringLiteral("insert into qd_sys_config(orgid, cfgkey, cfgvalue) "
                           "values(1, 'demo.edition', :edition)"),
            {{QStringLiteral("edition"), demoEdition(seedSql)}});
    return true;
}

namespace {

// The edition a demo database file was seeded with; empty when it has none (or is not one).
QString editionOf(const QString& path) {
    Core::Db::SqliteDataServices db(path);
    try {
        return db
            .query(QStringLiteral("select cfgvalue from qd_sys_config where orgid = 1 and "
                                  "cfgkey = 'demo.edition'"))
            .field(0)
            .asString();
    } catch (const Core::Db::DbError&) {
        return {};
    }
}

void removeDatabase(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// Moves a demo of another edition aside (with a write-ahead log its last connection left, if
// any); throws DbError when it cannot, so that nothing is lost.
QString keepAsBackup(const QString& path) {
    const QString backup = demoBackupName(path, QDate::currentDate());
    if (!QFile::rename(path, backup))
        throw Core::Db::DbError(
            QStringLiteral("无法把旧版本的演示数据库“%1”另存为“%2”").arg(path, backup));
    Core::Sys::ownerOnly(backup);
    if (QFileInfo::exists(path + QLatin1String("-wal")))
        QFile::rename(path + QLatin1String("-wal"), backup + QLatin1String("-wal"));
    QFile::remove(path + QLatin1String("-shm"));
    return backup;
}

}  // namespace

QString demoBackupName(const QString& path, const QDate& day) {
    const QString stem = path + QStringLiteral(".bak-") + day.toString(QStringLiteral("yyyyMMdd"));
    QString name = stem;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QLatin1Char('-') + QString::number(n);
    return name;
}

std::unique_ptr<Core::Db::SqliteDataServices> openDemoDatabase(const QString& path) {
    const QString seed = demoSeedScript();
    // A demo made by an earlier version of the program is made again, so that the demo shows
    // what this version offers; the old file is kept beside it and the user is told where.
    // Changes made to a demo of this edition stay as they are.
    if (QFileInfo::exists(path)) {
        const QString edition = editionOf(path);
        if (!edition.isEmpty() && edition != demoEdition(seed)) {
            const QString backup = keepAsBackup(path);
            Core::Db::MessageMyDlg(
                QStringLiteral("演示数据库已更新为新的版本。原来的数据库（含您所做的修改）已保存为"
                               "“%1”。")
                    .arg(QDir::toNativeSeparators(backup)),
                QStringLiteral("提示"), 2, Core::Ui::MsgButtons::Ok);
        }
    }
    const bool existed = QFileInfo::exists(path);
    auto db = std::make_unique<Core::Db::SqliteDataServices>(path);
    try {
        seedIfNew(*db, seed);
    } catch (const Core::Db::DbError&) {
        // A file made just now and left half seeded would never be seeded again: remove it,
        // so that the next start begins afresh.
        if (!existed) {
            db.reset();
            removeDatabase(path);
        }
        throw;
    }
    return db;
}

}  // namespace Qd::App
