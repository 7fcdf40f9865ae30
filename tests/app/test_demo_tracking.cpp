// The demo's order tracking module: the flow of the seeded orders of every branch, and the
// history of the customer who bought one item over fourteen months.
#include <gtest/gtest.h>

#include "DemoOrderTracking.h"
#include "DemoSession.h"
#include "support/Render.h"
#include "support/Rows.h"
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

}  // namespace
