// The simple bill window over the smallest bill module of TestBill.h: the descriptor keys it
// needs, the statements it fills, the strip's texts, the read-only switch, the detail actions
// and the strip's double clicks.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "TestBill.h"
#include "bill/uSampleBillEditRibbonForm.h"
#include "bill/ubilllogviewform.h"
#include "db/Trace.h"
#include "report/ubasicsamplefilterform.h"
#include "support/Render.h"
#include "ui/grid/Grid.h"

namespace Qd::Test::Bills {
namespace {

using Bill::TSampleBillEditRibbonForm;

// Master by number (":userCode" picks the user's newest when none is asked for), lines by the
// loaded number.
const char kSampleDescriptor[] = R"json({"title": "测试单", "data": {
  "master": {"tablename": "t_bill", "ignorefields": ["prevBillNo", "NextBillNo"],
    "sql": "select b.*, '' prevBillNo, '' NextBillNo from t_bill b where b.orgid = :orgid and (b.billno = :billno or (:billno = '' and b.id = (select max(x.id) from t_bill x join qd_b_ygbmk u on u.id = x.kdr_id where u.code = :userCode)))"},
  "detail": {"sql": "select * from t_bill_mx where billno = :billno order by id",
    "columns": [{"fieldname": "uid", "label": "编号", "width": "80"},
                {"fieldname": "sl", "label": "数量", "width": "60", "footer": "true"}]}}})json";

// The simple window with the test module's writes, so that 修改 / 保存 / 取消 run through.
class TSimpleTestBill : public TSampleBillEditRibbonForm {
public:
    using TSampleBillEditRibbonForm::TSampleBillEditRibbonForm;
    QWidget* remark = nullptr;
    QWidget* summary = nullptr;
    QStringList loadedAfter;  // opendataEx's numbers

    void _init() override {
        TSampleBillEditRibbonForm::_init();
        remark = addHeaderEditor(S("beizhu"), Ui::EditorKind::Text);
        summary = addHeaderEditor(S("zy"), Ui::EditorKind::Button);
    }
    void opendataEx(const QString& no) override { loadedAfter << no; }
    int _Update() override {
        QStringList sql;
        Db::GetUpDataSQLList(S("t_bill"), S("id"), MasterIgnorefields, cdsMaster, sql, 0);
        Db::GetUpDataSQLList(S("t_bill_mx"), S("id"), {S("id")}, cdsDetail, sql, 0);
        return Db::dataServices().execSQL(sql.join(S("\r\n"))) ? 0 : 1;
    }
};

class SampleBillTest : public BillTest {
protected:
    void SetUp() override {
        BillTest::SetUp();
        ASSERT_TRUE(db().execSQL(S("alter table t_bill add zy nvarchar(100) null")));
        item.setTexts(S(kSampleDescriptor), QString(), QString());
    }

    std::unique_ptr<TSimpleTestBill> open(const QString& no = QString()) {
        auto form = std::make_unique<TSimpleTestBill>(nullptr, &item);
        form->FormCreate();
        form->show();
        if (!no.isNull())
            Sys::dispatch([&] { form->OpenBillData(no); });
        QApplication::processEvents();
        return form;
    }
    static void doubleClick(QWidget* w) {
        QTest::mouseDClick(w, Qt::LeftButton, {}, w->rect().center());
    }
    static bool readOnly(QWidget* editor) {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        return edit ? edit->isReadOnly() : !editor->isEnabled();
    }
};

TEST_F(SampleBillTest, ADescriptorLackingAKeyIsNamedAndTheWindowStaysReadOnly) {
    for (const char* text :
         {R"({"data": {"master": {"tablename": "t_bill", "sql": "x"}, "detail": {"sql": ""}}})",
          R"({"title": "t", "data": {"master": {"tablename": "t_bill"}, "detail": {"sql": ""}}})",
          R"({"title": "t", "data": {"master": {"tablename": "t_bill", "sql": "x"}}})"}) {
        prompts().clear();
        item.setTexts(S(text), QString(), QString());
        auto form = open();
        const QStringList shown = prompts().messages();
        ASSERT_EQ(shown.size(), 1) << text;
        EXPECT_TRUE(shown[0].contains(S("测试单")) && shown[0].contains(S("TB")))
            << shown[0].toStdString();
        form->actAdd->trigger();
        EXPECT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
        EXPECT_TRUE(form->cdsMaster.readOnly());
    }
    EXPECT_TRUE(prompts().messages().last().contains(S("data/detail/sql")));
}

TEST_F(SampleBillTest, LoadsByTheQuotedNumberAndTheLinesOfTheBillLoaded) {
    // An empty detail statement is the one the detail record set keeps.
    item.setTexts(
        QString::fromUtf8(kSampleDescriptor)
            .replace(S("select * from t_bill_mx where billno = :billno order by id"), QString()),
        QString(), QString());
    auto form = std::make_unique<TSimpleTestBill>(nullptr, &item);
    form->cdsDetail.commandText = S("select * from t_bill_mx where billno = :billno order by id");
    form->FormCreate();
    form->show();
    form->OpenBillData(S("B001"));
    EXPECT_EQ(form->cdsMaster.field(S("billno")).asString(), "B001");
    EXPECT_EQ(form->cdsDetail.recordCount(), 2);
    EXPECT_EQ(form->loadedAfter, QStringList{S("B001")});

    // Nothing asked for: the user's newest bill, and its own lines.
    ASSERT_TRUE(
        db().execSQL(S("insert into t_bill(orgid, ck_id, billno, billdate, kdr_id) "
                       "values(1, 5, 'B9''X', '2026-11-05', 11)\n"
                       "insert into t_bill_mx(orgid, billno, uid) values(1, 'B9''X', 'q')")));
    form->OpenBillData(QString(""));
    EXPECT_EQ(form->billno, "B9'X");
    ASSERT_EQ(form->cdsDetail.recordCount(), 1);
    EXPECT_EQ(form->cdsDetail.field(S("uid")).asString(), "q");
    // A quote in the number asked for loads that bill.
    form->OpenBillData(S("B9'X"));
    EXPECT_EQ(form->cxLabel3->text(), S("单号：B9'X"));

    // No such bill: nothing shown, not the last bill's lines under an empty header.
    form->OpenBillData(S("NONE"));
    EXPECT_TRUE(form->cdsMaster.isEmpty());
    EXPECT_TRUE(form->cdsDetail.isEmpty());
    EXPECT_TRUE(form->cxLabel3->text().isEmpty());
    EXPECT_TRUE(form->billno.isEmpty());
}

TEST_F(SampleBillTest, TheStripShowsStampNumberDateTimeAndPrintCount) {
    ASSERT_TRUE(
        db().execSQL(S("update t_bill set billdate = '2026-11-03 09:05:00', "
                       "printcount = 2 where billno = 'B001'\n"
                       "update t_bill set status = 2 where billno = 'B003'")));
    auto form = open(S("B002"));
    EXPECT_EQ(form->cxLabel2->text(), S("已审核"));
    EXPECT_TRUE(form->cxLabel2->styleSheet().contains(S("#ff0000")));
    EXPECT_EQ(form->actAudit->text(), S("草稿"));
    EXPECT_EQ(form->lblPrintCount->text(), S("单据已打印 0 次"));  // no count stored

    form->OpenBillData(S("B001"));
    EXPECT_EQ(form->cxLabel2->text(), S("未审核"));
    EXPECT_TRUE(form->cxLabel2->styleSheet().contains(S("#008080")));
    EXPECT_EQ(form->actAudit->text(), S("审核"));
    EXPECT_EQ(form->cxLabel3->text(), S("单号：B001"));
    EXPECT_EQ(form->cxLabel4->text(), S("日期：2026-11-03"));
    EXPECT_EQ(form->cxLabel5->text(), S("时间：09:05:00"));
    EXPECT_EQ(form->lblPrintCount->text(), S("单据已打印 2 次"));
    form->resize(900, 500);
    Qd::Test::keepRender(*form, S("bill-simple-window.png"));

    // A status beyond audited keeps the stamp and caption of the bill shown before.
    form->OpenBillData(S("B003"));
    EXPECT_EQ(form->cxLabel2->text(), S("未审核"));
    EXPECT_EQ(form->actAudit->text(), S("审核"));
    EXPECT_EQ(form->cxLabel3->text(), S("单号：B003"));

    // A new bill: draft, no number yet, now, no count.
    form->actAdd->trigger();
    ASSERT_EQ(form->FDataOperateState, Sys::TOperateState::add);
    EXPECT_EQ(form->cxLabel2->text(), S("未审核"));
    EXPECT_EQ(form->cxLabel3->text(), S("单号：N/a"));
    EXPECT_EQ(form->cxLabel4->text(), S("日期：") + QDate::currentDate().toString(S("yyyy-MM-dd")));
    EXPECT_TRUE(form->lblPrintCount->text().isEmpty());
}

TEST_F(SampleBillTest, EditorsAndRecordSetsAreReadOnlyExceptWhileEditing) {
    auto form = open(S("B001"));
    const auto allReadOnly = [&](bool expected, int line = __builtin_LINE()) {
        SCOPED_TRACE(line);
        EXPECT_EQ(readOnly(form->remark), expected);
        EXPECT_EQ(readOnly(form->summary), expected);
        EXPECT_EQ(form->cdsMaster.readOnly(), expected);
        EXPECT_EQ(form->cdsDetail.readOnly(), expected);
        EXPECT_EQ(form->gDetailView->newItemRowVisible(), !expected);
        EXPECT_EQ(form->actDetail_Add->isEnabled(), !expected);
    };
    allReadOnly(true);
    form->actEdit->trigger();
    ASSERT_EQ(form->FDataOperateState, Sys::TOperateState::edit);
    allReadOnly(false);
    // The bound editor writes into the master row.
    auto* remark = qobject_cast<QLineEdit*>(form->remark);
    remark->setText(S("改过"));
    Q_EMIT remark->editingFinished();
    form->actSave->trigger();
    ASSERT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
    EXPECT_EQ(stored("select beizhu from t_bill where billno = 'B001'"), S("改过"));
    allReadOnly(true);
    form->actEdit->trigger();
    prompts().answer(Ui::mrOk);  // 是否确定放弃本次操作？
    form->actCancel->trigger();
    ASSERT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
    allReadOnly(true);
}

TEST_F(SampleBillTest, DetailActionsWorkOnlyWhileEditingAndDeleteAllResetsTheGridOnce) {
    auto form = open(S("B001"));
    for (QAction* a :
         {form->actDetail_Add, form->actDetail_Edit, form->actDetail_Del, form->actDetail_DelAll})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    form->actDetail_DelAll->trigger();
    EXPECT_EQ(form->cdsDetail.recordCount(), 2);

    form->actEdit->trigger();
    EXPECT_EQ(form->gDetailView->actions().size(), 4);
    form->actDetail_Add->trigger();
    EXPECT_EQ(form->cdsDetail.state(), Db::DataSetState::Insert);
    form->cdsDetail.cancel();
    form->actDetail_Del->trigger();
    EXPECT_EQ(form->cdsDetail.recordCount(), 1);

    // Ten thousand lines go at once: the grid hears one reset, not a removal per line.
    form->cdsDetail.disableControls();
    for (int i = 0; i < 10000; ++i) {
        form->cdsDetail.append();
        form->cdsDetail.field(S("uid")).setValue(QString::number(i));
        form->cdsDetail.post();
    }
    form->cdsDetail.enableControls();
    QSignalSpy reset(form->gDetailView->model(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(form->gDetailView->model(), &QAbstractItemModel::rowsRemoved);
    form->actDetail_DelAll->trigger();
    EXPECT_TRUE(form->cdsDetail.isEmpty());
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_FALSE(form->actDetail_DelAll->isEnabled());
    form->actSave->trigger();
    EXPECT_EQ(stored("select count(*) from t_bill_mx where billno = 'B001'"), S("0"));
}

TEST_F(SampleBillTest, DoubleClicksCopyTheNumberAndOpenThePrintLogInBrowseOnly) {
    auto form = open(S("B001"));
    QGuiApplication::clipboard()->clear();
    doubleClick(form->cxLabel3);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), S("B001"));
    const auto alerts = form->findChildren<Ui::AlertWindow*>();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0]->text(), S("单号复制成功。"));

    QString logOf;
    prompts().answerDialog([&](QDialog& d) {
        auto& log = dynamic_cast<Bill::Tbillprintlogviewform&>(d);
        logOf = log.modulecode + u'/' + log.billno;
        return int(QDialog::Accepted);
    });
    doubleClick(form->lblPrintCount);
    EXPECT_EQ(logOf, S("TB/B001"));
    form->actEdit->trigger();
    doubleClick(form->lblPrintCount);  // not while editing
    EXPECT_EQ(prompts().pending(), 0);
    EXPECT_EQ(prompts().asked().size(), 1u);
}

TEST_F(SampleBillTest, TheSummaryButtonPicksANameWhileEditingAndPostsIt) {
    ASSERT_TRUE(
        db().execSQL(S("insert into qd_b_zybmk(orgid, code, name) values(1, 'Z1', "
                       "N'预付款')")));
    auto form = open(S("B001"));
    auto* button = static_cast<Ui::ButtonEdit*>(form->summary);
    Q_EMIT button->buttonClicked();  // browsing: no picker
    EXPECT_TRUE(prompts().asked().empty());
    form->actEdit->trigger();
    prompts().answerDialog([](QDialog& d) {
        auto& picker = dynamic_cast<Report::Tbasicsamplefilterform&>(d);
        picker.actok->trigger();
        return picker.result();
    });
    Q_EMIT button->buttonClicked();
    EXPECT_EQ(button->text(), S("预付款"));
    EXPECT_EQ(form->cdsMaster.field(S("zy")).asString(), S("预付款"));
    EXPECT_EQ(form->cdsMaster.state(), Db::DataSetState::Browse);  // posted
}

TEST_F(SampleBillTest, TheDetailLayoutIsStoredOnCloseAndRestoredOnOpen) {
    {
        auto form = open(S("B001"));
        form->gDetailView->columnByField("uid")->width = 222;
        form->gDetailView->applyColumns();
        form->close();
    }
    auto form = open(S("B001"));
    EXPECT_EQ(form->gDetailView->columnByField("uid")->width, 222);
}

}  // namespace
}  // namespace Qd::Test::Bills
