#include "sys/LoginThrottle.h"

#include <QSysInfo>
#include <algorithm>

#include "db/DataServices.h"

namespace Qd::Core::Sys {

namespace {

constexpr int kFreeFailures = 5;
constexpr int kFirstDelaySeconds = 2;
constexpr int kMaxDelaySeconds = 15 * 60;

// The rows of the user code and of the client.
const QString kRowsOfAttempt = QStringLiteral(
    "orgid = :orgid and ((kind = 'user' and name = :user) or (kind = 'client' and name = "
    ":client))");

// User codes are counted whatever their case: the server compares them without it.
QString userKey(const QString& userCode) {
    return userCode.trimmed().toLower();
}

}  // namespace

LoginThrottle::LoginThrottle(Db::IDataServices& db)
    : m_db(db),
      m_now([] { return QDateTime::currentDateTime(); }),
      m_client(QSysInfo::machineHostName()) {}

int LoginThrottle::delayAfter(int failures) {
    if (failures < kFreeFailures)
        return 0;
    const int doublings = failures - kFreeFailures;
    if (doublings >= 10)
        return kMaxDelaySeconds;
    return std::min(kFirstDelaySeconds << doublings, kMaxDelaySeconds);
}

int LoginThrottle::wait(const QString& orgId, const QString& userCode) {
    Db::RecordSet rows = m_db.openData(
        QStringLiteral("select failures, lastfail from qd_sys_loginfails where ") + kRowsOfAttempt,
        {{QStringLiteral("orgid"), orgId},
         {QStringLiteral("user"), userKey(userCode)},
         {QStringLiteral("client"), m_client}});
    if (!rows.active())
        return -1;
    const QDateTime now = m_now();
    qint64 longest = 0;
    for (rows.first(); !rows.eof(); rows.next()) {
        const QDateTime until =
            rows.field(1).asDateTime().addSecs(delayAfter(rows.field(0).asInteger()));
        longest = std::max(longest, now.msecsTo(until));
    }
    return int((longest + 999) / 1000);
}

void LoginThrottle::failed(const QString& orgId, const QString& userCode) {
    QString sql;
    for (const char* kind : {"user", "client"})
        sql += QStringLiteral(
                   "update qd_sys_loginfails set failures = failures + 1, lastfail = :now "
                   "where orgid = :orgid and kind = '%1' and name = :%1\n"
                   "if @@rowcount = 0\n"
                   "  insert into qd_sys_loginfails(orgid, kind, name, failures, lastfail) "
                   "values(:orgid, '%1', :%1, 1, :now)\n")
                   .arg(QLatin1String(kind));
    run(sql, orgId, userCode);
}

void LoginThrottle::succeeded(const QString& orgId, const QString& userCode) {
    run(QStringLiteral("delete from qd_sys_loginfails where ") + kRowsOfAttempt, orgId, userCode);
}

void LoginThrottle::run(const QString& sql, const QString& orgId, const QString& userCode) {
    Db::Params params = {{QStringLiteral("orgid"), orgId},
                         {QStringLiteral("user"), userKey(userCode)},
                         {QStringLiteral("client"), m_client}};
    if (sql.contains(QLatin1String(":now")))
        params.push_back({QStringLiteral("now"), m_now()});
    m_db.execSQL(sql, params);
}

}  // namespace Qd::Core::Sys
