#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "sys/LoginThrottle.h"
#include "sys/uAuth.h"
#include "sys/uPlugItem.h"

namespace Qd::Core::Db {
class IDataServices;
}

class QObject;

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

// What the login dialog offers a user code: the stores it may enter, and the one to start on.
struct LoginStores {
    std::vector<StoreInfo> stores;
    qint32 defaultStore = 0;  // the login's own store; 0 for none
};

// The system services of the client, kept in the same database as the data: users, their
// rights and stores, the plug-in registry, settings and the operation log.
class SystemServices {
public:
    explicit SystemServices(Db::IDataServices& db);
    ~SystemServices();

    // Logs in with a user code, a password and a store. Refused with one message for an
    // unknown (or deleted) user and a wrong password alike, which take the same time; with a
    // wait after repeated failures (LoginThrottle); or for a store the user may not work in.
    // A hash made with fewer iterations than today's is made again on success.
    LoginResult login(const QString& userCode, const QString& password, qint32 storeId);
    void logout();
    TAuth* session();

    // The stores of the organisation that a login may choose from, in display order.
    std::vector<StoreInfo> stores(const QString& orgId = QStringLiteral("1"));
    // The stores a user code may log in to, in display order: those of its store access, all of
    // them for an administrator, and all of them for a code that names no login (so that the
    // list does not single out unknown codes).
    LoginStores loginStores(const QString& userCode, const QString& orgId = QStringLiteral("1"));
    // True when the user holds the right code (administrators hold every right).
    bool holdsRight(const TAuth& auth, const QString& code);

    TPlugsPool& plugs() { return m_plugs; }
    LoginThrottle& loginThrottle() { return m_throttle; }
    TSysConfigCache& config() { return m_config; }
    TGlobalSettings& settings() { return m_settings; }
    Db::IDataServices& data() { return m_db; }

    // Stores a password for a login account (qd_sys_users.id), with a new salt, hashed
    // (set-up and administration). Throws DbError when it cannot be stored.
    void setPassword(qint32 userId, const QString& password);

private:
    bool storePassword(qint32 userId, const QString& password);

    Db::IDataServices& m_db;
    std::unique_ptr<TAuth> m_session;
    LoginThrottle m_throttle;
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
// A lookup statement of a descriptor with ":orgid" and ":iclass" filled with the session's
// organisation and `moduleCode`: between quotes the value goes in with its quotes doubled,
// elsewhere as a quoted literal. Other parameters (":p1") stay to be bound.
// Bill lookups put the values in as plain text (`plain`): outside quotes a value that is a
// number or a code of letters, digits and "_" goes in bare; any other value still goes in as
// a quoted literal, so that it can never end or start one.
enum class LookupValues { Quoted, Plain };
QString lookupSql(const QString& sql, const QString& moduleCode,
                  LookupValues values = LookupValues::Quoted);
TPlugsPool& plugsPool();
// A quick filter's pick handed to the window that opened it: `Sender` is that window, `json` the
// picked row as a JSON array text holding that one row, keyed by field name.
using TOnQuickFilterChange = std::function<void(QObject* Sender, const QString& json)>;
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

// Passwords are stored as PBKDF2-HMAC-SHA256 of the password with a salt of their own, the
// iteration count kept with each hash: "pbkdf2-sha256$600000$<64 hex digits>". A hash of
// 64 hex digits alone was made with the 10 000 iterations of earlier versions.
inline constexpr int kPasswordIterations = 600000;
inline constexpr int kLegacyPasswordIterations = 10000;

// The stored form of a password's hash, at passwordIterations() or at `iterations`.
QString passwordHash(const QString& password, const QString& salt);
QString passwordHash(const QString& password, const QString& salt, int iterations);
// True when `password` with `salt` gives the `stored` hash; compared in constant time. Always
// costs a whole hash, also when `stored` is empty or damaged (then false).
bool passwordMatches(const QString& password, const QString& salt, const QString& stored);
// True when a stored hash was made with fewer iterations than passwordIterations(), or without
// its count written (or is no hash): it is made again at the next successful login.
bool passwordNeedsRehash(const QString& stored);
QString newSalt();
// The iteration count new hashes get: kPasswordIterations. The one knob tests have to keep
// logins fast (tests/support/TestMain.cpp lowers it); the client never calls it. 0 restores the
// default.
int passwordIterations();
void setPasswordIterationsForTests(int iterations);

}  // namespace Qd::Core::Sys
