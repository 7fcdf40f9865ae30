#pragma once

#include <QString>
#include <functional>

namespace Qd::Core::Db {
class IDataServices;
}

namespace Qd::Core::Sys {

// Outbox statuses (qd_sys_smsoutbox.status).
enum SmsStatus { smsPending = 0, smsSending = 1, smsSent = 2, smsFailed = 3 };

// A claim older than this is taken to be left by a client that stopped: the row is sent again.
inline constexpr int kSmsStaleClaimMinutes = 10;

// Sends text messages through the outbox qd_sys_smsoutbox and the gateway the settings choose
// (SmsGateway.h). Every message is a row first; a row is sent only by the client that claimed
// it, so two clients never send the same row. docs/sms.md has the whole protocol.
class TAlidayuUtils {
public:
    // Works on `db` (the installed data services by default) in the session's organisation.
    TAlidayuUtils();
    explicit TAlidayuUtils(Db::IDataServices& db);

    // Writes the message to the outbox (or, when the same message still waits there, takes
    // that row again) and tries it once, waiting for the gateway at most "sms.timeout". True
    // only when the gateway accepted it. Numbers that are empty, not 11 digits or separated by
    // "，" are refused with a message naming the entry, and nothing is written.
    bool send(const QString& mobiles, const QString& tplcode, const QString& params);

    // Claims the rows that are due (waiting and past their retry time, or claimed more than
    // kSmsStaleClaimMinutes ago) with one conditional update and hands them to the gateway;
    // returns at once. `finished` is called on this thread with the number accepted once every
    // claimed row has its outcome written. The data services must outlive the run.
    void deliverDue(std::function<void(int accepted)> finished = {});

    // The last fault of send(): a refused number, a missing setting, the gateway's error.
    QString error() const { return m_error; }

private:
    Db::IDataServices& m_db;
    QString m_error;
};

// Numbers as typed: one 11-digit number or several separated by ASCII commas. Empty when they
// are fine, else the fault naming the entry.
QString smsMobilesFault(const QString& mobiles);

}  // namespace Qd::Core::Sys
