// The ODBC data services against SQL Server itself. They run when QD_TEST_MSSQL holds a
// connection string, e.g.
//   Driver=FreeTDS;Server=db;Port=1433;Database=qdtest;UID=qd;PWD=...;TDS_Version=7.4;
//   ClientCharset=UTF-8
// and are skipped otherwise. Every test works in #temp tables of its own connection.
#include <gtest/gtest.h>

#include "db/odbc/OdbcDataServices.h"
#include "support/Rows.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

class MsSqlTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        connection = qEnvironmentVariable("QD_TEST_MSSQL");
        if (connection.isEmpty())
            GTEST_SKIP() << "QD_TEST_MSSQL holds no connection string: no SQL Server to test on";
        prompts().acceptAllMessages(true);
        server = std::make_unique<OdbcDataServices>(connection);
        setDataServices(server.get());
    }
    void TearDown() override {
        setDataServices(&db());
        server.reset();
        DbTest::TearDown();
    }
    QStringList column(const char* sql) { return Qd::Test::rowTexts(server->query(S(sql))); }

    QString connection;
    std::unique_ptr<OdbcDataServices> server;
};

TEST_F(MsSqlTest, EveryValueTypeRoundTripsExactly) {
    EXPECT_FALSE(server->translates());
    server->exec(
        "create table #t(s nvarchar(50), i int, big bigint, d float, ok bit, made datetime2(3),"
        " day date, photo varbinary(max), m money, amount decimal(18,2), note nvarchar(max))");
    const QString text = S("张三's \"书\"\n😀");
    const QDateTime made(QDate(2024, 2, 29), QTime(13, 45, 6, 789));
    const QByteArray photo = QByteArray("\0a\0\xff", 4).repeated(5000);
    const QString note = S("长文本").repeated(3000);
    server->exec(
        "insert into #t values(:s, :i, :big, :d, :ok, :made, :day, :photo, :m, :amount, :note);"
        "insert into #t values(null, 0, null, null, null, null, null, :nothing, null, null, null)",
        {{"s", text},
         {"i", -42},
         {"big", (qlonglong(1) << 40) + 3},
         {"d", 0.1 + 0.2},
         {"ok", true},
         {"made", made},
         {"day", QDate(2024, 1, 2)},
         {"photo", photo},
         {"m", 1234.5678},
         {"amount", S("99999999.99")},
         {"note", note},
         {"nothing", QVariant()}});  // a NULL meeting a binary column
    RecordSet rs = server->query("select * from #t order by i");
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.field("s").asString(), text);
    EXPECT_EQ(rs.field("d").asFloat(), 0.1 + 0.2);
    EXPECT_TRUE(rs.field("ok").asBoolean());
    EXPECT_EQ(rs.field("made").asDateTime(), made);
    EXPECT_EQ(rs.field("photo").asBytes(), photo);
    EXPECT_EQ(rs.field("m").asString(), S("1234.5678"));
    EXPECT_EQ(rs.field("amount").asString(), S("99999999.99"));
    EXPECT_EQ(rs.field("note").asString(), note);
    EXPECT_EQ(rs.fieldDef(rs.fieldIndex("s")).size, 50);
    rs.next();
    EXPECT_TRUE(rs.field("photo").isNull());
}

TEST_F(MsSqlTest, TheServersErrorsKeepTheirNumberAndAFailedBatchChangesNothing) {
    server->exec("create table #t(code varchar(10) not null primary key)");
    prompts().clear();
    EXPECT_FALSE(server->execSQL("insert into #t values('a'); insert into #t values('a')"));
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(prompts().last().text.startsWith(S("数据库错误：消息 2627，状态 23000：")))
        << prompts().last().text.toStdString();
    EXPECT_TRUE(column("select code from #t").isEmpty());

    // Its own transactions run as given and leave none open after a failure.
    EXPECT_TRUE(server->execSQL("begin tran insert into #t values('b') commit tran"));
    EXPECT_FALSE(
        server->execSQL("begin tran insert into #t values('c') insert into #t values('b')"));
    EXPECT_EQ(column("select @@trancount"), QStringList{"0"});
    EXPECT_EQ(column("select code from #t"), QStringList{"b"});

    // Inside the caller's transaction a failed batch undoes only itself.
    server->exec("begin tran");
    EXPECT_TRUE(server->execSQL("insert into #t values('d')"));
    EXPECT_FALSE(server->execSQL("insert into #t values('e'); insert into #t values('b')"));
    server->exec("commit tran");
    EXPECT_EQ(column("select code from #t order by code"), (QStringList{"b", "d"}));
}

TEST_F(MsSqlTest, TheVersionGuardOfASaveRunsOnTheServer) {
    server->exec(
        "create table #bill(id int primary key, name nvarchar(20), version int);"
        "insert into #bill values(1, N'甲', 1)");
    RecordSet rs;
    ASSERT_TRUE(server->openDataToCDS(rs, "select * from #bill"));
    rs.setLogChanges(true);
    rs.edit();
    rs.field("name").setValue(S("乙"));
    rs.field("version").setValue(2);
    rs.post();
    QStringList sql;
    GetUpDataSQLList("#bill", "id", {}, rs, sql);
    ASSERT_TRUE(server->execSQL(sql.join(QLatin1Char('\n'))));
    EXPECT_FALSE(server->execSQL(sql.join(QLatin1Char('\n'))));  // stale now
    EXPECT_TRUE(prompts().last().text.contains(S("当前数据状态已改变，请刷新数据后请重试.")));
    EXPECT_TRUE(server->checkBillVersion("#bill", 1, 2));
}

TEST_F(MsSqlTest, EveryResultSetOfABatchComesInOrder) {
    std::vector<RecordSet> sets =
        server->queryAll("select 1 as a; declare @x int = 2; select @x as b; select N'三' as c");
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[1].field("b").asInteger(), 2);
    EXPECT_EQ(sets[2].field("c").asString(), S("三"));
}

// Needs the right to end another session (processadmin).
TEST_F(MsSqlTest, ALostConnectionIsReportedOnceAndMadeAgainForTheNextStatement) {
    const QString spid = column("select @@spid").value(0);
    OdbcDataServices killer(connection);
    if (!killer.execSQL(S("kill ") + spid))
        GTEST_SKIP() << "the test login may not end another session";
    prompts().clear();
    EXPECT_FALSE(server->execSQL("select 1"));
    EXPECT_TRUE(prompts().last().text.contains(S("的连接已断开")))
        << prompts().last().text.toStdString();
    EXPECT_EQ(column("select 2"), QStringList{"2"});
}

}  // namespace
