#include "db/odbc/Odbc.h"

#include <QDir>

#include "db/TraceMask.h"

namespace Qd::Core::Db::Odbc {

OdbcError::OdbcError(const QString& message, std::vector<Diag> diags)
    : DbError(message, diags.empty() ? 0 : diags.front().native), m_diags(std::move(diags)) {}

QString OdbcError::state() const {
    return m_diags.empty() ? QString() : m_diags.front().state;
}

int OdbcError::native() const {
    return m_diags.empty() ? 0 : m_diags.front().native;
}

bool OdbcError::connectionLost() const {
    for (const Diag& d : m_diags)
        if (d.state.startsWith(QLatin1String("08")))
            return true;
    return false;
}

namespace {

// "[unixODBC][FreeTDS][SQL Server]Invalid object name 'x'." -> "Invalid object name 'x'."
QString withoutVendorPrefixes(QString message) {
    while (message.startsWith(QLatin1Char('['))) {
        const qsizetype close = message.indexOf(QLatin1Char(']'));
        if (close < 0)
            break;
        message.remove(0, close + 1);
    }
    return message.trimmed();
}

}  // namespace

std::vector<Diag> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diag> out;
    if (handle == SQL_NULL_HANDLE)
        return out;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<SQLWCHAR> text(1024);
        SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, text.data(),
                                      SQLSMALLINT(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(text.size())) {
            text.resize(std::size_t(length) + 1);
            rc = SQLGetDiagRecW(type, handle, record, state, &native, text.data(),
                                SQLSMALLINT(text.size()), &length);
        }
        if (!succeeded(rc))
            break;
        out.push_back({fromWide(state, 5), int(native),
                       withoutVendorPrefixes(fromWide(text.data(), length))});
    }
    return out;
}

QString diagText(const std::vector<Diag>& diags) {
    QStringList lines;
    for (const Diag& d : diags)
        lines << QStringLiteral("消息 %1，状态 %2：%3").arg(d.native).arg(d.state, d.message);
    return lines.join(QLatin1Char('\n'));
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const QString& what) {
    if (succeeded(rc) || rc == SQL_NO_DATA)
        return;
    std::vector<Diag> diags = diagnostics(type, handle);
    const QString text =
        diags.empty() ? QStringLiteral("驱动返回错误 %1").arg(rc) : diagText(diags);
    throw OdbcError(what.isEmpty() ? text : what + QStringLiteral("：") + text, std::move(diags));
}

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent) : m_type(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent, &m_handle);
    if (!succeeded(rc)) {
        const SQLSMALLINT parentType = type == SQL_HANDLE_ENV   ? SQL_HANDLE_ENV
                                       : type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV
                                                                : SQL_HANDLE_DBC;
        std::vector<Diag> diags = diagnostics(parentType, parent);
        m_handle = SQL_NULL_HANDLE;
        throw OdbcError(QStringLiteral("无法分配 ODBC 句柄：") + diagText(diags), std::move(diags));
    }
}

Handle::~Handle() {
    reset();
}

Handle::Handle(Handle&& other) noexcept
    : m_type(other.m_type),
      m_handle(std::exchange(other.m_handle, static_cast<SQLHANDLE>(nullptr))) {}

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        reset();
        m_type = other.m_type;
        m_handle = std::exchange(other.m_handle, static_cast<SQLHANDLE>(nullptr));
    }
    return *this;
}

void Handle::reset() {
    if (m_handle != SQL_NULL_HANDLE)
        SQLFreeHandle(m_type, m_handle);
    m_handle = SQL_NULL_HANDLE;
}

namespace {

// The key=value pairs of a connection string, values in braces kept whole.
struct Pair {
    qsizetype keyBegin, keyEnd, valueBegin, valueEnd;
};

std::vector<Pair> pairsOf(const QString& s) {
    std::vector<Pair> out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const qsizetype keyBegin = i;
        while (i < n && s[i] != u'=' && s[i] != u';')
            ++i;
        const qsizetype keyEnd = i;
        qsizetype valueBegin = i, valueEnd = i;
        if (i < n && s[i] == u'=') {
            ++i;
            valueBegin = i;
            if (i < n && s[i] == u'{') {
                // "}}" inside braces is a literal brace.
                ++i;
                while (i < n && !(s[i] == u'}' && (i + 1 >= n || s[i + 1] != u'}')))
                    i += s[i] == u'}' ? 2 : 1;
                if (i < n)
                    ++i;
            } else {
                while (i < n && s[i] != u';')
                    ++i;
            }
            valueEnd = i;
        }
        out.push_back({keyBegin, keyEnd, valueBegin, valueEnd});
        while (i < n && s[i] == u';')
            ++i;
    }
    return out;
}

}  // namespace

QString maskConnectionString(const QString& connection) {
    QString out = connection;
    const std::vector<Pair> pairs = pairsOf(connection);
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
        const QString key = connection.mid(it->keyBegin, it->keyEnd - it->keyBegin).trimmed();
        if (it->valueEnd > it->valueBegin && isSecretName(key))
            out.replace(it->valueBegin, it->valueEnd - it->valueBegin, QStringLiteral("***"));
    }
    return out;
}

QString namedTarget(const QString& connection) {
    QString server = connectionValue(connection, QStringLiteral("Server"));
    if (server.isEmpty())
        server = connectionValue(connection, QStringLiteral("Servername"));
    const QString port = connectionValue(connection, QStringLiteral("Port"));
    if (!server.isEmpty() && !port.isEmpty())
        server += QLatin1Char(':') + port;
    const QString database = connectionValue(connection, QStringLiteral("Database"));
    if (!server.isEmpty())
        return database.isEmpty() ? server : server + QStringLiteral(" / ") + database;
    const QString dsn = connectionValue(connection, QStringLiteral("DSN"));
    if (!dsn.isEmpty())
        return QStringLiteral("DSN=") + dsn;
    return QDir::toNativeSeparators(database);
}

QString connectionTarget(const QString& connection) {
    const QString named = namedTarget(connection);
    return named.isEmpty() ? maskConnectionString(connection) : named;
}

QString connectionValue(const QString& connection, const QString& key) {
    for (const Pair& p : pairsOf(connection)) {
        if (connection.mid(p.keyBegin, p.keyEnd - p.keyBegin)
                .trimmed()
                .compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = connection.mid(p.valueBegin, p.valueEnd - p.valueBegin).trimmed();
        if (value.startsWith(QLatin1Char('{')) && value.endsWith(QLatin1Char('}')))
            value =
                value.mid(1, value.size() - 2).replace(QStringLiteral("}}"), QStringLiteral("}"));
        return value;
    }
    return {};
}

}  // namespace Qd::Core::Db::Odbc
