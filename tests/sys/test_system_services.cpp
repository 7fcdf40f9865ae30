// System services: login, session, rights and the gate, the plug-in registry, settings, logs.
#include <gtest/gtest.h>

#include "base/EAbort.h"
#include "core/RightsGate.h"
#include "db/Schema.h"
#include "support/TestEnv.h"
#include "sys/SystemServices.h"

using namespace Qd::Core;
using Qd::Core::Ui::mrOk;

namespace {

// An organisation with two stores; a manager (employee 11) with a role and rights in both
// stores, a clerk (employee 12) in store 2 only, and the administrator (employee 10).
class SysTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(Db::ensureFrameworkSchema(db()));
        ASSERT_TRUE(db().execSQL(QStringLiteral(
            "insert into qd_b_ckbmk(orgid, code, name, isort, rootdir) values(1, 'MD01', N'总店', "
            "2, N'D:\\单据')\n"
            "insert into qd_b_ckbmk(orgid, code, name, isort) values(1, 'MD02', N'东城分店', 1)")));
        ASSERT_TRUE(db().execSQL(QStringLiteral(
            "insert into qd_b_ygbmk(orgid, code, name) values(1, 'admin', N'系统管理员')\n"
            "insert into qd_b_ygbmk(orgid, code, name) values(1, 'Y01', N'王经理')\n"
            "insert into qd_b_ygbmk(orgid, code, name) values(1, 'Y02', N'李店员')\n"
            "update qd_b_ygbmk set id = id + 9\n"
            "insert into qd_sys_users(orgid, code, name, yg_id, isadmin, datascope) values(1, "
            "'admin', N'管理员', 10, 1, 2)\n"
            "insert into qd_sys_users(orgid, code, name, yg_id, datascope) values(1, '1001', "
            "N'王经理', 11, 2)\n"
            "insert into qd_sys_users(orgid, code, name, yg_id, datascope) values(1, '2001', "
            "N'李店员', 12, 1)\n"
            "insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 11, 1)\n"
            "insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 11, 2)\n"
            "insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 12, 2)\n"
            "insert into qd_sys_roles(orgid, code, name) values(1, 'DZ', N'店长')\n"
            "insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_01')\n"
            "insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_04')\n"
            "insert into qd_sys_userroles(orgid, userid, roleid) values(1, 11, 1)\n"
            "insert into qd_sys_userrights(orgid, userid, rightcode) values(1, 12, 'KH_02')")));
        sys = std::make_unique<Sys::SystemServices>(db());
        Sys::setSystemServices(sys.get());
        sys->setPassword(1, QStringLiteral("admin"));
        sys->setPassword(2, QStringLiteral("123456"));
        sys->setPassword(3, QStringLiteral("密码'1"));
    }
    void TearDown() override {
        Sys::setSystemServices(nullptr);
        sys.reset();
        DbTest::TearDown();
    }

    // Runs an action through the gate and tells whether it went on.
    template <typename F>
    bool runs(F action) {
        try {
            action();
            return true;
        } catch (const Sys::EAbort&) {
            return false;
        }
    }

    int scalarCount(const QString& sql) { return db().query(sql).field(0).asInteger(); }

    std::unique_ptr<Sys::SystemServices> sys;
};

}  // namespace

TEST_F(SysTest, LoginRefusesWithClearMessagesAndFillsTheSession) {
    struct Case {
        const char* user;
        const char* password;
        qint32 store;
        const char* message;  // empty: accepted
    } cases[] = {
        // An unknown user and a wrong password are told alike.
        {"9999", "x", 1, "用户编号或密码错误"},
        {"1001", "wrong", 1, "用户编号或密码错误"},
        {"1001", "", 1, "用户编号或密码错误"},
        {"2001", "密码'1", 1, "您没有门店“总店”的操作权限"},
        {"1001", "123456", 99, "门店不存在，请重新选择门店"},
        {"2001", "密码'1", 2, ""},
        {"admin", "admin", 1, ""},  // the administrator may work in any store
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        const Sys::LoginResult r =
            sys->login(QString::fromUtf8(c.user), QString::fromUtf8(c.password), c.store);
        EXPECT_EQ(r.ok, *c.message == 0);
        EXPECT_EQ(r.message, QString::fromUtf8(c.message));
        if (!r.ok)
            sys->logout();
        EXPECT_EQ(Sys::sysAuth() != nullptr, r.ok);
    }

    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    const Sys::TAuth* auth = Sys::sysAuth();
    const QString session =
        QStringList{
            auth->orgId,      QString::number(auth->storeId),   auth->storeCode,
            auth->storeName,  QString::number(auth->userId),    auth->userCode,
            auth->userName,   QString::number(auth->dataScope), QString::number(auth->isAdmin),
            auth->defaultPath}
            .join('|');
    // The employee behind the login, and the store's folder.
    EXPECT_EQ(session, QStringLiteral("1|1|MD01|总店|11|Y01|王经理|2|0|D:\\单据"));
}

TEST_F(SysTest, PasswordsAreStoredSaltedAndHashed) {
    Db::DataPacket rows = db().query("select code, pwdhash, pwdsalt from qd_sys_users order by id");
    const QStringList passwords = {"admin", "123456", QStringLiteral("密码'1")};
    QStringList salts;
    for (rows.first(); !rows.eof(); rows.next()) {
        const QString hash = rows.field(1).asString();
        const QString salt = rows.field(2).asString();
        EXPECT_TRUE(
            hash.startsWith(QStringLiteral("pbkdf2-sha256$%1$").arg(Sys::passwordIterations())))
            << hash.toStdString();
        EXPECT_FALSE(hash.contains(passwords[rows.recNo()]));
        EXPECT_TRUE(Sys::passwordMatches(passwords[rows.recNo()], salt, hash));
        salts << salt;
    }
    salts.removeDuplicates();
    EXPECT_EQ(salts.size(), 3);  // a salt of its own for each user
}

TEST_F(SysTest, AnOlderHashIsMadeAgainAtTheTargetCountByTheNextLogin) {
    const auto stored = [this] {
        return db().query("select pwdhash, pwdsalt from qd_sys_users where code = '1001'");
    };
    // A hash of an earlier version: 10 000 iterations, the count not written.
    const QString legacy =
        Sys::passwordHash("123456", "oldsalt", Sys::kLegacyPasswordIterations).section('$', 2);
    ASSERT_TRUE(db().execSQL(
        "update qd_sys_users set pwdhash = :h, pwdsalt = 'oldsalt' where code = '1001'",
        {{"h", legacy}}));

    EXPECT_FALSE(sys->login("1001", "wrong", 1).ok);  // a failed login leaves it alone
    EXPECT_EQ(stored().field(0).asString(), legacy);

    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    Db::DataPacket after = stored();
    const QString target = QStringLiteral("pbkdf2-sha256$%1$").arg(Sys::passwordIterations());
    EXPECT_TRUE(after.field(0).asString().startsWith(target))
        << after.field(0).asString().toStdString();
    EXPECT_NE(after.field(1).asString(), QStringLiteral("oldsalt"));  // with a new salt

    // A raised target raises the next login's hash too; the old hash still lets the user in.
    const int lowered = Sys::passwordIterations();
    Sys::setPasswordIterationsForTests(lowered * 3);
    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    const QString raised = stored().field(0).asString();
    Sys::setPasswordIterationsForTests(lowered);
    EXPECT_TRUE(raised.startsWith(QStringLiteral("pbkdf2-sha256$%1$").arg(lowered * 3)))
        << raised.toStdString();
    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);  // and a lower target does not lower it
    EXPECT_EQ(stored().field(0).asString(), raised);
}

// Failures counted per user code and per client, with the clock in the test's hand.
TEST_F(SysTest, RepeatedFailuresMakeTheNextAttemptWaitLongerEachTime) {
    const struct {
        int failures;
        int seconds;
    } delays[] = {{0, 0}, {4, 0}, {5, 2}, {6, 4}, {7, 8}, {13, 512}, {14, 900}, {1000, 900}};
    for (const auto& d : delays)
        EXPECT_EQ(Sys::LoginThrottle::delayAfter(d.failures), d.seconds) << d.failures;

    QDateTime now(QDate(2026, 5, 12), QTime(9, 0));
    Sys::LoginThrottle& throttle = sys->loginThrottle();
    throttle.setClock([&now] { return now; });
    throttle.setClientName("POS-1");
    const auto attempt = [this](const char* user, const char* password) {
        const Sys::LoginResult r = sys->login(user, password, 1);
        sys->logout();
        return r.ok ? QStringLiteral("ok") : r.message;
    };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(attempt("1001", "guess"), QStringLiteral("用户编号或密码错误"));
    // Even the right password waits, without being looked at.
    EXPECT_EQ(attempt("1001", "123456"), QStringLiteral("登录失败次数过多，请 2 秒后再试"));
    now = now.addMSecs(1500);
    EXPECT_EQ(attempt("1001", "123456"), QStringLiteral("登录失败次数过多，请 1 秒后再试"));
    now = now.addMSecs(500);
    EXPECT_EQ(attempt("1001", "guess"), QStringLiteral("用户编号或密码错误"));  // the 6th
    now = now.addSecs(3);
    EXPECT_EQ(attempt("1001", "123456"), QStringLiteral("登录失败次数过多，请 1 秒后再试"));
    now = now.addSecs(1);
    EXPECT_EQ(attempt("1001", "123456"), QStringLiteral("ok"));
    EXPECT_EQ(scalarCount("select count(*) from qd_sys_loginfails"), 0);  // cleared

    // The counts are kept in the database: another client sees the user code's failures, and
    // one client trying many codes, known or not, is held back as well.
    for (const char* code : {"9991", "9992", "9993", "9994", "9995"})
        attempt(code, "x");
    EXPECT_EQ(attempt("1001", "123456"), QStringLiteral("登录失败次数过多，请 2 秒后再试"));
    throttle.setClientName("POS-2");
    EXPECT_EQ(attempt("1001", "123456"), QStringLiteral("ok"));
    for (int i = 0; i < 4; ++i)
        attempt("9991", "x");  // 9991 now has five failures, from two clients
    throttle.setClientName("POS-3");
    EXPECT_EQ(attempt("9991", "x"), QStringLiteral("登录失败次数过多，请 2 秒后再试"));
    // A user code is one whatever its case (the server compares codes without it).
    attempt("K9", "x");
    attempt(" k9", "x");
    EXPECT_EQ(scalarCount("select failures from qd_sys_loginfails where name = 'k9'"), 2);
}

TEST_F(SysTest, ADeletedUserCannotLogInAndLosesItsRightsWhileLoggedIn) {
    ASSERT_TRUE(db().execSQL("update qd_sys_users set isdel = 1 where code = '2001'"));
    const Sys::LoginResult deleted = sys->login(QStringLiteral("2001"), "密码'1", 2);
    EXPECT_FALSE(deleted.ok);
    EXPECT_EQ(deleted.message, QStringLiteral("用户编号或密码错误"));

    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    const Sys::TAuth* auth = Sys::sysAuth();
    ASSERT_TRUE(auth->check({"KH_01"}));
    ASSERT_TRUE(db().execSQL("update qd_sys_users set isdel = 1 where code = '1001'"));
    EXPECT_FALSE(auth->check({"KH_01"}));  // from the next check on
    prompts().answer(mrOk);
    EXPECT_FALSE(runs([] { Base::rightsGate("KH", "_01"); }));

    // The administrator too.
    ASSERT_TRUE(sys->login("admin", "admin", 1).ok);
    ASSERT_TRUE(Sys::sysAuth()->check({"ANYTHING_01"}));
    ASSERT_TRUE(db().execSQL("update qd_sys_users set isdel = 1 where code = 'admin'"));
    EXPECT_FALSE(Sys::sysAuth()->check({"ANYTHING_01"}));
}

TEST_F(SysTest, RightsComeFromRolesAndUsersAndAreReadAtEachCheck) {
    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    const Sys::TAuth* auth = Sys::sysAuth();
    EXPECT_TRUE(auth->check({"KH_01"}));
    EXPECT_TRUE(auth->check({"XMZZK_04"}));
    EXPECT_FALSE(auth->check({"KH_02"}));
    EXPECT_FALSE(auth->check({"NOSUCH_99"}));  // a code no module defines is not held
    EXPECT_TRUE(auth->check({"KH_02", "KH_01"}, Sys::TrelationType::rtOr));
    EXPECT_FALSE(auth->check({"KH_02", "KH_01"}, Sys::TrelationType::rtAnd));

    ASSERT_TRUE(db().execSQL(
        "insert into qd_sys_userrights(orgid, userid, rightcode) values(1, 11, 'KH_02')"));
    EXPECT_TRUE(auth->check({"KH_02"}));  // granted while logged in: the next action sees it

    // A deleted role grants nothing from the next check on; a right of the user's own stays.
    ASSERT_TRUE(db().execSQL("update qd_sys_roles set isdel = 1 where code = 'DZ'"));
    EXPECT_FALSE(auth->check({"KH_01"}));
    EXPECT_FALSE(auth->check({"XMZZK_04"}));
    EXPECT_TRUE(auth->check({"KH_02"}));

    ASSERT_TRUE(sys->login("admin", "admin", 2).ok);
    EXPECT_TRUE(Sys::sysAuth()->check({"ANYTHING_01"}));
}

TEST_F(SysTest, GateRefusesWithItsMessageAndBlockComesFirst) {
    ASSERT_TRUE(sys->login("2001", "密码'1", 2).ok);
    EXPECT_TRUE(runs([] { Base::rightsGate("KH", "_02"); }));
    EXPECT_TRUE(prompts().asked().empty());

    prompts().answer(mrOk);
    EXPECT_FALSE(runs([] { Base::rightsGate("KH", "_01"); }));
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_EQ(prompts().last().text,
              QStringLiteral("对不起，您没有该功能的操作权限，访问被拒绝。"));
    EXPECT_EQ(prompts().last().title, QStringLiteral("用户授权"));
    EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Information));

    // The probe answers without a word.
    prompts().clear();
    EXPECT_FALSE(Base::rightProbe("KH", "_01"));
    EXPECT_TRUE(Base::rightProbe("KH", "_02"));
    EXPECT_TRUE(prompts().asked().empty());

    // Reports are gated by "2100_" + their code.
    prompts().answer(mrOk);
    EXPECT_FALSE(runs([] { Base::reportRightsGate("RPT01"); }));

    // The administrator holds every right, yet bill actions are blocked before the gate runs.
    ASSERT_TRUE(sys->login("admin", "admin", 1).ok);
    prompts().clear();
    prompts().answer(mrOk);
    EXPECT_FALSE(runs([] {
        Base::administratorBlock();
        Base::rightsGate("XMZZK", "_06");
    }));
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_EQ(prompts().last().text,
              QStringLiteral("当前用户为系统管理员，不能用于业务单据操作。"));
    EXPECT_TRUE(runs([] { Base::rightsGate("KH", "_06"); }));  // master data is allowed to him

    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    EXPECT_TRUE(runs([] { Base::administratorBlock(); }));
}

TEST_F(SysTest, SqlTemplateWritesSessionValuesAsLiterals) {
    ASSERT_TRUE(db().execSQL("update qd_b_ckbmk set orgid = 1"));
    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    Sys::sysAuth()->orgId = QStringLiteral("1' or '1'='1");  // a hostile value stays a literal
    EXPECT_EQ(
        Sys::sqlTemplate("select * from t where orgid=:orgid and uid = :userid and x=:orgidx"),
        "select * from t where orgid='1'' or ''1''=''1' and uid = 11 and x=:orgidx");
    Sys::sysAuth()->orgId = QStringLiteral("1");
    Db::DataPacket rows = db().query(Sys::sqlTemplate(
        "select count(*) from qd_auth_ck_access where orgid=:orgid and uid=:userid"));
    EXPECT_EQ(rows.field(0).asInteger(), 2);

    // A lookup statement's placeholders: inside quotes the value with its quotes doubled,
    // elsewhere a quoted literal; a longer name or another parameter is left alone.
    EXPECT_EQ(Sys::lookupSql("select * from t where orgid = :orgid and iclass = ':iclass' and "
                             "pid = :p1 and x = :iclassx and n = N'[:orgid/:iclass]'",
                             "O'B"),
              "select * from t where orgid = '1' and iclass = 'O''B' and pid = :p1 and x = "
              ":iclassx and n = N'[1/O''B]'");
    // A value holding a placeholder is not filled again.
    EXPECT_EQ(Sys::lookupSql("select ':iclass', :iclass", ":orgid"), "select ':orgid', ':orgid'");
}

TEST_F(SysTest, PlugInRegistryFindsModulesByNameOrTitleAndKeepsBrokenOnes) {
    ASSERT_TRUE(db().execSQL(
        QStringLiteral("insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, "
                       "plugininfo, isort) "
                       "values(1, 'KH', N'客户会员查询', N'客户资料', N'基础资料', "
                       "'TSingleBasicRibbonForm', '{\"tablename\":\"qd_b_khbmk\"}', 2)\n"
                       "insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, "
                       "plugininfo, isort) "
                       "values(1, 'BAD', N'坏模块', N'坏模块', N'基础资料', "
                       "'TSingleBasicRibbonForm', '{\"tablename\":', 1)\n"
                       "insert into qd_sys_plugins(orgid, code, name, title, isdel) values(1, "
                       "'OLD', N'旧模块', N'旧模块', 1)")));
    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    Sys::TPlugsPool& pool = Sys::plugsPool();
    ASSERT_EQ(pool.items().size(), 2u);
    EXPECT_EQ(pool.items()[0]->code, "BAD");  // by sort order, broken descriptor and all
    Sys::TPlugItem* kh = pool.plugbyName(QStringLiteral("客户会员查询"), false);
    ASSERT_NE(kh, nullptr);
    EXPECT_EQ(static_cast<Sys::TPlugItemSingleBasic*>(kh)->getplugInfo(),
              "{\"tablename\":\"qd_b_khbmk\"}");
    EXPECT_EQ(pool.plugbyName(QStringLiteral("客户资料"), false), nullptr);
    EXPECT_EQ(pool.plugbyName(QStringLiteral("客户资料"), true), kh);
    EXPECT_EQ(pool.plugbyName(QStringLiteral("旧模块"), true), nullptr);

    // Opening goes through the entry its window class registered.
    QString result;
    EXPECT_THROW(kh->open(nullptr, "", result), Db::DbError);
    Sys::TPlugsPool::registerOpenEntry(
        "TSingleBasicRibbonForm", [](QWidget*, Sys::TPlugItem& item, const QString& title,
                                     const QString& params, QString& out, int mode) {
            out = item.code + "|" + title + "|" + params + "|" + QString::number(mode);
        });
    kh->open(nullptr, "K0001", result);
    EXPECT_EQ(result, QStringLiteral("KH|客户资料|K0001|-1"));
}

TEST_F(SysTest, SettingsAndOperationLog) {
    ASSERT_TRUE(db().execSQL(QStringLiteral(
        "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'company', N'京华印务')\n"
        "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(2, 'company', N'别家')\n"
        "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'dateformat', "
        "'yyyy/MM/dd')")));
    ASSERT_TRUE(sys->login("1001", "123456", 1).ok);
    EXPECT_EQ(Sys::SysConfigCache().get("company"), QStringLiteral("京华印务"));
    EXPECT_EQ(Sys::SysConfigCache().get("footer"), QString());
    EXPECT_EQ(Sys::VaGlobalmtSettings().dateFormat, "yyyy/MM/dd");  // the organisation's own
    EXPECT_EQ(Sys::VaGlobalmtSettings().dateTimeFormat, "yyyy-MM-dd HH:mm:ss");  // the default

    Sys::logger("XMZZK", QStringLiteral("订单"), "Z202611001", QStringLiteral("审核"),
                "{\"status\":1}");
    Db::DataPacket log = db().query(
        "select modulecode, moduletitle, billno, action, data, userid, username, ck_id, "
        "datediff(second, logtime, getdate()) from qd_sys_operlog");
    ASSERT_EQ(log.recordCount(), 1);
    QStringList cells;
    for (int f = 0; f < log.fieldCount(); ++f)
        cells << log.field(f).asString();
    EXPECT_EQ(cells.join('|'),
              QStringLiteral("XMZZK|订单|Z202611001|审核|{\"status\":1}|11|王经理|1|0"));
}
