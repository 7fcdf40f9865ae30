// The ODBC data services on the embedded database's ODBC driver.
#include <gtest/gtest.h>

#include "db/odbc/OdbcDataServices.h"
#include "support/OdbcTestEnv.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

class OdbcTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        QString why;
        if (!Qd::Test::registerSqliteOdbcDriver(&why))
            GTEST_FAIL() << why.toStdString();
        odbc = std::make_unique<OdbcDataServices>(Qd::Test::sqliteOdbcConnection(dbPath()));
    }
    void TearDown() override {
        odbc.reset();
        DbTest::TearDown();
    }
    std::unique_ptr<OdbcDataServices> odbc;
};

TEST_F(OdbcTest, Smoke) {
    db().exec("create table t(s nvarchar(50), i int, d float, m money, made datetime)");
    odbc->exec("insert into t values(:s, :i, :d, :m, :made)",
               {{"s", QStringLiteral("张三")},
                {"i", 42},
                {"d", 1.5},
                {"m", 12.345},
                {"made", QDateTime(QDate(2024, 2, 29), QTime(13, 45, 6, 789))}});
    RecordSet rs = odbc->query("select * from t");
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.field("s").asString(), QStringLiteral("张三"));
    EXPECT_EQ(rs.field("i").asInteger(), 42);
    EXPECT_EQ(rs.field("d").asFloat(), 1.5);
    EXPECT_EQ(rs.field("made").asDateTime(), QDateTime(QDate(2024, 2, 29), QTime(13, 45, 6, 789)));
    for (int f = 0; f < rs.fieldCount(); ++f)
        printf("%s %s %s\n", qPrintable(rs.fieldDef(f).name),
               qPrintable(fieldTypeName(rs.fieldDef(f).type)),
               qPrintable(rs.textAt(rs.rowAt(0), f)));
}

}  // namespace
