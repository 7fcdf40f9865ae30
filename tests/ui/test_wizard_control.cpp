// The wizard: back and next skip hidden pages both ways, the buttons follow the shown pages, a
// button is announced before the wizard acts on it (and may be taken over), a page change after.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>

#include "ui/WizardControl.h"

using namespace Qd::Core::Ui;
using Button = WizardControl::Button;

namespace {

TEST(Wizard, SkipsHiddenPagesAndAnnouncesButtonsBeforeActing) {
    WizardControl wizard("wizard");
    for (const char* title : {"一", "二", "三", "四", "五"})
        wizard.addPage(QString::fromUtf8(title));
    // The active page, then back, next and finish as 1/0 for enabled: "3 110".
    auto state = [&] {
        std::string out = std::to_string(wizard.activePageIndex()) + ' ';
        for (Button b : {Button::Back, Button::Next, Button::Finish})
            out += wizard.button(b)->isEnabled() ? '1' : '0';
        return out;
    };
    QSignalSpy pages(&wizard, &WizardControl::pageChanged);
    std::vector<std::pair<Button, int>> seen;  // the button and the page it was pressed on
    bool takeOver = false;
    QObject::connect(&wizard, &WizardControl::buttonClick, [&](Button b, bool* handled) {
        seen.emplace_back(b, wizard.activePageIndex());
        wizard.setPageVisible(2, false);  // counts for this very click
        *handled = takeOver;
    });

    EXPECT_EQ(state(), "0 010");
    wizard.setPageVisible(1, false);
    wizard.button(Button::Next)->click();
    EXPECT_EQ(state(), "3 110");
    wizard.button(Button::Back)->click();
    EXPECT_EQ(state(), "0 010");
    // A hidden last page: the one before it is the last, with finish instead of next.
    wizard.setPageVisible(4, false);
    wizard.click(Button::Next);
    EXPECT_EQ(state(), "3 101");
    wizard.click(Button::Next);  // disabled: not announced
    takeOver = true;
    wizard.click(Button::Back);  // taken over: stays
    EXPECT_EQ(state(), "3 101");
    takeOver = false;
    wizard.click(Button::Cancel);  // announced only
    wizard.click(Button::Finish);
    EXPECT_EQ(state(), "3 101");
    wizard.setActivePageIndex(3);  // no change, no signal
    EXPECT_EQ(seen, (std::vector{std::pair{Button::Next, 0},
                                 {Button::Back, 3},
                                 {Button::Next, 0},
                                 {Button::Back, 3},
                                 {Button::Cancel, 3},
                                 {Button::Finish, 3}}));
    ASSERT_EQ(pages.count(), 3);
    EXPECT_EQ(pages[2][0].toInt(), 3);
}

}  // namespace
