#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "sys/uAuth.h"
#include "sys/uPlugItem.h"

namespace Qd::Core::Db {
class IDataServices;
}

namespace Qd::Core::Sys {

// The state of a bill editor: browsing bills, adding one, editing one, in that order.
enum class TOperateState { browse, add, edit };

// The settings the system keeps per organisation ("company", "addr", "tel", "footer", ...).
class TSysConfigCache {
public:
    // The setting's text; empty when it is not set. Read from the database once per session.
    QString get(const QString& key);
    void clear();

private:
    std::vector<std::pair<QString, QString>> m_values;
    bool m_loaded = false;
};

// Date and number formats of the client.
struct TGlobalSettings {
    QString dateFormat = QStringLiteral("yyyy-MM-dd");
    QString dateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QString timeFormat = QStringLiteral("HH:mm:ss");
    QChar decimalSeparator = QLatin1Char('.');
    QChar thousandSeparator = QLatin1Char(',');
    QString currencyFormat = QStringLiteral("#,##0.00");
};

struct StoreInfo {
    qint32 id = 0;
    QString code;
    QString name;
};

// The outcome of a login: a session, or the reason there is none.
struct LoginResult {
    bool ok = false;
    QString message;
};

// The system services of the client, kept in the same database as the data: users, their
// rights and stores, the plug-in registry, settings and the operation log.
class SystemServices {
public:
    explicit SystemServices(Db::IDataServices& db);
    ~SystemServices();

    // Logs in with a user code, a password and a store; refused with a clear message on an
    // unknown user, a wrong password or a store the user may not work in.
    LoginResult login(const QString& userCode, const QString& password, qint32 storeId);
    void logout();
    TAuth* session();

    // The stores of the organisation that a login may choose from, in display order.
    std::vector<StoreInfo> stores(const QString& orgId = QStringLiteral("1"));
    // True when the user holds the right code (administrators hold every right).
    bool holdsRight(const TAuth& auth, const QString& code);

    TPlugsPool& plugs() { return m_plugs; }
    TSysConfigCache& config() { return m_config; }
    TGlobalSettings& settings() { return m_settings; }
    Db::IDataServices& data() { return m_db; }

    // Stores a password for a user, salted and hashed (set-up and administration).
    void setPassword(qint32 userId, const QString& password);

private:
    Db::IDataServices& m_db;
    std::unique_ptr<TAuth> m_session;
    TPlugsPool m_plugs;
    TSysConfigCache m_config;
    TGlobalSettings m_settings;
};

// The system services in force, installed by the client or a test (not owned).
SystemServices& systemServices();
void setSystemServices(SystemServices* services);

// ---- the system's functions, as module code calls them ------------------------------------

// The session; null before login.
TAuth* sysAuth();
// The text with ":orgid" and ":userid" replaced by the session's values as quoted literals.
QString sqlTemplate(const QString& sql);
TPlugsPool& plugsPool();
TSysConfigCache& SysConfigCache();
const TGlobalSettings& VaGlobalmtSettings();
// One row of the operation log.
void logger(const QString& code, const QString& title, const QString& billno, const QString& action,
            const QString& data);
// A new unique identifier text.
QString newid();
// Pinyin initials of a text: one capital letter per Chinese character, letters and digits
// kept, anything else left out ("北京市朝阳区" -> "BJSCYQ").
QString HZtoPY(const QString& text);
// Elapsed time between two moments as text ("3天4小时5分"); empty when there is none.
QString diffBetween(const QDateTime& from, const QDateTime& to);
// The code n steps after `code`: its trailing number incremented, prefix and width kept
// ("A0099", 1 -> "A0100"); an empty code counts from nothing ("", 2 -> "2").
QString iteratorNextS(const QString& code, int n);

// The password hash as stored: PBKDF2-HMAC-SHA256 of the password with the salt, hexadecimal.
QString passwordHash(const QString& password, const QString& salt);
QString newSalt();

}  // namespace Qd::Core::Sys
