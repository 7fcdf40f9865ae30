// What a print job reads from the framework: record sets by name, the amount functions and the
// global and module variables.
#include <gtest/gtest.h>

#include <QTreeWidget>

#include "print/designer/Designer.h"
#include "print/engine/Engine.h"
#include "print/uDataSetCollection.h"
#include "support/CoreTest.h"

using namespace Qd::Core;
using namespace Qd::Print;

namespace {

// A report of one text per row of "列表", and a title of `title` (an expression text).
ReportTemplate report(const QString& title, const QString& row) {
    ReportTemplate t;
    t.datasets = {QStringLiteral("列表")};
    auto text = [](const QString& name, const QString& content) {
        TextObject o{.text = content};
        o.font.family = QStringLiteral("WenQuanYi Micro Hei");
        return ReportObject{name, QRectF(0, 0, 150, 8), o};
    };
    Band title1{.kind = BandKind::ReportTitle, .name = "Title", .heightMm = 10};
    title1.objects = {text("T", title)};
    Band rows{.kind = BandKind::MasterData, .name = "Rows", .heightMm = 10, .dataset = "列表"};
    rows.objects = {text("R", row)};
    t.bands = {title1, rows};
    return t;
}

class PrintDataTest : public Qd::Test::CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        rs.addField("name", Db::FieldType::Text);
        rs.addField("je", Db::FieldType::Currency);
        rs.createDataSet();
        for (const auto& [n, je] :
             std::vector<std::pair<QString, double>>{{"甲", 10.5}, {"乙", 0.05}}) {
            rs.append();
            rs.field("name").setValue(n);
            rs.field("je").setValue(je);
            rs.post();
        }
        Fr4::TDataSetCollectionItem& item = collection.Add();
        item = Fr4::TDataSetCollectionItem(&collection, QStringLiteral("列表"), "XM", &rs);
        collection.Add();  // without a record set: skipped
    }
    Db::RecordSet rs;
    Fr4::TDataSetCollection collection;
};

}  // namespace

TEST_F(PrintDataTest, RecordSetsPrintUnderTheirNamesWithTheAmountFunctions) {
    Fr4::PrintData print(collection);
    print._AddUserFunc();
    ReportTemplate t =
        report("清单", "[列表.\"name\"] [moneycn([列表.\"je\"])] [MoneyCn_2([列表.\"je\"])]");
    const PreparedReport r = prepare(t, print.data());
    EXPECT_EQ(r.pageText(0), QStringLiteral("清单\n甲 壹拾元伍角整 壹零伍零\n乙 伍分 伍"));

    const UserFunction* f = print.data().function("MONEYCN");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->declaration, "function MoneyCn(mmje: Currency): String;");
}

TEST_F(PrintDataTest, VariablesCarryTheCompanyTheSessionAndTheCallersTexts) {
    ASSERT_TRUE(db().execSQL(QStringLiteral(
        "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'company', N'京华''印务')\n"
        "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'footer', N'''第'' + "
        "IntToStr([Page#]) + ''页''')")));
    login("1001", 5);
    Fr4::PrintData print(collection);
    ReportTemplate t = report(
        "[公司名称]|[通用页尾]|[当前登录用户姓名]|[所在仓库编号]|[电话]|[备注]", "[列表.\"name\"]");
    t.variables = {{.name = QStringLiteral("模板自带"), .variables = {{"旧", "'x'"}}}};
    print._AddVariables(t, {{QStringLiteral("备注"), QStringLiteral("a'b")}});
    EXPECT_TRUE(t.variables.empty());  // the template's own variables are dropped
    EXPECT_EQ(print.data().categories(), QStringList({"全局变量", "模块变量"}));
    const PreparedReport r = prepare(t, print.data());
    EXPECT_EQ(r.pageText(0).section('\n', 0, 0),
              QStringLiteral("京华'印务|第1页|王经理|MD05||a'b"));
}

TEST_F(PrintDataTest, ACallerVariableNamedLikeAGlobalOneIsListedBesideIt) {
    ASSERT_TRUE(db().execSQL(QStringLiteral(
        "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'tel', N'010-8888')")));
    login("1001", 5);
    Fr4::PrintData print(collection);
    ReportTemplate t = report("[电话]|[备注]", "[列表.\"name\"]");
    print._AddVariables(t, {{QStringLiteral("电话"), QStringLiteral("139")},
                            {QStringLiteral("备注"), QStringLiteral("加急")}});
    // Both are there, each in its category; a template's [电话] is the global one, listed first.
    EXPECT_TRUE(print.data().variableNames("全局变量").contains(QStringLiteral("电话")));
    EXPECT_EQ(print.data().variableNames("模块变量"), QStringList({"电话", "备注"}));
    EXPECT_EQ(prepare(t, print.data()).pageText(0).section('\n', 0, 0),
              QStringLiteral("010-8888|加急"));

    // The designer's data tree shows both.
    {
        Qd::Print::DesignerDialog designer(t, &print.data());
        QStringList parents;
        for (QTreeWidgetItem* it : designer.dataTree()->findItems(
                 QStringLiteral("电话"), Qt::MatchExactly | Qt::MatchRecursive))
            parents << it->parent()->text(0);
        EXPECT_EQ(parents, QStringList({"全局变量", "模块变量"}));
    }

    // The list is rebuilt for each template: no caller's variables, no module category.
    print._AddVariables(t, {});
    EXPECT_EQ(print.data().categories(), QStringList({"全局变量"}));
}
