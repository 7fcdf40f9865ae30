#pragma once

#include <QString>
#include <stdexcept>

namespace Qd::Core::Db {

// The troubles with a database file that a user has to put right outside the program.
enum class FileFault {
    None,          // not the file's fault (a statement, a constraint, a lock held by another)
    NotADatabase,  // the file holds something else
    Damaged,       // pages of the file are not what the database wrote there
    DiskFull,
    CannotOpen,  // a missing folder, no right to read or write it, an I/O error
};

// The error of the data layer: record sets, data services and the SQL they run.
// The message is the text a user or module author sees; it names the field, parameter or
// statement at fault.
class DbError : public std::runtime_error {
public:
    // `dbCode`: the embedded database's own (extended) result code when it refused; 0 when the
    // error is the framework's.
    explicit DbError(const QString& message, int dbCode = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_dbCode(dbCode) {}
    const QString& message() const noexcept { return m_message; }
    int dbCode() const noexcept { return m_dbCode; }
    FileFault fileFault() const;
    // The embedded database's own words for its code ("database or disk is full"); empty
    // without a code.
    QString dbText() const;

private:
    QString m_message;
    int m_dbCode = 0;
};

}  // namespace Qd::Core::Db
