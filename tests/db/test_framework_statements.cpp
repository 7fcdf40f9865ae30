// The framework schema on a fresh database: every table takes an identity id and an orgid, and
// the framework's declare / set / delete / insert batches run on it.
#include <gtest/gtest.h>

#include "db/Schema.h"
#include "support/Rows.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

class FrameworkStatements : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(ensureFrameworkSchema(db()));
    }
    QStringList rows(const QString& sql) { return Qd::Test::rowTexts(db().query(sql)); }
};

}  // namespace

TEST_F(FrameworkStatements, SchemaHasEveryTableWithIdAndOrgid) {
    const QStringList tables = QStringLiteral(
                                   "qd_sys_columnconfig qd_b_category qd_sys_billaudit_logs "
                                   "qd_sys_billpirnt_logs qd_sys_billnorule qd_sys_billnorule_user "
                                   "qd_sys_attachList qd_sys_tickets qd_sys_rptmain "
                                   "qd_sys_printdocs qd_sys_printdocs_ck qd_sys_alidayu "
                                   "qd_sys_checkitems qd_auth_ck_access qd_b_ckbmk qd_b_ygbmk "
                                   "qd_b_khbmk qd_b_zybmk qd_b_xmbmk qd_b_flow qd_x_xmzzk "
                                   "qd_x_xmzzk_mx qd_sys_doworks qd_sys_users qd_sys_plugins "
                                   "qd_sys_config qd_sys_operlog")
                                   .split(QLatin1Char(' '));
    for (const QString& t : tables) {
        SCOPED_TRACE(t.toStdString());
        EXPECT_TRUE(db().execSQL(QStringLiteral("insert into %1(orgid) values(7)").arg(t)));
        EXPECT_EQ(
            rows(QStringLiteral("select count(*) from dbo.%1 where id = @@identity and orgid = 7")
                     .arg(t)),
            QStringList{"1"});
    }
    EXPECT_FALSE(ensureFrameworkSchema(db()));  // a second start leaves it as it is
}

TEST_F(FrameworkStatements, DeclareSetDeleteInsertBatchKeepsOneRow) {
    const QString batch = QStringLiteral(
        "declare @k varchar(20)\r\nset @k = :k\r\n"
        "delete from qd_sys_config where orgid = 1 and cfgkey = @k\r\n"
        "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, @k, :v)");
    for (const char* v : {"甲公司", "乙公司", "丙公司"})
        ASSERT_TRUE(db().execSQL(batch, {{"k", "company"}, {"v", QString::fromUtf8(v)}}));
    EXPECT_EQ(rows("select cfgvalue from qd_sys_config where cfgkey = 'COMPANY'"),
              QStringList({"丙公司"}));
}
