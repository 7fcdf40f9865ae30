// The demo receipt (收款单) and what both demo bills share: loading by number or the user's
// newest, the store's chain, a new receipt numbered and saved with its lines, the lines' sum as
// 金额 (edits and deletes share the order's writes, tested there), the order lookup of a line,
// quotes in numbers, user codes and module titles, the print (PDF with the amount in capitals, page
// 1 against its golden image, a log row and no count), and both bills opening in the client as bill
// windows. QD_RENDER_DIR keeps the pictures.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QPrinter>
#include <QScopeGuard>
#include <QTabWidget>
#include <memory>

#include "DemoOrderBill.h"
#include "DemoReceiptBill.h"
#include "DemoSession.h"
#include "GoldenPage.h"
#include "print/engine/Engine.h"
#include "print/engine/Expression.h"
#include "print/engine/TemplateFile.h"
#include "print/uDataSetCollection.h"
#include "print/uPrinterForm.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "sys/uPlugItem.h"
#include "uMainForm.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Qd::App::TReceiptBillForm;

using Qd::Test::S;

namespace {

// 王建国 (1001) in the head store MD01: receipts SZ00000001 (audited) and SZ00000002 (draft,
// his newest), rule "S", no date, eight-digit serial.
class DemoReceipt : public Qd::Test::DemoSession {
protected:
    void TearDown() override {
        form.reset();
        DemoSession::TearDown();
    }

    TReceiptBillForm& open(const QString& no) {
        openBill(form, S("收款单"), no, QSize(1100, 560));
        return *form;
    }

    QString text(const QString& sql) { return demo->query(sql).field(0).asString(); }
    int number(const QString& sql) { return demo->query(sql).field(0).asInteger(); }

    void addLine(const char* order, double je) {
        Db::RecordSet& d = form->cdsDetail;
        d.append();
        d.field(S("xmzzk_billno")).setValue(S(order));
        d.field(S("je")).setValue(je);
        d.post();
    }

    std::unique_ptr<TReceiptBillForm> form;
};

}  // namespace

// ---- loading ---------------------------------------------------------------------------------

TEST_F(DemoReceipt, LoadsTheNewestByNumberAndWalksTheStore) {
    open(QString());  // the newest receipt 1001 took in MD01
    EXPECT_EQ(form->billno, S("SZ00000002"));
    EXPECT_TRUE(form->lblPrintCount->text().isEmpty());  // no printcount column
    EXPECT_EQ(form->lcbCustomer->text(), text(S("select name from qd_b_khbmk where id = 8")));
    EXPECT_EQ(Ui::editorValue(form->cbPayment).toString(), S("转账"));
    EXPECT_EQ(form->edtSummary->text(), S("收取定金"));
    ASSERT_EQ(form->cdsDetail.recordCount(), 2);
    EXPECT_EQ(form->cdsDetail.field(S("gcxmmc")).asString(), S("年会物料"));  // the order's
    EXPECT_EQ(form->cdsDetail.field(S("ddje")).asFloat(), 241.5);
    EXPECT_EQ(form->cdsMaster.field(S("je")).asFloat(), 1241.5);
    EXPECT_EQ(form->gDetailView->footerText(form->gDetailView->columnByField(S("je"))),
              S("1,241.50"));
    EXPECT_EQ(form->prevBillno, S("SZ00000001"));
    EXPECT_TRUE(form->nextBillno.isEmpty());

    form->actprev->trigger();
    EXPECT_EQ(form->billno, S("SZ00000001"));
    EXPECT_EQ(form->cdsDetail.recordCount(), 1);
    EXPECT_TRUE(form->prevBillno.isEmpty());  // the other stores' receipts are not in the chain
    Qd::Test::keepRender(*form, S("bill-receipt-audited.png"));

    // Another store's user: that store's newest.
    sys->session()->storeId = 3;
    sys->session()->userCode = S("2002");
    open(QString());
    EXPECT_EQ(form->billno, S("SH00000002"));
}

// A quote in a bill number, in the user code or in the module's title: the bill loads, and
// the print log keeps number and title as typed.
TEST_F(DemoReceipt, QuotesInNumberUserCodeAndTitleLoadAndAreLoggedAsTyped) {
    demo->exec("update qd_x_skd set billno = 'SZ''01' where billno = 'SZ00000001'");
    demo->exec("update qd_x_skd_mx set billno = 'SZ''01' where billno = 'SZ00000001'");
    demo->exec("update qd_sys_plugins set title = N'收''款单' where code = 'SKD'");
    demo->exec("update qd_sys_users set code = '10''01' where code = '1001'");
    sys->plugs().load();
    sys->session()->userCode = S("10'01");

    open(QString());
    EXPECT_EQ(form->billno, S("SZ00000002"));
    open(S("SZ'01"));
    EXPECT_EQ(form->billno, S("SZ'01"));
    EXPECT_EQ(form->cdsDetail.recordCount(), 1);

    open(S("SZ'01"));
    const QString pdf = dir.filePath(S("receipt.pdf"));
    Fr4::TPrinterForm::defaultPrinterFactory = [&pdf] {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdf);
        return p;
    };
    const auto reset = qScopeGuard([] { Fr4::TPrinterForm::defaultPrinterFactory = {}; });
    prompts.answerDialog([this](QDialog& d) {
        auto& window = dynamic_cast<Fr4::TPrinterForm&>(d);
        prompts.answer(QDialog::Accepted);  // the print dialog
        window.actPrint->trigger();
        return window.result();
    });
    form->actPrint->trigger();
    EXPECT_EQ(prompts.pending(), 0);
    EXPECT_EQ(number(S("select count(*) from qd_sys_billpirnt_logs where modulecode = 'SKD' and "
                       "billno = 'SZ''01' and billtype = N'收''款单' and ck_id = 1")),
              1);
    const QString printed = Qd::Test::pdfText(pdf);
    if (!printed.isEmpty()) {
        EXPECT_TRUE(printed.contains(S("单号：SZ'01"))) << printed.toStdString();
    }
}

// ---- adding and saving -----------------------------------------------------------------------

TEST_F(DemoReceipt, ANewReceiptIsNumberedSavedWithItsLinesAndSumsThem) {
    open(QString());
    form->actAdd->trigger();
    EXPECT_EQ(Ui::editorValue(form->cbPayment).toString(), S("现金"));
    EXPECT_TRUE(form->edtTotal->isReadOnly());  // the lines' sum, never typed
    form->cdsMaster.field(S("kh_id")).setValue(8);

    // A line's order comes from the lookup with its project name and amount.
    const Ui::GridColumn* order = form->gDetailView->columnByField(S("xmzzk_billno"));
    ASSERT_EQ(order->props.kind, Ui::EditorKind::LookupCombo);
    Ui::LookupComboBox editor(order->props);
    form->cdsDetail.append();
    editor.choose(0);  // D202611001 年会物料, 2740
    EXPECT_EQ(form->cdsDetail.field(S("gcxmmc")).asString(), S("年会物料"));
    EXPECT_EQ(form->cdsDetail.field(S("ddje")).asFloat(), 2740.0);
    form->cdsDetail.field(S("xmzzk_billno")).setValue(S("D202611001"));
    form->cdsDetail.field(S("je")).setValue(100.25);
    form->cdsDetail.post();
    addLine("Z202611013", 0.1);
    addLine("Z202611017", 0.2);
    EXPECT_EQ(form->cdsMaster.field(S("je")).asFloat(), 100.55);  // exact, not 100.55000000001
    form->cdsDetail.last();
    form->cdsDetail.deleteRecord();
    EXPECT_EQ(form->cdsMaster.field(S("je")).asFloat(), 100.35);
    QCoreApplication::processEvents();
    Qd::Test::keepRender(*form, S("bill-receipt-add.png"));

    prompts.acceptAllMessages(true);
    form->actSave->trigger();
    // SZ00000001 and 02 are taken: the serial passes over them.
    EXPECT_EQ(form->billno, S("SZ00000003"));
    EXPECT_EQ(form->FDataOperateState, Sys::TOperateState::browse);
    EXPECT_EQ(number(S("select count(*) from qd_x_skd_mx where billno = 'SZ00000003'")), 2);
    EXPECT_EQ(text(S("select je from qd_x_skd where billno = 'SZ00000003'")).toDouble(), 100.35);
    EXPECT_EQ(number(S("select kdr_id from qd_x_skd where billno = 'SZ00000003'")), 2);
    EXPECT_EQ(number(S("select count(*) from qd_x_skd_mx where billno like 'TMP%' or billno = "
                       "''")),
              0);
    EXPECT_EQ(form->prevBillno, S("SZ00000002"));
}

// ---- printing --------------------------------------------------------------------------------

TEST_F(DemoReceipt, PrintsWithTheAmountInCapitalsAndMatchesItsGoldenPage) {
    open(S("SH00000001"));
    Db::DataPacket file = demo->query(
        "select docfile from qd_sys_printdocs where modulecode = 'SKD' and code = '01'");
    ASSERT_EQ(file.recordCount(), 1);
    Qd::Print::ReportTemplate tmpl =
        Qd::Print::TemplateFile::fromBytes(file.field(0).asBytes(), "SKD");
    Fr4::TDataSetCollection sets;
    sets.Add() = Fr4::TDataSetCollectionItem(&sets, S("表头数据"), "SKD", &form->cdsMaster);
    sets.Add() = Fr4::TDataSetCollectionItem(&sets, S("明细数据"), "SKD", &form->cdsDetail);
    Fr4::PrintData print(sets);
    print._AddUserFunc();
    print._AddVariables(tmpl);
    const Qd::Print::PreparedReport report = Qd::Print::prepare(tmpl, print.data());
    const QString page = report.pageText(0);
    EXPECT_TRUE(page.contains(S("单号：SH00000001"))) << page.toStdString();
    EXPECT_TRUE(page.contains(S("大写：") + Qd::Print::MoneyCn(7000))) << page.toStdString();
    EXPECT_TRUE(page.contains(S("收款人：张伟"))) << page.toStdString();
    EXPECT_TRUE(page.contains(S("先付部分")));

    Qd::Test::expectGoldenPage(report, dir.path(), "demo-receipt-page1.png");
}

// ---- the client ------------------------------------------------------------------------------

TEST_F(DemoReceipt, BothBillsOpenInTheClientAsBillWindows) {
    Qd::App::TMainForm main(*sys);
    main.resize(1280, 720);
    main.show();
    ASSERT_TRUE(main.openModule(S("收款单")));
    auto* receipt = qobject_cast<TReceiptBillForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(receipt, nullptr);
    EXPECT_EQ(receipt->billno, S("SZ00000002"));
    EXPECT_EQ(receipt->cdsDetail.recordCount(), 2);
    ASSERT_TRUE(main.openModule(S("订单")));
    EXPECT_NE(qobject_cast<Qd::App::TOrderBillForm*>(main.pageControl()->currentWidget()), nullptr);
    QCoreApplication::processEvents();
    Qd::Test::keepRender(main, S("bill-order-printed-twice.png"));
}
