// The report window on reports written for each case: descriptors that cannot run, a title
// with a quote, columns (bands, widths, footers, money places, minutes), layouts per report,
// empty and failing results, parameters the statement does not name, and the drill-down's
// messages and the exact values a target report receives.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

QJsonObject column(const char* field, QJsonObject more = {}) {
    more.insert(QStringLiteral("fieldname"), QString::fromLatin1(field));
    more.insert(QStringLiteral("label"), QString::fromLatin1(field).toUpper());
    return more;
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
    void addReport(const QString& code, const QString& title, const QJsonObject& info) {
        addReport(code, title, QString::fromUtf8(QJsonDocument(info).toJson()));
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

TEST_F(ReportForm, DescriptorsThatCannotRunAreNamedAndQueryNothing) {
    addReport(S("B1"), S("坏报表"), S("[1, 2]"));
    addReport(S("B2"), S("缺语句"), QJsonObject{{S("params"), QJsonArray()}});
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
    const QJsonArray params = {
        QJsonObject{{S("title"), S("无名")}, {S("type"), S("text")}},
        QJsonObject{{S("name"), S("code")}, {S("title"), S("编号")}, {S("type"), S("text")}}};
    const QJsonArray columns = {QJsonObject{
        {S("band"), S("甲")},
        {S("columns"), QJsonArray{QJsonObject{{S("fieldname"), S("amount")}}, column("code")}}}};
    addReport(S("B3"), S("缺键"),
              QJsonObject{{S("mainsql"), S("select code, amount from t_rows")},
                          {S("params"), params},
                          {S("columns"), columns}});
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
    addReport(S("Q1"), S("O'Brien 报表"), QJsonObject{{S("mainsql"), S(kRows)}});
    TBaseReportForm& f = open(S("O'Brien 报表"));
    EXPECT_EQ(f.FrptCode, S("Q1"));
    EXPECT_TRUE(traced().contains(S("title = 'O''Brien 报表'")));
    f.actopen->trigger();
    EXPECT_EQ(f.cdsMain.recordCount(), 10);
}

TEST_F(ReportForm, ColumnsFollowTheirBandsFootersAndTypes) {
    QJsonArray twelve;
    for (int i = 0; i < 12; ++i)
        twelve.append(column("code"));
    const QJsonArray columns = {
        QJsonObject{{S("band"), S("甲")},
                    {S("columns"),
                     QJsonArray{column("code", {{S("footer"), S("true")}, {S("kind"), S("count")}}),
                                column("amount", {{S("footer"), S("TRUE")},
                                                  {S("type"), S("money")},
                                                  {S("decimal"), S("x")}})}}},
        QJsonObject{{S("band"), S("乙")},
                    {S("columns"), QJsonArray{column("at", {{S("type"), S("date")}})}}}};
    addReport(S("C1"), S("两段"), QJsonObject{{S("mainsql"), S(kRows)}, {S("columns"), columns}});
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
    QJsonArray thirteen = twelve;
    thirteen.append(column("amount"));
    addReport(S("C2"), S("一段"),
              QJsonObject{{S("mainsql"), S(kRows)},
                          {S("columns"), QJsonArray{QJsonObject{{S("band"), S("甲")},
                                                                {S("columns"), thirteen}}}}});
    open(S("一段"));
    EXPECT_FALSE(form->cxgMainDBBandedTableView1->bandHeaderVisible());
    EXPECT_FALSE(form->cxgMainDBBandedTableView1->autoWidth());
}

TEST_F(ReportForm, TwoReportsOfOneModuleKeepTheirOwnLayouts) {
    const QJsonArray columns = {QJsonObject{
        {S("band"), S("甲")}, {S("columns"), QJsonArray{column("code"), column("amount")}}}};
    addReport(S("L1"), S("甲表"), QJsonObject{{S("mainsql"), S(kRows)}, {S("columns"), columns}});
    addReport(S("L2"), S("乙表"), QJsonObject{{S("mainsql"), S(kRows)}, {S("columns"), columns}});
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
    const QJsonArray params = {QJsonObject{{S("name"), S("code")},
                                           {S("title"), S("编号")},
                                           {S("type"), S("text")},
                                           {S("defvalue"), S("")},
                                           {S("deftype"), S("")}},
                               QJsonObject{{S("name"), S("extra")},
                                           {S("title"), S("其他")},
                                           {S("type"), S("text")},
                                           {S("defvalue"), S("x")},
                                           {S("deftype"), S("str")}}};
    addReport(S("E1"), S("按编号"),
              QJsonObject{{S("mainsql"), S("select code from t_rows where :code is null or code "
                                           "= :code")},
                          {S("params"), params}});
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
    addReport(S("T1"), S("目标"), QJsonObject{{S("mainsql"), S(kRows)}});
    const QJsonArray params = {QJsonObject{{S("name"), S("bt")},
                                           {S("title"), S("开始")},
                                           {S("type"), S("text")},
                                           {S("defvalue"), S("2026-11-01")},
                                           {S("deftype"), S("str")}},
                               QJsonObject{{S("name"), S("empty")},
                                           {S("title"), S("空")},
                                           {S("type"), S("text")},
                                           {S("defvalue"), S("")},
                                           {S("deftype"), S("")}}};
    const auto event = [](const char* type, const char* name) {
        return QJsonObject{
            {S("type"), S(type)},
            {S("name"), S(name)},
            {S("event"), S("report")},
            {S("params"),
             QJsonArray{
                 QJsonObject{
                     {S("type"), S("param")}, {S("name"), S("from")}, {S("value"), S("bt")}},
                 QJsonObject{
                     {S("type"), S("param")}, {S("name"), S("none")}, {S("value"), S("empty")}},
                 QJsonObject{
                     {S("type"), S("field")}, {S("name"), S("kh")}, {S("value"), S("code")}},
                 QJsonObject{
                     {S("type"), S("other")}, {S("name"), S("x")}, {S("value"), S("code")}}}}};
    };
    addReport(
        S("S1"), S("来源"),
        QJsonObject{
            {S("mainsql"), S(kRows)}, {S("params"), params}, {S("event"), event("str", "目标")}});
    TBaseReportForm& f = open(S("来源"));
    f.actopen->trigger();
    f.cdsMain.moveTo(2);
    f.cxgMainDBBandedTableView1DblClick();
    EXPECT_EQ(receivedTitle, S("目标"));
    EXPECT_EQ(received, S(R"([{"name":"from","value":"2026-11-01"},{"name":"kh","value":"C2"}])"));

    // Faults are named with the report; no type at all is silent.
    addReport(S("S2"), S("坏钻取"),
              QJsonObject{{S("mainsql"), S(kRows)}, {S("event"), event("xyz", "目标")}});
    open(S("坏钻取")).actopen->trigger();
    prompts().clear();
    form->cxgMainDBBandedTableView1DblClick();
    EXPECT_EQ(
        prompts().messages(),
        QStringList({S("报表“坏钻取”（S2）的描述有误：钻取类型“xyz”无效（应为 str 或 field）。")}));
    addReport(
        S("S3"), S("无类型"),
        QJsonObject{{S("mainsql"), S(kRows)}, {S("event"), QJsonObject{{S("name"), S("目标")}}}});
    open(S("无类型")).actopen->trigger();
    prompts().clear();
    form->cxgMainDBBandedTableView1DblClick();
    EXPECT_TRUE(prompts().messages().isEmpty());
    addReport(S("S4"), S("无目标"),
              QJsonObject{
                  {S("mainsql"), S(kRows)},
                  {S("event"), QJsonObject{{S("type"), S("str")}, {S("name"), S("没有的单据")}}}});
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
    addReport(
        S("D1"), S("单据钻取"),
        QJsonObject{{S("mainsql"), S("select code, case when code = 'C3' then '' else 'B-' "
                                     "+ code end as billno from t_rows order by code")},
                    {S("event"), QJsonObject{{S("type"), S("str")}, {S("name"), S("测试单据")}}}});
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
              QJsonObject{{S("mainsql"), S("select a.code, b.code as b, c.code as c, d.code as d "
                                           "from t_rows a cross join t_rows b cross join t_rows "
                                           "c cross join t_rows d")}});
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
    addReport(S("X2"), S("导出表"), QJsonObject{{S("mainsql"), S(kRows)}});
    TBaseReportForm& f = open(S("导出表"));
    f.actopen->trigger();
    QString proposed;
    prompts().answerDialog([&](QDialog& d) {
        proposed = dynamic_cast<Report::Tdataset2excelwizardform&>(d)._filename;
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(f.actexportwizard->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F2));
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
