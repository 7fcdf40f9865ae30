// The SMS gateways: "http" posts each message as signed JSON (docs/sms.md), "log" only traces
// it (the demo). The outbox that drives them is uAlidayuUtils.cpp.
#include "sys/SmsGateway.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <cmath>

#include "db/Trace.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Sys {

namespace {

std::function<QDateTime()>& clockOverride() {
    static std::function<QDateTime()> clock;
    return clock;
}

QString traced(const SmsMessage& m) {
    return QStringLiteral("msgid=%1 mobiles=%2 template=%3 params=%4")
        .arg(m.msgid, m.mobiles, m.tplcode, m.params);
}

// Demo gateway: the message goes to the trace and counts as sent.
class LogSmsGateway final : public ISmsGateway {
public:
    void deliver(const SmsMessage& message, std::function<void(const SmsReply&)> done) override {
        Db::LogMsg(QStringLiteral("短信（演示网关，未发出）：") + traced(message));
        done({SmsOutcome::Accepted, {}});
    }
};

class HttpSmsGateway final : public ISmsGateway {
public:
    explicit HttpSmsGateway(const SmsSettings& settings) : m_settings(settings) {
        m_nam.setAutoDeleteReplies(true);
    }
    ~HttpSmsGateway() override {
        // Replies still open die with the manager; their callers are told nothing.
        for (QNetworkReply* reply : m_nam.findChildren<QNetworkReply*>())
            reply->disconnect();
    }

    void deliver(const SmsMessage& message, std::function<void(const SmsReply&)> done) override {
        const QByteArray body = smsRequestBody(message);
        QNetworkRequest request{QUrl(m_settings.url)};
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/json"));
        request.setRawHeader(QByteArrayLiteral("X-Qd-Key"), m_settings.appkey.toUtf8());
        request.setRawHeader(QByteArrayLiteral("X-Qd-Signature"),
                             smsSignature(body, m_settings.secret));
        request.setTransferTimeout(m_settings.timeoutMs);
        QNetworkReply* reply = m_nam.post(request, body);
        QObject::connect(
            reply, &QNetworkReply::finished, reply,
            [reply, msgid = message.msgid, done = std::move(done)] {
                const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                const QString transport = reply->error() == QNetworkReply::OperationCanceledError
                                              ? QStringLiteral("网关超时")
                                              : reply->errorString();
                const SmsReply out = smsReplyOutcome(status.isValid() ? status.toInt() : 0,
                                                     transport, reply->readAll());
                Db::LogMsg(QStringLiteral("短信 %1：%2")
                               .arg(msgid, out.error.isEmpty() ? QStringLiteral("网关已接收")
                                                               : out.error));
                done(out);
            });
    }

private:
    SmsSettings m_settings;
    QNetworkAccessManager m_nam;
};

}  // namespace

SmsSettings SmsSettings::read(TSysConfigCache& config) {
    SmsSettings s;
    s.gateway = config.get(QStringLiteral("sms.gateway")).trimmed().toLower();
    s.url = config.get(QStringLiteral("sms.url")).trimmed();
    s.appkey = config.get(QStringLiteral("sms.appkey"));
    s.secret = config.get(QStringLiteral("sms.secret"));
    bool ok = false;
    const double seconds = config.get(QStringLiteral("sms.timeout")).toDouble(&ok);
    if (ok && seconds > 0)
        s.timeoutMs = int(std::lround(seconds * 1000));
    const int tries = config.get(QStringLiteral("sms.maxtries")).toInt(&ok);
    if (ok && tries >= 0)
        s.maxRetries = tries;
    return s;
}

QString SmsSettings::missing() const {
    if (gateway == QLatin1String("log"))
        return {};
    if (gateway != QLatin1String("http"))
        return QStringLiteral("sms.gateway");
    if (url.isEmpty())
        return QStringLiteral("sms.url");
    if (appkey.isEmpty())
        return QStringLiteral("sms.appkey");
    if (secret.isEmpty())
        return QStringLiteral("sms.secret");
    return {};
}

std::unique_ptr<ISmsGateway> makeSmsGateway(const SmsSettings& settings) {
    if (!settings.missing().isEmpty())
        return nullptr;
    if (settings.gateway == QLatin1String("log"))
        return std::make_unique<LogSmsGateway>();
    return std::make_unique<HttpSmsGateway>(settings);
}

QByteArray smsRequestBody(const SmsMessage& message) {
    QJsonObject o;
    o.insert(QStringLiteral("msgid"), message.msgid);
    o.insert(QStringLiteral("mobiles"), message.mobiles);
    o.insert(QStringLiteral("template"), message.tplcode);
    o.insert(QStringLiteral("params"), QJsonDocument::fromJson(message.params.toUtf8()).object());
    o.insert(QStringLiteral("timestamp"), message.timestamp.toSecsSinceEpoch());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray smsSignature(const QByteArray& body, const QString& secret) {
    return QMessageAuthenticationCode::hash(body, secret.toUtf8(), QCryptographicHash::Sha256)
        .toHex();
}

SmsReply smsReplyOutcome(int httpStatus, const QString& transportError, const QByteArray& body) {
    if (httpStatus == 0)
        return {SmsOutcome::Retry, transportError};
    const QString status = QStringLiteral("HTTP %1").arg(httpStatus);
    if (httpStatus == 408 || httpStatus == 429 || httpStatus >= 500)
        return {SmsOutcome::Retry, status};
    if (httpStatus != 200)
        return {SmsOutcome::Refused, status};
    QJsonParseError parsed;
    const QJsonDocument reply = QJsonDocument::fromJson(body, &parsed);
    const QJsonValue code = reply.object().value(QStringLiteral("code"));
    if (parsed.error != QJsonParseError::NoError || !reply.isObject() || !code.isDouble())
        return {SmsOutcome::Refused, QStringLiteral("网关回复无法识别")};
    if (code.toDouble() != 0)
        return {SmsOutcome::Refused,
                QStringLiteral("网关拒绝：code=%1 %2")
                    .arg(code.toDouble())
                    .arg(reply.object().value(QStringLiteral("message")).toString())
                    .trimmed()};
    return {SmsOutcome::Accepted, {}};
}

QDateTime smsNow() {
    return clockOverride() ? clockOverride()() : QDateTime::currentDateTime();
}

void setSmsClock(std::function<QDateTime()> clock) {
    clockOverride() = std::move(clock);
}

}  // namespace Qd::Core::Sys
