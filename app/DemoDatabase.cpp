#include "DemoDatabase.h"

#include "DemoTemplates.h"

#include <QFile>
#include <QFileInfo>

#include "db/DbError.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"

namespace Qd::App {

QString demoSeedScript() {
    const QString path = QStringLiteral(":/demo/seed.sql");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Core::Db::DbError(QStringLiteral("缺少资源 %1").arg(path));
    return QString::fromUtf8(f.readAll());
}

bool seedIfNew(Core::Db::SqliteDataServices& db, const QString& seedSql) {
    if (!Core::Db::ensureFrameworkSchema(db))
        return false;
    db.exec(seedSql);
    addDemoTemplates(db);
    return true;
}

std::unique_ptr<Core::Db::SqliteDataServices> openDemoDatabase(const QString& path) {
    const QString seed = demoSeedScript();
    const bool existed = QFileInfo::exists(path);
    auto db = std::make_unique<Core::Db::SqliteDataServices>(path);
    try {
        seedIfNew(*db, seed);
    } catch (const Core::Db::DbError&) {
        // A file made just now and left half seeded would never be seeded again: remove it,
        // so that the next start begins afresh.
        if (!existed) {
            db.reset();
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(path + QLatin1String(suffix));
        }
        throw;
    }
    return db;
}

}  // namespace Qd::App
