// The report window on reports written for each case: descriptors that cannot run, a title
// with a quote, columns (bands, widths, footers, money places, minutes), layouts per report,
// empty and failing results, parameters the statement does not name, and the drill-down's
// messages and the exact values a target report receives.
#include <gtest/gtest.h>

#include "core/uMyCxGrid.h"
#include "db/QueryProgress.h"
#include "report/uBaseReportForm.h"
#include "report/uDataset2ExcelWizardForm.h"
#include "support/CoreTest.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Report::TBaseReportForm;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

class ReportForm : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        prompts().acceptAllMessages(true);
        item.code = S("RM");
        item.title = S("报表模块");
        db().exec(S("create table t_rows(code varchar(10), amount decimal(18,2), at datetime)"));
        for (int i = 1; i <= 10; ++i)
            db().exec(S("insert into t_rows values('C%1', %1.5, '2026-11-0%2 13:45:00')")
                          .arg(i)
                          .arg(i % 9 + 1));
    }

    void addReport(const QString& code, const QString& title, const QString& info) {
        db().exec(S("insert into qd_sys_rptmain(orgid, code, title, pluginfo) values(1, :c, :t, "
                    ":i)"),
                  {{S("c"), code}, {S("t"), title}, {S("i"), info}});
    }

    TBaseReportForm& open(const QString& title, const QString& params = QString()) {
        form = std::make_unique<TBaseReportForm>(nullptr, &item);
        form->FormCreate();
        form->init(title, params);
        form->resize(900, 500);
        return *form;
    }

    Sys::TPlugItemSingleBasic item;
    std::unique_ptr<TBaseReportForm> form;
};

const char kRows[] = "select code, amount, at from t_rows order by code";

// A descriptor over kRows with more keys, given as JSON text.
QString overRows(const QString& more = {}) {
    return S(R"({"mainsql": "%1"%2})").arg(S(kRows), more.isEmpty() ? more : S(", ") + more);
}

TEST_F(ReportForm, DescriptorsThatCannotRunAreNamedAndQueryNothing) {
    addReport(S("B1"), S("坏报表"), S("[1, 2]"));
    addReport(S("B2"), S("缺语句"), S(R"({"params": []})"));
    open(S("坏报表")).actopen->trigger();
    EXPECT_EQ(prompts().messages(),
              QStringList({S("报表“坏报表”（B1）的描述有误：描述不是 JSON 对象，报表无法查询。")}));
    EXPECT_FALSE(form->cdsMain.active());
    prompts().clear();
    open(S("缺语句")).actopen->trigger();
    EXPECT_EQ(prompts().messages(),
              QStringList({S("报表“缺语句”（B2）的描述不完整：缺少“mainsql”。报表无法查询。")}));
    EXPECT_FALSE(form->cdsMain.active());

    // A parameter without a name and a column without a label are named; the rest is built.
    addReport(S("B3"), S("缺键"), S(R"json({"mainsql": "select code, amount from t_rows",
        "params": [{"title": "无名", "type": "text"},
                   {"name": "code", "title": "编号", "type": "text"}],
        "columns": [{"band": "甲", "columns": [{"fieldname": "amount"},
                                               {"fieldname": "code", "label": "CODE"}]}]})json"));
    prompts().clear();
    open(S("缺键"));
    EXPECT_EQ(prompts().messages().size(), 2) << prompts().messages().join(u'\n').toStdString();
    EXPECT_TRUE(prompts().messages().join(u'\n').contains(S("label")));
    EXPECT_EQ(form->paramsList().size(), 1u);
    EXPECT_EQ(form->cxgMainDBBandedTableView1->columns().size(), 1);

    // An unknown title: no parameters, no columns, nothing to run.
    prompts().clear();
    open(S("没有的报表")).actopen->trigger();
    EXPECT_TRUE(prompts().messages().isEmpty());
    EXPECT_TRUE(form->paramsList().empty());
    EXPECT_FALSE(form->cdsMain.active());
}

TEST_F(ReportForm, ATitleWithAQuoteOpens) {
    addReport(S("Q1"), S("O'Brien 报表"), overRows());
    TBaseReportForm& f = open(S("O'Brien 报表"));
    EXPECT_EQ(f.FrptCode, S("Q1"));
    EXPECT_TRUE(traced().contains(S("title = 'O''Brien 报表'")));
    f.actopen->trigger();
    EXPECT_EQ(f.cdsMain.recordCount(), 10);
}

TEST_F(ReportForm, ColumnsFollowTheirBandsFootersAndTypes) {
    addReport(S("C1"), S("两段"), overRows(S(R"json("columns": [
        {"band": "甲", "columns": [
            {"fieldname": "code", "label": "CODE", "footer": "true", "kind": "count"},
            {"fieldname": "amount", "label": "AMOUNT", "footer": "TRUE", "type": "money",
             "decimal": "x"}]},
        {"band": "乙", "columns": [{"fieldname": "at", "label": "AT", "type": "date"}]}])json")));
    TBaseReportForm& f = open(S("两段"));
    Ui::GridView* view = f.cxgMainDBBandedTableView1;
    EXPECT_EQ(view->bands(), QStringList({S("甲"), S("乙")}));
    EXPECT_TRUE(view->bandHeaderVisible());
    EXPECT_TRUE(view->autoWidth());
    f.actopen->trigger();
    const Ui::GridColumn* amount = view->columnByField(S("amount"));
    EXPECT_EQ(amount->footerKind, Ui::SummaryKind::Sum);
    EXPECT_EQ(amount->props.decimals, 4);
    EXPECT_EQ(view->footerText(amount).remove(u','), S("60.0000"));
    EXPECT_EQ(view->columnByField(S("code"))->footerKind, Ui::SummaryKind::None);
    EXPECT_TRUE(view->footerText(view->columnByField(S("code"))).isEmpty());
    f.cdsMain.first();
    EXPECT_EQ(
        Ui::displayText(view->columnByField(S("at"))->props, f.cdsMain.field(S("at")).value()),
        S("2026-11-02 13:45"));  // minutes, not months

    // One band: no band captions; thirteen columns keep their widths.
    QStringList thirteen(12, S(R"({"fieldname": "code", "label": "CODE"})"));
    thirteen << S(R"({"fieldname": "amount", "label": "AMOUNT"})");
    addReport(
        S("C2"), S("一段"),
        overRows(S(R"("columns": [{"band": "甲", "columns": [%1]}])").arg(thirteen.join(','))));
    open(S("一段"));
    EXPECT_FALSE(form->cxgMainDBBandedTableView1->bandHeaderVisible());
    EXPECT_FALSE(form->cxgMainDBBandedTableView1->autoWidth());
}

TEST_F(ReportForm, TwoReportsOfOneModuleKeepTheirOwnLayouts) {
    const QString columns = overRows(S(R"json("columns": [{"band": "甲", "columns": [
        {"fieldname": "code", "label": "CODE"}, {"fieldname": "amount", "label": "AMOUNT"}]}])json"));
    addReport(S("L1"), S("甲表"), columns);
    addReport(S("L2"), S("乙表"), columns);
    open(S("甲表"));
    EXPECT_EQ(form->layoutKey(), S("RM_L1"));
    form->cxgMainDBBandedTableView1->columnByField(S("code"))->visible = false;
    form->cxgMainDBBandedTableView1->applyColumns();
    form->actColConfig->trigger();
    open(S("乙表"));
    EXPECT_TRUE(form->cxgMainDBBandedTableView1->columnByField(S("code"))->visible);
    open(S("甲表"));
    EXPECT_FALSE(form->cxgMainDBBandedTableView1->columnByField(S("code"))->visible);
}

TEST_F(ReportForm, EmptyAndFailingResultsAndUnnamedParameters) {
    addReport(S("E1"), S("按编号"), S(R"json({
        "mainsql": "select code from t_rows where :code is null or code = :code",
        "params": [
            {"name": "code", "title": "编号", "type": "text", "defvalue": "", "deftype": ""},
            {"name": "extra", "title": "其他", "type": "text", "defvalue": "x", "deftype": "str"}]
        })json"));
    TBaseReportForm& f = open(S("按编号"));
    f.actopen->trigger();  // "extra" is not in the statement: left out, not refused
    EXPECT_TRUE(prompts().messages().isEmpty()) << prompts().messages().join(u'\n').toStdString();
    EXPECT_EQ(f.cdsMain.recordCount(), 10);
    EXPECT_EQ(f.dxPanelResult->caption(), S("查询结果  当前记录：10"));
    f.vgParams->setValue(S("code"), S("NONE"));
    f.actopen->trigger();
    EXPECT_EQ(f.cdsMain.recordCount(), 0);
    EXPECT_EQ(f.dxPanelResult->caption(), S("查询结果  当前记录：0"));
    EXPECT_EQ(f.cxgMainDBBandedTableView1->emptyText(), S("<暂无记录，请重新设置查询条件>"));

    // A statement that fails keeps what was shown.
    f.vgParams->setValue(S("code"), QString());
    f.actopen->trigger();
    db().exec(S("drop table t_rows"));
    prompts().acceptAllMessages(true);
    f.actopen->trigger();
    EXPECT_EQ(prompts().messages().size(), 1);
    EXPECT_EQ(f.cdsMain.recordCount(), 10);
    EXPECT_EQ(f.dxPanelResult->caption(), S("查询结果  当前记录：10"));
}

// The drill-down to a report: what the target receives, and the faults it names.
TEST_F(ReportForm, DrillDownPassesParametersAndFieldsAndNamesItsFaults) {
    QString received;
    QString receivedTitle;
    Sys::TPlugsPool::registerOpenEntry(
        S("TRecordingReport"),
        [&](QWidget*, Sys::TPlugItem&, const QString& title, const QString& params, QString&, int) {
            receivedTitle = title;
            received = params;
        });
    db().exec(
        S("insert into qd_sys_plugins(orgid, code, name, title, formclass) values(1, 'TG', "
          "N'目标', N'目标', 'TRecordingReport')"));
    login(S("1001"), 5);
    grant(11, S("2100_T1"));
    addReport(S("T1"), S("目标"), overRows());
    const auto drillDown = [](const char* type) {
        return S(R"json("params": [
            {"name": "bt", "title": "开始", "type": "text", "defvalue": "2026-11-01",
             "deftype": "str"},
            {"name": "empty", "title": "空", "type": "text", "defvalue": "", "deftype": ""}],
          "event": {"type": "%1", "name": "目标", "event": "report", "params": [
            {"type": "param", "name": "from", "value": "bt"},
            {"type": "param", "name": "none", "value": "empty"},
            {"type": "field", "name": "kh", "value": "code"},
            {"type": "other", "name": "x", "value": "code"}]})json")
            .arg(S(type));
    };
    addReport(S("S1"), S("来源"), overRows(drillDown("str")));
    TBaseReportForm& f = open(S("来源"));
    f.actopen->trigger();
    f.cdsMain.moveTo(2);
    f.cxgMainDBBandedTableView1DblClick();
    EXPECT_EQ(receivedTitle, S("目标"));
    EXPECT_EQ(received, S(R"([{"name":"from","value":"2026-11-01"},{"name":"kh","value":"C2"}])"));

    // Faults are named with the report; no type at all is silent.
    addReport(S("S2"), S("坏钻取"), overRows(drillDown("xyz")));
    open(S("坏钻取")).actopen->trigger();
    prompts().clear();
    form->cxgMainDBBandedTableView1DblClick();
    EXPECT_EQ(
        prompts().messages(),
        QStringList({S("报表“坏钻取”（S2）的描述有误：钻取类型“xyz”无效（应为 str 或 field）。")}));
    addReport(S("S3"), S("无类型"), overRows(S(R"("event": {"name": "目标"})")));
    open(S("无类型")).actopen->trigger();
    prompts().clear();
    form->cxgMainDBBandedTableView1DblClick();
    EXPECT_TRUE(prompts().messages().isEmpty());
    addReport(S("S4"), S("无目标"),
              overRows(S(R"("event": {"type": "str", "name": "没有的单据"})")));
    open(S("无目标")).actopen->trigger();
    prompts().clear();
    form->cxgMainDBBandedTableView1DblClick();
    EXPECT_EQ(prompts().messages(),
              QStringList({S("报表“无目标”（S4）的描述有误：单号字段“billno”不在查询结果中。")}));
}

// A bill drill-down hands the row's number to the target's open entry, with no owner.
TEST_F(ReportForm, DrillDownToABillHandsItTheNumber) {
    QStringList opened;
    Sys::TPlugsPool::registerOpenEntry(
        S("TRecordingBill"),
        [&](QWidget* owner, Sys::TPlugItem&, const QString&, const QString& params, QString&,
            int mode) { opened << S("%1|%2|%3").arg(params).arg(owner == nullptr).arg(mode); });
    db().exec(
        S("insert into qd_sys_plugins(orgid, code, name, title, formclass) values(1, 'TB', "
          "N'测试单据', N'测试单据', 'TRecordingBill')"));
    login(S("1001"), 5);
    addReport(S("D1"), S("单据钻取"), S(R"json({"event": {"type": "str", "name": "测试单据"},
        "mainsql": "select code, case when code = 'C3' then '' else 'B-' + code end as billno from t_rows order by code"})json"));
    TBaseReportForm& f = open(S("单据钻取"));
    f.actopen->trigger();
    f.cdsMain.moveTo(0);  // C1
    f.cxgMainDBBandedTableView1DblClick();
    f.cdsMain.moveTo(3);  // C3: no number, nothing opens
    f.cxgMainDBBandedTableView1DblClick();
    EXPECT_EQ(opened, QStringList({S("B-C1|1|-1")}));
}

// A query the user cancels keeps the rows and caption shown, and says nothing.
TEST_F(ReportForm, ACancelledQueryKeepsWhatWasShown) {
    struct CancelAtOnce : Db::IQueryProgress {
        int begun = 0;
        void begin() override { ++begun; }
        bool rows(qint64) override { return false; }
        void end() override {}
    } cancel;
    // Ten thousand rows: enough steps of the engine for the progress to be asked.
    addReport(S("X1"), S("大表"),
              S(R"({"mainsql": "select a.code, b.code as b, c.code as c, d.code as d from %1"})")
                  .arg(S("t_rows a cross join t_rows b cross join t_rows c cross join t_rows d")));
    TBaseReportForm& f = open(S("大表"));
    f.actopen->trigger();
    ASSERT_EQ(f.cdsMain.recordCount(), 10000);
    Db::IQueryProgress* before = Db::setQueryProgress(&cancel);
    prompts().clear();
    f.actopen->trigger();
    Db::setQueryProgress(before);
    EXPECT_EQ(cancel.begun, 1);
    EXPECT_TRUE(prompts().messages().isEmpty());
    EXPECT_EQ(f.cdsMain.recordCount(), 10000);
    EXPECT_EQ(f.dxPanelResult->caption(), S("查询结果  当前记录：10000"));
}

TEST_F(ReportForm, ExportsGoThroughTheWizardOrStraightToXlsx) {
    addReport(S("X2"), S("导出表"), overRows());
    TBaseReportForm& f = open(S("导出表"));
    f.actopen->trigger();
    QString proposed;
    prompts().answerDialog([&](QDialog& d) {
        proposed = dynamic_cast<Report::Tdataset2excelwizardform&>(d)._filename;
        return int(QDialog::Rejected);
    });
    f.actexportwizard->trigger();
    EXPECT_EQ(proposed, S("导出表"));

    const QString file = dir() + S("/导出表.xlsx");
    prompts().clear();
    prompts().answerText(file);
    f.actExport2Xls->trigger();
    EXPECT_TRUE(QFileInfo(file).size() > 0);
    EXPECT_EQ(prompts().messages(), QStringList({S("导出成功")}));
    EXPECT_EQ(prompts().asked().front().filter, S("导出excel (*.xlsx)"));
}

}  // namespace
