// Two clients on one database file, each a process with its own session of the data services:
// increments of one counter interleaved between them lose nothing, and a client that meets the
// other's lock waits for it, then says so once and loses nothing of what it was saving.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <iostream>

#include "crash/Workload.h"
#include "crash/WriterProcess.h"
#include "support/Rows.h"
#include "support/TestEnv.h"

// Failures show the text of a QString rather than its bytes.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

using namespace Qd::Core::Db;
using namespace Qd::Test;

namespace {

class Race : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(db().execSQL(QString::fromUtf8(Workload::kRaceSchema)));
    }

    QString counter() {
        return Qd::Test::rowTexts(db().query("select n, version from race_counter order by id"), {},
                                  QStringLiteral("/"))
            .join(QLatin1Char(' '));
    }
};

TEST_F(Race, InterleavedIncrementsOfOneCounterLoseNothing) {
    bool ok = false;
    int total = qEnvironmentVariableIntValue("QD_RACE_INCREMENTS", &ok);
    if (!ok || total < 2)
        total = 10000;
    // Each client alternates an update by statement with a read, change and save through a
    // record set; they start together, on a line sent to both.
    WriterProcess first(dir(), QStringLiteral("count"), dbPath(), {QString::number(total / 2)});
    WriterProcess second(dir(), QStringLiteral("count"), dbPath(),
                         {QString::number(total - total / 2)});
    for (WriterProcess* w : {&first, &second})
        ASSERT_TRUE(w->waitForLine(QString::fromLatin1(Workload::kReady)))
            << w->errors().toStdString();
    first.send(QString());
    second.send(QString());

    int conflicts = 0;
    for (WriterProcess* w : {&first, &second}) {
        EXPECT_EQ(w->finish(600000), 0) << w->errors().toStdString();
        const std::optional<QString> done = w->waitForLine(QString::fromLatin1(Workload::kDone));
        ASSERT_TRUE(done) << w->errors().toStdString();
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("conflicts=(\\d+) failures=(\\d+)")).match(*done);
        ASSERT_TRUE(m.hasMatch()) << done->toStdString();
        EXPECT_EQ(m.captured(2), QStringLiteral("0")) << "increments that failed";
        conflicts += m.captured(1).toInt();
    }
    EXPECT_EQ(counter(), QStringLiteral("%1/%1").arg(total));
    std::cout << "[ race ] " << total << " increments, " << conflicts
              << " record-set saves refused as stale and done again\n";
    // The saves through a record set met the other client's changes and were refused, not
    // overwritten: the two really interleaved.
    EXPECT_GT(conflicts, 0);
}

TEST_F(Race, ASaveMeetingAHeldLockWaitsSaysSoOnceAndCanBeDoneAgain) {
    ASSERT_TRUE(db().execSQL("update race_counter set n = 40 where id = 1"));
    WriterProcess holder(dir(), QStringLiteral("hold"), dbPath());
    ASSERT_TRUE(holder.waitForLine(QString::fromLatin1(Workload::kHolding)))
        << holder.errors().toStdString();

    // Given a client with a short busy timeout, which can still read while the lock is held
    constexpr int kBusyMs = 300;
    SqliteDataServices client(dbPath(), kBusyMs);
    RecordSet rs;
    ASSERT_TRUE(client.openDataToCDS(rs, "select id, n, version from race_counter"));
    rs.edit();
    rs.field("n").setValue(41);
    rs.post();
    rs.append();
    rs.field("id").setValue(2);
    rs.field("n").setValue(7);
    rs.field("version").setValue(0);
    rs.post();
    QStringList statements;
    GetUpDataSQLList("race_counter", "id", {}, rs, statements, 0);
    const QString save = statements.join(QStringLiteral("\r\n"));
    const QString busy = QStringLiteral(
        "数据库正被其他用户占用，等待 0.3 秒后仍未释放，本次操作没有执行，请稍后重试。");

    // When its save (and a batch with its own transaction) meets the lock
    const struct {
        const char* name;
        QString batch;
    } saves[] = {
        {"change-log save", save},
        {"own transaction",
         QStringLiteral("begin tran\r\nupdate race_counter set n = 5 where id = 1\r\ncommit tran")},
    };
    for (const auto& s : saves) {
        SCOPED_TRACE(s.name);
        prompts().clear();
        prompts().acceptAllMessages(true);
        QElapsedTimer waited;
        waited.start();
        EXPECT_FALSE(client.execSQL(s.batch));
        // Then it waited for the lock, and said so in one message
        EXPECT_GE(waited.elapsed(), kBusyMs);
        ASSERT_EQ(prompts().asked().size(), 1u);
        EXPECT_EQ(prompts().last().text, busy);
        EXPECT_EQ(prompts().last().kind, int(Qd::Core::Ui::MsgKind::Error));
    }
    EXPECT_EQ(rs.changeCount(), 2);
    EXPECT_TRUE(traced().contains(QStringLiteral("[ERROR] ") + busy));

    // And once the lock is let go, saving again stores the whole change
    holder.send(QString());
    ASSERT_TRUE(holder.waitForLine(QString::fromLatin1(Workload::kReleased)))
        << holder.errors().toStdString();
    EXPECT_EQ(holder.finish(), 0);
    prompts().clear();
    EXPECT_TRUE(client.execSQL(save));
    EXPECT_TRUE(prompts().asked().empty());
    EXPECT_EQ(counter(), QStringLiteral("41/0 7/0"));
}

}  // namespace
