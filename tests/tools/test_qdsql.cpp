// qdsql: the table and CSV writer on its own, then the built program run as module authors run
// it (script, -c, standard input, parameters, schema, errors, explain), on a file and on an ODBC
// connection (the embedded database's driver).
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "TableWriter.h"
#include "support/OdbcTestEnv.h"

// Failures show the text of a QString rather than its bytes.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

using namespace Qd::Tools;

namespace {

// ---- the writer --------------------------------------------------------------------------

TEST(TableWriterWidth, WideRangesAndTheirEdges) {
    struct Case {
        char32_t codePoint;
        int width;
    };
    const Case cases[] = {
        {U'a', 1},    {0x10FF, 1}, {0x1100, 2}, {0x115F, 2},  {0x1160, 1},  {0x2E7F, 1},
        {0x2E80, 2},  {U'中', 2},  {0xA4CF, 2}, {0xA4D0, 1},  {0xABFF, 1},  {0xAC00, 2},
        {0xD7A3, 2},  {0xD7A4, 1}, {0xF900, 2}, {0xFAFF, 2},  {0xFE2F, 1},  {0xFE30, 2},
        {0xFE4F, 2},  {0xFE50, 1}, {0xFF00, 2}, {0xFF60, 2},  {0xFF61, 1},  {0xFFDF, 1},
        {0xFFE0, 2},  {0xFFE6, 2}, {0xFFE7, 1}, {0x1F600, 1}, {0x1FFFF, 1}, {0x20000, 2},
        {0x2A6DF, 2},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUcs4(&c.codePoint, 1);
        EXPECT_EQ(displayWidth(text), c.width) << "U+" << std::hex << unsigned(c.codePoint);
    }
}

TEST(TableWriterWidth, CountsCharactersNotCodeUnits) {
    EXPECT_EQ(displayWidth(u""), 0);
    EXPECT_EQ(displayWidth(u"ab张三"), 6);
    // Surrogate pairs are one character: a narrow emoji is 1, a supplementary ideograph 2.
    EXPECT_EQ(displayWidth(u"😀x"), 2);
    EXPECT_EQ(displayWidth(u"𠀀𠀁"), 4);
    // A lone surrogate still takes a column rather than swallowing its neighbour.
    const QChar lone[] = {QChar(0xD840), QChar(u'a')};
    EXPECT_EQ(displayWidth(QStringView(lone, 2)), 2);
}

TEST(TableWriterValues, TextOfEachKind) {
    EXPECT_EQ(valueText(QVariant()), "NULL");
    EXPECT_EQ(valueText(qlonglong(-9007199254740993)), "-9007199254740993");
    EXPECT_EQ(valueText(3.0), "3.0");
    EXPECT_EQ(valueText(-0.25), "-0.25");
    EXPECT_EQ(valueText(0.1 + 0.2), "0.3");
    EXPECT_EQ(valueText(1e20), "1e+20");
    EXPECT_EQ(valueText(QByteArray("\x00\xab", 2)), "0x00AB");
    EXPECT_EQ(valueText("张三"), "张三");
}

TEST(TableWriterAligned, MixedColumnsEmptySetsAndLineBreaks) {
    ResultTable t;
    t.columns = {"v", "w"};
    t.rows.push_back({qlonglong(5), "a\r\nb\tc"});
    t.rows.push_back({"abc", "d\ne"});
    // A column with text among its numbers is text: left aligned.
    EXPECT_EQ(formatAligned(t),
              "v    w\n"
              "---  -----\n"
              "5    a b c\n"
              "abc  d e\n"
              "(2 行)\n");
    ResultTable empty;
    empty.columns = {"编号", "x"};
    EXPECT_EQ(formatAligned(empty), "编号  x\n----  -\n(0 行)\n");
}

// ---- the program -------------------------------------------------------------------------

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

class QdsqlTool : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString db() const { return path("t.db"); }

    QString writeFile(const QString& name, const QString& text) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return f.fileName();
    }

    Outcome run(const QStringList& args, const QString& input = QString()) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QD_HOME", m_dir.path());  // its trace goes there
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QDSQL_PATH), args);
        EXPECT_TRUE(p.waitForStarted(10000));
        p.write(input.toUtf8());
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(30000));
        Outcome o;
        o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        o.out = QString::fromUtf8(p.readAllStandardOutput());
        o.err = QString::fromUtf8(p.readAllStandardError());
        return o;
    }

    Outcome sql(const QString& statement, const QStringList& options = {}) {
        return run(options + QStringList{db(), "-c", statement});
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(QdsqlTool, ScriptPrintsEveryResultSetAligned) {
    const QString script =
        writeFile("goods.sql",
                  "create table goods(id int identity(1,1) primary key, name nvarchar(20),"
                  " qty int, price money)\n"
                  "insert goods(name, qty, price) values (N'苹果', 10, 3.5),"
                  " (N'西瓜（大）', null, 12), ('kiwi', 200, 0.25)\n"
                  "select id, name as 名称, qty, price from goods order by id\n"
                  "select count(*) as n from goods where qty is null\n");
    const Outcome o = run({db(), script});
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.err, QString());
    EXPECT_EQ(o.out,
              "id  名称         qty  price\n"
              "--  ----------  ----  -----\n"
              " 1  苹果          10   3.50\n"
              " 2  西瓜（大）  NULL  12.00\n"
              " 3  kiwi         200   0.25\n"
              "(3 行)\n"
              "\n"
              "n\n"
              "-\n"
              "1\n"
              "(1 行)\n");
}

TEST_F(QdsqlTool, CsvOutput) {
    ASSERT_EQ(sql("create table t(a nvarchar(20), b nvarchar(20), n int)").exitCode, 0);
    ASSERT_EQ(sql("insert t values (N'张,三', N'他说\"好\"', null),"
                  " ('x\ny', '', 7)")
                  .exitCode,
              0);
    const Outcome o = sql("select a, b, n from t order by n; select 1 as one", {"--csv"});
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.out,
              "a,b,n\n"
              "\"张,三\",\"他说\"\"好\"\"\",\n"
              "\"x\ny\",,7\n"
              "\n"
              "one\n"
              "1\n");
}

TEST_F(QdsqlTool, DecimalsAndMoneyPrintWithTheirScale) {
    ASSERT_EQ(sql("create table t(p money, d decimal(18,2))\n"
                  "insert t values (19.99, 1), (0.01, 2)")
                  .exitCode,
              0);
    const QString batch =
        "select sum(p) * 3 as total, cast(10 as money) / 3 as third, sum(d) as d, "
        "cast(1.005 as decimal(10,2)) as r from t";
    const Outcome table = sql(batch);
    EXPECT_EQ(table.exitCode, 0) << table.err.toStdString();
    EXPECT_EQ(table.out,
              "total   third     d     r\n"
              "-----  ------  ----  ----\n"
              "60.00  3.3333  3.00  1.01\n"
              "(1 行)\n");
    const Outcome csv = sql(batch, {"--csv"});
    EXPECT_EQ(csv.out, "total,third,d,r\n60.00,3.3333,3.00,1.01\n");
}

TEST_F(QdsqlTool, ParamsOfEachKind) {
    // Integer division, real arithmetic and text concatenation tell the bound types apart.
    const Outcome o = run({"--csv", "--param", "n=NULL", "--param", ":i=42", "--param", "d=-1.5",
                           "--param", "q='42'", "--param", "t=苹果 a=b", db(), "-c",
                           "select case when :n is null then 'null' end as n,"
                           " :i / 5 as i, :d * 2 as d, :q + '1' as q, :t as t"});
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, "n,i,d,q,t\nnull,8,-3.0,421,苹果 a=b\n");
}

TEST_F(QdsqlTool, BatchFromCommandOrStandardInput) {
    const QString batch = "declare @x int = 6\nselect @x * 7 as 答案";
    const QString expected = "答案\n----\n  42\n(1 行)\n";
    const Outcome fromCommand = sql(batch);
    EXPECT_EQ(fromCommand.exitCode, 0) << fromCommand.err.toStdString();
    EXPECT_EQ(fromCommand.out, expected);
    const Outcome fromInput = run({db()}, QChar(0xFEFF) + batch);
    EXPECT_EQ(fromInput.exitCode, 0) << fromInput.err.toStdString();
    EXPECT_EQ(fromInput.out, expected);
}

TEST_F(QdsqlTool, SchemaIsBuiltOnRequest) {
    const QString count = "select count(*) as n from qd_sys_config";
    EXPECT_EQ(sql(count).exitCode, 1);
    const Outcome o = sql(count, {"--schema", "--csv"});
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, "n\n0\n");
    // A second --schema leaves the tables as they are.
    const Outcome insert = sql("insert qd_sys_config(cfgkey) values ('k')");
    ASSERT_EQ(insert.exitCode, 0) << insert.err.toStdString();
    EXPECT_EQ(sql(count, {"--schema", "--csv"}).out, "n\n1\n");
}

TEST_F(QdsqlTool, FailuresExitOneWithTheMessage) {
    // Result sets before the failure are printed; the batch's changes are undone.
    Outcome o =
        sql("create table s(v int)\n"
            "insert s values (1)\n"
            "select 'before' as step\n"
            "raiserror(N'库存不足：%s', 16, 1, N'苹果')");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err, "库存不足：苹果\n");
    EXPECT_EQ(o.out, "step\n------\nbefore\n(1 行)\n");

    o = sql("select * from no_such_table");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.contains("no_such_table")) << o.err.toStdString();
    EXPECT_EQ(o.out, QString());

    o = sql("select 1\nmerge s");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.contains("第 2 行")) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("merge")) << o.err.toStdString();

    o = run({db(), path("missing.sql")});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.contains("missing.sql")) << o.err.toStdString();
}

TEST_F(QdsqlTool, UsageErrorsExitTwo) {
    const QString script = writeFile("a.sql", "select 1");
    const QList<QStringList> bad = {
        {},
        {"--no-such-option", db()},
        {db(), script, "extra.sql"},
        {db(), script, "-c", "select 2"},
        {db(), "--param", "novalue", "-c", "select 1"},
        {db(), "--param", "=1", "-c", "select 1"},
    };
    for (const QStringList& args : bad) {
        const Outcome o = run(args);
        EXPECT_EQ(o.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(o.err.contains("DATABASE [SCRIPT]")) << o.err.toStdString();
        EXPECT_EQ(o.out, QString());
    }
    EXPECT_FALSE(QFileInfo::exists(db()));  // nothing was opened

    const Outcome help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--explain"));
    // The version the install and the package carry.
    EXPECT_EQ(run({"--version"}).out, QStringLiteral("qdsql " QD_PROJECT_VERSION "\n"));
}

TEST_F(QdsqlTool, ExplainPrintsTranslationWithoutRunning) {
    const Outcome o =
        sql("create table e(v int);\nselect top 1 v from e order by v", {"--explain"});
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
    // The select cannot be planned before its table exists, and says so.
    EXPECT_TRUE(lines.removeOne("-- 计划不可得：no such table: e")) << o.out.toStdString();
    ASSERT_EQ(lines.size(), 2) << o.out.toStdString();
    EXPECT_TRUE(lines[1].startsWith("select")) << o.out.toStdString();
    EXPECT_TRUE(lines[1].endsWith("limit 1")) << o.out.toStdString();
    EXPECT_FALSE(lines[1].contains("top"));
    EXPECT_EQ(sql("select * from e").exitCode, 1);  // the table was not made

    // Whether an index is used.
    ASSERT_EQ(sql("create table k(code varchar(10), v int)\n"
                  "create index ix_k_code on k(code)")
                  .exitCode,
              0);
    const Outcome plans =
        sql("select v from k where code = 'A1'\nselect v from k where v = 1", {"--explain"});
    EXPECT_TRUE(plans.out.contains("-- 计划：SEARCH k USING INDEX ix_k_code (code=?)"))
        << plans.out.toStdString();
    EXPECT_TRUE(plans.out.contains("-- 计划：SCAN k")) << plans.out.toStdString();
}

TEST_F(QdsqlTool, GoEndsABatchAndGoNRunsItAgain) {
    const QString script = writeFile("batches.sql",
                                     "create table g(v int)\n"
                                     "GO\n"
                                     "declare @n int = 7\n"
                                     "insert g values(@n)\n"
                                     "go 3 -- three rows\n"
                                     "select count(*) as n, sum(v) as total from g\n"
                                     "go\n"
                                     "select @n\n");  // a variable lives in its own batch only
    const Outcome o = run({db(), script});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.out.contains("3     21")) << o.out.toStdString();
    // The error names the script's line, not the batch's.
    EXPECT_TRUE(o.err.contains("第 8 行")) << o.err.toStdString();
}

TEST_F(QdsqlTool, InputFilesRunInOrderAndTimingGoesToStandardError) {
    const QString first = writeFile("a.sql", "create table f(v int)\ninsert f values(1)");
    const QString second = writeFile("b.sql", "insert f values(2)\nselect sum(v) as s from f");
    const Outcome plain = run({db(), "-i", first, "-i", second});
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_TRUE(plain.out.contains("3")) << plain.out.toStdString();

    const Outcome timed = run({db(), "--timing", "-c", "select 42 as x"});
    EXPECT_EQ(timed.exitCode, 0) << timed.err.toStdString();
    EXPECT_FALSE(timed.out.contains("ms"));
    static const QRegularExpression statement("-- 语句 [0-9]+\\.[0-9]{3} ms：select 42 as x");
    static const QRegularExpression batch("-- 批处理 1：[0-9]+\\.[0-9]{3} ms");
    EXPECT_TRUE(statement.match(timed.err).hasMatch()) << timed.err.toStdString();
    EXPECT_TRUE(batch.match(timed.err).hasMatch()) << timed.err.toStdString();
    EXPECT_EQ(run({db(), first, "-c", "select 1"}).exitCode, 2);
}

TEST_F(QdsqlTool, CheckDescriptorNamesEachKeyPathAndRule) {
    const QString good = writeFile(
        "good.json", QStringLiteral(R"json({"mainsql": "select * from t", "sort": "code"})json"));
    const Outcome ok = run({"--check-descriptor", good, "--as", "form:Grid"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains("按 form.schema.json#/definitions/Grid 检查，符合"));

    const QString bad =
        writeFile("columns.json",
                  QStringLiteral(R"json([{"fieldname": "code", "label": "编号", "width": "70px"},
                               {"label": "名称"}])json"));
    const Outcome broken = run({"--check-descriptor", bad});  // kind guessed
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.out.contains(bad + ": $[0].width: "));
    EXPECT_TRUE(broken.out.contains(bad + ": $[1]: 缺少必需的键 \"fieldname\""))
        << broken.out.toStdString();
    EXPECT_TRUE(broken.err.contains("按 columns.schema.json 检查，有 2 处不符合"))
        << broken.err.toStdString();

    EXPECT_EQ(run({"--check-descriptor", bad, "--as", "screen"}).exitCode, 2);
    EXPECT_EQ(run({"--check-descriptor", writeFile("x.json", "{\"mainsql\": ")}).exitCode, 1);
}

TEST_F(QdsqlTool, ExportWritesTheLastResultSetThroughTheExporter) {
    // Two batches, the second ending with the result wanted; each field under its name.
    const QString script =
        writeFile("export.sql",
                  "create table g(code varchar(10), name nvarchar(20), price money)\n"
                  "insert g values ('A1', N'苹果, 红', 3.5), ('B2', null, -12)\n"
                  "select count(*) as n from g\ngo\n"
                  "select 1 as ignored\nselect code, name, price from g order by code\n");
    const QString csv = path("商品.csv");
    const Outcome o = run({"--export", "csv", csv, db(), script});
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_TRUE(o.out.contains("已导出 2 行")) << o.out.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        file.readAll(),
        QStringLiteral("\uFEFFcode,name,price\r\nA1,\"苹果, 红\",3.50\r\nB2,,-12.00\r\n").toUtf8());

    // A batch without a result, a format it does not know, a file it cannot write.
    const Outcome none =
        run({"--export", "html", path("x.html"), db(), "-c", "create table h(v int)"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains("没有可导出的数据")) << none.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("x.html")));
    EXPECT_EQ(run({"--export", "pdf", csv, db()}).exitCode, 2);
    EXPECT_EQ(run({"--export", "xlsx"}).exitCode, 2);
    const Outcome missing =
        run({"--export", "xlsx", path("无/x.xlsx"), db(), "-c", "select 1 as a"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("无/x.xlsx")) << missing.err.toStdString();
}

// ---- on an ODBC connection ------------------------------------------------------------------

class QdsqlOdbc : public QdsqlTool {
protected:
    void SetUp() override {
        QString why;
        if (!Qd::Test::registerSqliteOdbcDriver(&why))  // before the program inherits the setting
            GTEST_FAIL() << why.toStdString();
    }
    QString connection() const {
        return "odbc:" + Qd::Test::sqliteOdbcConnection(db()) + ";UID=qd;PWD=s3cret";
    }
};

TEST_F(QdsqlOdbc, ResultSetsPrintAsOnTheFileAndTheSchemaIsFound) {
    const Outcome made = run({"--schema", db(), "-c",
                              "insert qd_b_ckbmk(orgid, code, name) values "
                              "(1, 'MD01', N'总店'), (1, 'MD02', null)"});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QString script =
        writeFile("q.sql",
                  "select code, name from qd_b_ckbmk order by code\n"
                  "select cast(12.5 as decimal(18,2)) as je, N'张三' as who\ngo 2\n");
    for (const QStringList& options : {QStringList(), QStringList{"--csv"}}) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const Outcome file = run(options + QStringList{db(), script});
        const Outcome odbc = run(options + QStringList{"--schema", connection(), script});
        ASSERT_EQ(odbc.exitCode, 0) << odbc.err.toStdString();
        EXPECT_EQ(odbc.out, file.out);
        EXPECT_EQ(odbc.out.count("张三"), 2);
    }
    // The export takes the connection's last result set.
    const QString csv = path("门店.csv");
    const Outcome exported = run(
        {"--export", "csv", csv, connection(), "-c", "select code from qd_b_ckbmk order by code"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QStringLiteral("\uFEFFcode\r\nMD01\r\nMD02\r\n").toUtf8());
}

TEST_F(QdsqlOdbc, WhatOnlyAFileOffersAndBadConnectionsAreRefused) {
    for (const char* option : {"--explain", "--timing"}) {
        const Outcome o = run({QString::fromLatin1(option), connection(), "-c", "select 1"});
        EXPECT_EQ(o.exitCode, 2) << option;
        EXPECT_TRUE(o.err.contains(QStringLiteral("%1 只能用于数据库文件").arg(option)))
            << o.err.toStdString();
    }
    const Outcome unknown = run({"odbc:Driver=QdNone;Server=db9;PWD=s3cret", "-c", "select 1"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.startsWith("无法连接数据库 db9：")) << unknown.err.toStdString();
    const Outcome malformed = run({"odbc:Driver=QdNone;Server=db9;PWD=s3;cret", "-c", "select 1"});
    EXPECT_EQ(malformed.exitCode, 1);
    EXPECT_TRUE(malformed.err.contains("连接字符串有误")) << malformed.err.toStdString();
    for (const Outcome* o : {&unknown, &malformed})
        EXPECT_FALSE(o->err.contains("s3")) << o->err.toStdString();
    // A connection that opens is traced, by its server and database alone.
    EXPECT_EQ(run({connection(), "-c", "select 1 as a"}).exitCode, 0);
    QFile trace(path("trace.log"));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    EXPECT_FALSE(trace.readAll().contains("s3cret"));
}

}  // namespace
