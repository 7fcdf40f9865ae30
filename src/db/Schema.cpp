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

bool ensureFrameworkSchema(SqliteDataServices& db) {
    DataPacket probe = db.query(QStringLiteral("select object_id('dbo.qd_sys_config')"));
    probe.first();
    if (!probe.field(0).isNull())
        return false;
    db.exec(frameworkSchemaScript());
    return true;
}

}  // namespace Qd::Core::Db
