// The data services: parameters, batches and their errors, result typing and bill versions, run
// on each backend (the embedded database's own services, and the ODBC ones on its ODBC driver);
// the trace and sharing one database file on the embedded backend (the file store:
// test_file_store.cpp).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include "base/OwnerOnly.h"
#include "base/ProgramHome.h"
#include "db/Trace.h"
#include "db/TraceMask.h"
#include "support/BackendTest.h"
#include "support/Rows.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

class DataServicesTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        prompts().acceptAllMessages(true);
    }

    virtual RecordSet query(const QString& sql, const Params& params = {}) {
        return db().query(sql, params);
    }
    int count(const QString& table) {
        return query("select count(*) as n from " + table).field("n").asInteger();
    }
    QStringList column(const QString& sql) { return Qd::Test::rowTexts(query(sql)); }
    // The one error the last call showed.
    void expectOneError(const QString& mustContain) {
        ASSERT_EQ(prompts().asked().size(), 1u);
        EXPECT_EQ(prompts().last().kind, 1);
        EXPECT_EQ(prompts().last().title, QStringLiteral("提示"));
        EXPECT_TRUE(prompts().last().text.contains(mustContain))
            << prompts().last().text.toStdString();
    }
};

// The contract, run on each backend.
class ContractTest : public Qd::Test::OnEachBackend<DataServicesTest> {
protected:
    IDataServices& ds() { return dataServices(); }
    RecordSet query(const QString& sql, const Params& params = {}) override {
        return backend().query(sql, params);
    }
    void exec(const QString& sql, const Params& params = {}) { backend().exec(sql, params); }
};

using DataServicesParams = ContractTest;
using DataServicesErrors = ContractTest;
using DataServicesTypes = ContractTest;
using DataServicesStore = ContractTest;
using DataServicesOpen = DataServicesTest;
using EmbeddedTypes = DataServicesTest;
using EmbeddedStore = DataServicesTest;

TEST_P(DataServicesParams, EveryValueTypeRoundTripsThroughInsertAndSelect) {
    ASSERT_TRUE(
        ds().execSQL("create table t(s nvarchar(50), i int, big bigint, d float, ok bit,"
                     " made datetime, day date, photo blob, empty blob, n nvarchar(10))"));
    const QString text = QStringLiteral("张三's \"书\"\n");
    const qlonglong big = (qlonglong(1) << 40) + 3;
    const QDateTime made(QDate(2024, 2, 29), QTime(13, 45, 6, 789));
    const QByteArray photo("\0a\0\xff", 4);
    ASSERT_TRUE(
        ds().execSQL("insert into t values(:s, :i, :BIG, :d, :ok, :made, :day, :photo,"
                     " :empty, :n)",
                     {{"s", text},
                      {"i", -42},
                      {"big", big},
                      {"d", 0.1 + 0.2},
                      {"ok", true},
                      {"made", made},
                      {"day", QDate(2024, 1, 2)},
                      {"Photo", photo},
                      {"empty", QByteArray("")},
                      {"n", QVariant()}}));

    RecordSet rs = query("select * from t");
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.field("s").asString(), text);
    EXPECT_EQ(rs.field("i").asInteger(), -42);
    EXPECT_EQ(rs.field("big").asLargeInt(), big);
    if (GetParam())  // the embedded database's driver reads doubles as text
        EXPECT_DOUBLE_EQ(rs.field("d").asFloat(), 0.1 + 0.2);  // of 15 digits
    else
        EXPECT_EQ(rs.field("d").asFloat(), 0.1 + 0.2);
    EXPECT_TRUE(rs.field("ok").asBoolean());
    EXPECT_EQ(rs.field("made").asDateTime(), made);
    EXPECT_EQ(rs.field("day").asDateTime(), QDateTime(QDate(2024, 1, 2), QTime(0, 0)));
    EXPECT_EQ(rs.field("photo").asBytes(), photo);
    EXPECT_FALSE(rs.field("empty").isNull());
    EXPECT_TRUE(rs.field("empty").asBytes().isEmpty());
    EXPECT_TRUE(rs.field("n").isNull());

    // NULL bound to a column of every type comes back NULL.
    Params nulls;
    for (const char* name : {"s", "i", "big", "d", "ok", "made", "day", "photo", "empty", "n"})
        nulls.push_back({QString::fromLatin1(name), QVariant()});
    ASSERT_TRUE(
        ds().execSQL("delete from t; insert into t values(:s, :i, :big, :d, :ok, :made,"
                     " :day, :photo, :empty, :n)",
                     nulls));
    rs = query("select * from t");
    ASSERT_EQ(rs.recordCount(), 1);
    for (int f = 0; f < rs.fieldCount(); ++f)
        EXPECT_TRUE(rs.isNullAt(rs.rowAt(0), f)) << rs.fieldDef(f).name.toStdString();
}

TEST_P(DataServicesParams, MissingAndUnusedParametersAreNamedAndNothingRuns) {
    ASSERT_TRUE(ds().execSQL("create table t(s text, i int)"));
    const struct {
        const char* sql;
        Params params;
        const char* named;
    } cases[] = {
        {"insert into t(s, i) values(:s, :i)", {{"s", "x"}}, "i"},
        {"insert into t(s) values(:s)", {{"s", "x"}, {"extra", 1}}, "extra"},
        {"insert into t(s) values(:s); insert into t(s) values(:其它)", {{"s", "x"}}, "其它"},
        {"insert into t(s) values(':s')", {{"s", "x"}}, "s"},  // inside a string: not a parameter
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        prompts().clear();
        EXPECT_FALSE(ds().execSQL(c.sql, c.params));
        expectOneError(QStringLiteral("参数 \"%1\"").arg(QString::fromUtf8(c.named)));
        EXPECT_EQ(count("t"), 0);
    }
}

TEST_P(DataServicesParams, SystemLiteralsAreReadOutsideStringsAndComments) {
    RecordSet rs = query(
        "select N'中文' as a, 'N''x' as b, '0x12' as c, 0x00ff1 as d, n'y' as e -- N'comment\n"
        ", ':p' as f");
    EXPECT_EQ(rs.field("a").asString(), QStringLiteral("中文"));
    EXPECT_EQ(rs.field("b").asString(), QStringLiteral("N'x"));
    EXPECT_EQ(rs.field("c").asString(), QStringLiteral("0x12"));
    EXPECT_EQ(rs.field("d").asBytes(), QByteArray("\x00\x0f\xf1", 3));
    EXPECT_EQ(rs.field("e").asString(), QStringLiteral("y"));
    EXPECT_EQ(rs.field("f").asString(), QStringLiteral(":p"));
}

TEST_P(DataServicesErrors, AFailingStatementUndoesItsWholeBatchAndIsShownAndTraced) {
    ASSERT_TRUE(ds().execSQL("create table t(code varchar(10) not null unique)"));
    const struct {
        const char* batch;
        const char* culprit;
    } cases[] = {
        {"insert into t values('a'); insert into nosuch values(1)", "insert into nosuch values(1)"},
        {"insert into t values('b');\ninsert into t values('b')", "insert into t values('b')"},
        {"insert into t values('c'); update t set code = NULL", "update t set code = NULL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.batch);
        prompts().clear();
        EXPECT_FALSE(ds().execSQL(c.batch));
        expectOneError(QStringLiteral("数据库错误："));
        EXPECT_TRUE(prompts().last().text.endsWith(QLatin1Char('\n') + c.culprit));
        EXPECT_TRUE(traced().contains(QStringLiteral("[ERROR] 数据库错误：")));
        EXPECT_TRUE(traced().contains(c.culprit));
        EXPECT_EQ(count("t"), 0);
    }
}

TEST_P(DataServicesErrors, BatchesWithTheirOwnTransactionsRunAsGivenAndNeverLeaveOneOpen) {
    ASSERT_TRUE(ds().execSQL("create table t(code text unique)"));
    EXPECT_TRUE(ds().execSQL("begin tran insert into t values('a') commit tran"));
    EXPECT_FALSE(ds().execSQL("begin tran\ninsert into t values('b')\ninsert into t values('a')"));
    EXPECT_EQ(column("select code from t"), QStringList{"a"});
    // Another client can write at once: no transaction was left behind.
    SqliteDataServices other(dbPath(), 100);
    EXPECT_NO_THROW(other.exec("insert into t values('z')"));

    // Inside an open transaction a failed batch undoes only itself.
    exec("delete from t");
    exec("begin tran");
    EXPECT_TRUE(ds().execSQL("insert into t values('a')"));
    EXPECT_FALSE(ds().execSQL("insert into t values('b'); insert into t values('a')"));
    exec("commit tran");
    EXPECT_EQ(column("select code from t"), QStringList{"a"});
}

TEST_P(DataServicesErrors, FailedOpenLeavesTheRecordSetAsItWas) {
    ASSERT_TRUE(ds().execSQL("create table t(code text); insert into t values('a'), ('b')"));
    RecordSet rs;
    ASSERT_TRUE(dataServices().openDataToCDS(rs, "select code from t order by code"));
    rs.moveTo(1);
    prompts().clear();

    EXPECT_FALSE(dataServices().openDataToCDS(rs, "select x from nosuch"));
    expectOneError(QStringLiteral("nosuch"));
    EXPECT_TRUE(rs.active());
    EXPECT_EQ(rs.fieldNames(), QStringList{"code"});
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.recNo(), 1);

    EXPECT_FALSE(dataServices().openData("select x from nosuch").active());
    EXPECT_THROW(query("select x from nosuch"), DbError);
}

// ---- the trace ------------------------------------------------------------------------------

class DataServicesTrace : public DataServicesTest {
protected:
    void TearDown() override {
        setTraceDetail(false);
        setTraceRotation(0, 0);
        DataServicesTest::TearDown();
    }
};

TEST_F(DataServicesTrace, BatchesAreTracedAsSentAndTheirTranslationOnlyInDetail) {
    ASSERT_TRUE(db().execSQL("create table t(code text, qty int)"));
    const QString batch = "insert into t values(:code, :qty); update t set qty = qty + 1";
    const Params params = {{"code", "追踪'1"}, {"qty", 5}};
    ASSERT_TRUE(db().execSQL(batch, params));
    QString log = traced();
    EXPECT_TRUE(log.contains("[SQL] " + batch + "\n-- :code = N'追踪''1', :qty = 5"))
        << log.toStdString();
    EXPECT_FALSE(log.contains("[SQLITE]"));

    setTraceDetail(true);
    ASSERT_TRUE(db().execSQL(batch, params));
    log = traced();
    EXPECT_TRUE(
        log.contains("[SQLITE] insert into t values (:code, :qty)\n-- :code = N'追踪''1', "
                     ":qty = 5"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("[SQLITE] update t set qty = qd_int_check(qty + 1, 32)"));

    // A failing statement is traced as the database ran it.
    setTraceDetail(false);
    EXPECT_FALSE(db().execSQL("select top 1 code from nosuch where code = :c", {{"c", "x"}}));
    EXPECT_TRUE(
        traced().contains("[ERROR] SQLite：select code from nosuch where code = :c limit 1"))
        << traced().toStdString();
}

TEST_F(DataServicesTrace, SecretsNeverReachTheTrace) {
    ASSERT_TRUE(
        db().execSQL("create table u(code varchar(10), pwdsalt varchar(64), pwdhash varchar(128), "
                     "apikey varchar(50), cfgkey varchar(50))"));
    setTraceDetail(true);  // the translations too
    const struct {
        const char* batch;
        Params params;
        const char* shown;  // what the trace shows instead
    } cases[] = {
        {"update u set pwdsalt = :salt, pwdhash = :hash where code = :code",
         {{"salt", "S1-secret"}, {"hash", "H1-secret"}, {"code", "1001"}},
         ":salt = ***, :hash = ***, :code = N'1001'"},
        {"update u set pwdhash = :h where code = '1001'", {{"h", "H2-secret"}}, ":h = ***"},
        {"insert into u(code, pwdsalt, pwdhash) values('1001', 'S3-secret', N'H3-secret')",
         {},
         "values('1001', '***', '***')"},
        {"insert into dbo.u (code, pwdhash) values (:c, :x), ('2', 'H4-secret')",
         {{"c", "1"}, {"x", "H5-secret"}},
         "('2', '***')\n-- :c = N'1', :x = ***"},
        {"select count(*) from u where pwdhash = 'H6-secret' or 'H7-secret' = [pwdsalt]",
         {},
         "where pwdhash = '***' or '***' = [pwdsalt]"},
        {"declare @pwd varchar(20)\nset @pwd = 'P8-secret'\nupdate u set apikey = @pwd",
         {},
         "set @pwd = '***'"},
        {"update u set apikey = :k", {{"k", "K9-secret"}}, ":k = ***"},
        // A lookup key is no secret.
        {"update u set code = 'x' where cfgkey = 'company'", {}, "where cfgkey = 'company'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.batch);
        EXPECT_TRUE(db().execSQL(c.batch, c.params));
        EXPECT_TRUE(traced().contains(c.shown)) << traced().toStdString();
    }
    // Nor do they through an error.
    EXPECT_FALSE(db().execSQL("update nosuch set pwdhash = 'H10-secret'"));
    prompts().clear();
    EXPECT_FALSE(traced().contains("-secret")) << traced().toStdString();
}

TEST_F(DataServicesTrace, SecretNamesAreTold) {
    for (const char* name :
         {"password", "PWD", "pwdhash", "pwdsalt", "user_passwd", "hash", "secret", "appsecret",
          "token", "key", "api_key", "apikey", "AppKey", "accesskey", "privateKey", "_v_pwd"})
        EXPECT_TRUE(isSecretName(QString::fromLatin1(name))) << name;
    for (const char* name :
         {"code", "cfgkey", "seqkey", "keyword", "monkey", "billcode", "name", "isdel"})
        EXPECT_FALSE(isSecretName(QString::fromLatin1(name))) << name;
}

TEST_F(DataServicesTrace, TheTraceRotatesAndKeepsFiveFiles) {
    setTraceRotation(1000, 5);
    const QString line = QString(60, QLatin1Char('x'));
    for (int i = 0; i < 200; ++i)
        LogError(QStringLiteral("%1 ").arg(i, 3) + line);  // written at once, one by one
    flushTrace();
    const QString path = traceFilePath();
    for (const QString& name : {path, path + ".1", path + ".2", path + ".3", path + ".4"}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(QFileInfo::exists(name));
        EXPECT_LT(QFileInfo(name).size(), 1000 + 100);
    }
    EXPECT_FALSE(QFileInfo::exists(path + ".5"));
    // The newest lines are in the file written now, older ones in ".1", the oldest are gone.
    const auto text = [](const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    EXPECT_TRUE(text(path).contains("199 " + line));
    EXPECT_FALSE(text(path + ".1").contains("199 "));
    EXPECT_TRUE(text(path + ".1").contains(line));
    for (const QString& name : {path, path + ".1", path + ".2", path + ".3", path + ".4"})
        EXPECT_FALSE(text(name).contains("  0 " + line));
}

TEST_F(DataServicesTrace, TheDatabaseTraceAndCacheAreTheirOwnersOnly) {
    const QString file = dir() + "/made/here/new.db";
    ASSERT_TRUE(Qd::Core::Sys::ownerOnlyFolderOf(file));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(dir() + "/made"));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(dir() + "/made/here"));
    {
        SqliteDataServices made(file);
        made.exec("create table t(x int)");
        made.exec("insert into t values(1)");
        EXPECT_TRUE(Qd::Test::isOwnerOnly(file));
        EXPECT_TRUE(Qd::Test::isOwnerOnly(file + "-wal"));
    }
    LogMsg("x");
    flushTrace();
    EXPECT_TRUE(Qd::Test::isOwnerOnly(traceFilePath()));

    QBuffer content;
    content.setData("附件");
    ASSERT_TRUE(dataServices().putFile("a/b.txt", content));
    const QString copy = dataServices().downloadFile("a/b.txt");
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_TRUE(Qd::Test::isOwnerOnly(copy));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(QFileInfo(copy).absolutePath()));
    EXPECT_TRUE(Qd::Test::isOwnerOnly(Qd::Core::Sys::programPath("cache")));

    // A folder that was there keeps its permissions: the program's folder may be shared.
    QFile::setPermissions(dir(), QFile::permissions(dir()) | QFileDevice::ReadOther);
    ASSERT_TRUE(Qd::Core::Sys::ownerOnlyFolder(dir() + "/more"));
    EXPECT_TRUE(QFile::permissions(dir()) & QFileDevice::ReadOther);
}

TEST_F(DataServicesOpen, AMissingDatabaseOrServiceIsNamed) {
    try {
        SqliteDataServices bad(dir() + "/no/such/folder/x.db");
        ADD_FAILURE() << "opened a database in a missing folder";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(dir() + "/no/such/folder/x.db"));
    }
    setDataServices(nullptr);
    EXPECT_THROW(dataServices(), DbError);
    setDataServices(&db());
}

TEST_P(DataServicesTypes, DeclaredColumnTypesGiveFieldTypes) {
    const struct {
        const char* decl;
        FieldType type;
        int size;
    } cases[] = {
        {"int", FieldType::Integer, 0},
        {"bigint", FieldType::BigInt, 0},
        {"bit", FieldType::Boolean, 0},
        {"money", FieldType::Currency, 0},
        {"decimal(18,2)", FieldType::Currency, 0},
        {"numeric(18,6)", FieldType::Float, 0},
        {"float", FieldType::Float, 0},
        {"real", FieldType::Float, 0},
        {"datetime", FieldType::DateTime, 0},
        {"date", FieldType::DateTime, 0},
        {"varbinary(16)", FieldType::Blob, 0},
        {"blob", FieldType::Blob, 0},
        {"varchar(20)", FieldType::Text, 20},
        {"nvarchar(50)", FieldType::Text, 50},
        {"text", FieldType::Text, 0},
    };
    QStringList columns;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        columns << QStringLiteral("c%1 %2").arg(i).arg(QString::fromLatin1(cases[i].decl));
    ASSERT_TRUE(ds().execSQL("create table t(" + columns.join(", ") + ")"));

    RecordSet rs = query("select * from t");
    ASSERT_EQ(rs.fieldCount(), int(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].decl);
        EXPECT_EQ(rs.fieldDef(int(i)).type, cases[i].type);
        EXPECT_EQ(rs.fieldDef(int(i)).size, cases[i].size);
    }
}

TEST_P(DataServicesTypes, DecimalsAndMoneyShowTheirScaleAsColumnsAndAsComputedResults) {
    ASSERT_TRUE(
        ds().execSQL("create table t(d decimal(18,2), p money, q int)\n"
                     "insert into t values(10, 19.99, 3)\n"
                     "insert into t values(0.5, 0.01, 3)"));
    RecordSet rs = query(
        "select d, p, sum(p) * 3 as total, cast(10 as money) / 3 as third, avg(d) as mean, "
        "d * q as dq, q from t group by d, p, q order by d");
    const auto text = [&](int row, const char* f) {
        return rs.textAt(rs.rowAt(row), rs.fieldIndex(f)).toStdString();
    };
    EXPECT_EQ(text(0, "d"), "0.50");
    EXPECT_EQ(text(0, "p"), "0.01");
    EXPECT_EQ(text(1, "total"), "59.97");
    EXPECT_EQ(text(0, "third"), "3.3333");
    EXPECT_EQ(text(1, "mean"), "10.000000");
    EXPECT_EQ(text(1, "dq"), "30.00");
    EXPECT_EQ(text(1, "q"), "3");
    EXPECT_EQ(rs.fieldDef(rs.fieldIndex("total")).type, FieldType::Currency);
    EXPECT_EQ(rs.fieldDef(rs.fieldIndex("mean")).type, FieldType::Float);

    RecordSet sum = query("select sum(p) * 3 as total from t where p < 1 or p > 19");
    EXPECT_EQ(sum.textAt(sum.rowAt(0), 0).toStdString(), "60.00");
}

TEST_P(DataServicesTypes, SavedAmountsAreStoredAtTheirColumnsScale) {
    ASSERT_TRUE(
        ds().execSQL("create table lines(id int identity(1,1) primary key, "
                     "price money, amount decimal(18,2))"));
    RecordSet rs;
    ASSERT_TRUE(ds().openDataToCDS(rs, "select id, price, amount from lines"));
    rs.setLogChanges(true);
    Qd::Test::put(rs, &RecordSet::append, {{"price", 1.00005}, {"amount", 1.005}});
    Qd::Test::put(rs, &RecordSet::append, {{"amount", -1.005}});
    QStringList sql;
    GetUpDataSQLList("lines", "id", {}, rs, sql, 0);
    ASSERT_TRUE(ds().execSQL(sql.join("\n")));
    EXPECT_EQ(column("select amount from lines order by id"), QStringList({"1.01", "-1.01"}));
    EXPECT_EQ(column("select price from lines where id = 1"), QStringList({"1.0001"}));

    // An edit saves an update, and the values a caller binds are converted as well.
    ASSERT_TRUE(ds().openDataToCDS(rs, "select id, price, amount from lines order by id"));
    rs.setLogChanges(true);
    rs.moveTo(0);
    Qd::Test::put(rs, &RecordSet::edit, {{"amount", 2.675}});
    sql.clear();
    GetUpDataSQLList("lines", "id", {}, rs, sql, 0);
    ASSERT_TRUE(ds().execSQL(sql.join("\n")));
    ASSERT_TRUE(ds().execSQL("update lines set amount = :a where id = 2", {{"a", 0.125}}));
    ASSERT_TRUE(ds().execSQL("insert into lines(amount) values(:a)", {{"a", "-0.125"}}));
    EXPECT_EQ(column("select amount from lines order by id"),
              QStringList({"2.68", "0.13", "-0.13"}));
    // Stored exactly, so a sum and a comparison see what the list shows.
    EXPECT_EQ(column("select count(*) from lines where amount in (2.68, 0.13, -0.13)"),
              QStringList({"3"}));
}

TEST_P(DataServicesTypes, CastColumnsAreTypedWithoutRowsSoAppendedRowsGiveJsonValues) {
    // Given the options dialog's column template, which returns no rows
    const QString templateSql = QStringLiteral(
        "select top 0 cast('' as varchar(50)) as fieldname, cast('' as varchar(50)) deftitle, "
        "cast('' as varchar(50)) custtitle , \r\ncast('' as varchar(50)) fieldtype, cast('' as "
        "varchar(50)) dispformat,cast(0 as smallint) as decimalcount,\r\ncast(1 as bit) display");
    RecordSet rs;
    ASSERT_TRUE(ds().openDataToCDS(rs, templateSql));
    ASSERT_EQ(rs.fieldCount(), 7);
    EXPECT_EQ(rs.recordCount(), 0);
    for (const char* text : {"fieldname", "deftitle", "custtitle", "fieldtype", "dispformat"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(rs.fieldDef(rs.fieldIndex(text)).type, FieldType::Text);
        EXPECT_EQ(rs.fieldDef(rs.fieldIndex(text)).size, 50);
    }
    EXPECT_EQ(rs.fieldDef(rs.fieldIndex("decimalcount")).type, FieldType::Integer);
    EXPECT_EQ(rs.fieldDef(rs.fieldIndex("display")).type, FieldType::Boolean);

    // When rows are appended as the dialog appends them
    Qd::Test::put(rs, &RecordSet::append,
                  {{"fieldname", QStringLiteral("qty")}, {"decimalcount", 2}, {"display", false}});

    // Then the JSON holds a Boolean and a number, not texts
    EXPECT_EQ(TJsonDB::ClientDataSetToJSON(rs, false).toStdString(),
              R"([{"fieldname":"qty","deftitle":null,"custtitle":null,"fieldtype":null,)"
              R"("dispformat":null,"decimalcount":2,"display":false}])");

    // and a repeated open (its prepared statement kept) types the fields the same way.
    RecordSet again;
    ASSERT_TRUE(ds().openDataToCDS(again, templateSql));
    EXPECT_EQ(again.fieldDef(again.fieldIndex("display")).type, FieldType::Boolean);
}

TEST_F(EmbeddedTypes, UndeclaredColumnsFollowTheirValuesAndMisfitsWiden) {
    // Columns of a union have no declared type: each is typed by its values.
    RecordSet rs = db().query(
        "select a, b, c, d, e, a + 1 as f from (select 1 as k, NULL as a, 1 as b, 1 as c, 3 as d, "
        "NULL as e union all select 2, 7, 2.5, 5000000000, 'x', NULL) t order by k");
    const auto typeOf = [&](const char* f) { return rs.fieldDef(rs.fieldIndex(f)).type; };
    EXPECT_EQ(typeOf("a"), FieldType::Integer);
    EXPECT_EQ(typeOf("b"), FieldType::Float);
    EXPECT_EQ(typeOf("c"), FieldType::BigInt);
    EXPECT_EQ(typeOf("d"), FieldType::Text);
    EXPECT_EQ(typeOf("e"), FieldType::Text);
    EXPECT_EQ(typeOf("f"), FieldType::Integer);
    EXPECT_TRUE(rs.isNullAt(rs.rowAt(0), 0));
    EXPECT_EQ(rs.floatAt(rs.rowAt(0), 1), 1.0);
    EXPECT_EQ(rs.intAt(rs.rowAt(0), 2), 1);
    EXPECT_EQ(rs.intAt(rs.rowAt(1), 2), 5000000000LL);
    EXPECT_EQ(rs.textAt(rs.rowAt(0), 3), QStringLiteral("3"));

    // Declared columns holding what their type cannot (written by another program: a statement
    // of ours converts the value or fails): the field becomes text, and the values loaded before
    // the misfit keep their text. A stored date-time that is no date is still refused by a
    // conversion, as the server would have refused to store it.
    ASSERT_TRUE(
        db().execSQL("create table typed(q int, m datetime);"
                     "insert into typed values(5, '2024-01-02 03:04:05')"));
    ASSERT_EQ(sqlite3_exec(db().handle(), "insert into typed values('abc', '不是日期')", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(column("select q from typed order by rowid"), (QStringList{"5", "abc"}));
    EXPECT_EQ(column("select m from typed order by rowid"),
              (QStringList{"2024-01-02 03:04:05", "不是日期"}));
    EXPECT_FALSE(db().execSQL("select convert(varchar(10), m, 23) from typed"));

    // A declared text column holds any value as its text: only NULL is NULL, an empty text or
    // an empty blob is an empty value.
    ASSERT_EQ(
        sqlite3_exec(db().handle(),
                     "create table texts(k int, t nvarchar(10));"
                     "insert into texts values(1, NULL), (2, ''), (3, 42), (4, x''), (5, 2.5)",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    RecordSet texts = db().query("select t from texts order by k");
    ASSERT_EQ(texts.recordCount(), 5);
    QStringList seen;
    for (int pos = 0; pos < texts.recordCount(); ++pos)
        seen << (texts.isNullAt(texts.rowAt(pos), 0) ? QStringLiteral("NULL")
                                                     : texts.textAt(texts.rowAt(pos), 0));
    EXPECT_EQ(seen, (QStringList{"NULL", "", "42", "", "2.5"}));
}

TEST_P(DataServicesStore, BillVersionMatchesOnlyTheStoredVersion) {
    ASSERT_TRUE(
        ds().execSQL("create table bill(id integer primary key, version int);"
                     "insert into bill values(1, 3), (2, NULL)"));
    EXPECT_TRUE(dataServices().checkBillVersion("bill", 1, 3));
    EXPECT_FALSE(dataServices().checkBillVersion("bill", 1, 2));
    EXPECT_FALSE(dataServices().checkBillVersion("bill", 2, 0));
    EXPECT_FALSE(dataServices().checkBillVersion("bill", 99, 3));
}

TEST_F(EmbeddedStore, TwoClientsShareOneFileInWalMode) {
    sqlite3_stmt* mode = nullptr;
    sqlite3_prepare_v2(db().handle(), "PRAGMA journal_mode", -1, &mode, nullptr);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    SqliteDataServices other(dbPath());
    db().exec("create table t(x int); insert into t values(1)");
    EXPECT_EQ(other.query("select x from t").field("x").asInteger(), 1);
    other.exec("insert into t values(2)");
    EXPECT_EQ(count("t"), 2);
}

}  // namespace

// Keyed lookups bind hundreds of parameters to one statement: each by its own name, whatever
// the order and case the caller gives them in; of a name given twice the last counts.
TEST_P(DataServicesParams, HundredsOfNamedParametersBindEachToItsOwnName) {
    constexpr int kKeys = 500;
    QStringList names;
    Params params;
    for (int k = kKeys - 1; k >= 0; --k) {
        names.prepend(QStringLiteral(":k%1 as c%1").arg(k));
        params.push_back({(k % 2 ? QStringLiteral("K%1") : QStringLiteral("k%1")).arg(k), k * 3});
    }
    params.push_back({QStringLiteral("k7"), QStringLiteral("末")});
    RecordSet rs = query("select " + names.join(", "), params);
    ASSERT_EQ(rs.recordCount(), 1);
    ASSERT_EQ(rs.fieldCount(), kKeys);
    for (int k = 0; k < kKeys; ++k)
        EXPECT_EQ(rs.textAt(rs.rowAt(0), k), k == 7 ? QStringLiteral("末") : QString::number(k * 3))
            << k;
}

INSTANTIATE_TEST_SUITE_P(Backends, DataServicesParams, ::testing::Bool(), Qd::Test::backendName);
INSTANTIATE_TEST_SUITE_P(Backends, DataServicesErrors, ::testing::Bool(), Qd::Test::backendName);
INSTANTIATE_TEST_SUITE_P(Backends, DataServicesTypes, ::testing::Bool(), Qd::Test::backendName);
INSTANTIATE_TEST_SUITE_P(Backends, DataServicesStore, ::testing::Bool(), Qd::Test::backendName);
