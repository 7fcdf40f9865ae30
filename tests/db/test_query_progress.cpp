// Cancellable queries: the progress seam driven by the engine, what a cancel leaves behind, and
// the parameter names a statement takes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "db/QueryProgress.h"
#include "db/Trace.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

constexpr int kBigRows = 50000;

// A progress that cancels at its `cancelAt`-th report (never with 0), recording what it saw.
class ScriptedProgress : public IQueryProgress {
public:
    explicit ScriptedProgress(int cancelAt = 0) : m_cancelAt(cancelAt) {
        m_previous = setQueryProgress(this);
    }
    ~ScriptedProgress() override { setQueryProgress(m_previous); }

    void begin() override { ++begun; }
    bool rows(qint64 read) override {
        reported.push_back(read);
        if (during)
            during();
        return m_cancelAt == 0 || int(reported.size()) < m_cancelAt;
    }
    void end() override { ++ended; }

    int begun = 0, ended = 0;
    std::vector<qint64> reported;
    std::function<void()> during;  // run inside each report

private:
    int m_cancelAt;
    IQueryProgress* m_previous;
};

class QueryProgressTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        // Made on the connection itself: a long table without a long batch of inserts.
        ASSERT_EQ(sqlite3_exec(db().handle(),
                               "create table big(id integer primary key, name text, amount real);"
                               "with recursive n(i) as (select 1 union all select i+1 from n"
                               " where i<50000) insert into big select i, 'name ' || i, i*0.5"
                               " from n;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    // A record set holding two rows of its own.
    RecordSet twoRows() {
        RecordSet rs;
        EXPECT_TRUE(db().openDataToCDS(rs, "select id from big where id<=2 order by id"));
        return rs;
    }
};

TEST_F(QueryProgressTest, CancelLeavesTheRecordSetAsItWasWithoutAMessage) {
    RecordSet rs = twoRows();
    ScriptedProgress progress(3);
    {
        CancellableQuery guard;
        EXPECT_FALSE(db().openDataToCDS(rs, "select id, name, amount\nfrom big order by name"));
    }
    EXPECT_EQ(progress.begun, 1);
    EXPECT_EQ(progress.ended, 1);
    ASSERT_EQ(progress.reported.size(), 3u);  // stopped at the report that said so
    EXPECT_TRUE(std::is_sorted(progress.reported.begin(), progress.reported.end()));

    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.field("id").asInteger(), 1);
    EXPECT_TRUE(prompts().asked().empty());
    flushTrace();
    EXPECT_TRUE(traced().contains(QStringLiteral("查询已取消：select id, name, amount")));
    EXPECT_FALSE(traced().contains(QStringLiteral("[ERROR]"))) << traced().toStdString();

    // The connection is as before: the next query reads everything and reports nothing.
    EXPECT_TRUE(db().openDataToCDS(rs, "select id, name from big"));
    EXPECT_EQ(rs.recordCount(), kBigRows);
    EXPECT_EQ(progress.reported.size(), 3u);
}

TEST_F(QueryProgressTest, OnlyStatementsInsideTheScopeReport) {
    ScriptedProgress progress(1);  // would cancel at once
    RecordSet rs;
    EXPECT_TRUE(db().openDataToCDS(rs, "select id, name, amount from big"));
    EXPECT_EQ(rs.recordCount(), kBigRows);
    EXPECT_EQ(progress.begun, 0);
    EXPECT_TRUE(progress.reported.empty());

    // A scope with no progress installed runs as usual.
    setQueryProgress(nullptr);
    CancellableQuery guard;
    EXPECT_EQ(db().openData("select id from big").recordCount(), kBigRows);
}

TEST_F(QueryProgressTest, ReadingEverythingReportsTheRowsReadSoFar) {
    ScriptedProgress progress;
    CancellableQuery guard;
    RecordSet rs;
    ASSERT_TRUE(db().openDataToCDS(rs, "select id, name, amount from big"));
    EXPECT_EQ(rs.recordCount(), kBigRows);
    ASSERT_GT(progress.reported.size(), 5u);
    EXPECT_GT(progress.reported.back(), kBigRows / 2);
    EXPECT_LE(progress.reported.back(), kBigRows);
}

TEST_F(QueryProgressTest, CancelHoldsEvenWhenTheBatchCatchesItAndUndoesItsWrites) {
    ASSERT_TRUE(db().execSQL("create table copy(id int, name nvarchar(40))"));
    ScriptedProgress progress(2);
    CancellableQuery guard;
    RecordSet rs;
    EXPECT_FALSE(db().openDataToCDS(rs,
                                    "begin try select id, name from big order by name end try\n"
                                    "begin catch select 1 as caught end catch"));
    EXPECT_EQ(rs.fieldCount(), 0);
    EXPECT_FALSE(db().execSQL("insert into copy select id, name from big order by name desc"));
    EXPECT_TRUE(prompts().asked().empty());

    setQueryProgress(nullptr);
    EXPECT_EQ(db().query("select count(*) as n from copy").field("n").asInteger(), 0);
    EXPECT_TRUE(db().execSQL("insert into copy values(1, N'一')"));
    EXPECT_EQ(db().query("select count(*) as n from copy").field("n").asInteger(), 1);
}

TEST_F(QueryProgressTest, AStatementSentWhileTheProgressHasControlIsRefused) {
    prompts().acceptAllMessages(true);
    ScriptedProgress progress;
    DataPacket nested;
    int tries = 0;
    progress.during = [&] {
        if (tries++ == 0)
            nested = db().openData("select 1 as x");
    };
    CancellableQuery guard;
    RecordSet rs;
    EXPECT_TRUE(db().openDataToCDS(rs, "select id from big order by name"));
    EXPECT_EQ(rs.recordCount(), kBigRows);
    EXPECT_FALSE(nested.active());
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("正在查询")));
}

TEST_F(QueryProgressTest, ParameterNamesAndTheParamsAStatementTakes) {
    EXPECT_EQ(db().parameterNames("select id from big where id>=:From and id<=:to and :to>0"),
              (QStringList{"from", "to"}));
    EXPECT_TRUE(db().parameterNames("exec some_procedure :x").isEmpty());
    EXPECT_TRUE(prompts().asked().empty());

    const Params panel{{"store", 7}, {"TO", 3}, {"note", "x"}, {"from", 2}};
    const QString sql = "select id from big where id between :from and :to";
    const Params bound = boundParams(sql, panel);
    ASSERT_EQ(bound.size(), 2u);
    EXPECT_EQ(bound[0].name, "TO");
    EXPECT_EQ(bound[1].name, "from");
    EXPECT_EQ(db().openData(sql, bound).recordCount(), 2);
    flushTrace();
    EXPECT_TRUE(traced().contains(QStringLiteral("语句未使用的参数未绑定：store, note")));
    // Every value of the panel as it stands is refused.
    prompts().acceptAllMessages(true);
    EXPECT_FALSE(db().openData(sql, panel).active());
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("没有被语句使用")));
}

}  // namespace
