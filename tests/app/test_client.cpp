// The client program: its command line, the demo database, the login dialog and the main
// window with its navigator and pages, driven directly (no modal loop) on a real database.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "ClientOptions.h"
#include "DemoDatabase.h"
#include "base/ProgramHome.h"
#include "core/GridHelpers.h"
#include "db/Schema.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "support/TestEnv.h"
#include "sys/SystemServices.h"
#include "uLoginForm.h"
#include "uMainForm.h"

using namespace Qd::App;
using namespace Qd::Core;

using Qd::Test::S;

namespace {

// ---- command line ---------------------------------------------------------------------------

ParsedClientOptions parse(const QStringList& args) {
    return parseClientOptions(QStringList{S("qdclient")} + args);
}

// Without arguments the demo in the program home; the password may come from the environment
// for a --user, the command line winning.
TEST(ClientOptions, DefaultsToTheDemoDatabaseAndMayTakeThePasswordFromTheEnvironment) {
    Sys::setProgramHome(S("/opt/qd"));
    qputenv("QD_PASSWORD", "环境'密码");
    const ParsedClientOptions alone = parse({});
    const ParsedClientOptions fromEnvironment = parse({"--user", "1001"});
    const ParsedClientOptions given = parse({"--user", "1001", "--password", "命令行"});
    qunsetenv("QD_PASSWORD");
    const QString expected = Sys::programPath(S("demo.db"));
    Sys::setProgramHome(QString());
    ASSERT_TRUE(alone.ok()) << alone.error.toStdString();
    EXPECT_EQ(alone.options.database, expected);
    EXPECT_TRUE(expected.startsWith(S("/opt/qd"))) << expected.toStdString();
    EXPECT_FALSE(alone.options.autoLogin());  // without --user the password is not used
    ASSERT_TRUE(fromEnvironment.ok()) << fromEnvironment.error.toStdString();
    EXPECT_EQ(fromEnvironment.options.password, S("环境'密码"));
    EXPECT_EQ(given.options.password, S("命令行"));
}

TEST(ClientOptions, LoginModuleAndScreenshotFromTheCommandLine) {
    const ParsedClientOptions p =
        parse({"--db", "/data/店铺.db", "--user", "1001", "--password", "", "--store", "MD02",
               "--module", "客户资料", "--screenshot", "/tmp/主窗口.png", "--trace"});
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    const ClientOptions& o = p.options;
    EXPECT_EQ(o.database, S("/data/店铺.db"));
    EXPECT_TRUE(o.autoLogin());
    EXPECT_EQ(o.userCode, S("1001"));
    EXPECT_EQ(o.password, QString());  // an empty password is still a password
    EXPECT_EQ(o.storeCode, S("MD02"));
    EXPECT_EQ(o.module, S("客户资料"));
    EXPECT_EQ(o.screenshot, S("/tmp/主窗口.png"));
    EXPECT_TRUE(o.loginScreenshot.isEmpty());
    EXPECT_TRUE(o.trace);
}

TEST(ClientOptions, RefusesCombinationsThatCannotWork) {
    struct Row {
        QStringList args;
        const char* error;
    };
    const Row rows[] = {
        {{"--password", "x"}, "--password 和 --store 只能与 --user 一同使用"},
        {{"--store", "MD01"}, "--password 和 --store 只能与 --user 一同使用"},
        {{"--user", "1001"}, "--user 需要同时给出 --password（或环境变量 QD_PASSWORD）"},
        {{"--user", " ", "--password", "x"}, "--user 需要给出用户编号"},
        {{"--db", ""}, "--db 需要给出数据库文件或 odbc: 连接字符串"},
        {{"--module", ""}, "--module 需要给出模块名称"},
        {{"--screenshot", "a.png", "--login-screenshot", "b.png"},
         "--screenshot 与 --login-screenshot 不能同时使用"},
        {{"--bogus", "-x"}, "未知的选项：--bogus -x"},
        {{"--db"}, "--db 需要给出参数值"},
        {{"demo.db"}, "多余的参数：demo.db"},
        {{"--module", "订单", "--dialog", "附件"}, "--dialog 需要同时给出 --module 和 --bill"},
        {{"--bill", "1"}, "--dialog 需要同时给出 --module 和 --bill"},
        {{"--module", "订单", "--bill", "1", "--dialog", "删除"},
         "--dialog 只能是：单据设置、附件、反馈、审核日志、打印日志"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        const ParsedClientOptions p = parse(row.args);
        EXPECT_FALSE(p.ok());
        EXPECT_EQ(p.error, QString::fromUtf8(row.error));
    }
}

// The program itself, with the real prompter: a module that runs a dialog is pictured by that
// dialog, taken inside its modal loop, and the program still ends.
TEST(ClientScreenshot, AModuleThatRunsADialogIsPicturedByTheDialog) {
    QTemporaryDir home;
    const auto shoot = [&](const QStringList& extra, const QString& png) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
        env.insert(S("QD_HOME"), home.path());
        p.setProcessEnvironment(env);
        p.start(S(QDCLIENT_PATH),
                QStringList{S("--db"), home.filePath(S("demo.db")), S("--user"), S("1001"),
                            S("--password"), S("123456"), S("--screenshot"), home.filePath(png)} +
                    extra);
        EXPECT_TRUE(p.waitForFinished(60000)) << png.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QImage(home.filePath(png));
    };
    const QImage main = shoot({}, S("main.png"));
    const QImage sms = shoot({S("--module"), S("短信发送")}, S("sms.png"));
    ASSERT_FALSE(main.isNull());
    ASSERT_FALSE(sms.isNull());
    EXPECT_LT(sms.width(), main.width());  // the bulk SMS dialog, not the main window
    // The demo's windows came as the plug-in beside the program, as a user's client has them.
    QFile trace(home.filePath(S("trace.log")));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(trace.readAll()).contains(S("libqddemo.so（演示模块）")));
}

// ---- the demo database ----------------------------------------------------------------------

class DemoDatabaseTest : public Qd::Test::DbTest {};

TEST_F(DemoDatabaseTest, ANewFileIsSeededOnceAndItsUsersCanLogIn) {
    const QString path = dir() + S("/demo.db");
    {
        auto demo = openDemoDatabase(path);
        demo->exec(S("update qd_b_ckbmk set name = N'总店（改）' where code = 'MD01'"));
    }
    // Opened again: the edit is kept and nothing is inserted twice.
    auto demo = openDemoDatabase(path);
    Db::RecordSet stores =
        demo->query(S("select count(*) as n, max(name) as nm from qd_b_ckbmk "
                      "where code = 'MD01'"));
    EXPECT_EQ(stores.field("n").asInteger(), 1);
    EXPECT_EQ(stores.field("nm").asString(), S("总店（改）"));

    Db::setDataServices(demo.get());
    Sys::SystemServices sys(*demo);
    Sys::setSystemServices(&sys);
    ASSERT_GE(sys.stores().size(), 4u);
    const qint32 firstStore = sys.stores().front().id;
    EXPECT_FALSE(sys.login(S("admin"), S("wrong"), firstStore).ok);
    const Sys::LoginResult admin = sys.login(S("admin"), S("admin"), firstStore);
    EXPECT_TRUE(admin.ok) << admin.message.toStdString();
    EXPECT_FALSE(sys.plugs().items().empty());
    Sys::setSystemServices(nullptr);
    Db::setDataServices(&db());

    EXPECT_TRUE(prompts().asked().empty());
}

TEST_F(DemoDatabaseTest, ADemoOfAnotherEditionIsMadeAfreshAndTheOldOneKept) {
    const QString path = dir() + S("/demo.db");
    const QString today = path + S(".bak-") + QDate::currentDate().toString(S("yyyyMMdd"));
    // Two editions replaced on one day: the second backup gets a number.
    for (const QString& backup : {today, today + S("-2")}) {
        SCOPED_TRACE(backup.toStdString());
        {
            auto demo = openDemoDatabase(path);
            demo->exec(
                S("update qd_b_ckbmk set name = N'总店（改）' where code = 'MD01'\n"
                  "update qd_sys_config set cfgvalue = 'old' "
                  "where cfgkey = 'demo.edition'"));
        }
        prompts().clear();
        prompts().answer(Ui::mrOk);
        auto demo = openDemoDatabase(path);
        ASSERT_EQ(prompts().asked().size(), 1u);
        EXPECT_EQ(prompts().last().kind, int(Ui::MsgKind::Information));
        EXPECT_TRUE(prompts().last().text.contains(QDir::toNativeSeparators(backup)))
            << prompts().last().text.toStdString();
        EXPECT_EQ(
            demo->query(S("select name from qd_b_ckbmk where code = 'MD01'")).field(0).asString(),
            S("总店"));
        // The user's change is in the file kept.
        Db::SqliteDataServices kept(backup);
        EXPECT_EQ(
            kept.query(S("select name from qd_b_ckbmk where code = 'MD01'")).field(0).asString(),
            S("总店（改）"));
    }
    // Said once: the next start finds this edition and says nothing.
    prompts().clear();
    openDemoDatabase(path);
    EXPECT_TRUE(prompts().asked().empty());
    EXPECT_FALSE(QFileInfo::exists(today + S("-3")));
}

// ---- windows on a small organisation --------------------------------------------------------

// Two stores; 王经理 (1001) may work in both with every store's data, 李店员 (2001) only in
// 东城分店. The registry is filled by each test.
class ClientTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(Db::ensureFrameworkSchema(db()));
        db().exec(S(
            "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'company', N'测试商贸')\n"
            "insert into qd_b_ckbmk(orgid, code, name, isort) values(1, 'MD01', N'总店', 2)\n"
            "insert into qd_b_ckbmk(orgid, code, name, isort) values(1, 'MD02', N'东城分店', 1)"));
        m_sys = std::make_unique<Sys::SystemServices>(db());
        Sys::setSystemServices(m_sys.get());
        addUser(S("1001"), S("王经理"), 2, {1, 2});
        addUser(S("2001"), S("李店员"), 1, {2});
    }
    void TearDown() override {
        Sys::setSystemServices(nullptr);
        m_sys.reset();
        DbTest::TearDown();
    }

    Sys::SystemServices& sys() { return *m_sys; }

    void addUser(const QString& code, const QString& name, int scope, QList<int> stores) {
        db().exec(S("insert into qd_b_ygbmk(orgid, ck_id, code, name) "
                    "values(1, :ck, :code, :name)"),
                  {{"ck", stores.front()}, {"code", code}, {"name", name}});
        const int employee = lastId(S("qd_b_ygbmk"));
        db().exec(S("insert into qd_sys_users(orgid, code, name, yg_id, datascope, "
                    "ck_id) values(1, :code, :name, :yg, :scope, :ck)"),
                  {{"code", code},
                   {"name", name},
                   {"yg", employee},
                   {"scope", scope},
                   {"ck", stores.front()}});
        sys().setPassword(lastId(S("qd_sys_users")), S("123456"));
        for (int store : stores)
            db().exec(S("insert into qd_auth_ck_access(orgid, uid, ck_id) "
                        "values(1, :uid, :ck)"),
                      {{"uid", employee}, {"ck", store}});
    }
    int lastId(const QString& table) {
        return db().query(S("select max(id) as id from ") + table).field("id").asInteger();
    }
    void addModule(const QString& code, const QString& title, const QString& group, int sort,
                   const QString& descriptor = S("{}"),
                   const QString& formClass = S("TCustomPluginForm")) {
        db().exec(S("insert into qd_sys_plugins(orgid, code, name, title, groupname, "
                    "formclass, plugininfo, isort) "
                    "values(1, :code, :name, :title, :grp, :cls, :info, :sort)"),
                  {{"code", code},
                   {"name", title},
                   {"title", title},
                   {"grp", group},
                   {"cls", formClass},
                   {"info", descriptor},
                   {"sort", sort}});
    }
    void loginAs(const QString& user, int storeId = 1) {
        const Sys::LoginResult r = sys().login(user, S("123456"), storeId);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
    }

private:
    std::unique_ptr<Sys::SystemServices> m_sys;
};

// ---- login dialog ---------------------------------------------------------------------------

using LoginForm = ClientTest;

// The stores offered, as "name（code）|..." with the current one in brackets.
QString offered(const TLoginForm& form) {
    QStringList stores;
    for (int i = 0; i < form.storeCombo()->count(); ++i)
        stores << (i == form.storeCombo()->currentIndex()
                       ? '[' + form.storeCombo()->itemText(i) + ']'
                       : form.storeCombo()->itemText(i));
    return stores.join('|');
}

TEST_F(LoginForm, OffersTheStoresTheUserCodeMayEnter) {
    TLoginForm form(sys());
    EXPECT_EQ(form.passwordEdit()->echoMode(), QLineEdit::Password);
    // No code yet, or one that names no login: every store, so that it tells nothing.
    EXPECT_EQ(offered(form), S("[总店（MD01）]|东城分店（MD02）"));
    form.setUserCode(S("2001"));
    EXPECT_EQ(offered(form), S("[东城分店（MD02）]"));
    EXPECT_FALSE(form.selectStore(S("MD01")));
    form.setUserCode(S("1001"));  // starts on the login's own store
    EXPECT_EQ(offered(form), S("[总店（MD01）]|东城分店（MD02）"));
    EXPECT_TRUE(form.selectStore(S("md02")));
    EXPECT_EQ(form.storeCombo()->currentIndex(), 1);
    form.setUserCode(S("9999"));
    EXPECT_EQ(offered(form), S("[总店（MD01）]|东城分店（MD02）"));
}

TEST_F(LoginForm, EnterInTheUserCodeGoesOnToThePasswordAndTabPassesTheStoreFirst) {
    TLoginForm form(sys());
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QSignalSpy accepted(&form, &QDialog::accepted);
    EXPECT_EQ(QApplication::focusWidget(), form.userEdit());
    QTest::keyClicks(form.userEdit(), S("2001"));
    QTest::keyClick(form.userEdit(), Qt::Key_Return);
    EXPECT_TRUE(prompts().asked().empty());  // nothing was tried with an empty password
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(QApplication::focusWidget(), form.passwordEdit());
    EXPECT_EQ(offered(form), S("[东城分店（MD02）]"));

    form.userEdit()->setFocus();
    for (QWidget* next : std::initializer_list<QWidget*>{form.storeCombo(), form.passwordEdit(),
                                                         form.loginButton()}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}

TEST_F(LoginForm, TheLastUserAndStoreOfThisClientAreOfferedAgain) {
    {
        TLoginForm first(sys());
        first.show();
        first.setUserCode(S("1001"));
        first.selectStore(S("MD02"));
        first.passwordEdit()->setText(S("123456"));
        QTest::keyClick(first.passwordEdit(), Qt::Key_Return);  // the default button
        ASSERT_EQ(first.result(), QDialog::Accepted);
        ASSERT_NE(sys().session(), nullptr);
        EXPECT_EQ(sys().session()->storeCode, S("MD02"));
        EXPECT_EQ(sys().session()->userName, S("王经理"));
    }
    const QString remembered = Sys::programPath(S("login.ini"));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(remembered));
    sys().logout();

    TLoginForm form(sys());
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(form.userEdit()->text(), S("1001"));
    EXPECT_EQ(offered(form), S("总店（MD01）|[东城分店（MD02）]"));
    EXPECT_EQ(QApplication::focusWidget(), form.passwordEdit());
    QCoreApplication::processEvents();
    Qd::Test::keepRender(form, "login.png");
    // Another user starts on their own store.
    form.setUserCode(S("2001"));
    EXPECT_EQ(offered(form), S("[东城分店（MD02）]"));
    form.setUserCode(S("1001"));
    EXPECT_EQ(offered(form), S("总店（MD01）|[东城分店（MD02）]"));
}

// A missing user code or password is asked for and not tried; a wrong password is the login's
// own refusal, with the dialog kept open and the password selected for typing again.
TEST_F(LoginForm, RefusalsAreShownAndTheDialogStaysOpen) {
    TLoginForm form(sys());
    form.show();
    QSignalSpy accepted(&form, &QDialog::accepted);
    const auto tryLogin = [&](const QString& user, const QString& password) {
        prompts().clear();
        form.userEdit()->setText(user);
        form.passwordEdit()->setText(password);
        prompts().answer(Ui::mrOk);
        QTest::mouseClick(form.loginButton(), Qt::LeftButton);
        EXPECT_EQ(prompts().asked().size(), 1u);
        return prompts().asked().empty() ? QString() : prompts().last().text;
    };
    EXPECT_EQ(tryLogin(QString(), S("123456")), S("请输入用户编号。"));
    EXPECT_EQ(tryLogin(S("1001"), QString()), S("请输入密码。"));
    EXPECT_EQ(db().query("select count(*) from qd_sys_loginfails").field(0).asInteger(), 0);

    EXPECT_EQ(tryLogin(S("1001"), S("654321")), sys().login(S("1001"), S("654321"), 1).message);
    EXPECT_EQ(prompts().last().title, S("提示"));
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.passwordEdit()->selectedText(), S("654321"));
    EXPECT_EQ(sys().session(), nullptr);
}

// ---- main window ----------------------------------------------------------------------------

// The navigator as one line: "group[module,module] group[...]".
QString outline(const QTreeWidget& tree) {
    QStringList groups;
    for (int g = 0; g < tree.topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = tree.topLevelItem(g);
        QStringList modules;
        for (int m = 0; m < group->childCount(); ++m)
            modules << group->child(m)->text(0);
        groups << group->text(0) + '[' + modules.join(',') + ']';
    }
    return groups.join(' ');
}

// Every label of a page, in creation order, as one text.
QString textOf(const QWidget* page) {
    QStringList texts;
    for (const QLabel* label : page->findChildren<QLabel*>())
        texts << label->text();
    return texts.join('|');
}

QTreeWidgetItem* findModuleNode(const QTreeWidget& tree, const QString& title) {
    const QList<QTreeWidgetItem*> found =
        tree.findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

class MainForm : public ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        addModule(S("RPT01"), S("销售日报"), S("报表查询"), 5, QString(), S("TBaseReportForm"));
        addModule(S("KH"), S("客户资料"), S("基础资料"), 10);
        addModule(S("YG"), S("员工资料"), S("基础资料"), 10);
        addModule(S("CK"), S("门店资料"), S("基础资料"), 8);
        addModule(S("RPT02"), S("客户汇总"), S("报表查询"), 30);
        addModule(S("SKD"), S("收款单"), S("业务单据"), 20,
                  S(R"({"master": "qd_x_skd", "caption": "收款单"})"));
        addModule(S("BAD"), S("坏描述"), S("业务单据"), 21, S(R"({"master": "qd_x_bad",})"));
        addModule(S("MISC"), S("杂项"), QString(), 50);
        loginAs(S("1001"));
    }
    QTabWidget& pages(TMainForm& f) { return *f.pageControl(); }
};

TEST_F(MainForm, TitleHomePageAndStatusBarShowTheSession) {
    TMainForm form(sys());
    EXPECT_EQ(form.windowTitle(), S("多门店业务管理系统 - 总店 - 王经理"));
    ASSERT_EQ(pages(form).count(), 1);
    EXPECT_EQ(pages(form).tabText(0), S("首页"));
    const QString home = textOf(pages(form).widget(0));
    for (const char* part :
         {"测试商贸", "总店（MD01）", "王经理（1001）", "全部门店", "8 个（4 组）"})
        EXPECT_TRUE(home.contains(QString::fromUtf8(part))) << part << " in " << home.toStdString();

    const QString status = textOf(form.statusBar());
    EXPECT_TRUE(status.contains(S("门店：总店（MD01）"))) << status.toStdString();
    EXPECT_TRUE(status.contains(S("用户：王经理（1001）")));
    EXPECT_TRUE(status.contains(QFileInfo(dbPath()).fileName()));

    // A clerk's session: their store, and the scope of their data.
    sys().logout();
    loginAs(S("2001"), 2);
    TMainForm clerk(sys());
    EXPECT_EQ(clerk.windowTitle(), S("多门店业务管理系统 - 东城分店 - 李店员"));
    EXPECT_TRUE(textOf(pages(clerk).widget(0)).contains(S("本门店")));
}

TEST_F(MainForm, NavigatorGroupsModulesByTheirFirstSortThenBySortAndTitle) {
    TMainForm form(sys());
    // 客户资料 and 员工资料 share sort 10: by title (code point order).
    EXPECT_EQ(outline(*form.navigator()),
              S("报表查询[销售日报,客户汇总] 基础资料[门店资料,员工资料,客户资料] "
                "业务单据[收款单,坏描述] 其他[杂项]"));
    const QTreeWidgetItem* node = findModuleNode(*form.navigator(), S("销售日报"));
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->toolTip(0).contains(S("RPT01")));
    EXPECT_TRUE(node->toolTip(0).contains(S("TBaseReportForm")));
}

TEST_F(MainForm, ABrokenDescriptorIsReportedWithItsCodeAnEmptyOneIsNoError) {
    TMainForm form(sys());
    prompts().answer(Ui::mrOk);
    EXPECT_FALSE(form.openModule(S("坏描述")));
    ASSERT_EQ(prompts().asked().size(), 1u);
    const QString text = prompts().last().text;
    EXPECT_TRUE(text.startsWith(S("模块 BAD 的描述有误："))) << text.toStdString();
    EXPECT_TRUE(text.contains(S("(位置 "))) << text.toStdString();
    EXPECT_EQ(pages(form).count(), 1);
    EXPECT_EQ(form.modulePage(S("坏描述")), nullptr);

    // A title no module has opens nothing, quietly; an empty descriptor is no error: the report
    // module opens its report from the catalogue, behind the report's right.
    db().exec(S(
        "insert into qd_sys_rptmain(orgid, code, title, pluginfo) values(1, 'RPT01', N'销售日报', "
        "'{\"mainsql\": \"select 1 as x\"}')\n"
        "insert into qd_sys_userrights(orgid, userid, rightcode) select 1, id, '2100_RPT01' from "
        "qd_sys_users where code = '1001'"));
    prompts().clear();
    EXPECT_FALSE(form.openModule(S("没有这个模块"), true));
    EXPECT_TRUE(form.openModule(S("销售日报"), true));
    EXPECT_EQ(pages(form).count(), 2);
    EXPECT_TRUE(prompts().asked().empty());
}

TEST_F(MainForm, OpeningAModuleTwiceGivesOnePlaceholderPage) {
    TMainForm form(sys());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTreeWidget& tree = *form.navigator();
    QTreeWidgetItem* node = findModuleNode(tree, S("收款单"));
    ASSERT_NE(node, nullptr);
    tree.setCurrentItem(node);
    QTest::keyClick(&tree, Qt::Key_Return);

    ASSERT_EQ(pages(form).count(), 2);
    QWidget* page = form.modulePage(S("收款单"));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(pages(form).currentWidget(), page);
    EXPECT_EQ(pages(form).tabText(1), S("收款单"));
    EXPECT_EQ(textOf(page), S("模块：收款单|编号：|SKD|窗口类：|"
                              "TCustomPluginForm|该模块的窗口尚未提供。"));

    // Back home, then the module again by double click: the same page comes to the front.
    pages(form).setCurrentIndex(0);
    const QRect at = tree.visualItemRect(node);
    // As the window system delivers it: press, release, double click, release.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at.center());
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at.center());
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, at.center());
    EXPECT_EQ(pages(form).count(), 2);
    EXPECT_EQ(pages(form).currentWidget(), page);
    EXPECT_TRUE(prompts().asked().empty());

    // A group node opens nothing.
    tree.setCurrentItem(tree.topLevelItem(0));
    QTest::keyClick(&tree, Qt::Key_Return);
    EXPECT_EQ(pages(form).count(), 2);
}

TEST_F(MainForm, ARegisteredWindowClassOpensTheModuleInsteadOfAPlaceholder) {
    QWidget* seenOwner = nullptr;
    QString seenTitle;
    Sys::TPlugsPool::registerOpenEntry(
        S("TClientTestForm"),
        [&](QWidget* owner, Sys::TPlugItem&, const QString& title, const QString&, QString&, int) {
            seenOwner = owner;
            seenTitle = title;
        });
    Sys::TPlugsPool::registerOpenEntry(
        S("TClientTestFailingForm"),
        [](QWidget*, Sys::TPlugItem&, const QString&, const QString&, QString&, int) {
            throw Db::DbError(S("表 qd_x_none 不存在"));
        });
    addModule(S("OK1"), S("自有窗口"), S("业务单据"), 22, S("{}"), S("TClientTestForm"));
    addModule(S("ERR1"), S("出错窗口"), S("业务单据"), 23, S("{}"), S("TClientTestFailingForm"));
    sys().plugs().load();
    TMainForm form(sys());

    EXPECT_TRUE(form.openModule(S("自有窗口")));
    EXPECT_EQ(seenOwner, &form);
    EXPECT_EQ(seenTitle, S("自有窗口"));
    EXPECT_EQ(pages(form).count(), 1);

    // An error of the window itself is shown as it is, and no placeholder hides it.
    prompts().answer(Ui::mrOk);
    EXPECT_FALSE(form.openModule(S("出错窗口")));
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_EQ(prompts().last().text, S("表 qd_x_none 不存在"));
    EXPECT_EQ(pages(form).count(), 1);
}

TEST_F(MainForm, PagesCloseButTheHomePageStays) {
    TMainForm form(sys());
    QTabWidget& tabs = pages(form);
    EXPECT_EQ(tabs.tabBar()->tabButton(0, QTabBar::RightSide), nullptr);
    EXPECT_EQ(tabs.tabBar()->tabButton(0, QTabBar::LeftSide), nullptr);
    EXPECT_FALSE(form.actClosePage->isEnabled());
    EXPECT_FALSE(form.actCloseAll->isEnabled());

    ASSERT_TRUE(form.openModule(S("客户资料")));
    ASSERT_TRUE(form.openModule(S("员工资料")));
    ASSERT_TRUE(form.openModule(S("门店资料")));
    ASSERT_EQ(tabs.count(), 4);
    EXPECT_TRUE(form.actClosePage->isEnabled());
    EXPECT_TRUE(form.actCloseAll->isEnabled());

    form.actClosePage->trigger();  // the current one: 门店资料
    EXPECT_EQ(tabs.count(), 3);
    EXPECT_EQ(form.modulePage(S("门店资料")), nullptr);

    QWidget* closeButton = tabs.tabBar()->tabButton(1, QTabBar::RightSide);
    ASSERT_NE(closeButton, nullptr);
    QTest::mouseClick(closeButton, Qt::LeftButton);  // the tab's own close button: 客户资料
    EXPECT_EQ(tabs.count(), 2);
    EXPECT_EQ(form.modulePage(S("客户资料")), nullptr);
    EXPECT_NE(form.modulePage(S("员工资料")), nullptr);

    form.closePage(0);
    tabs.setCurrentIndex(0);
    form.actClosePage->trigger();  // disabled on the home page
    EXPECT_EQ(tabs.count(), 2);

    ASSERT_TRUE(form.openModule(S("客户资料")));
    form.actCloseAll->trigger();
    ASSERT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs.tabText(0), S("首页"));
    EXPECT_FALSE(form.actCloseAll->isEnabled());
}

// The screen of the tests (800 x 800) is narrower than the window's design size.
TEST_F(MainForm, TheWindowFitsItsScreenFrameAndAll) {
    {
        // A placement saved on a larger screen.
        QSettings ini(Base::GetIniFilePath(), QSettings::IniFormat);
        ini.setValue(S("TMainForm/Left"), -40);
        ini.setValue(S("TMainForm/Top"), 500);
        ini.setValue(S("TMainForm/Width"), 1900);
        ini.setValue(S("TMainForm/Height"), 1100);
    }
    for (bool saved : {true, false}) {
        SCOPED_TRACE(saved);
        if (!saved)
            QFile::remove(Base::GetIniFilePath());
        TMainForm form(sys());
        form.show();
        const QRect screen = form.screen()->availableGeometry();
        ASSERT_FALSE(screen.contains(QRect(screen.topLeft(), QSize(1200, 760))));
        EXPECT_TRUE(screen.contains(form.frameGeometry()))
            << form.frameGeometry().x() << ',' << form.frameGeometry().y() << ' '
            << form.frameGeometry().width() << 'x' << form.frameGeometry().height();
        EXPECT_GE(form.width(), screen.width() * 3 / 4);  // and uses it
        EXPECT_GE(form.height(), std::min(760, screen.height() * 3 / 4));
    }
}

}  // namespace
