#include "db/Schema.h"

#include <QFile>
#include <QRegularExpression>

#include "db/DataSource.h"
#include "db/SqliteDataServices.h"

namespace Qd::Core::Db {

QString frameworkSchemaScript() {
    QFile f(QStringLiteral(":/qd/schema/framework.sql"));
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("框架的建库脚本缺失"));
    return QString::fromUtf8(f.readAll());
}

QStringList frameworkTables() {
    static const QRegularExpression create(QStringLiteral("create table dbo\\.(\\w+) \\("));
    QStringList tables;
    const QString script = frameworkSchemaScript();
    for (auto it = create.globalMatch(script); it.hasNext();)
        tables << it.next().captured(1);
    return tables;
}

namespace {

// Tables the script gained after databases were made with it. A database that has the
// framework gets the ones it lacks, from the script's own "create table" block of each.
const char* const kLaterTables[] = {"qd_sys_lookuppicks", "qd_sys_smsoutbox"};

// The tables of `tables` that `db` has not, by one select of object_id per table.
template <class Db>
QStringList missingOf(Db& db, const QStringList& tables) {
    QStringList probes;
    for (qsizetype i = 0; i < tables.size(); ++i)
        probes << QStringLiteral("object_id('dbo.%1') as t%2").arg(tables[i]).arg(i);
    DataPacket probe = db.query(QStringLiteral("select ") + probes.join(QStringLiteral(", ")));
    probe.first();
    QStringList missing;
    for (qsizetype i = 0; i < tables.size(); ++i)
        if (probe.field(int(i)).isNull())
            missing << tables[i];
    return missing;
}

QString createTableOf(const QString& script, const QString& table) {
    const qsizetype start = script.indexOf(QStringLiteral("create table dbo.%1 (").arg(table));
    const qsizetype end = script.indexOf(QStringLiteral("\n)"), start);
    if (start < 0 || end < 0)
        throw DbError(QStringLiteral("框架的建库脚本中没有表 ") + table);
    return script.mid(start, end + 2 - start);
}

template <class Db>
bool ensureSchema(Db& db) {
    if (missingOf(db, {QStringLiteral("qd_sys_config")}).isEmpty()) {
        QStringList later;
        for (const char* table : kLaterTables)
            later << QString::fromLatin1(table);
        for (const QString& table : missingOf(db, later))
            db.exec(createTableOf(frameworkSchemaScript(), table));
        return false;
    }
    db.exec(frameworkSchemaScript());
    return true;
}

}  // namespace

bool ensureFrameworkSchema(SqliteDataServices& db) {
    return ensureSchema(db);
}

bool ensureFrameworkSchema(Database& db) {
    return ensureSchema(db);
}

QStringList missingFrameworkTables(Database& db) {
    return missingOf(db, frameworkTables());
}

}  // namespace Qd::Core::Db
