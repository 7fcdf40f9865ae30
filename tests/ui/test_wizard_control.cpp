// The wizard: back and next skip hidden pages both ways, the buttons' enabled states follow the
// shown pages, a button is announced before the wizard acts on it, a page change after.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "ui/WizardControl.h"

using namespace Qd::Core::Ui;
using Button = WizardControl::Button;

namespace {

class Wizard : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* title : {"一", "二", "三", "四", "五"})
            wizard.addPage(QString::fromUtf8(title));
    }
    // "<back><next><finish>" as 1/0 for enabled.
    std::string enabled() const {
        std::string out;
        for (Button b : {Button::Back, Button::Next, Button::Finish})
            out += wizard.button(b)->isEnabled() ? '1' : '0';
        return out;
    }
    std::string title() const {
        return wizard.findChild<QLabel*>("wizardTitle")->text().toStdString();
    }

    WizardControl wizard{"wizard"};
};

TEST_F(Wizard, BackAndNextSkipHiddenPagesBothWays) {
    EXPECT_EQ(wizard.activePageIndex(), 0);
    EXPECT_EQ(title(), "一");
    EXPECT_EQ(enabled(), "010");
    EXPECT_EQ(wizard.button(Button::Back)->text(), "< 上一步");
    EXPECT_EQ(wizard.button(Button::Next)->text(), "下一步 >");
    EXPECT_EQ(wizard.button(Button::Finish)->text(), "开始");
    EXPECT_EQ(wizard.button(Button::Cancel)->text(), "取消");

    wizard.setPageVisible(1, false);
    wizard.setPageVisible(2, false);
    wizard.button(Button::Next)->click();
    EXPECT_EQ(wizard.activePageIndex(), 3);
    EXPECT_EQ(title(), "四");
    EXPECT_EQ(enabled(), "110");
    wizard.button(Button::Back)->click();
    EXPECT_EQ(wizard.activePageIndex(), 0);

    // A hidden last page: the one before it is the last, with finish instead of next.
    wizard.setPageVisible(4, false);
    wizard.click(Button::Next);
    EXPECT_EQ(wizard.activePageIndex(), 3);
    EXPECT_EQ(enabled(), "101");
    wizard.click(Button::Next);  // disabled: nothing moves
    EXPECT_EQ(wizard.activePageIndex(), 3);

    // Shown again, the pages are visited in order both ways.
    wizard.setPageVisible(2, true);
    wizard.click(Button::Back);
    EXPECT_EQ(wizard.activePageIndex(), 2);
    wizard.click(Button::Back);
    EXPECT_EQ(wizard.activePageIndex(), 0);
    EXPECT_EQ(enabled(), "010");
}

TEST_F(Wizard, ButtonIsAnnouncedBeforeItActsAndMayBeTakenOver) {
    QSignalSpy pages(&wizard, &WizardControl::pageChanged);
    std::vector<std::pair<Button, int>> seen;  // button, active page when it was announced
    bool takeOver = false;
    QObject::connect(&wizard, &WizardControl::buttonClick, [&](Button b, bool* handled) {
        seen.emplace_back(b, wizard.activePageIndex());
        // Hiding a page here counts for this very click.
        wizard.setPageVisible(1, false);
        *handled = takeOver;
    });

    wizard.click(Button::Next);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_pair(Button::Next, 0));
    EXPECT_EQ(wizard.activePageIndex(), 2);
    ASSERT_EQ(pages.count(), 1);
    EXPECT_EQ(pages[0][0].toInt(), 2);

    takeOver = true;
    wizard.click(Button::Back);
    EXPECT_EQ(wizard.activePageIndex(), 2);
    EXPECT_EQ(pages.count(), 1);

    // Finish and cancel only announce themselves; cancel is always there, finish on the last
    // shown page only.
    takeOver = false;
    wizard.click(Button::Cancel);
    wizard.click(Button::Finish);  // not on the last page: disabled, not announced
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.back().first, Button::Cancel);
    wizard.setActivePageIndex(4);
    EXPECT_EQ(pages.count(), 2);
    wizard.click(Button::Finish);
    EXPECT_EQ(seen.back(), std::make_pair(Button::Finish, 4));
    EXPECT_EQ(wizard.activePageIndex(), 4);

    // Making the active page active again is no change.
    wizard.setActivePageIndex(4);
    EXPECT_EQ(pages.count(), 2);
}

}  // namespace
