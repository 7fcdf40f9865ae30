#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

namespace Qd::Core::Db {
class IDataServices;
}

namespace Qd::Core::Sys {

// The delay after failed logins. Failures are counted per user code (known or not) and per
// client (the workstation) in qd_sys_loginfails, so that every client sharing the database sees
// them and a restart does not forget them. From the fifth failure on, the next attempt must wait
// 2 s, then 4 s, 8 s, ... at most 15 minutes, counted from the last failure; an attempt made
// earlier is refused without its password being looked at. A correct password clears the counts
// of its user code and its client.
class LoginThrottle {
public:
    explicit LoginThrottle(Db::IDataServices& db);

    // Seconds the next attempt of this user code from this client must still wait; 0 when it
    // may go ahead, -1 when the counts could not be read (the data services have said why).
    int wait(const QString& orgId, const QString& userCode);
    // Counts a failed attempt for the user code and the client.
    void failed(const QString& orgId, const QString& userCode);
    // Clears the counts of the user code and the client.
    void succeeded(const QString& orgId, const QString& userCode);

    // The wait after `failures` failures in a row, in seconds.
    static int delayAfter(int failures);

    // The clock (the local time) and the client's name (the machine's host name); tests set
    // their own.
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }
    void setClientName(const QString& name) { m_client = name; }

private:
    void run(const QString& sql, const QString& orgId, const QString& userCode);

    Db::IDataServices& m_db;
    std::function<QDateTime()> m_now;
    QString m_client;
};

}  // namespace Qd::Core::Sys
