// The error box with details: its folding detail, its buttons and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "ui/uInfoMessageBox.h"

using namespace Qd::Core;

// The detail starts folded and toggles by its height; "确定(&O)" is also the Cancel key's
// button: Escape closes the box with OK, wherever the focus is, the memo unfolded or not.
TEST(InfoMessageBox, DetailTogglesByItsHeightAndEscapeClosesWithOk) {
    for (const bool unfolded : {false, true}) {
        Base::TInfoMessageBox box(nullptr, QStringLiteral("保存失败"),
                                  QStringLiteral("数据库错误：UNIQUE constraint failed"));
        box.show();
        QApplication::setActiveWindow(&box);
        EXPECT_FALSE(box.detailShown());
        const int folded = box.height();
        QWidget* focus = box.detailButton();
        if (unfolded) {
            box.detailButton()->click();
            EXPECT_TRUE(box.detailShown());
            EXPECT_EQ(box.height() - folded,
                      QFontMetrics(box.font()).height() + box.detailMemo()->height() + 5);
            box.detailButton()->click();
            EXPECT_EQ(box.height(), folded);
            box.toggleDetail();
            focus = box.detailMemo();
        }
        focus->setFocus();
        box.setResult(-1);
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_EQ(box.result(), QDialog::Accepted) << unfolded;
        EXPECT_TRUE(box.isHidden()) << unfolded;
    }
}
