// The client on an ODBC connection: where --db and config.ini send it, the start on a demo
// database reached through the embedded database's ODBC driver, the database named in the login
// dialog and the status bar, and the connections it cannot start on, each refused with one
// message that names the server and never the password.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include "ClientOptions.h"
#include "ClientStart.h"
#include "DemoDatabase.h"
#include "base/ProgramHome.h"
#include "db/DataSource.h"
#include "db/FaultVfs.h"
#include "db/odbc/OdbcDataServices.h"
#include "support/OdbcDbTest.h"
#include "support/OdbcTestEnv.h"
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

const QString kPassword = S("Pw'秘;密");
// The password as a connection string carries it: braced, since it holds a ";".
const QString kPasswordPart = S("UID=qd;PWD={Pw'秘;密}");

// ---- where the database is -------------------------------------------------------------------

class ClientSource : public ::testing::Test {
protected:
    void SetUp() override { Sys::setProgramHome(m_home.path()); }
    void TearDown() override { Sys::setProgramHome(QString()); }

    void writeConfig(const QByteArray& text) {
        QFile f(m_home.filePath(S("config.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QString database(const QStringList& args) {
        const ParsedClientOptions p = parseClientOptions(QStringList{S("qdclient")} + args);
        EXPECT_TRUE(p.ok()) << p.error.toStdString();
        return p.options.database;
    }
    QString home(const QString& name) const { return m_home.filePath(name); }

private:
    QTemporaryDir m_home;
};

TEST_F(ClientSource, ConfigIniNamesTheDatabaseAsWrittenAndTheCommandLineWins) {
    struct Row {
        const char* config;
        QString expected;
    };
    const QString connection = S("odbc:Driver=FreeTDS;Server=db1,1433;Database=qd;UID=u;PWD=a;b");
    const Row rows[] = {
        // A connection string's ";" and "," stay in it, quoted or not.
        {"[main]\nliststyle=2\n\n[database]\nconnection=odbc:Driver=FreeTDS;Server=db1,1433;"
         "Database=qd;UID=u;PWD=a;b\n",
         connection},
        {"[Database]\r\n Connection = \"odbc:Driver=FreeTDS;Server=db1,1433;Database=qd;UID=u;"
         "PWD=a;b\"\r\n",
         connection},
        // A file is under the program home unless it says where it is.
        {"[database]\nconnection=data/门店.db\n", home(S("data/门店.db"))},
        {"[database]\nconnection=/srv/qd.db\n", S("/srv/qd.db")},
        // Another section's key, or none: the demo in the program home.
        {"[drives]\nconnection=odbc:DSN=x\n", home(S("demo.db"))},
        {"[database]\nconnection=\n", home(S("demo.db"))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.config);
        writeConfig(row.config);
        EXPECT_EQ(database({}), row.expected);
        EXPECT_EQ(database({S("--db"), S("odbc:DSN=qd")}), S("odbc:DSN=qd"));
    }
}

TEST_F(ClientSource, ConfigIniMaySetTheServersTimeouts) {
    writeConfig("[database]\nconnection=odbc:DSN=qd\nlogintimeout=30\nquerytimeout=120\n");
    EXPECT_EQ(configuredTimeouts().login, 30);
    EXPECT_EQ(configuredTimeouts().query, 120);
    writeConfig("[database]\nlogintimeout=0\nquerytimeout=soon\n");  // kept at their defaults
    EXPECT_EQ(configuredTimeouts().login, 10);
    EXPECT_EQ(configuredTimeouts().query, 0);
}

// ---- the client on a connection ---------------------------------------------------------------

class ClientOdbc : public Qd::Test::OdbcDbTest {
protected:
    // A demo database made by the embedded backend, reached through the driver; the password
    // is in the string as it would be for a server (the driver takes no notice of it).
    QString demoConnection() {
        const QString file = dir() + S("/demo.db");
        openDemoDatabase(file, Db::FaultVfs::name());
        return S("odbc:") + Qd::Test::sqliteOdbcConnection(file) + QLatin1Char(';') + kPasswordPart;
    }

    struct Start {
        int exitCode = 0;
        QStringList shown;  // the message boxes
        QString printed;    // standard error
    };

    Start start(ClientOptions options) {
        prompts().clear();
        prompts().acceptAllMessages(true);
        testing::internal::CaptureStderr();
        Start s;
        s.exitCode = runClient(options);
        s.printed = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());
        for (const auto& q : prompts().asked()) {
            EXPECT_EQ(q.kind, int(Ui::MsgKind::Error)) << q.text.toStdString();
            s.shown << q.text;
        }
        return s;
    }
};

TEST_F(ClientOdbc, StartsOnTheDemoThroughTheDriverAndKeepsThePasswordOut) {
    ClientOptions options;
    options.database = demoConnection();
    options.userCode = S("1001");
    options.password = S("123456");
    options.screenshot = dir() + S("/main.png");
    const Start s = start(options);
    EXPECT_EQ(s.exitCode, 0) << s.printed.toStdString();
    EXPECT_TRUE(s.shown.isEmpty()) << s.shown.join('\n').toStdString();
    EXPECT_GT(QFileInfo(options.screenshot).size(), 0);
    const QString trace = traced();
    EXPECT_TRUE(trace.contains(S("打开数据库"))) << "the connection is traced";
    EXPECT_TRUE(trace.contains(S("qd_sys_users")));  // the login's statements
    EXPECT_FALSE(trace.contains(S("秘"))) << "the password is traced";
    EXPECT_FALSE(s.printed.contains(S("秘")));
}

TEST_F(ClientOdbc, TheLoginDialogAndTheStatusBarNameTheDatabase) {
    const QString connection = demoConnection();
    Db::OdbcDataServices odbc(Db::parseDataSource(connection).connection);
    Db::setDataServices(&odbc);
    Sys::SystemServices sys(odbc);
    Sys::setSystemServices(&sys);
    const QString file = dir() + S("/demo.db");
    {
        TLoginForm login(sys);
        Qd::Test::keepRender(login, S("login_odbc.png"));
        EXPECT_EQ(login.databaseLabel()->toolTip(), file);
        EXPECT_TRUE(login.databaseLabel()->text().endsWith(S("demo.db")));
        login.setUserCode(S("1001"));
        login.passwordEdit()->setText(S("123456"));
        EXPECT_TRUE(login.selectStore(S("MD01")));
        login.loginButton()->click();
        EXPECT_EQ(login.result(), QDialog::Accepted);
        TMainForm window(sys);
        QStringList texts;
        for (const QLabel* label : window.statusBar()->findChildren<QLabel*>())
            texts << label->text();
        EXPECT_TRUE(texts.contains(S("数据库：") + file)) << texts.join('|').toStdString();
    }
    Sys::setSystemServices(nullptr);
    Db::setDataServices(&db());
    EXPECT_TRUE(prompts().asked().empty());
}

TEST_F(ClientOdbc, AConnectionItCannotStartOnIsRefusedOnceNamingTheServer) {
    const QString tds = S("Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
    struct Row {
        const char* name;
        QString database;
        QString says;  // the message begins so
    };
    const QString emptyFile = dir() + S("/empty.db");
    QFile(emptyFile).open(QIODevice::WriteOnly);
    const Row rows[] = {
        {"an unknown driver",
         S("odbc:Driver=QdNoSuchDriver;Server=db1;Database=qd;") + kPasswordPart,
         S("无法连接数据库 db1 / qd：")},
        {"a malformed string", S("odbc:Driver=FreeTDS;Server=db1;Database=qd;UID=qd;PWD=Pw'秘;密"),
         S("无法连接数据库 db1 / qd：连接字符串有误，第 6 项不是“键=值”的形式")},
        {"a refused connection",
         S("odbc:") + tds + S(";Server=127.0.0.1;Port=1;Database=qd;TDS_Version=7.4;") +
             kPasswordPart,
         S("无法连接数据库 127.0.0.1:1 / qd：")},
        {"a database without the framework's tables",
         S("odbc:") + Qd::Test::sqliteOdbcConnection(emptyFile) + QLatin1Char(';') + kPasswordPart,
         S("数据库“%1”中没有本系统的数据表，可能是其他程序的数据库").arg(emptyFile)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ClientOptions options;
        options.database = row.database;
        const Start s = start(options);
        EXPECT_EQ(s.exitCode, 1);
        ASSERT_EQ(s.shown.size(), 1) << s.shown.join(" / ").toStdString();
        EXPECT_TRUE(s.shown.front().startsWith(row.says)) << s.shown.front().toStdString();
        EXPECT_EQ(s.printed.trimmed(), s.shown.front());
        EXPECT_FALSE(s.shown.front().contains(S("秘")));
    }
    EXPECT_FALSE(traced().contains(S("秘"))) << traced().toStdString();
    EXPECT_EQ(QFileInfo(emptyFile).size(), 0) << "the client never writes a server's schema";
}

TEST_F(ClientOdbc, ADatabaseLackingSomeTablesIsToldWhichOnes) {
    const QString connection = demoConnection();
    {
        Db::SqliteDataServices file(dir() + S("/demo.db"));
        file.exec(S("drop table qd_sys_smsoutbox"));
    }
    ClientOptions options;
    options.database = connection;
    const Start s = start(options);
    EXPECT_EQ(s.exitCode, 1);
    ASSERT_EQ(s.shown.size(), 1);
    EXPECT_TRUE(s.shown.front().contains(S("（缺少 qd_sys_smsoutbox）")))
        << s.shown.front().toStdString();
    EXPECT_TRUE(s.shown.front().contains(S("qdsql --schema")));
}

}  // namespace
