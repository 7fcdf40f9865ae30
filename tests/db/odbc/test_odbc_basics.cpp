// The ODBC data services on a real driver manager and driver: the embedded database behind its
// ODBC driver, the T-SQL translator in front. What the contract suites (test_data_services,
// test_file_store, run on both backends) do not cover: exact decimals,
// long values, several result sets, errors with the driver's state, the change log, procedural
// batches refused, and bad connection strings.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>

#include "db/Trace.h"
#include "db/odbc/OdbcDataServices.h"
#include "support/OdbcTestEnv.h"
#include "support/Rows.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// The embedded backend makes the tables (DbTest's file); the ODBC services read and write them.
class OdbcTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        prompts().acceptAllMessages(true);
        QString why;
        ASSERT_TRUE(Qd::Test::registerSqliteOdbcDriver(&why)) << why.toStdString();
        odbc = std::make_unique<OdbcDataServices>(Qd::Test::sqliteOdbcConnection(dbPath()));
        setDataServices(odbc.get());
    }
    void TearDown() override {
        setDataServices(&db());
        odbc.reset();
        DbTest::TearDown();
    }
    int count(const char* table) {
        return odbc->query(S("select count(*) as n from ") + S(table)).field("n").asInteger();
    }
    QStringList column(const char* sql) { return Qd::Test::rowTexts(odbc->query(S(sql))); }

    std::unique_ptr<OdbcDataServices> odbc;
};

TEST_F(OdbcTest, MoneyAndDecimalsComeBackExactlyThroughText) {
    db().exec("create table t(m money, amount decimal(18,2))");
    odbc->exec("insert into t values(:m, :amount)",
               {{"m", 1234.5678}, {"amount", S("99999999.99")}});
    RecordSet rs = odbc->query("select m, amount from t");
    EXPECT_EQ(rs.fieldDef(rs.fieldIndex("m")).type, FieldType::Currency);
    EXPECT_EQ(rs.field("m").asString(), S("1234.5678"));
    EXPECT_EQ(rs.field("amount").asString(), S("99999999.99"));
}

TEST_F(OdbcTest, LongTextAndATenMegabyteBlobGoInChunksAndComeBackWhole) {
    db().exec("create table t(id int, note nvarchar(max), content varbinary(max))");
    QString note;
    for (int i = 0; note.size() < 100000; ++i)
        note += S("第%1行：中文与 English 混排；").arg(i);
    QByteArray content(10 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
    odbc->exec("insert into t values(1, :note, :content)", {{"note", note}, {"content", content}});
    RecordSet rs = odbc->query("select note, content from t");
    EXPECT_EQ(rs.field("note").asString(), note);
    EXPECT_EQ(rs.field("content").asBytes(), content);
}

TEST_F(OdbcTest, EveryResultSetOfABatchComesInOrder) {
    db().exec("create table t(code text, qty int); insert into t values('a', 1), ('b', 2)");
    std::vector<RecordSet> sets = odbc->queryAll(
        "select code from t order by code; update t set qty = qty + 1;"
        " select sum(qty) as total from t");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(Qd::Test::rowTexts(sets[0]), (QStringList{"a", "b"}));
    EXPECT_EQ(sets[1].field("total").asInteger(), 5);
    EXPECT_EQ(odbc->query("select code from t; select 1 as x").fieldNames(), QStringList{"code"});
    EXPECT_EQ(odbc->queryLast("select code from t; select 1 as x").fieldNames(), QStringList{"x"});
}

TEST_F(OdbcTest, AFailingStatementUndoesItsWholeBatchAndNamesTheDriversState) {
    db().exec("create table t(code varchar(10) not null unique)");
    const struct {
        const char* batch;
        const char* culprit;
    } cases[] = {
        {"insert into t values('b');\ninsert into t values('b')", "insert into t values('b')"},
        {"insert into t values('c'); update t set code = NULL", "update t set code = NULL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.batch);
        prompts().clear();
        EXPECT_FALSE(odbc->execSQL(S(c.batch)));
        ASSERT_EQ(prompts().asked().size(), 1u);
        const QString shown = prompts().last().text;
        EXPECT_TRUE(shown.startsWith(S("数据库错误：消息 "))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(S("，状态 "))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QLatin1Char('\n') + S(c.culprit))) << shown.toStdString();
        flushTrace();
        EXPECT_TRUE(traced().contains(S("[ERROR] 数据库错误：")));
        EXPECT_EQ(count("t"), 0);
    }
}

// The version guard of a bill's save is procedural T-SQL: it runs on the server (see the
// SQL Server tests); here the change log of a list without one.
TEST_F(OdbcTest, TheChangeLogOfARecordSetIsWrittenThroughODBC) {
    db().exec(
        "create table t(id int primary key, name nvarchar(20), qty int, version int);"
        "insert into t values(1, N'甲', 1, 1), (2, N'乙', 2, 1), (3, N'丙', 3, 1)");
    RecordSet rs;
    ASSERT_TRUE(dataServices().openDataToCDS(rs, "select * from t order by id"));
    rs.setLogChanges(true);
    rs.locate("id", 1);
    rs.edit();
    rs.field("name").setValue(S("甲'改"));
    rs.post();
    rs.locate("id", 3);
    rs.deleteRecord();
    rs.append();
    rs.field("id").setValue(4);
    rs.field("name").setValue(S("丁"));
    rs.post();
    QStringList sql;
    GetUpDataSQLList("t", "id", {}, rs, sql);
    ASSERT_TRUE(odbc->execSQL(sql.join(QLatin1Char('\n')))) << prompts().last().text.toStdString();
    EXPECT_EQ(column("select name from t order by id"),
              (QStringList{S("甲'改"), S("乙"), S("丁")}));
    EXPECT_TRUE(odbc->checkBillVersion("t", 1, 1));
    EXPECT_FALSE(odbc->checkBillVersion("t", 1, 2));
    EXPECT_FALSE(odbc->checkBillVersion("t", 9, 1));
    // The same log again: the insert meets the key it wrote, and the whole batch goes back.
    EXPECT_FALSE(odbc->execSQL(sql.join(QLatin1Char('\n'))));
    EXPECT_EQ(column("select name from t order by id"),
              (QStringList{S("甲'改"), S("乙"), S("丁")}));
}

TEST_F(OdbcTest, ProceduralBatchesAreRefusedOnTheEmbeddedDriverNamingTheLine) {
    prompts().clear();
    EXPECT_FALSE(odbc->execSQL("select 1\ndeclare @x int = 1\nselect @x"));
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(prompts().last().text.startsWith(S("第 2 行：")))
        << prompts().last().text.toStdString();
}

TEST(OdbcConnect, BadConnectionsSayWhereAndWhyWithoutThePassword) {
    ASSERT_TRUE(Qd::Test::registerSqliteOdbcDriver());
    const struct {
        const char* connection;
        const char* where;
    } cases[] = {
        {"Driver=NoSuchDriver;Server=db.example;Database=qd;UID=sa;PWD=geheim", "db.example / qd"},
        {"DSN=nosuch;PWD={ge;heim}", "DSN=nosuch"},
        {"Driver=QdSQLite;Database=/nonexistent/folder/x.db;PWD=geheim",
         "/nonexistent/folder/x.db"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connection);
        try {
            OdbcDataServices odbc(S(c.connection));
            ADD_FAILURE() << "connected";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().startsWith(S("无法连接数据库 %1：").arg(S(c.where))))
                << e.message().toStdString();
            EXPECT_FALSE(e.message().contains(S("geheim"))) << e.message().toStdString();
            EXPECT_FALSE(e.message().contains(S("ge;heim")));
        }
    }
}

// A server that takes the connection and never answers: the login timeout ends the wait.
TEST(OdbcConnect, AServerThatDoesNotAnswerIsGivenUpAfterTheLoginTimeout) {
    ASSERT_TRUE(Qd::Test::registerSqliteOdbcDriver());
    QTcpServer silent;  // the system accepts connections into its backlog; nobody answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString where = S("127.0.0.1:%1").arg(silent.serverPort());
    QElapsedTimer clock;
    clock.start();
    try {
        OdbcDataServices odbc(S("Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=qd;UID=sa;"
                                "PWD=geheim;TDS_Version=7.4")
                                  .arg(silent.serverPort()),
                              {.loginTimeoutSeconds = 2});
        ADD_FAILURE() << "connected";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().startsWith(S("无法连接数据库 %1 / qd：").arg(where)))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(S("geheim")));
    }
    EXPECT_LT(clock.elapsed(), 15000);
}

}  // namespace
