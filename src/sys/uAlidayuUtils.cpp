// The SMS outbox: every message is a row of qd_sys_smsoutbox before it reaches the gateway; a
// client sends a row only after claiming it by one conditional update, so that a row is sent by
// one client alone. docs/sms.md explains the statuses, the retry times and the claim.
#include "sys/uAlidayuUtils.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SmsGateway.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Sys {

using Db::Param;
using Db::Params;

namespace {

// Hand-overs open at once in a delivery run: the connections one host gets from Qt's network
// manager, so that no request waits in its queue while its timeout runs.
constexpr int kDeliveryWindow = 6;
// Outcomes are written in groups of at most this many, so that a client that stops loses few.
constexpr size_t kFlushEvery = 1000;

QString orgId() {
    const TAuth* auth = sysAuth();
    return auth ? auth->orgId : QStringLiteral("0");
}

struct OutboxRow {
    qint64 id = 0;
    int tries = 0;
    SmsMessage message;
};

// What a row gets after one try.
struct TryOutcome {
    int status = smsPending;
    int tries = 0;
    QString error;
    bool operator<(const TryOutcome& o) const {
        return std::tie(status, tries, error) < std::tie(o.status, o.tries, o.error);
    }
};

// The n-th failed try that may be retried waits 2^(n-1) minutes: 1, 2, 4, 8, 16, ...
TryOutcome afterTry(const SmsReply& reply, int triesBefore, int maxRetries) {
    const int tries = triesBefore + 1;
    switch (reply.outcome) {
        case SmsOutcome::Accepted:
            return {smsSent, tries, {}};
        case SmsOutcome::Refused:
            return {smsFailed, tries, reply.error};
        case SmsOutcome::Retry:
            break;
    }
    if (tries <= maxRetries)
        return {smsPending, tries, reply.error};
    return {smsFailed, tries, QStringLiteral("%1（已重试%2次）").arg(reply.error).arg(tries - 1)};
}

QDateTime retryTime(const TryOutcome& o, const QDateTime& now) {
    return now.addSecs(60LL << std::min(o.tries - 1, 20));
}

// Writes outcomes, one statement per kind of outcome for all its rows.
void writeOutcomes(Db::IDataServices& db, const std::vector<std::pair<qint64, TryOutcome>>& done) {
    std::map<TryOutcome, QStringList> groups;
    for (const auto& [id, outcome] : done)
        groups[outcome] << QString::number(id);
    const QDateTime now = smsNow();
    for (const auto& [o, ids] : groups) {
        const bool sent = o.status == smsSent;
        db.execSQL(QStringLiteral("update qd_sys_smsoutbox set status = :status, tries = :tries, "
                                  "nexttry = :nexttry, sendtime = :sendtime, error = :error, "
                                  "claimtoken = null where id in (%1)")
                       .arg(ids.join(QLatin1Char(','))),
                   {{QStringLiteral("status"), o.status},
                    {QStringLiteral("tries"), o.tries},
                    {QStringLiteral("nexttry"),
                     o.status == smsPending ? QVariant(retryTime(o, now)) : QVariant()},
                    {QStringLiteral("sendtime"), sent ? QVariant(now) : QVariant()},
                    {QStringLiteral("error"), sent ? QVariant() : QVariant(o.error)}});
    }
}

// Claims rows for this client under a new token with one conditional update: waiting rows that
// `extra` selects, or rows whose claim has gone stale. Returns the rows now held.
std::vector<OutboxRow> claim(Db::IDataServices& db, const QString& which, const Params& extra) {
    const QString token = newid();
    const QDateTime now = smsNow();
    Params params{{QStringLiteral("token"), token},
                  {QStringLiteral("now"), now},
                  {QStringLiteral("stale"), now.addSecs(-60 * kSmsStaleClaimMinutes)},
                  {QStringLiteral("orgid"), orgId()}};
    params.insert(params.end(), extra.begin(), extra.end());
    const QString sql = QStringLiteral(
                            "update qd_sys_smsoutbox set status = 1, claimtoken = "
                            ":token, claimedat = :now where orgid = :orgid and %1 and "
                            "(status = 0 or (status = 1 and claimedat < :stale))")
                            .arg(which);
    db.execSQL(sql, Db::boundParams(sql, params));
    Db::RecordSet rs = db.openData(QStringLiteral("select id, msgid, mobiles, tplcode, params, "
                                                  "tries from qd_sys_smsoutbox where claimtoken "
                                                  "= :token and status = 1 order by id"),
                                   {{QStringLiteral("token"), token}});
    std::vector<OutboxRow> rows;
    if (rs.active())
        for (rs.first(); !rs.eof(); rs.next())
            rows.push_back({rs.field(0).asInteger(),
                            int(rs.field(5).asInteger()),
                            {rs.field(1).asString(), rs.field(2).asString(), rs.field(3).asString(),
                             rs.field(4).asString(), now}});
    return rows;
}

// One delivery run of deliverDue: its rows, at most kDeliveryWindow at the gateway at once,
// and their outcomes until they are written. Deletes itself when done.
class DeliveryRun : public QObject {
public:
    DeliveryRun(Db::IDataServices& db, const SmsSettings& settings, std::vector<OutboxRow> rows,
                std::function<void(int)> finished)
        : m_db(db),
          m_settings(settings),
          m_gateway(makeSmsGateway(settings)),
          m_rows(std::move(rows)),
          m_finished(std::move(finished)) {}

    void start() { pump(); }

private:
    // Hands rows over until the window is full; a gateway that answers at once (the demo's)
    // comes back here through the loop, not through recursion.
    void pump() {
        m_pumping = true;
        while (m_open < kDeliveryWindow && m_next < m_rows.size()) {
            const size_t i = m_next++;
            ++m_open;
            m_gateway->deliver(m_rows[i].message, [this, i](const SmsReply& r) { done(i, r); });
        }
        m_pumping = false;
        if (m_open == 0 && m_next == m_rows.size() && !m_finishing) {
            m_finishing = true;
            QMetaObject::invokeMethod(
                this, [this] { finish(); }, Qt::QueuedConnection);
        }
    }

    void done(size_t i, const SmsReply& reply) {
        --m_open;
        if (reply.outcome == SmsOutcome::Accepted)
            ++m_accepted;
        m_outcomes.emplace_back(m_rows[i].id,
                                afterTry(reply, m_rows[i].tries, m_settings.maxRetries));
        if (m_outcomes.size() >= kFlushEvery)
            flush();
        if (!m_pumping)
            pump();
    }

    void flush() {
        writeOutcomes(m_db, m_outcomes);
        m_outcomes.clear();
    }

    void finish() {
        flush();
        if (m_finished)
            m_finished(m_accepted);
        deleteLater();
    }

    Db::IDataServices& m_db;
    SmsSettings m_settings;
    std::unique_ptr<ISmsGateway> m_gateway;
    std::vector<OutboxRow> m_rows;
    std::function<void(int)> m_finished;
    std::vector<std::pair<qint64, TryOutcome>> m_outcomes;
    size_t m_next = 0;
    int m_open = 0;
    int m_accepted = 0;
    bool m_pumping = false;
    bool m_finishing = false;
};

// The waiting row holding exactly this message, when there is one.
std::optional<qint64> waitingRow(Db::IDataServices& db, const SmsMessage& m) {
    Db::RecordSet rs = db.openData(
        QStringLiteral("select top 1 id from qd_sys_smsoutbox where orgid = :orgid and status = 0 "
                       "and mobiles = :mobiles and tplcode = :tplcode and params = :params "
                       "order by id"),
        {{QStringLiteral("orgid"), orgId()},
         {QStringLiteral("mobiles"), m.mobiles},
         {QStringLiteral("tplcode"), m.tplcode},
         {QStringLiteral("params"), m.params}});
    if (!rs.active() || rs.isEmpty())
        return std::nullopt;
    return rs.field(0).asInteger();
}

qint64 newRow(Db::IDataServices& db, const SmsMessage& m) {
    const QString msgid = newid();
    const QDateTime now = smsNow();
    db.execSQL(
        QStringLiteral("insert into qd_sys_smsoutbox(orgid, msgid, mobiles, tplcode, params, "
                       "status, tries, createtime, nexttry) values(:orgid, :msgid, :mobiles, "
                       ":tplcode, :params, 0, 0, :now, :now)"),
        {{QStringLiteral("orgid"), orgId()},
         {QStringLiteral("msgid"), msgid},
         {QStringLiteral("mobiles"), m.mobiles},
         {QStringLiteral("tplcode"), m.tplcode},
         {QStringLiteral("params"), m.params},
         {QStringLiteral("now"), now}});
    Db::RecordSet rs =
        db.openData(QStringLiteral("select id from qd_sys_smsoutbox where msgid = :msgid"),
                    {{QStringLiteral("msgid"), msgid}});
    return rs.active() && !rs.isEmpty() ? rs.field(0).asInteger() : 0;
}

// Hands one message to the gateway and waits for its outcome (the gateway's timeout bounds it).
SmsReply deliverNow(ISmsGateway& gateway, const SmsMessage& message) {
    std::optional<SmsReply> reply;
    QEventLoop loop;
    gateway.deliver(message, [&](const SmsReply& r) {
        reply = r;
        loop.quit();
    });
    if (!reply)
        loop.exec();
    return *reply;
}

}  // namespace

QString smsMobilesFault(const QString& mobiles) {
    if (mobiles.trimmed().isEmpty())
        return QStringLiteral("请输入手机号码");
    if (mobiles.contains(QChar(0xFF0C)))
        return QStringLiteral("手机号码“%1”请以英文逗号分割").arg(mobiles);
    const QStringList entries = mobiles.split(QLatin1Char(','));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& e = entries[i];
        const bool digits = e.size() == 11 && std::all_of(e.begin(), e.end(), [](QChar c) {
                                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                            });
        if (!digits)
            return e.isEmpty() ? QStringLiteral("第%1个手机号码为空").arg(i + 1)
                               : QStringLiteral("手机号码“%1”不是11位数字").arg(e);
    }
    return {};
}

TAlidayuUtils::TAlidayuUtils() : TAlidayuUtils(Db::dataServices()) {}
TAlidayuUtils::TAlidayuUtils(Db::IDataServices& db) : m_db(db) {}

bool TAlidayuUtils::send(const QString& mobiles, const QString& tplcode, const QString& params) {
    m_error = smsMobilesFault(mobiles);
    if (!m_error.isEmpty()) {
        Db::MessageMyDlg(m_error, QStringLiteral("提示"), 1, Ui::MsgButtons::Ok);
        return false;
    }
    const SmsMessage content{{}, mobiles, tplcode, params, {}};
    const std::optional<qint64> waiting = waitingRow(m_db, content);
    const qint64 id = waiting ? *waiting : newRow(m_db, content);
    if (id == 0) {
        m_error = QStringLiteral("短信未能写入发送队列");
        return false;
    }
    const SmsSettings settings = SmsSettings::read(SysConfigCache());
    if (const QString missing = settings.missing(); !missing.isEmpty()) {
        m_error = QStringLiteral("短信网关设置“%1”缺失或无效").arg(missing);
        Db::LogError(m_error);
        m_db.execSQL(QStringLiteral("update qd_sys_smsoutbox set error = :error where id = :id"),
                     {{QStringLiteral("error"), m_error}, {QStringLiteral("id"), id}});
        return false;
    }
    const std::vector<OutboxRow> held =
        claim(m_db, QStringLiteral("id = :id"), {{QStringLiteral("id"), id}});
    if (held.empty()) {
        m_error = QStringLiteral("该短信正由其他客户端发送");
        return false;
    }
    const std::unique_ptr<ISmsGateway> gateway = makeSmsGateway(settings);
    const SmsReply reply = deliverNow(*gateway, held.front().message);
    writeOutcomes(m_db, {{id, afterTry(reply, held.front().tries, settings.maxRetries)}});
    m_error = reply.error;
    return reply.outcome == SmsOutcome::Accepted;
}

void TAlidayuUtils::deliverDue(std::function<void(int)> finished) {
    const SmsSettings settings = SmsSettings::read(SysConfigCache());
    std::vector<OutboxRow> rows;
    if (const QString missing = settings.missing(); !missing.isEmpty())
        Db::LogError(QStringLiteral("短信网关设置“%1”缺失或无效，待发送短信未发出").arg(missing));
    else
        rows = claim(m_db, QStringLiteral("(status = 1 or nexttry <= :now)"), {});
    auto* run = new DeliveryRun(m_db, settings, std::move(rows), std::move(finished));
    run->start();
}

}  // namespace Qd::Core::Sys
