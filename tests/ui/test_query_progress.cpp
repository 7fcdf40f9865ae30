// The window of a long query: when it appears, how often it takes events, and its cancel
// button, alone on a clock of the test's and in front of a real query.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "support/Render.h"
#include "support/TestEnv.h"
#include "ui/QueryProgress.h"

using namespace Qd::Core;

namespace {

class QueryProgressWindowTest : public Qd::Test::DbTest {
protected:
    qint64 now = 0;
    Ui::QueryProgressWindow progress{[this] { return now; }};

    bool rowsAt(qint64 ms, qint64 read) {
        now = ms;
        return progress.rows(read);
    }
    static QString shownText(const QDialog& window) {
        return window.findChild<QLabel*>(QStringLiteral("read"))->text();
    }
};

TEST_F(QueryProgressWindowTest, AppearsAfter300msAndTakesEventsAtMostEvery100ms) {
    progress.begin();
    EXPECT_TRUE(rowsAt(120, 10));
    EXPECT_TRUE(rowsAt(299, 20));
    EXPECT_EQ(progress.window(), nullptr);

    bool delivered = false;
    QTimer::singleShot(0, [&] { delivered = true; });
    EXPECT_TRUE(rowsAt(300, 1234));
    QDialog* window = progress.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(shownText(*window), QStringLiteral("正在查询… 已读取 1234 行"));
    EXPECT_TRUE(delivered);
    Qd::Test::keepRender(*window, QStringLiteral("query_progress.png"));

    delivered = false;
    QTimer::singleShot(0, [&] { delivered = true; });
    EXPECT_TRUE(rowsAt(399, 5000));
    EXPECT_FALSE(delivered);
    EXPECT_EQ(shownText(*window), QStringLiteral("正在查询… 已读取 1234 行"));
    EXPECT_TRUE(rowsAt(400, 6000));
    EXPECT_TRUE(delivered);
    EXPECT_EQ(shownText(*window), QStringLiteral("正在查询… 已读取 6000 行"));

    progress.end();
    EXPECT_FALSE(window->isVisible());
    // The next query starts its own 300 ms; its cancel stops it at once, not at the next time it
    // takes events, and is forgotten by the query after.
    progress.begin();
    EXPECT_TRUE(rowsAt(600, 1));
    EXPECT_EQ(progress.window(), nullptr);
    ASSERT_TRUE(rowsAt(900, 1));
    progress.window()->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    EXPECT_FALSE(rowsAt(901, 2));
    progress.end();
    progress.begin();
    EXPECT_TRUE(rowsAt(2000, 1));
    progress.end();
}

TEST_F(QueryProgressWindowTest, TheButtonCancelsARealQueryWithoutAMessage) {
    ASSERT_EQ(sqlite3_exec(db().handle(),
                           "create table big(id integer primary key, name text);"
                           "with recursive n(i) as (select 1 union all select i+1 from n"
                           " where i<50000) insert into big select i, 'n' || i from n;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    // Every report is 100 ms later: the window shows at the third and takes this click.
    QTimer::singleShot(0, [this] {
        if (QDialog* window = progress.window())
            window->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    });
    struct Ticking : Db::IQueryProgress {
        Ui::QueryProgressWindow& window;
        qint64& now;
        Ticking(Ui::QueryProgressWindow& w, qint64& n) : window(w), now(n) {}
        void begin() override { window.begin(); }
        bool rows(qint64 read) override {
            now += 100;
            return window.rows(read);
        }
        void end() override { window.end(); }
    } ticking(progress, now);
    Db::IQueryProgress* before = Db::setQueryProgress(&ticking);
    Db::RecordSet rs;
    {
        Db::CancellableQuery guard;
        EXPECT_FALSE(db().openDataToCDS(rs, "select id, name from big order by name desc"));
    }
    Db::setQueryProgress(before);
    EXPECT_FALSE(rs.active());
    EXPECT_TRUE(prompts().asked().empty());
}

}  // namespace
