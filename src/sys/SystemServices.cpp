#include "sys/SystemServices.h"

#include "base/EAbort.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <iterator>

#include "base/TextFormat.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "db/tsql/TsqlLexer.h"

namespace Qd::Core::Sys {

using Db::Param;
using Db::Params;
using Db::RecordSet;

namespace {

SystemServices*& installed() {
    static SystemServices* s = nullptr;
    return s;
}

// Entries by window class; filled by the framework's windows and the plug-in libraries.
QHash<QString, OpenEntry>& openEntries() {
    static QHash<QString, OpenEntry> entries;
    return entries;
}

QHash<QString, SelectEntry>& selectEntries() {
    static QHash<QString, SelectEntry> entries;
    return entries;
}

// The rows of a query the system runs for itself; an inactive set when it failed (the data
// services have reported it).
RecordSet rows(Db::IDataServices& db, const QString& sql, const Params& params = {}) {
    return db.openData(sql, params);
}

// The stores a query gives as (id, code, name) rows.
std::vector<StoreInfo> storesOf(Db::IDataServices& db, const QString& sql, const Params& params) {
    std::vector<StoreInfo> out;
    RecordSet rs = rows(db, sql, params);
    if (rs.active())
        for (rs.first(); !rs.eof(); rs.next())
            out.push_back(
                {rs.field(0).asInteger(), rs.field(1).asString(), rs.field(2).asString()});
    return out;
}

// The login account of a user code (qd_sys_users as u) in an organisation; deleted ones are
// gone.
const QString kLoginOfCode =
    QStringLiteral("where u.orgid = :orgid and u.code = :code and u.isdel = 0");
// The session's user id of a login: its employee, or the login itself when it has none.
const QString kSessionUserId = QStringLiteral("case when u.yg_id > 0 then u.yg_id else u.id end");

// The client's formats: the defaults, overridden by the organisation's settings of the same
// names ("dateformat", "datetimeformat", "timeformat", "decimalseparator", "thousandseparator",
// "currencyformat").
TGlobalSettings settingsFrom(TSysConfigCache& config) {
    TGlobalSettings s;
    const auto text = [&](const char* key, QString& target) {
        const QString v = config.get(QString::fromLatin1(key));
        if (!v.isEmpty())
            target = v;
    };
    const auto character = [&](const char* key, QChar& target) {
        const QString v = config.get(QString::fromLatin1(key));
        if (v.size() == 1)
            target = v.front();
    };
    text("dateformat", s.dateFormat);
    text("datetimeformat", s.dateTimeFormat);
    text("timeformat", s.timeFormat);
    text("currencyformat", s.currencyFormat);
    character("decimalseparator", s.decimalSeparator);
    character("thousandseparator", s.thousandSeparator);
    return s;
}

}  // namespace

// ---- TAuth ---------------------------------------------------------------------------------

bool TAuth::check(const QStringList& codes, TrelationType relation) const {
    SystemServices& sys = systemServices();
    if (codes.isEmpty())
        return true;
    for (const QString& code : codes) {
        const bool held = sys.holdsRight(*this, code);
        if (relation == TrelationType::rtOr && held)
            return true;
        if (relation == TrelationType::rtAnd && !held)
            return false;
    }
    return relation == TrelationType::rtAnd;
}

// ---- plug-in registry ------------------------------------------------------------------------

void TPlugItem::open(QWidget* owner, const QString& params, QString& result, int mode) {
    open(owner, title, params, result, mode);
}

void TPlugItem::open(QWidget* owner, const QString& windowTitle, const QString& params,
                     QString& result, int mode) {
    const OpenEntry* entry = TPlugsPool::openEntry(formClass);
    if (!entry)
        throw Db::DbError(
            QStringLiteral("模块 %1（%2）的窗口类 %3 没有注册").arg(code, title, formClass));
    (*entry)(owner, *this, windowTitle, params, result, mode);
}

QString TPlugItem::select(QWidget* owner, const QString& text, const QString& options) {
    const SelectEntry* entry = TPlugsPool::selectEntry(formClass);
    if (!entry)
        throw Db::DbError(
            QStringLiteral("模块 %1（%2）的窗口类 %3 不能用于选择").arg(code, title, formClass));
    return (*entry)(owner, *this, text, options);
}

TPlugItem* TPlugsPool::plugbyName(const QString& name, bool byTitle) {
    for (const auto& item : m_items)
        if (item->name == name)
            return item.get();
    if (byTitle)
        for (const auto& item : m_items)
            if (item->title == name)
                return item.get();
    return nullptr;
}

void TPlugsPool::load() {
    TAuth* auth = sysAuth();
    RecordSet rs =
        rows(systemServices().data(),
             QStringLiteral("select code, name, title, groupname, formclass, plugininfo, "
                            "columnsjson, expandinfo, isort from qd_sys_plugins "
                            "where orgid = :orgid and isdel = 0 order by isort, id"),
             {{QStringLiteral("orgid"), auth ? auth->orgId : QStringLiteral("0")}});
    if (!rs.active())
        return;
    // Every item made so far, registered or retired, may be taken again by its name.
    std::vector<std::unique_ptr<TPlugItemSingleBasic>> known = std::move(m_items);
    std::move(m_retired.begin(), m_retired.end(), std::back_inserter(known));
    m_items.clear();
    m_retired.clear();
    for (rs.first(); !rs.eof(); rs.next()) {
        const QString name = rs.field(QStringLiteral("name")).asString();
        const auto same = std::find_if(known.begin(), known.end(), [&](const auto& item) {
            return item && item->name == name;
        });
        std::unique_ptr<TPlugItemSingleBasic> item =
            same != known.end() ? std::move(*same) : std::make_unique<TPlugItemSingleBasic>();
        item->code = rs.field(QStringLiteral("code")).asString();
        item->name = name;
        item->title = rs.field(QStringLiteral("title")).asString();
        if (item->title.isEmpty())
            item->title = item->name;
        item->group = rs.field(QStringLiteral("groupname")).asString();
        item->formClass = rs.field(QStringLiteral("formclass")).asString();
        item->sort = rs.field(QStringLiteral("isort")).asInteger();
        item->setTexts(rs.field(QStringLiteral("plugininfo")).asString(),
                       rs.field(QStringLiteral("columnsjson")).asString(),
                       rs.field(QStringLiteral("expandinfo")).asString());
        m_items.push_back(std::move(item));
    }
    for (auto& item : known)
        if (item)
            m_retired.push_back(std::move(item));
}

void TPlugsPool::registerOpenEntry(const QString& formClass, OpenEntry entry) {
    openEntries().insert(formClass, std::move(entry));
}

void TPlugsPool::registerSelectEntry(const QString& formClass, SelectEntry entry) {
    selectEntries().insert(formClass, std::move(entry));
}

const OpenEntry* TPlugsPool::openEntry(const QString& formClass) {
    const auto it = openEntries().constFind(formClass);
    return it == openEntries().cend() ? nullptr : &*it;
}

const SelectEntry* TPlugsPool::selectEntry(const QString& formClass) {
    const auto it = selectEntries().constFind(formClass);
    return it == selectEntries().cend() ? nullptr : &*it;
}

// ---- settings --------------------------------------------------------------------------------

QString TSysConfigCache::get(const QString& key) {
    if (!m_loaded) {
        m_loaded = true;
        TAuth* auth = sysAuth();
        RecordSet rs = rows(systemServices().data(),
                            QStringLiteral("select cfgkey, cfgvalue from qd_sys_config "
                                           "where orgid = :orgid order by id"),
                            {{QStringLiteral("orgid"), auth ? auth->orgId : QStringLiteral("0")}});
        if (rs.active())
            for (rs.first(); !rs.eof(); rs.next())
                m_values.emplace_back(rs.field(0).asString(), rs.field(1).asString());
    }
    for (const auto& [k, v] : m_values)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return QString();
}

void TSysConfigCache::clear() {
    m_values.clear();
    m_loaded = false;
}

// ---- the services ----------------------------------------------------------------------------

SystemServices::SystemServices(Db::IDataServices& db) : m_db(db), m_throttle(db) {}
SystemServices::~SystemServices() {
    if (installed() == this)
        installed() = nullptr;
}

std::vector<StoreInfo> SystemServices::stores(const QString& orgId) {
    return storesOf(m_db,
                    QStringLiteral("select id, code, name from qd_b_ckbmk where orgid = :orgid "
                                   "and isdel = 0 order by isort desc, code"),
                    {{QStringLiteral("orgid"), orgId}});
}

LoginStores SystemServices::loginStores(const QString& userCode, const QString& orgId) {
    const Params params = {{QStringLiteral("orgid"), orgId},
                           {QStringLiteral("code"), userCode.trimmed()}};
    RecordSet user = rows(m_db,
                          QStringLiteral("select u.ck_id, u.isadmin, ") + kSessionUserId +
                              QStringLiteral(" from qd_sys_users u ") + kLoginOfCode,
                          params);
    LoginStores out;
    if (!user.active() || user.isEmpty() || user.field(1).asBoolean()) {
        out.stores = stores(orgId);
    } else {
        out.stores = storesOf(
            m_db,
            QStringLiteral("select c.id, c.code, c.name from qd_b_ckbmk c "
                           "where c.orgid = :orgid and c.isdel = 0 and exists(select 1 from "
                           "qd_auth_ck_access a where a.uid = :uid and a.ck_id = c.id) "
                           "order by c.isort desc, c.code"),
            {{QStringLiteral("orgid"), orgId}, {QStringLiteral("uid"), user.field(2).asInteger()}});
    }
    if (user.active() && !user.isEmpty())
        out.defaultStore = user.field(0).asInteger();
    return out;
}

LoginResult SystemServices::login(const QString& userCode, const QString& password,
                                  qint32 storeId) {
    RecordSet store = rows(m_db,
                           QStringLiteral("select id, orgid, code, name, rootdir from qd_b_ckbmk "
                                          "where id = :id and isdel = 0"),
                           {{QStringLiteral("id"), storeId}});
    if (!store.active() || store.isEmpty())
        return {false, QStringLiteral("门店不存在，请重新选择门店")};
    const QString orgId = store.field(QStringLiteral("orgid")).asString();

    const int wait = m_throttle.wait(orgId, userCode);
    if (wait < 0)
        return {false, QStringLiteral("无法检查登录记录，请稍后再试")};
    if (wait > 0)
        return {false, QStringLiteral("登录失败次数过多，请 %1 秒后再试").arg(wait)};

    RecordSet user =
        rows(m_db,
             QStringLiteral("select u.id, u.code, u.name, u.pwdhash, u.pwdsalt, u.isadmin, "
                            "u.datascope, y.code as yg_code, y.name as yg_name, ") +
                 kSessionUserId +
                 QStringLiteral(" as sessionid from qd_sys_users u "
                                "left join qd_b_ygbmk y on u.yg_id = y.id ") +
                 kLoginOfCode,
             {{QStringLiteral("orgid"), orgId}, {QStringLiteral("code"), userCode.trimmed()}});
    const bool known = user.active() && !user.isEmpty();
    // An unknown user costs a whole hash too, so that the time taken does not tell.
    const QString salt = known ? user.field(QStringLiteral("pwdsalt")).asString() : QString();
    const QString hash = known ? user.field(QStringLiteral("pwdhash")).asString() : QString();
    if (!passwordMatches(password, salt, hash) || !known) {
        m_throttle.failed(orgId, userCode);
        return {false, QStringLiteral("用户编号或密码错误")};
    }
    m_throttle.succeeded(orgId, userCode);
    const qint32 loginId = user.field(QStringLiteral("id")).asInteger();
    if (passwordNeedsRehash(hash))
        storePassword(loginId, password);

    const bool isAdmin = user.field(QStringLiteral("isadmin")).asBoolean();
    // The session's user is the employee behind the login: logs, tickets and store access
    // all refer to employees.
    const qint32 userId = user.field(QStringLiteral("sessionid")).asInteger();
    if (!isAdmin) {
        RecordSet access =
            rows(m_db,
                 QStringLiteral("select count(1) from qd_auth_ck_access "
                                "where uid = :uid and ck_id = :ck_id"),
                 {{QStringLiteral("uid"), userId}, {QStringLiteral("ck_id"), storeId}});
        if (!access.active() || access.field(0).asInteger() == 0)
            return {false, QStringLiteral("您没有门店“%1”的操作权限")
                               .arg(store.field(QStringLiteral("name")).asString())};
    }

    auto auth = std::make_unique<TAuth>();
    auth->orgId = orgId;
    auth->storeId = storeId;
    auth->storeCode = store.field(QStringLiteral("code")).asString();
    auth->storeName = store.field(QStringLiteral("name")).asString();
    auth->userId = userId;
    const QString ygCode = user.field(QStringLiteral("yg_code")).asString();
    const QString ygName = user.field(QStringLiteral("yg_name")).asString();
    auth->userCode = ygCode.isEmpty() ? user.field(QStringLiteral("code")).asString() : ygCode;
    auth->userName = ygName.isEmpty() ? user.field(QStringLiteral("name")).asString() : ygName;
    auth->dataScope = user.field(QStringLiteral("datascope")).asInteger();
    auth->isAdmin = isAdmin;
    auth->defaultPath = store.field(QStringLiteral("rootdir")).asString();
    auth->m_loginId = loginId;
    m_session = std::move(auth);

    m_db.execSQL(QStringLiteral("update qd_sys_users set lastlogin = getdate() where id = :id"),
                 {{QStringLiteral("id"), loginId}});
    Db::LogMsg(QStringLiteral("登录：%1（%2）门店 %3")
                   .arg(m_session->userName, m_session->userCode, m_session->storeName));
    m_config.clear();
    m_settings = settingsFrom(m_config);
    m_plugs.load();
    return {true, QString()};
}

void SystemServices::logout() {
    m_session.reset();
    m_config.clear();
}

TAuth* SystemServices::session() {
    return m_session.get();
}

// The login's row is read at each check: a login deleted (or no longer an administrator) while
// logged in holds nothing more from its next action on, and a deleted role grants nothing.
bool SystemServices::holdsRight(const TAuth& auth, const QString& code) {
    RecordSet rs = rows(
        m_db,
        QStringLiteral(
            "select u.isadmin, (select count(1) from qd_sys_userrights where userid = :uid and "
            "rightcode = :code) + (select count(1) from qd_sys_rights r join qd_sys_userroles ur "
            "on ur.roleid = r.roleid join qd_sys_roles ro on ro.id = r.roleid where ur.userid = "
            ":uid and r.rightcode = :code and ro.isdel = 0) from qd_sys_users u "
            "where u.id = :login and u.isdel = 0"),
        {{QStringLiteral("uid"), auth.userId},
         {QStringLiteral("code"), code},
         {QStringLiteral("login"), auth.m_loginId}});
    // A database that cannot be read has said so already: the action stops there, instead of
    // refusing as if the right were missing.
    if (!rs.active())
        Abort();
    return !rs.isEmpty() && (rs.field(0).asBoolean() || rs.field(1).asInteger() > 0);
}

bool SystemServices::storePassword(qint32 userId, const QString& password) {
    const QString salt = newSalt();
    return m_db.execSQL(
        QStringLiteral("update qd_sys_users set pwdsalt = :salt, pwdhash = :hash where id = :id"),
        {{QStringLiteral("salt"), salt},
         {QStringLiteral("hash"), passwordHash(password, salt)},
         {QStringLiteral("id"), userId}});
}

void SystemServices::setPassword(qint32 userId, const QString& password) {
    if (!storePassword(userId, password))
        throw Db::DbError(QStringLiteral("无法保存用户 %1 的密码").arg(userId));
}

SystemServices& systemServices() {
    if (!installed())
        throw Db::DbError(QStringLiteral("系统服务未初始化"));
    return *installed();
}

void setSystemServices(SystemServices* services) {
    installed() = services;
}

// ---- the system's functions ----------------------------------------------------------------

TAuth* sysAuth() {
    return installed() ? installed()->session() : nullptr;
}

QString sqlTemplate(const QString& sql) {
    static const QRegularExpression orgid(QStringLiteral(":orgid\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression userid(QStringLiteral(":userid\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    const TAuth* auth = sysAuth();
    const QString org = auth ? auth->orgId : QString();
    const qint32 user = auth ? auth->userId : 0;
    // The same few statements come again and again (a bill's two on every step to the next
    // bill): their results are kept for the session's organisation and user.
    struct Kept {
        QString org;
        qint32 user = 0;
        QHash<QString, QString> texts;
    };
    thread_local Kept kept;
    if (kept.org != org || kept.user != user || kept.texts.size() > 256)
        kept = Kept{org, user, {}};
    if (const auto it = kept.texts.constFind(sql); it != kept.texts.constEnd())
        return *it;
    QString out = sql;
    out.replace(orgid, Db::quotedSql(org));
    out.replace(userid, QString::number(user));
    kept.texts.insert(sql, out);
    return out;
}

QString lookupSql(const QString& sql, const QString& moduleCode, LookupValues values) {
    using Db::Tsql::Token;
    static const QRegularExpression placeholder(QStringLiteral(":orgid|:iclass"));
    static const QRegularExpression bareWord(QStringLiteral("^[A-Za-z0-9_]+$"));
    const TAuth* auth = sysAuth();
    const QString orgId = auth ? auth->orgId : QString();
    auto valueOf = [&](QStringView name) {
        return name == QLatin1String(":orgid") ? orgId : moduleCode;
    };
    // Placeholders are found by the lexer, so that a value can never end a literal or start one.
    QString out;
    for (const Token& t : Db::Tsql::tokenize(sql)) {
        const QString text = Db::Tsql::tokenText(sql, t).toString();
        if (t.kind == Token::String || t.kind == Token::NString)
            out += substitute(text, placeholder, [&](const QRegularExpressionMatch& m) {
                return Db::quoteSql(valueOf(m.capturedView()));
            });
        else if (t.kind == Token::Param && placeholder.match(text).capturedLength() == text.size())
            out += values == LookupValues::Plain && bareWord.match(valueOf(text)).hasMatch()
                       ? valueOf(text)
                       : Db::quotedSql(valueOf(text));
        else
            out += text;
    }
    return out;
}

TPlugsPool& plugsPool() {
    return systemServices().plugs();
}

TSysConfigCache& SysConfigCache() {
    return systemServices().config();
}

const TGlobalSettings& VaGlobalmtSettings() {
    static const TGlobalSettings defaults;
    return installed() ? installed()->settings() : defaults;
}

void logger(const QString& code, const QString& title, const QString& billno, const QString& action,
            const QString& data) {
    const TAuth* auth = sysAuth();
    systemServices().data().execSQL(
        QStringLiteral("insert into qd_sys_operlog(orgid, modulecode, moduletitle, billno, action, "
                       "data, userid, username, ck_id) values(:orgid, :code, :title, :billno, "
                       ":action, :data, :userid, :username, :ck_id)"),
        {{QStringLiteral("orgid"), auth ? auth->orgId : QStringLiteral("0")},
         {QStringLiteral("code"), code},
         {QStringLiteral("title"), title},
         {QStringLiteral("billno"), billno},
         {QStringLiteral("action"), action},
         {QStringLiteral("data"), data},
         {QStringLiteral("userid"), auth ? auth->userId : 0},
         {QStringLiteral("username"), auth ? auth->userName : QString()},
         {QStringLiteral("ck_id"), auth ? auth->storeId : 0}});
}

}  // namespace Qd::Core::Sys
