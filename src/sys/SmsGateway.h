#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace Qd::Core::Sys {

class TSysConfigCache;

// One message as the gateway receives it: the outbox row's id, the numbers as typed (several
// separated by ASCII commas), the gateway's template code and the template parameters as a JSON
// object text.
struct SmsMessage {
    QString msgid;
    QString mobiles;
    QString tplcode;
    QString params;
    QDateTime timestamp;
};

// What became of one hand-over: accepted; not reached or busy (no connection, timeout, 408,
// 429, 5xx), to be tried again later; or refused for good (another 4xx, a "code" other than 0,
// a reply that cannot be read).
enum class SmsOutcome { Accepted, Retry, Refused };
struct SmsReply {
    SmsOutcome outcome = SmsOutcome::Retry;
    QString error;  // empty when accepted
};

// The gateway settings, read where the system's other settings are (qd_sys_config).
struct SmsSettings {
    QString gateway;        // "sms.gateway": "http" or "log"
    QString url;            // "sms.url"
    QString appkey;         // "sms.appkey"
    QString secret;         // "sms.secret"; never traced
    int timeoutMs = 10000;  // "sms.timeout", in seconds (decimals allowed); 10 s when unset
    int maxRetries = 5;     // "sms.maxtries": tries after the first one; 5 when unset

    static SmsSettings read(TSysConfigCache& config);
    // The name of the first setting the chosen gateway needs and lacks; empty when complete.
    QString missing() const;
};

// The road a message takes to the gateway. deliver() hands one message over and calls `done`
// once, on this thread, with the outcome; at the latest when the timeout has passed. A gateway
// destroyed with hand-overs still open calls none of their `done`.
class ISmsGateway {
public:
    virtual ~ISmsGateway() = default;
    virtual void deliver(const SmsMessage& message, std::function<void(const SmsReply&)> done) = 0;
};

// The gateway the settings choose; null when a setting it needs is missing (settings.missing()).
std::unique_ptr<ISmsGateway> makeSmsGateway(const SmsSettings& settings);

// The body the http gateway posts: the compact JSON object {"mobiles", "msgid", "params",
// "template", "timestamp"} (keys in this order, params as an object, timestamp in seconds since
// 1970 UTC). docs/sms.md describes the protocol.
QByteArray smsRequestBody(const SmsMessage& message);
// Lower-case hex HMAC-SHA256 of `body` under `secret`: the X-Qd-Signature header.
QByteArray smsSignature(const QByteArray& body, const QString& secret);
// The outcome of an http reply: its status (0 when none arrived), the transport error text
// when there was no reply, and the body.
SmsReply smsReplyOutcome(int httpStatus, const QString& transportError, const QByteArray& body);

// The clock the outbox reads its times from (now, retry times, stale claims); the system clock
// unless a test pins it. An empty function restores the system clock.
QDateTime smsNow();
void setSmsClock(std::function<QDateTime()> clock);

}  // namespace Qd::Core::Sys
