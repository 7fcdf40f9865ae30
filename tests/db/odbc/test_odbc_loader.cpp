// The ODBC loader's block fetch on the embedded database's ODBC driver, against what the
// embedded backend reads from the same file.
#include <gtest/gtest.h>

#include "db/odbc/OdbcDataServices.h"
#include "support/OdbcTestEnv.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

class OdbcLoaderTest : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        QString why;
        ASSERT_TRUE(Qd::Test::registerSqliteOdbcDriver(&why)) << why.toStdString();
        odbc = std::make_unique<OdbcDataServices>(Qd::Test::sqliteOdbcConnection(dbPath()));
    }
    void TearDown() override {
        odbc.reset();
        DbTest::TearDown();
    }
    std::unique_ptr<OdbcDataServices> odbc;
};

// Three blocks of text columns of declared lengths: NULLs, Chinese, a character beyond the BMP,
// a column at the longest a block takes, and blanks past a declared length, which the embedded
// database's length check lets through and keeps.
TEST_F(OdbcLoaderTest, DeclaredTextComesInBlocksAsTheEmbeddedBackendReadsIt) {
    db().exec("create table t(id int, s nvarchar(3), n nvarchar(10), big nvarchar(4000))");
    db().exec("insert into t values(0, 'abc          ', null, null)");
    db().exec(QStringLiteral(
        "with k(i) as (select 1 union all select i+1 from k where i<600) "
        "insert into t select i, case when i % 7 = 0 then null else 'ab' end, "
        "case when i % 5 = 0 then null else substring('商品名称😀ABCDEFG', 1 + i % 5, 9) end, "
        "replicate(N'好', 4000) from k option (maxrecursion 1000)"));
    const QString sql = QStringLiteral("select id, s, n, big from t order by id");
    const DataPacket got = odbc->query(sql);
    const DataPacket want = db().query(sql);
    ASSERT_EQ(got.recordCount(), 601);
    ASSERT_EQ(want.recordCount(), 601);
    EXPECT_EQ(got.textAt(got.rowAt(0), 1), QStringLiteral("abc          "));
    EXPECT_EQ(got.fieldDef(2).size, 10);
    for (int pos = 0; pos < got.recordCount(); ++pos)
        for (int f = 0; f < got.fieldCount(); ++f)
            ASSERT_EQ(got.valueAt(got.rowAt(pos), f), want.valueAt(want.rowAt(pos), f))
                << "row " << pos << ", field " << f;
}

}  // namespace
