// Where the data is: reading "--db" sources, connection strings that cannot be right, names for
// people without secrets, and the framework's schema checked and built through either backend.
#include <gtest/gtest.h>

#include "db/DataSource.h"
#include "db/Schema.h"
#include "db/odbc/OdbcDataServices.h"
#include "support/OdbcDbTest.h"
#include "support/OdbcTestEnv.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

// The message parseDataSource throws for `where`; empty when it throws none.
QString refusal(const QString& where) {
    try {
        parseDataSource(where);
    } catch (const DbError& e) {
        return e.message();
    }
    return {};
}

TEST(DataSource, FilesAndConnectionsAreToldApartByTheirPrefix) {
    struct Row {
        QString where;
        DataSource::Kind kind;
        QString value;  // the file, or the connection string
        QString shown;  // displayName
    };
    const Row rows[] = {
        {"/data/门店.db", DataSource::Kind::File, "/data/门店.db", "/data/门店.db"},
        {"odbc.db", DataSource::Kind::File, "odbc.db", "odbc.db"},
        {"ODBC:DSN=qd", DataSource::Kind::Odbc, "DSN=qd", "DSN=qd"},
        {"odbc: Driver=FreeTDS;Server=db1;Port=1433;Database=qd;UID=u;PWD=p",
         DataSource::Kind::Odbc, "Driver=FreeTDS;Server=db1;Port=1433;Database=qd;UID=u;PWD=p",
         "db1:1433 / qd"},
        {"odbc:Driver={ODBC Driver 18 for SQL Server};Server=db1;Database={q;d}",
         DataSource::Kind::Odbc, "Driver={ODBC Driver 18 for SQL Server};Server=db1;Database={q;d}",
         "db1 / q;d"},
        {"odbc:Driver=QdSQLite;Database=/srv/qd.db", DataSource::Kind::Odbc,
         "Driver=QdSQLite;Database=/srv/qd.db", "/srv/qd.db"},
        {"odbc:Driver=X;UID=u;PWD=secret", DataSource::Kind::Odbc, "Driver=X;UID=u;PWD=secret",
         "Driver=X;UID=u;PWD=***"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.where.toStdString());
        const DataSource s = parseDataSource(row.where);
        EXPECT_EQ(s.kind, row.kind);
        EXPECT_EQ(s.isOdbc() ? s.connection : s.file, row.value);
        EXPECT_EQ(s.displayName(), row.shown);
    }
}

TEST(DataSource, AConnectionStringThatCannotBeRightIsRefusedBeforeAnyDriverSeesIt) {
    struct Row {
        QString where;
        QString says;
    };
    // Every password here is "pw;tail": a stray part may be the tail of a password, so no part
    // of the string is repeated but the server's name.
    const Row rows[] = {
        {"odbc:", "无法连接 ODBC 数据库：连接字符串有误，连接字符串是空的"},
        {"odbc:Driver=FreeTDS;Server=db1;PWD=pw;tail",
         "无法连接数据库 db1：连接字符串有误，第 4 项不是“键=值”的形式"},
        {"odbc:Server=db1;Database=qd;PWD=pw;tail=1",
         "无法连接数据库 db1 / qd：连接字符串有误，没有给出 Driver 或 DSN"},
        {"odbc:Driver={FreeTDS;Server=db1;PWD=pw;tail",
         "无法连接 ODBC 数据库：连接字符串有误，第 1 项（Driver）的花括号没有闭合"},
        {"odbc:Driver={FreeTDS}x;Server=db1;PWD={pw;tail}",
         "无法连接数据库 db1：连接字符串有误，第 1 项（Driver）的花括号后还有文字"},
        {"odbc:=pw;tail;Driver=FreeTDS;Server=db1",
         "无法连接数据库 db1：连接字符串有误，第 1 项缺少键名"},
        {"", "--db 需要给出数据库文件或 odbc: 连接字符串"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.where.toStdString());
        const QString message = refusal(row.where);
        EXPECT_EQ(message, row.says);
        EXPECT_FALSE(message.contains(QStringLiteral("tail")));
    }
    // What may be right is left to the driver: braces with ";" and "}}" inside, blank parts.
    for (const char* fine : {"odbc:DSN=qd;", "odbc:Driver={a}}b;c};;Server=db1 ;",
                             "odbc:FileDSN=/etc/qd.dsn", "odbc:Driver=X;PWD={p;w}"})
        EXPECT_EQ(refusal(QString::fromUtf8(fine)), QString()) << fine;
}

// ---- the schema through either backend ------------------------------------------------------

// A list of tables as one line, for assertions that print what differs.
std::string joined(const QStringList& tables) {
    return tables.join(' ').toStdString();
}

class DataSourceDb : public Qd::Test::OdbcDbTest {
protected:
    std::unique_ptr<Database> overOdbc(const QString& file) {
        return openDataSource(
            parseDataSource(QStringLiteral("odbc:") + Qd::Test::sqliteOdbcConnection(file)));
    }
};

TEST_F(DataSourceDb, TheSchemaIsFoundThroughEitherBackend) {
    const QString file = dir() + QStringLiteral("/odbc.db");
    const auto odbc = overOdbc(file);
    ASSERT_NE(odbc->odbc(), nullptr);
    EXPECT_EQ(odbc->sqlite(), nullptr);
    EXPECT_EQ(joined(missingFrameworkTables(*odbc)), joined(frameworkTables()));
    EXPECT_GE(frameworkTables().size(), 30);

    // The script's conditional blocks need a server (or the embedded backend): through the
    // embedded database's driver it is refused whole, not half applied.
    EXPECT_THROW(ensureFrameworkSchema(*odbc), DbError);
    EXPECT_EQ(joined(missingFrameworkTables(*odbc)), joined(frameworkTables()));

    const auto direct = openDataSource(parseDataSource(file));
    ASSERT_NE(direct->sqlite(), nullptr);
    EXPECT_EQ(direct->odbc(), nullptr);
    EXPECT_TRUE(ensureFrameworkSchema(*direct));
    EXPECT_EQ(joined(missingFrameworkTables(*odbc)), joined(QStringList()));
    EXPECT_FALSE(ensureFrameworkSchema(*odbc));  // found there: nothing to run
    EXPECT_EQ(direct->displayName(), file);
    EXPECT_EQ(odbc->displayName(), file);
    EXPECT_EQ(dataServicesName(odbc->services()), file);
}

TEST_F(DataSourceDb, TablesALaterScriptAddedAreNamedAndAddedWhereTheOthersAre) {
    ensureFrameworkSchema(db());
    db().exec(QStringLiteral("drop table qd_sys_smsoutbox"));
    db().exec(QStringLiteral("drop table qd_sys_lookuppicks"));
    const auto odbc = overOdbc(dbPath());
    EXPECT_EQ(missingFrameworkTables(*odbc), QStringList({QStringLiteral("qd_sys_lookuppicks"),
                                                          QStringLiteral("qd_sys_smsoutbox")}));
    EXPECT_FALSE(ensureFrameworkSchema(*odbc));
    EXPECT_EQ(joined(missingFrameworkTables(*odbc)), joined(QStringList()));
}

// A real server, when the environment names one (QD_TEST_MSSQL: a connection string, with or
// without "odbc:"): the schema script builds or finds the same tables there.
TEST(DataSourceServer, TheSchemaScriptHoldsOnSqlServer) {
    QString connection = qEnvironmentVariable("QD_TEST_MSSQL");
    if (connection.isEmpty())
        GTEST_SKIP() << "QD_TEST_MSSQL is not set: no SQL Server to run against";
    if (!connection.startsWith(QStringLiteral("odbc:"), Qt::CaseInsensitive))
        connection.prepend(QStringLiteral("odbc:"));
    const auto server = openDataSource(parseDataSource(connection));
    ensureFrameworkSchema(*server);
    EXPECT_EQ(joined(missingFrameworkTables(*server)), joined(QStringList()));
    EXPECT_EQ(server->odbc()->dbmsName(), QStringLiteral("Microsoft SQL Server"));
}

}  // namespace
