// The error box with details: its folding detail, its buttons and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "ui/uInfoMessageBox.h"

using namespace Qd::Core;

TEST(InfoMessageBox, DetailStartsFoldedAndTogglesByItsHeight) {
    Base::TInfoMessageBox box(nullptr, QStringLiteral("保存失败"),
                              QStringLiteral("数据库错误：UNIQUE constraint failed"));
    box.show();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("错误"));
    EXPECT_EQ(box.okButton()->text(), QStringLiteral("确定(&O)"));
    EXPECT_EQ(box.detailButton()->text(), QStringLiteral("详细信息(&D)"));
    EXPECT_FALSE(box.detailShown());
    const int folded = box.height();
    box.detailButton()->click();
    EXPECT_TRUE(box.detailShown());
    const int fold = box.height() - folded;
    EXPECT_EQ(fold, QFontMetrics(box.font()).height() + box.detailMemo()->height() + 5);
    box.detailButton()->click();
    EXPECT_EQ(box.height(), folded);
    box.okButton()->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

// "确定(&O)" is also the Cancel key's button: Escape closes the box with OK, wherever the focus
// is, the memo unfolded or not.
TEST(InfoMessageBox, EscapeClosesWithOk) {
    for (const bool unfolded : {false, true}) {
        Base::TInfoMessageBox box(nullptr, QStringLiteral("保存失败"),
                                  QStringLiteral("数据库错误：UNIQUE constraint failed"));
        box.show();
        QApplication::setActiveWindow(&box);
        QWidget* focus = box.detailButton();
        if (unfolded) {
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
