// Bad input at the client's start, through its real entry (runClient, as `qdclient --db FILE`
// runs it): a file that is no database, a damaged database, another program's database, a
// folder that cannot hold the database, a full disk while the demo is made; and a client whose
// program folder is read-only.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "ClientStart.h"
#include "DemoDatabase.h"
#include "base/ProgramHome.h"
#include "db/FaultVfs.h"
#include "db/Trace.h"
#include "support/Rows.h"
#include "support/TestEnv.h"
#include "sys/SystemServices.h"
#include "uLoginForm.h"
#include "uMainForm.h"

using namespace Qd::App;
using namespace Qd::Core;

using Qd::Test::S;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Overwrites bytes [from, to) of a file with a fixed pattern that no database writes.
void overwrite(const QString& path, qsizetype from, qsizetype to) {
    QByteArray bytes = bytesOf(path);
    for (qsizetype i = from; i < std::min(to, bytes.size()); ++i)
        bytes[i] = char((i * 131 + 7) & 0xff);
    writeBytes(path, bytes);
}

// A database another program made: its own tables and rows, in its own journal mode.
void makeForeignDatabase(const QString& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "create table customers(id integer primary key, name text);"
                           "insert into customers(name) values('张三'), ('李四');"
                           "create index customers_name on customers(name);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

class BadInput : public Qd::Test::DbTest {
protected:
    struct Start {
        int exitCode = 0;
        QStringList shown;  // the message boxes
        QString printed;    // standard error
    };

    // Starts the client on the database file `path` as `qdclient --db path` does.
    Start start(const QString& path) {
        ClientOptions options;
        options.database = path;
        prompts().clear();
        prompts().acceptAllMessages(true);  // a login dialog, were it reached, is a failure
        testing::internal::CaptureStderr();
        Start s;
        s.exitCode = runClient(options, Db::FaultVfs::name());
        s.printed = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());
        for (const auto& q : prompts().asked()) {
            EXPECT_EQ(q.kind, int(Ui::MsgKind::Error)) << q.text.toStdString();
            s.shown << q.text;
        }
        return s;
    }

    // Refused: exit code 1 and one message, shown and printed, naming the file and saying
    // `says`.
    static void expectRefused(const Start& s, const QString& path, const QString& says) {
        EXPECT_EQ(s.exitCode, 1);
        ASSERT_EQ(s.shown.size(), 1) << s.shown.join(" / ").toStdString();
        const QString& text = s.shown.front();
        EXPECT_TRUE(text.contains(S("“%1”").arg(QDir::toNativeSeparators(path))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(says)) << text.toStdString();
        EXPECT_TRUE(text.contains(S("请"))) << "says what to do: " << text.toStdString();
        EXPECT_EQ(s.printed.trimmed(), text);
    }

    // A demo database made by the client and closed: a real database file to damage.
    QString makeDemo(const QString& name) {
        const QString path = dir() + QLatin1Char('/') + name;
        openDemoDatabase(path, Db::FaultVfs::name());
        EXPECT_FALSE(QFileInfo::exists(path + S("-wal")));  // all in the file
        return path;
    }

    // The database files in the test's folder (not its trace), as one line.
    std::string databaseFiles() const {
        return QDir(dir()).entryList({S("*.db*")}, QDir::Files, QDir::Name).join(' ').toStdString();
    }
};

// ---- files the client must not write to ------------------------------------------------------

TEST_F(BadInput, AFileTheClientCannotUseIsRefusedOnceAndLeftByteForByte) {
    const QString demo = makeDemo(S("demo.db"));
    const qsizetype page = 4096;
    ASSERT_GT(bytesOf(demo).size(), 4 * page);
    struct Row {
        const char* name;
        std::function<void(const QString&)> make;
        QString says;
    };
    const Row rows[] = {
        {"a text file",
         [](const QString& p) { writeBytes(p, "客户名单\n张三,13800000000\n李四,13900000000\n"); },
         S("不是数据库文件")},
        // The database header is kept, the rest of the first page (the root of the schema) is
        // overwritten.
        {"a database whose first page is overwritten after the header",
         [&](const QString& p) {
             QFile::copy(demo, p);
             overwrite(p, 100, page);
         },
         S("已损坏")},
        {"a database whose every page but the first is overwritten",
         [&](const QString& p) {
             QFile::copy(demo, p);
             overwrite(p, page, bytesOf(p).size());
         },
         S("已损坏")},
        {"another program's database", makeForeignDatabase, S("可能是其他程序的数据库")},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir() + S("/client-%1.db").arg(++n);
        row.make(path);
        const QByteArray before = bytesOf(path);
        const std::string filesBefore = databaseFiles();

        expectRefused(start(path), path, row.says);
        // Not repaired, seeded or converted: the same bytes, and no file beside it.
        EXPECT_TRUE(bytesOf(path) == before);
        EXPECT_EQ(databaseFiles(), filesBefore);
    }
    // The embedded database's own words follow the sentence.
    const QString notADatabase = dir() + S("/client-1.db");
    EXPECT_TRUE(start(notADatabase).shown.value(0).endsWith(S("（file is not a database）")));
}

TEST_F(BadInput, AFolderThatCannotHoldTheDatabaseIsNamed) {
    QString how;
    const QString path = Qd::Test::unwritableFolder(dir(), &how) + S("/demo.db");
    SCOPED_TRACE(how.toStdString());
    expectRefused(start(path), path, S("无法读写数据库文件"));
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(BadInput, WhatHoldsNothingYetBecomesTheDemo) {
    const QString empty = dir() + S("/empty.db");
    writeBytes(empty, QByteArray());
    const QString noTables = dir() + S("/no-tables.db");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(noTables.toUtf8().constData(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "pragma user_version = 7", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    for (const QString& path : {empty, noTables}) {
        SCOPED_TRACE(path.toStdString());
        auto demo = openDemoDatabase(path, Db::FaultVfs::name());
        EXPECT_EQ(demo->query(S("select count(*) from qd_sys_users where code = "
                                "'admin'"))
                      .field(0)
                      .asInteger(),
                  1);
    }
    EXPECT_TRUE(prompts().asked().empty());
}

// ---- a full disk while the demo is made ------------------------------------------------------

// The writes of making the demo database are failed in turn, the disk staying full after: one
// message each time, and no file left that the next start would take for a made demo. Every
// 16th write by default (and the first and last ones); QD_FULL_DISK_STRIDE=1 walks every one.
TEST_F(BadInput, AFullDiskWhileTheDemoIsMadeLeavesNoFileBehind) {
    Db::FaultVfs::resetCounts();
    const auto counted = openDemoDatabase(dir() + S("/counted.db"), Db::FaultVfs::name());
    const qint64 writes = Db::FaultVfs::count(Db::FaultVfs::Step::Write);
    ASSERT_GT(writes, 10);
    const std::string filesBefore = databaseFiles();

    const int stride = qEnvironmentVariableIntValue("QD_FULL_DISK_STRIDE");
    QList<qint64> steps = {1, 2, 3, writes - 1, writes};
    for (qint64 n = 4; n<writes - 1; n += stride> 0 ? stride : 16)
        steps << n;
    for (const qint64 n : steps) {
        SCOPED_TRACE("write " + std::to_string(n) + " of " + std::to_string(writes));
        const QString path = dir() + S("/demo-%1.db").arg(n);
        Db::FaultVfs::arm(Db::FaultVfs::Step::Write, n, Db::FaultVfs::Fault::DiskFull, true);
        const Start s = start(path);
        const bool fired = Db::FaultVfs::fired();
        Db::FaultVfs::disarm();
        EXPECT_TRUE(fired);
        expectRefused(s, path, S("磁盘空间不足"));
        EXPECT_EQ(databaseFiles(), filesBefore);
    }

    // With room again, the next start makes the demo whole.
    const QString path = dir() + S("/demo-1.db");
    auto demo = openDemoDatabase(path, Db::FaultVfs::name());
    EXPECT_EQ(demo->query(S("select count(*) from qd_sys_config where cfgkey = "
                            "'demo.edition'"))
                  .field(0)
                  .asInteger(),
              1);
}

// ---- a read-only program folder --------------------------------------------------------------

// The trace, the login remembered and the window placement all live in the program folder; the
// client works without them, and only the trace says so, once.
TEST_F(BadInput, TheClientGoesOnInAReadOnlyProgramFolder) {
    QString how;
    const QString home = Qd::Test::unwritableFolder(dir(), &how);
    SCOPED_TRACE(how.toStdString());
    Sys::setProgramHome(home);
    Db::setTraceFile(QString());  // the trace under the program home, as in the client

    ClientOptions options;
    options.database = dir() + S("/demo.db");
    options.userCode = S("admin");
    options.password = S("admin");
    options.screenshot = dir() + S("/main.png");
    testing::internal::CaptureStderr();
    const int exitCode = runClient(options, Db::FaultVfs::name());
    const QString printed = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(QFileInfo(options.screenshot).size() > 0);
    EXPECT_EQ(printed.count(S("无法写入跟踪文件")), 1) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QDir(home).filePath(S("trace.log"))));

    // The login dialog and the main window, whose settings cannot be kept.
    auto demo = openDemoDatabase(options.database, Db::FaultVfs::name());
    Db::setDataServices(demo.get());
    Sys::SystemServices sys(*demo);
    Sys::setSystemServices(&sys);
    {
        TLoginForm login(sys);
        login.show();
        QSignalSpy accepted(&login, &QDialog::accepted);
        login.setUserCode(S("admin"));
        login.passwordEdit()->setText(S("admin"));
        QTest::keyClick(login.passwordEdit(), Qt::Key_Return);
        EXPECT_EQ(accepted.count(), 1);
        TMainForm window(sys);
        window.show();
        EXPECT_TRUE(window.close());
    }
    Sys::setSystemServices(nullptr);
    Db::setDataServices(&db());
    EXPECT_TRUE(prompts().asked().empty());
}

}  // namespace
