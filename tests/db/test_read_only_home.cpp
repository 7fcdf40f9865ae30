// A program folder that cannot be written: the trace goes without its file and says so once,
// and a stored file that cannot be fetched into the cache is one message; the database work
// goes on either way.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>

#include "base/ProgramHome.h"
#include "db/Trace.h"
#include "support/TestEnv.h"

using namespace Qd::Core;

namespace {

class BadInput : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        db().exec(QStringLiteral("create table t(n int)"));
        m_home = Qd::Test::unwritableFolder(dir(), &m_how);
        Sys::setProgramHome(m_home);
        Db::setTraceFile(QString());  // under the program home, as in the client
    }
    QString m_home;
    QString m_how;  // how the folder was made unwritable
};

TEST_F(BadInput, ATraceFileThatCannotBeWrittenIsSaidOnceAndTheWorkGoesOn) {
    SCOPED_TRACE(m_how.toStdString());
    testing::internal::CaptureStderr();
    for (int n = 1; n <= 20; ++n)
        ASSERT_TRUE(Db::dataServices().execSQL(QStringLiteral("insert into t values(:n)"),
                                               {{QStringLiteral("n"), n}}));
    Db::LogError(QStringLiteral("保存失败"));  // an error is written at once: tried again?
    Db::flushTrace();
    const QString printed = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());
    EXPECT_EQ(printed.count(QStringLiteral("无法写入跟踪文件")), 1) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QDir(m_home).filePath(QStringLiteral("trace.log"))));
    EXPECT_EQ(db().query(QStringLiteral("select count(*) from t")).field(0).asInteger(), 20);
    EXPECT_TRUE(prompts().asked().empty());

    // A program home that can hold it: the trace is written there from the next line on.
    Sys::setProgramHome(dir());
    ASSERT_TRUE(Db::dataServices().execSQL(QStringLiteral("insert into t values(21)")));
    EXPECT_TRUE(traced().contains(QStringLiteral("insert into t values(21)")));
}

TEST_F(BadInput, AStoredFileThatCannotBeFetchedIntoTheCacheIsOneMessage) {
    SCOPED_TRACE(m_how.toStdString());
    QBuffer content;
    content.setData("附件内容");
    ASSERT_TRUE(Db::dataServices().putFile(QStringLiteral("合同.txt"), content));
    prompts().answer(Ui::mrOk);
    EXPECT_TRUE(Db::dataServices().downloadFile(QStringLiteral("合同.txt")).isEmpty());
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(prompts().last().text.contains(m_home)) << prompts().last().text.toStdString();
    EXPECT_EQ(db().query(QStringLiteral("select c.content from qd_sys_filestore f join "
                                        "qd_sys_filestore_content c on c.id = f.id where "
                                        "f.name = N'合同.txt'"))
                  .field(0)
                  .asBytes(),
              QByteArray("附件内容"));
}

}  // namespace
