// The demo reports in the report window: 订单明细表 with its bands, footers, presets and the
// store and employee locks of each data scope; the required end date; 客户消费汇总 drilling down
// to 订单明细表 with its dates, store and the row's customer; the catalogue 报表查询 leading to
// the others; copying a block of cells; printing. QD_RENDER_DIR keeps the pictures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTabWidget>

#include "DemoSession.h"
#include "core/ParamsPanel.h"
#include "print/uDataSetCollection.h"
#include "print/uPrinterForm.h"
#include "report/uBaseReportForm.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "uMainForm.h"
#include "ui/DockPanel.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Report::TBaseReportForm;

using Qd::Test::S;

namespace {

class DemoReport : public Qd::Test::DemoSession {
protected:
    void SetUp() override {
        DemoSession::SetUp();
        prompts.acceptAllMessages(true);
    }
    void TearDown() override {
        main.reset();
        Base::setPanelToday({});
        DemoSession::TearDown();
    }

    void loginAs(const char* user, int store) {
        main.reset();
        ASSERT_TRUE(sys->login(S(user), S("123456"), store).ok);
    }

    // The report opened from the navigator, as the user would.
    TBaseReportForm& open(const char* title) {
        if (!main) {
            main = std::make_unique<Qd::App::TMainForm>(*sys);
            main->resize(1280, 760);
        }
        EXPECT_TRUE(main->openModule(S(title)));
        auto* form = qobject_cast<TBaseReportForm*>(main->pageControl()->currentWidget());
        EXPECT_NE(form, nullptr);
        return *form;
    }

    // Every date in range: the whole demo history.
    void wholeRange(TBaseReportForm& f) {
        f.vgParams->setValue(S("bt"), S("2000-01-01"));
        f.vgParams->setValue(S("et"), QDate::currentDate().toString(Qt::ISODate));
    }

    int count(const QString& sql) { return demo->query(sql).field(0).asInteger(); }

    std::unique_ptr<Qd::App::TMainForm> main;
};

TEST_F(DemoReport, OrderLinesShowInBandsWithFootersPresetsAndTheRequiredEndDate) {
    TBaseReportForm& f = open("订单明细表");
    EXPECT_FALSE(f.cdsMain.active());  // nothing queried on opening

    wholeRange(f);
    f.actopen->trigger();
    const int lines = count(S("select count(*) from qd_x_xmzzk_mx"));
    ASSERT_EQ(f.cdsMain.recordCount(), lines);
    EXPECT_EQ(f.dxPanelResult->caption(), S("查询结果  当前记录：%1").arg(lines));
    Ui::GridView* view = f.cxgMainDBBandedTableView1;
    EXPECT_EQ(view->bands(), QStringList({S("订单"), S("明细")}));
    EXPECT_TRUE(view->bandHeaderVisible());
    const double sum = demo->query(S("select sum(je) from qd_x_xmzzk_mx")).field(0).asFloat();
    // The sum as its column shows money: two places, thousands grouped.
    const QString shown = view->footerText(view->columnByField(S("je")));
    EXPECT_EQ(QString(shown).remove(u',').toDouble(), std::round(sum * 100) / 100)
        << shown.toStdString();
    EXPECT_TRUE(view->footerText(view->columnByField(S("dj"))).isEmpty());
    f.resize(1200, 700);
    Qd::Test::keepRender(*main, S("report_order_lines.png"));

    // A preset writes both dates and queries nothing; 一个月内 keeps the rows of the month.
    const int before = f.cdsMain.recordCount();
    f.rgDateRangeClick(5);
    EXPECT_EQ(f.cdsMain.recordCount(), before);
    EXPECT_EQ(f.vgParams->value(S("et")).toString().left(10),
              QDate::currentDate().toString(Sys::VaGlobalmtSettings().dateFormat).left(10));
    f.actopen->trigger();
    const int month = f.cdsMain.recordCount();
    EXPECT_GT(month, 0);
    EXPECT_LT(month, before);

    // The end date is required: without it nothing is sent and the rows stay.
    f.vgParams->setValue(S("et"), QString());
    prompts.clear();
    f.actopen->trigger();
    ASSERT_EQ(prompts.messages(), QStringList({S("请输入结束日期")}));
    EXPECT_EQ(f.cdsMain.recordCount(), month);
}

TEST_F(DemoReport, EachDataScopeSeesItsOwnStoreAndEmployee) {
    // 张伟 (3001, scope 0): his store and his code, both locked.
    loginAs("3001", 1);
    {
        TBaseReportForm& f = open("订单明细表");
        EXPECT_EQ(f.vgParams->value(S("ck_code")).toString(), S("MD01"));
        EXPECT_EQ(f.vgParams->value(S("kdr_code")).toString(), S("3001"));
        wholeRange(f);
        f.actopen->trigger();
        ASSERT_GT(f.cdsMain.recordCount(), 0);
        for (int pos = 0; pos < f.cdsMain.recordCount(); ++pos) {
            f.cdsMain.moveTo(pos);
            ASSERT_EQ(f.cdsMain.field(S("kdr_name")).asString(), S("张伟"));
            ASSERT_EQ(f.cdsMain.field(S("ck_name")).asString(), S("总店"));
        }
    }
    // 李晓梅 (2001, scope 1): her store locked, any employee of it.
    loginAs("2001", 2);
    {
        TBaseReportForm& f = open("订单明细表");
        EXPECT_EQ(f.vgParams->value(S("ck_code")).toString(), S("MD02"));
        EXPECT_TRUE(f.vgParams->value(S("kdr_code")).toString().isEmpty());
        wholeRange(f);
        f.actopen->trigger();
        EXPECT_EQ(f.cdsMain.recordCount(),
                  count(S("select count(*) from qd_x_xmzzk_mx d join qd_x_xmzzk m on m.billno = "
                          "d.billno where m.ck_id = 2")));
    }
    // The salesperson may not open the customer summary.
    loginAs("3001", 1);
    open("订单明细表");
    prompts.clear();
    EXPECT_FALSE(main->openModule(S("客户消费汇总")) &&
                 qobject_cast<TBaseReportForm*>(main->pageControl()->currentWidget()) &&
                 qobject_cast<TBaseReportForm*>(main->pageControl()->currentWidget())->FrptCode ==
                     S("RPT02"));
}

TEST_F(DemoReport, TheSummaryDrillsDownWithItsDatesStoreAndTheRowsCustomer) {
    TBaseReportForm& summary = open("客户消费汇总");
    wholeRange(summary);
    summary.actopen->trigger();
    ASSERT_GT(summary.cdsMain.recordCount(), 1);
    summary.cdsMain.moveTo(1);
    const QString customer = summary.cdsMain.field(S("code")).asString();
    const int orders = summary.cdsMain.field(S("orders")).asInteger();
    Qd::Test::keepRender(*main, S("report_customer_summary.png"));

    summary.cxgMainDBBandedTableView1DblClick();
    auto* detail = qobject_cast<TBaseReportForm*>(main->pageControl()->currentWidget());
    ASSERT_NE(detail, nullptr);
    ASSERT_NE(detail, &summary);
    EXPECT_EQ(detail->FrptCode, S("RPT01"));
    EXPECT_EQ(detail->vgParams->value(S("bt")).toString(), S("2000-01-01"));
    EXPECT_EQ(detail->vgParams->value(S("kh_code")).toString(), customer);
    EXPECT_FALSE(detail->cdsMain.active());
    detail->actopen->trigger();
    QSet<QString> bills;
    for (int pos = 0; pos < detail->cdsMain.recordCount(); ++pos) {
        detail->cdsMain.moveTo(pos);
        bills.insert(detail->cdsMain.field(S("billno")).asString());
    }
    EXPECT_EQ(bills.size(), orders);
}

TEST_F(DemoReport, TheCatalogueLeadsToEveryReport) {
    TBaseReportForm& catalogue = open("报表查询");
    EXPECT_FALSE(catalogue.rgDateRange->isVisibleTo(&catalogue));
    catalogue.actopen->trigger();
    ASSERT_EQ(catalogue.cdsMain.recordCount(), 5);
    EXPECT_FALSE(catalogue.cxgMainDBBandedTableView1->bandHeaderVisible());
    Qd::Test::keepRender(*main, S("report_catalogue.png"));
    catalogue.cdsMain.moveTo(3);  // 订单查询: thirteen columns keep their widths
    catalogue.cxgMainDBBandedTableView1DblClick();
    auto* orders = qobject_cast<TBaseReportForm*>(main->pageControl()->currentWidget());
    ASSERT_NE(orders, nullptr);
    EXPECT_EQ(orders->FrptName, S("订单查询"));
    EXPECT_EQ(orders->cxgMainDBBandedTableView1->columns().size(), 13);
}

TEST_F(DemoReport, CopyTakesTheSelectedBlockInGridOrder) {
    TBaseReportForm& f = open("订单明细表");
    wholeRange(f);
    f.actopen->trigger();
    ASSERT_GE(f.cdsMain.recordCount(), 10);
    Ui::GridView* view = f.cxgMainDBBandedTableView1;
    const int billno = f.cdsMain.fieldIndex(S("billno"));
    const int je = f.cdsMain.fieldIndex(S("je"));
    QItemSelectionModel* sel = view->selectionModel();
    // Rows 3 to 5 of the amount, chosen bottom up, then the same rows of the number.
    const auto block = [&](int column) {
        return QItemSelection(view->model()->index(4, column), view->model()->index(2, column));
    };
    sel->select(block(je), QItemSelectionModel::ClearAndSelect);
    sel->select(block(billno), QItemSelectionModel::Select);
    QString expected = S("金额\t单号\t\r\n");
    for (int pos = 2; pos <= 4; ++pos)
        expected += f.cdsMain.textAt(f.cdsMain.rowAt(pos), je) + u'\t' +
                    f.cdsMain.textAt(f.cdsMain.rowAt(pos), billno) + S("\t\r\n");
    f.actcopyrowwithtitlevalue->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
    f.actcopyrowvalue->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), expected.mid(expected.indexOf(u'\n') + 1));
}

TEST_F(DemoReport, PrintNeedsAQueryAndPassesAVariablePerParameter) {
    loginAs("3001", 1);
    TBaseReportForm& f = open("订单明细表");
    prompts.clear();
    f.actprint->trigger();
    EXPECT_EQ(prompts.messages(),
              QStringList(
                  {S("对不起，未找到相关数据，操作被拒绝。\r\n\r\n请重新设置查询条件后再打印。")}));

    // An empty result prints: the rows as the report's dataset, a variable per parameter.
    f.vgParams->setValue(S("bt"), S("1999-01-01"));
    f.vgParams->setValue(S("et"), S("1999-01-31"));
    f.actopen->trigger();
    ASSERT_TRUE(f.cdsMain.active());
    ASSERT_EQ(f.cdsMain.recordCount(), 0);
    QString key, dataset;
    Fr4::TUserVariables variables;
    int templates = -1;
    prompts.answerDialog([&](QDialog& d) {
        auto& window = dynamic_cast<Fr4::TPrinterForm&>(d);
        key = window.FModuleCode;
        dataset = window.Fdatasets->GetItem(0).FuserName;
        variables = *window.FuserVariables;
        templates = window.cdsMain.recordCount();
        return int(QDialog::Rejected);
    });
    f.actprint->trigger();
    EXPECT_EQ(key, S("RPT01_RPT01"));
    EXPECT_EQ(dataset, S("订单明细表"));
    EXPECT_EQ(templates, 1);  // the demo's own
    const Fr4::TUserVariables expected = {
        {S("开始日期"), S("1999-01-01")}, {S("结束日期"), S("1999-01-31")},
        {S("门店"), S("MD01")},           {S("开单人"), S("3001")},
        {S("客户"), QString()},           {S("项目名称"), QString()}};
    EXPECT_EQ(variables, expected);
    f.resize(1200, 700);
    Qd::Test::keepRender(*main, S("report_locked_scope.png"));
}

}  // namespace
