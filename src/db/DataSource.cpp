#include "db/DataSource.h"

#include <QDir>

#include "db/DbError.h"
#include "db/SqliteDataServices.h"
#include "db/odbc/Odbc.h"
#include "db/odbc/OdbcDataServices.h"

namespace Qd::Core::Db {

namespace {

const QString kOdbcPrefix = QStringLiteral("odbc:");

}  // namespace

QString DataSource::displayName() const {
    return isOdbc() ? connectionTarget(connection) : QDir::toNativeSeparators(file);
}

QString connectionStringFault(const QString& connection) {
    if (connection.trimmed().isEmpty())
        return QStringLiteral("连接字符串是空的");
    bool named = false;  // Driver, DSN or FileDSN given
    int part = 0;
    qsizetype i = 0;
    const qsizetype n = connection.size();
    while (i < n) {
        const qsizetype start = i;
        while (i < n && connection[i] != u'=' && connection[i] != u';')
            ++i;
        const QString key = connection.mid(start, i - start).trimmed();
        if (i >= n || connection[i] == u';') {
            if (!key.isEmpty())
                return QStringLiteral("第 %1 项不是“键=值”的形式").arg(part + 1);
            ++i;  // an empty part between two semicolons
            continue;
        }
        ++part;
        if (key.isEmpty())
            return QStringLiteral("第 %1 项缺少键名").arg(part);
        ++i;  // '='
        while (i < n && connection[i] == u' ')
            ++i;
        if (i < n && connection[i] == u'{') {
            // "}}" inside braces is a literal brace.
            ++i;
            while (i < n && !(connection[i] == u'}' && (i + 1 >= n || connection[i + 1] != u'}')))
                i += connection[i] == u'}' ? 2 : 1;
            if (i >= n)
                return QStringLiteral("第 %1 项（%2）的花括号没有闭合").arg(part).arg(key);
            ++i;
            while (i < n && connection[i] == u' ')
                ++i;
            if (i < n && connection[i] != u';')
                return QStringLiteral("第 %1 项（%2）的花括号后还有文字").arg(part).arg(key);
        } else {
            while (i < n && connection[i] != u';')
                ++i;
        }
        for (const char* name : {"Driver", "DSN", "FileDSN"})
            named = named || key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    }
    if (!named)
        return QStringLiteral("没有给出 Driver 或 DSN");
    return {};
}

QString connectionTarget(const QString& connection) {
    return Odbc::connectionTarget(connection);
}

QString foreignDatabaseMessage(const QString& name, const QStringList& missing,
                               const QString& whatToDo) {
    const QString lacks =
        missing.isEmpty() ? QString()
                          : QStringLiteral("（缺少 %1）").arg(missing.join(QStringLiteral("、")));
    return QStringLiteral(
               "数据库“%1”中没有本系统的数据表%2，可能是其他程序的数据库，程序没有"
               "改动它。")
               .arg(name, lacks) +
           whatToDo;
}

DataSource parseDataSource(const QString& where) {
    DataSource source;
    if (!where.startsWith(kOdbcPrefix, Qt::CaseInsensitive)) {
        if (where.trimmed().isEmpty())
            throw DbError(QStringLiteral("--db 需要给出数据库文件或 odbc: 连接字符串"));
        source.file = where;
        return source;
    }
    source.kind = DataSource::Kind::Odbc;
    source.connection = where.mid(kOdbcPrefix.size()).trimmed();
    const QString fault = connectionStringFault(source.connection);
    if (!fault.isEmpty()) {
        // Only what names the database: a string that cannot be read may hide its password
        // from the masking.
        const QString name = Odbc::namedTarget(source.connection);
        throw DbError((name.isEmpty() ? QStringLiteral("无法连接 ODBC 数据库：")
                                      : QStringLiteral("无法连接数据库 %1：").arg(name)) +
                      QStringLiteral("连接字符串有误，") + fault);
    }
    return source;
}

Database::Database(std::unique_ptr<BackendDataServices> backend) : m_backend(std::move(backend)) {}

Database::~Database() = default;

QString Database::displayName() const {
    return dataServicesName(*m_backend);
}

SqliteDataServices* Database::sqlite() const {
    return dynamic_cast<SqliteDataServices*>(m_backend.get());
}

OdbcDataServices* Database::odbc() const {
    return dynamic_cast<OdbcDataServices*>(m_backend.get());
}

std::unique_ptr<Database> databaseOver(std::unique_ptr<BackendDataServices> db) {
    return std::make_unique<Database>(std::move(db));
}

std::unique_ptr<Database> openDataSource(const DataSource& source, int loginTimeoutSeconds,
                                         int queryTimeoutSeconds) {
    if (!source.isOdbc())
        return databaseOver(std::make_unique<SqliteDataServices>(source.file));
    OdbcDataServices::Options options;
    options.loginTimeoutSeconds = loginTimeoutSeconds;
    options.queryTimeoutSeconds = queryTimeoutSeconds;
    return databaseOver(std::make_unique<OdbcDataServices>(source.connection, options));
}

QString dataServicesName(IDataServices& services) {
    if (auto* file = dynamic_cast<SqliteDataServices*>(&services))
        return QDir::toNativeSeparators(file->path());
    if (auto* odbc = dynamic_cast<OdbcDataServices*>(&services))
        return odbc->target();
    return {};
}

}  // namespace Qd::Core::Db
