#include "DemoDatabase.h"

#include "DemoTemplates.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

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

}  // namespace

std::unique_ptr<Core::Db::SqliteDataServices> openDemoDatabase(const QString& path) {
    const QString seed = demoSeedScript();
    // A demo made by an earlier version of the program is made again, so that the demo shows
    // what this version offers; the user's changes to the same demo are kept.
    if (QFileInfo::exists(path)) {
        const QString edition = editionOf(path);
        if (!edition.isEmpty() && edition != demoEdition(seed))
            removeDatabase(path);
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
