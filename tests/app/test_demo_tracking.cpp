// The demo's order tracking module: the flow of the seeded orders of every branch, and the
// history of the customer who bought one item over fourteen months.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "DemoOrderTracking.h"
#include "DemoSession.h"
#include "report/uBasicFilterForm.h"
#include "report/uModuleFilterForm.h"
#include "support/Render.h"
#include "support/Rows.h"
#include "tools/ExplorerFolders.h"
#include "tools/uAlidayusmsSendForm.h"
#include "tools/uckbmkdefkhinfoform.h"
#include "tools/ufileExplorerform.h"
#include "tools/uxmzzkflowviewform.h"
#include "tools/uxmzzkhistoryviewbykhform.h"
#include "uMainForm.h"
#include "ui/editors/Editors.h"

using namespace Qd::Core;
using Qd::Test::S;

namespace {

class DemoTracking : public Qd::Test::DemoSession {
protected:
    void TearDown() override {
        main.reset();
        DemoSession::TearDown();
    }

    Qd::App::TOrderTrackingForm& open() {
        main = std::make_unique<Qd::App::TMainForm>(*sys);
        EXPECT_TRUE(main->openModule(S("订单跟踪")));
        auto* form =
            qobject_cast<Qd::App::TOrderTrackingForm*>(main->pageControl()->currentWidget());
        EXPECT_NE(form, nullptr);
        return *form;
    }

    std::unique_ptr<Qd::App::TMainForm> main;
};

TEST_F(DemoTracking, EveryFlowBranchHasAnOrderToShow) {
    auto& form = open();
    const struct {
        const char* billno;
        QStringList statuses;
    } cases[] = {
        {"T202610101", {S("下单完成"), S("待处理")}},
        {"T202610102",
         {S("下单完成"), S("处理中"), S("完成"), S("处理中"), S("完成"), S("待处理")}},
        {"T202610103", {S("下单完成"), S("处理中"), S("完成"), S("处理中")}},
        {"T202610104",
         {S("下单完成"), S("处理中"), S("完成"), S("处理中"), S("处理中"), S("完成"), S("完成"),
          S("订单完工")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.billno);
        ASSERT_TRUE(form.cdsMain.locate(S("billno"), S(c.billno)));
        QStringList shown;
        prompts.answerDialog([&](QDialog& dialog) {
            auto& flow = dynamic_cast<Tools::Txmzzkflowviewform&>(dialog);
            shown = Qd::Test::rowTexts(flow.cdsflowlist, {S("status")});
            return int(QDialog::Accepted);
        });
        form.actFlow->trigger();
        EXPECT_EQ(shown, c.statuses);
    }
}

TEST_F(DemoTracking, TheCustomersHistoryOfAnItemLeavesTheVoidedOrderOut) {
    auto& form = open();
    ASSERT_TRUE(form.cdsMain.locate(QStringList{S("kh_id"), S("xm_id")}, QVariantList{2, 9}));
    // The seeded history's orders end in H and the number of months back.
    const auto monthsBack = [](const Db::RecordSet& rs) {
        QStringList months;
        for (const QString& billno : Qd::Test::rowTexts(rs, {S("billno")}))
            if (billno.startsWith(u'T') && billno.at(billno.size() - 3) == u'H')
                months << billno.right(2);
        return months;
    };
    QStringList lastYear;
    QStringList twoYears;
    prompts.answerDialog([&](QDialog& dialog) {
        auto& history = dynamic_cast<Tools::Txmzzkhistoryviewbykhform&>(dialog);
        lastYear = monthsBack(history.cdsResult);
        Ui::setEditorValue(history.edtbt, QDate::currentDate().addYears(-2));
        history.actsearch->trigger();
        twoYears = monthsBack(history.cdsResult);
        Qd::Test::keepRender(history, S("demo_history.png"));
        return int(QDialog::Rejected);
    });
    form.actHistory->trigger();
    // Oldest first; five months back was voided.
    const QStringList year{S("12"), S("10"), S("08"), S("07"), S("04"), S("02"), S("01")};
    EXPECT_EQ(lastYear, year);
    EXPECT_EQ(twoYears, QStringList{S("14")} + year);
}

TEST_F(DemoTracking, OrderFilesShowsTheStoredFolderWithItsSamplesAndStoresTheChosenOne) {
    auto& form = open();
    ASSERT_TRUE(form.cdsMain.locate(S("billno"), S("T202610104")));
    const QString stored = S("D:\\订单文件\\天津分店\\T202610104");
    // The demo made the folder under the program home with its sample files.
    EXPECT_TRUE(QFileInfo::exists(Tools::localFolder(stored) + S("/设计稿.png")));
    EXPECT_TRUE(QFileInfo::exists(Tools::localFolder(S("D:\\订单文件\\总店")) + S("/说明.txt")));

    const QString chosen = stored + S("\\终稿");
    QString shown;
    prompts.answerDialog([&](QDialog& dialog) {
        auto& explorer = dynamic_cast<Tools::TfileExplorerform&>(dialog);
        shown = explorer.edtPath->text();
        EXPECT_TRUE(explorer.windowTitle().endsWith(S("(浏览) 订单编号：T202610104")));
        explorer.edtPath->setText(chosen);
        return int(QDialog::Accepted);
    });
    form.actFiles->trigger();
    EXPECT_EQ(shown, stored);
    // The list was read again and still stands on the order.
    EXPECT_EQ(form.cdsMain.field(S("billno")).asString(), S("T202610104"));
    EXPECT_EQ(form.cdsMain.field(S("filedir")).asString(), chosen);

    // Cancelled: nothing changes.
    prompts.answerDialog([&](QDialog&) { return int(QDialog::Rejected); });
    form.actFiles->trigger();
    EXPECT_EQ(form.cdsMain.field(S("filedir")).asString(), chosen);
}

TEST_F(DemoTracking, StoringAnOrdersFolderNeedsTheEditRight) {
    sys->logout();
    ASSERT_TRUE(sys->login(S("3001"), S("123456"), sys->stores().front().id).ok);  // 销售
    auto& form = open();
    ASSERT_TRUE(form.cdsMain.locate(S("billno"), S("T202610104")));
    prompts.acceptAllMessages(true);
    form.actFiles->trigger();
    EXPECT_EQ(prompts.messages(), QStringList{S("对不起，您没有该功能的操作权限，访问被拒绝。")});
    EXPECT_EQ(prompts.pending(), 0);  // no explorer was opened
}

TEST_F(DemoTracking, TheFileSelectorCreatesWithoutAnOrderAndCopiesTheChosenPath) {
    auto& form = open();
    prompts.answerDialog([&](QDialog& dialog) {
        auto& explorer = dynamic_cast<Tools::TfileExplorerform&>(dialog);
        EXPECT_TRUE(explorer.windowTitle().contains(S("(创建)")));
        explorer.edtPath->setText(S("D:\\订单文件\\总店\\新订单"));
        return int(QDialog::Accepted);
    });
    form.actExplorer->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), S("D:\\订单文件\\总店\\新订单"));
}

TEST_F(DemoTracking, TheSmsNoticeIsComposedFromTheOrderForItsCustomer) {
    auto& form = open();
    ASSERT_TRUE(form.cdsMain.locate(S("billno"), S("T202610104")));
    QString mobile;
    QString preview;
    prompts.answerDialog([&](QDialog& dialog) {
        auto& notice = dynamic_cast<Tools::TAlidayusmsSendForm&>(dialog);
        mobile = notice.edtMobile->text();
        preview = notice.mmoPreview->toPlainText();
        Qd::Test::keepRender(notice, S("demo_sms_notice.png"));
        return int(QDialog::Rejected);
    });
    form.actSms->trigger();
    EXPECT_EQ(mobile, S("13132931336"));  // K0003's
    EXPECT_TRUE(
        preview.startsWith(S("【业务提醒】您好北京新东方文化传媒有限公司，您的订单"
                             "T202610104已完工，请到天津分店取件。")))
        << preview.toStdString();
}

TEST_F(DemoTracking, StoresHaveDefaultCustomersAndTheDialogPicksOneThroughTheDemoPicker) {
    const auto storeId = [&](const char* code) {
        for (const Sys::StoreInfo& store : sys->stores())
            if (store.code == S(code))
                return qint32(store.id);
        return qint32(0);
    };
    Report::registerFrameworkPickers();  // as the client's main window does
    Tools::Tckbmkdefkhinfoform md01(nullptr, storeId("MD01"));
    EXPECT_EQ(md01.edtKhCode->text(), S("K0004"));
    EXPECT_TRUE(md01.actOK->isEnabled());

    Tools::Tckbmkdefkhinfoform md04(nullptr, storeId("MD04"));
    EXPECT_TRUE(md04.edtKhCode->text().isEmpty());
    EXPECT_FALSE(md04.actOK->isEnabled());
    prompts.answerDialog([&](QDialog& dialog) {
        auto& picker = dynamic_cast<Report::TBasicFilterForm&>(dialog);
        EXPECT_TRUE(picker.cdsMain.locate(S("code"), S("K0015")));
        picker.pickCurrent();
        picker.actokExecute();
        return int(QDialog::Accepted);
    });
    md04.chooseCustomer();
    EXPECT_EQ(md04.edtKhName->text(), S("赵杰"));
    ASSERT_TRUE(md04.actOK->isEnabled());
    md04.actOKExecute();
    EXPECT_EQ(md04.result(), int(QDialog::Accepted));
    EXPECT_EQ(demo->query(S("select k.code from qd_b_ckbmk c join qd_b_khbmk k on k.id = c.kh_id "
                            "where c.code = 'MD04'"))
                  .field(0)
                  .asString(),
              S("K0015"));
}

}  // namespace
