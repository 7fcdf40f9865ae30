#pragma once

#include <QString>
#include <stdexcept>

namespace Qd::Core::Db {

// The error of the data layer: record sets, data services and the SQL they run.
// The message is the text a user or module author sees; it names the field, parameter or
// statement at fault.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

}  // namespace Qd::Core::Db
