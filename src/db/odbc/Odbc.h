#pragma once

// The ODBC driver manager's C API behind small owning types: handles that free themselves,
// diagnostics turned into the framework's errors, text as UTF-16 both ways.

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <vector>

#include "db/DbError.h"

namespace Qd::Core::Db::Odbc {

// One diagnostic record: the five-character state ("23000"), the server's own error number and
// its message as the server words it (without the driver's "[vendor][driver]" prefixes).
struct Diag {
    QString state;
    int native = 0;
    QString message;
};

// An error a driver or the server reported. The message is what the user is shown; the records
// keep state and number for callers that decide by them.
class OdbcError : public DbError {
public:
    OdbcError(const QString& message, std::vector<Diag> diags);
    const std::vector<Diag>& diags() const { return m_diags; }
    // Of the first record; empty / 0 without records.
    QString state() const;
    int native() const;
    // The link to the server broke (state class 08): the connection must be made again.
    bool connectionLost() const;

private:
    std::vector<Diag> m_diags;
};

// The diagnostic records of a handle, oldest first.
std::vector<Diag> diagnostics(SQLSMALLINT type, SQLHANDLE handle);
// The records as the user reads them: "消息 <native>，状态 <state>：<message>" per line.
QString diagText(const std::vector<Diag>& diags);

// Throws OdbcError ("<what>：" + the records) unless `rc` is a success.
void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const QString& what);
inline bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// An ODBC handle freed with its owner.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent);  // allocates; throws OdbcError when it cannot
    ~Handle();
    Handle(Handle&& other) noexcept;
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }
    void reset();

private:
    SQLSMALLINT m_type = 0;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// QString <-> SQLWCHAR (UTF-16 on the driver managers this builds with).
static_assert(sizeof(SQLWCHAR) == 2, "the ODBC layer passes text as UTF-16");
inline SQLWCHAR* wide(const QString& s) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<ushort*>(s.utf16()));
}
inline QString fromWide(const SQLWCHAR* s, qsizetype units) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(s), units);
}

// A connection string without its secrets: the values of PWD, Password and the like as ***.
QString maskConnectionString(const QString& connection);
// What names the database in a connection string: "server:port / database", "DSN=name", or the
// embedded driver's file; empty when nothing does. Never a secret.
QString namedTarget(const QString& connection);
// namedTarget, else the connection string with its secrets masked: what to show for it.
QString connectionTarget(const QString& connection);
// The value of one key of a connection string (keys compare case-insensitively); empty when
// absent. Braced values ({a;b}) come without their braces.
QString connectionValue(const QString& connection, const QString& key);

}  // namespace Qd::Core::Db::Odbc
