#include "db/Schema.h"

#include <QFile>

#include "db/SqliteDataServices.h"

namespace Qd::Core::Db {

QString frameworkSchemaScript() {
    QFile f(QStringLiteral(":/qd/schema/framework.sql"));
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("框架的建库脚本缺失"));
    return QString::fromUtf8(f.readAll());
}

namespace {

// Tables the script gained after databases were made with it. A database that has the
// framework gets the ones it lacks, from the script's own "create table" block of each.
const char* const kLaterTables[] = {"qd_sys_lookuppicks", "qd_sys_smsoutbox"};

bool hasTable(SqliteDataServices& db, const QString& table) {
    DataPacket probe = db.query(QStringLiteral("select object_id('dbo.%1')").arg(table));
    probe.first();
    return !probe.field(0).isNull();
}

QString createTableOf(const QString& script, const QString& table) {
    const qsizetype start = script.indexOf(QStringLiteral("create table dbo.%1 (").arg(table));
    const qsizetype end = script.indexOf(QStringLiteral("\n)"), start);
    if (start < 0 || end < 0)
        throw DbError(QStringLiteral("框架的建库脚本中没有表 ") + table);
    return script.mid(start, end + 2 - start);
}

}  // namespace

bool ensureFrameworkSchema(SqliteDataServices& db) {
    if (hasTable(db, QStringLiteral("qd_sys_config"))) {
        for (const char* later : kLaterTables) {
            const QString table = QString::fromLatin1(later);
            if (!hasTable(db, table))
                db.exec(createTableOf(frameworkSchemaScript(), table));
        }
        return false;
    }
    db.exec(frameworkSchemaScript());
    return true;
}

}  // namespace Qd::Core::Db
