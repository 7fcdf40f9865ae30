// The framework's own statements and batches, run through the data services on a fresh
// database built from the framework schema, with their effects on the data checked.
#include <gtest/gtest.h>

#include <QDateTime>

#include "db/Schema.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

class FrameworkStatements : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_TRUE(ensureFrameworkSchema(db()));
    }

    // The rows of a query, one string each, columns joined by " | ".
    QStringList rows(const QString& sql, const Params& params = {}) {
        RecordSet rs;
        EXPECT_TRUE(db().openDataToCDS(rs, sql, params)) << sql.toStdString();
        QStringList out;
        for (rs.first(); !rs.eof(); rs.next()) {
            QStringList cells;
            for (int f = 0; f < rs.fieldCount(); ++f)
                cells << (rs.field(f).isNull() ? QStringLiteral("NULL") : rs.field(f).asString());
            out << cells.join(QStringLiteral(" | "));
        }
        return out;
    }

    QString scalar(const QString& sql) {
        const QStringList r = rows(sql);
        return r.isEmpty() ? QString() : r.first();
    }
};

const QString kGridLayoutSave = QStringLiteral(
    "declare\r\n@orgid varchar(10),\r\n@billcode varchar(50),\r\n@ck_id int,\r\n@cxgname "
    "varchar(100)\r\n"
    "set @orgid=:orgid\r\nset @billcode=:billcode\r\nset @ck_id = :ck_id\r\nset @cxgname = "
    ":cxgname\r\n"
    "delete from qd_sys_columnconfig where orgid=@orgid and billcode=@billcode and ck_id=@ck_id "
    "and "
    "cxgname=@cxgname\r\ninsert into "
    "qd_sys_columnconfig(orgid,billcode,ck_id,cxgname,columnstyle)\r\n"
    "values(@orgid, @billcode, @ck_id,@cxgname,:columnstyle)");

QString auditScript(const QString& updateText, const QString& hookText) {
    return QStringLiteral("begin tran\r\nbegin try\r\n") + updateText + QStringLiteral("\r\n") +
           hookText +
           QStringLiteral(
               "\r\nend try\r\nbegin catch\r\nif (@@trancount>0) rollback tran\r\n"
               "raiserror('数据错误异常.', 16, 1)\r\nend catch\r\nif (@@trancount>0) commit tran");
}

}  // namespace

TEST_F(FrameworkStatements, SchemaHasEveryTableWithIdAndOrgid) {
    const QStringList tables = {"qd_sys_columnconfig",
                                "qd_b_category",
                                "qd_sys_billaudit_logs",
                                "qd_sys_billpirnt_logs",
                                "qd_sys_billnorule",
                                "qd_sys_billnorule_user",
                                "qd_sys_attachList",
                                "qd_sys_tickets",
                                "qd_sys_rptmain",
                                "qd_sys_printdocs",
                                "qd_sys_printdocs_ck",
                                "qd_sys_alidayu",
                                "qd_sys_checkitems",
                                "qd_auth_ck_access",
                                "qd_b_ckbmk",
                                "qd_b_ygbmk",
                                "qd_b_khbmk",
                                "qd_b_zybmk",
                                "qd_b_xmbmk",
                                "qd_b_flow",
                                "qd_x_xmzzk",
                                "qd_x_xmzzk_mx",
                                "qd_sys_doworks",
                                "qd_sys_users",
                                "qd_sys_plugins",
                                "qd_sys_config",
                                "qd_sys_operlog"};
    for (const QString& t : tables) {
        SCOPED_TRACE(t.toStdString());
        EXPECT_TRUE(db().execSQL(QStringLiteral("insert into %1(orgid) values(7)").arg(t)));
        EXPECT_EQ(
            scalar(QStringLiteral("select count(*) from dbo.%1 where id = @@identity and orgid = 7")
                       .arg(t)),
            "1");
    }
    EXPECT_FALSE(ensureFrameworkSchema(db()));  // a second start leaves it as it is
}

TEST_F(FrameworkStatements, GridLayoutSaveKeepsOneRowAndRestoreFindsIt) {
    for (const char* style : {"v1", "v2"}) {
        ASSERT_TRUE(db().execSQL(kGridLayoutSave, {{"orgid", "1"},
                                                   {"billcode", "KH"},
                                                   {"ck_id", 3},
                                                   {"cxgname", "cxgMain.tvMain"},
                                                   {"columnstyle", QByteArray(style)}}));
    }
    EXPECT_EQ(scalar("select count(*) from qd_sys_columnconfig"), "1");
    // The restore query, as sqlTemplate and the format leave it.
    const QString restore = QStringLiteral(
                                "select top 1 columnstyle from qd_sys_columnconfig where orgid='1' "
                                "and billcode='%1' and "
                                "(ck_id=0 or ck_id = %2) and cxgname='%3'")
                                .arg("KH")
                                .arg(3)
                                .arg("cxgMain.tvMain");
    RecordSet rs;
    ASSERT_TRUE(db().openDataToCDS(rs, restore));
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.field("columnstyle").asBytes(), QByteArray("v2"));
}

TEST_F(FrameworkStatements, AuditScriptCommitsOrLeavesEverythingAsItWas) {
    ASSERT_TRUE(db().execSQL(
        "insert into qd_x_xmzzk(orgid, billno, status, version) values(1, 'XM001', 0, 3)"));
    const QString update = "update qd_x_xmzzk set status=1, version=4, shy_id=2 where id=1";

    // A failing statement inside: the update is undone and the batch fails with the message.
    prompts().answer(Qd::Core::Ui::mrOk);
    EXPECT_FALSE(db().execSQL(auditScript(update, "insert into qd_nosuch_table values(1)")));
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("数据错误异常.")))
        << prompts().last().text.toStdString();
    EXPECT_EQ(scalar("select status, version from qd_x_xmzzk"), "0 | 3");

    EXPECT_TRUE(db().execSQL(auditScript(
        update, "update qd_x_xmzzk set printcount = isnull(printcount,0) + 1 where id=1")));
    EXPECT_EQ(scalar("select status, version, printcount from qd_x_xmzzk"), "1 | 4 | 1");
}

TEST_F(FrameworkStatements, BillRuleCopyTakesTheModuleDefault) {
    ASSERT_TRUE(db().execSQL(QStringLiteral(
        "insert into qd_sys_billnorule(orgid, billcode, caption, tag, istyle, seekcount) "
        "values(1, 'XM', N'订单', N'XM', 2, 5)")));
    const Params params = {{"orgid", "1"}, {"ck_id", 4}, {"billcode", "XM"}};
    EXPECT_TRUE(rows("select * from qd_sys_billnorule_user where orgid=:orgid and ck_id=:ck_id and "
                     "billcode=:billcode",
                     params)
                    .isEmpty());
    ASSERT_TRUE(db().execSQL(
        "insert into qd_sys_billnorule_user(orgid, billcode,caption,tag,istyle,seekcount,ck_id)\r\n"
        "select :orgid, :billcode,caption,tag,istyle,seekcount,:ck_id from qd_sys_billnorule where "
        "billcode=:billcode",
        params));
    EXPECT_EQ(
        rows(
            "select caption, tag, istyle, seekcount, ck_id, gridconfig from qd_sys_billnorule_user "
            "where orgid=:orgid and ck_id=:ck_id and billcode=:billcode",
            params),
        QStringList{QStringLiteral("订单 | XM | 2 | 5 | 4 | NULL")});
}

TEST_F(FrameworkStatements, TicketInsertStampsLocalTime) {
    ASSERT_TRUE(
        db().execSQL("insert into  qd_sys_tickets(orgid,biztype,bizid,czy_id,lastupdate,msg)\r\n"
                     "values(:orgid,:biztype,:bizid,:czy_id,getdate(),:msg)",
                     {{"biztype", "XM"},
                      {"orgid", "1"},
                      {"bizid", 9},
                      {"czy_id", 2},
                      {"msg", QStringLiteral("请尽快安排\n第二行")}}));
    RecordSet rs;
    ASSERT_TRUE(db().openDataToCDS(rs, "select lastupdate, msg from qd_sys_tickets"));
    EXPECT_EQ(rs.field("lastupdate").type(), FieldType::DateTime);
    EXPECT_LE(std::abs(rs.field("lastupdate").asDateTime().secsTo(QDateTime::currentDateTime())),
              5);
    EXPECT_EQ(rs.field("msg").asString(), QStringLiteral("请尽快安排\n第二行"));
}

TEST_F(FrameworkStatements, PrintTemplateListShowsSharedAndOwnTemplates) {
    ASSERT_TRUE(
        db().execSQL("insert into qd_sys_printdocs(orgid, modulecode, docname, owner, ck_id, "
                     "isort) values(1, 'XM', N'公共', 0, 1, 1)\r\n"
                     "insert into qd_sys_printdocs(orgid, modulecode, docname, owner, ck_id, "
                     "isort) values(1, 'XM', N'本店', 1, 2, 2)\r\n"
                     "insert into qd_sys_printdocs(orgid, modulecode, docname, owner, ck_id, "
                     "isort) values(1, 'XM', N'他店', 1, 3, 3)\r\n"
                     "insert into qd_sys_printdocs(orgid, modulecode, docname, owner, ck_id, "
                     "isort) values(1, 'XM', N'共享给本店', 2, 3, 0)\r\n"
                     "insert into qd_sys_printdocs_ck(rpt_id, ck_id) values(4, 2)"));
    const QString list = QStringLiteral(
                             "select *, cast('' as varchar(50)) as ck_ids from qd_sys_printdocs "
                             "where orgid = %1 and modulecode = %2\r\n"
                             "and (owner = 0 or (ck_id = %3) or (owner = 2 and id in(select rpt_id "
                             "from qd_sys_printdocs_ck where ck_id = %3)))\r\n"
                             "order by isort desc, id")
                             .arg("'1'", "'XM'")
                             .arg(2);
    RecordSet rs;
    ASSERT_TRUE(db().openDataToCDS(rs, list));
    QStringList names;
    for (rs.first(); !rs.eof(); rs.next()) {
        names << rs.field("docname").asString();
        EXPECT_EQ(rs.field("ck_ids").asString(), QString());
    }
    EXPECT_EQ(names, QStringList({"本店", "公共", "共享给本店"}));
}

TEST_F(FrameworkStatements, CheckItemListAddsEmptyResultColumns) {
    ASSERT_TRUE(
        db().execSQL("insert into qd_sys_checkitems(category, title, isort) values(N'基础资料', "
                     "N'客户编号重复', 1)"));
    RecordSet rs;
    ASSERT_TRUE(db().openDataToCDS(
        rs,
        "select *, cast(null as varchar(50)) as checkcount, cast(null as varchar(50)) as "
        "status from qd_sys_checkitems order by category, isort desc, id"));
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_TRUE(rs.field("checkcount").isNull());
    EXPECT_TRUE(rs.field("status").isNull());
    rs.edit();  // the checkup writes its results into them
    rs.field("status").setValue(QStringLiteral("通过"));
    rs.post();
}

namespace {
// The order-tracking batch of one order (its id written in as a number).
QString flowBatch(int orderId) {
    return QStringLiteral(
               "declare @table table(flow_name varchar(10), dt datetime, czy_id int, status "
               "varchar(10))\r\n"
               "declare @status int, @billdate datetime, @kdr_id int, @et datetime, @isdone int, "
               "@czy_id int\r\n"
               "select @status = isnull(status, 0), @billdate = billdate, @kdr_id = kdr_id from "
               "qd_x_xmzzk where id = %1\r\n"
               "set @status = isnull(@status, 0)\r\n"
               "insert into @table(flow_name, dt, czy_id, status) values(N'下单', @billdate, "
               "@kdr_id, N'下单完成')\r\n"
               "insert into @table select f.name, w.bt, w.czy_id, N'处理中' from qd_sys_doworks w "
               "left join qd_b_flow f on w.flow_id = f.id where w.xmzzk_id = %1\r\n"
               "insert into @table select f.name, w.et, w.czy_id, N'完成' from qd_sys_doworks w "
               "left join qd_b_flow f on w.flow_id = f.id where w.xmzzk_id = %1 and w.isdone = "
               "1\r\n"
               "set @et = @billdate\r\n"
               "set @czy_id = @kdr_id\r\n"
               "select top 1 @et = et, @isdone = isdone, @czy_id = czy_id from qd_sys_doworks "
               "where xmzzk_id = %1 order by id desc\r\n"
               "if @status = 0\r\n"
               "  insert into @table select f.name, @et, null, N'待处理' from qd_x_xmzzk x left "
               "join qd_b_flow f on x.flow_id = f.id where x.id = %1\r\n"
               "if @status = 1 and @isdone = 1\r\n"
               "  insert into @table select f.name, @et, null, N'待处理' from qd_x_xmzzk x left "
               "join qd_b_flow f on x.flow_id = f.id where x.id = %1\r\n"
               "if @status >= 2\r\n"
               "  insert into @table values(N'完工', @et, @czy_id, N'订单完工')\r\n"
               "select t.flow_name, t.dt, y.name as czy_name, t.status from @table t left join "
               "qd_b_ygbmk y on t.czy_id = y.id order by t.dt")
        .arg(orderId);
}
}  // namespace

TEST_F(FrameworkStatements, FlowTrackingBatchWithTableVariable) {
    ASSERT_TRUE(
        db().execSQL("insert into qd_b_ygbmk(orgid, code, name) values(1, 'Y1', N'张三')\r\n"
                     "insert into qd_b_flow(orgid, name) values(1, N'设计')\r\n"
                     "insert into qd_b_flow(orgid, name) values(1, N'印刷')\r\n"
                     "insert into qd_x_xmzzk(orgid, billno, billdate, status, kdr_id, flow_id) "
                     "values(1, 'A1', '2026-01-01 09:00', 2, 1, 2)\r\n"
                     "insert into qd_sys_doworks(xmzzk_id, flow_id, bt, et, czy_id, isdone) "
                     "values(1, 1, '2026-01-01 10:00', '2026-01-01 12:00', 1, 1)\r\n"
                     "insert into qd_sys_doworks(xmzzk_id, flow_id, bt, et, czy_id, isdone) "
                     "values(1, 2, '2026-01-02 08:00', '2026-01-02 18:00', 1, 1)"));
    EXPECT_EQ(rows(flowBatch(1)), QStringList({"下单 | 2026-01-01 09:00:00 | 张三 | 下单完成",
                                               "设计 | 2026-01-01 10:00:00 | 张三 | 处理中",
                                               "设计 | 2026-01-01 12:00:00 | 张三 | 完成",
                                               "印刷 | 2026-01-02 08:00:00 | 张三 | 处理中",
                                               "印刷 | 2026-01-02 18:00:00 | 张三 | 完成",
                                               "完工 | 2026-01-02 18:00:00 | 张三 | 订单完工"}));
    // An order that does not exist: only the order row, without date or person.
    EXPECT_EQ(rows(flowBatch(99)), QStringList({"下单 | NULL | NULL | 下单完成"}));
}

TEST_F(FrameworkStatements, CustomerHistoryWithNullDatesCoversTheLastYear) {
    const QDateTime now = QDateTime::currentDateTime();
    const auto day = [&](int back) { return now.addDays(-back).toString("yyyy-MM-dd HH:mm:ss"); };
    ASSERT_TRUE(db().execSQL(
        QStringLiteral(
            "insert into qd_b_xmbmk(orgid, code, name, itemno, baseunit) values(1, 'P1', N'名片', "
            "'90x54', N'盒')\r\n"
            "insert into qd_x_xmzzk(orgid, billno, billdate, kh_id, zfflag) values(1, 'B1', '%1', "
            "5, 0)\r\n"
            "insert into qd_x_xmzzk(orgid, billno, billdate, kh_id, zfflag) values(1, 'B2', '%2', "
            "5, 0)\r\n"
            "insert into qd_x_xmzzk(orgid, billno, billdate, kh_id, zfflag) values(1, 'B3', '%3', "
            "5, 1)\r\n"
            "insert into qd_x_xmzzk_mx(orgid, billno, xm_id, sl) values(1, 'B1', 1, 2)\r\n"
            "insert into qd_x_xmzzk_mx(orgid, billno, xm_id, sl) values(1, 'B2', 1, 3)\r\n"
            "insert into qd_x_xmzzk_mx(orgid, billno, xm_id, sl) values(1, 'B3', 1, 4)")
            .arg(day(100), day(400), day(10))));
    const QString history = QStringLiteral(
        "declare @orgid varchar(10), @kh_id int, @xm_id int, @bt datetime, @et datetime\r\n"
        "set @orgid = :orgid set @kh_id = :kh_id set @xm_id = :xm_id set @bt = :bt set @et = "
        ":et\r\n"
        "if @bt is null set @bt = getdate() - 365\r\n"
        "if @et is null set @et = getdate()\r\n"
        "select m.billdate, m.billno, d.*, x.code as xm_code, x.name as xm_name, x.itemno as "
        "xm_itemno, x.baseunit as xm_baseunit\r\n"
        "from qd_x_xmzzk m join qd_x_xmzzk_mx d on d.billno = m.billno and d.orgid = m.orgid\r\n"
        "left join qd_b_xmbmk x on d.xm_id = x.id\r\n"
        "where m.orgid = @orgid and m.zfflag = 0 and m.kh_id = @kh_id and d.xm_id = @xm_id\r\n"
        "and datediff(day, billdate, @bt) <= 0 and datediff(day, billdate, @et) >= 0\r\n"
        "order by m.billdate, m.billno");
    RecordSet rs;
    ASSERT_TRUE(db().openDataToCDS(
        rs, history,
        {{"orgid", "1"}, {"kh_id", 5}, {"xm_id", 1}, {"bt", QVariant()}, {"et", QVariant()}}));
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.field("billno").asString(), "B1");
    EXPECT_EQ(rs.field("xm_name").asString(), QStringLiteral("名片"));
    EXPECT_EQ(rs.field("sl").asFloat(), 2.0);

    // An explicit range that includes the older order, whole days at both ends.
    ASSERT_TRUE(db().openDataToCDS(rs, history,
                                   {{"orgid", "1"},
                                    {"kh_id", 5},
                                    {"xm_id", 1},
                                    {"bt", now.addDays(-400).date()},
                                    {"et", now.addDays(-100).date()}}));
    EXPECT_EQ(rs.recordCount(), 2);
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
