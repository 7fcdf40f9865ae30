// The quick filter pop-up: where it opens, what its handler gets, and closing on focus loss.
#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include "report/PickerTest.h"
#include "report/uquickfilterform.h"
#include "support/Render.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Report::Tquickfilterform;

namespace {

class QuickFilter : public Qd::Test::PickerTest {
protected:
    struct Call {
        QObject* sender = nullptr;
        QString json;
    };
    QPointer<Tquickfilterform> open(const QPoint& at) {
        return Report::showQuickFilter(&owner, module("客户资料"), at,
                                       [this](QObject* s, const QString& j) {
                                           calls.push_back({s, j});
                                       });
    }
    static void type(Tquickfilterform& f, const QString& text) {
        f.edtKeyword->setText(text);
        ASSERT_TRUE(f.searchPending());
        QTRY_VERIFY(!f.searchPending());
    }
    QWidget owner;
    std::vector<Call> calls;
};

TEST_F(QuickFilter, OpensAtItsPointEmptyUntilAKeywordWhateverPlacementWasStored) {
    QPointer<Tquickfilterform> f = open(QPoint(310, 220));
    EXPECT_TRUE(f->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(f->isModal());
    EXPECT_EQ(f->geometry().topLeft(), QPoint(310, 220));
    EXPECT_FALSE(f->cdsMain.active() && !f->cdsMain.isEmpty());
    f->move(40, 50);
    f->actcancel->trigger();  // stores its placement
    QTRY_VERIFY(f.isNull());
    f = open(QPoint(500, 120));
    EXPECT_EQ(f->geometry().topLeft(), QPoint(500, 120));
    type(*f, QStringLiteral("K000"));
    EXPECT_EQ(column(f->cdsMain, "code").mid(0, 2), (QStringList{"K0001", "K0002"}));
    f->actcancel->trigger();
    QTRY_VERIFY(f.isNull());
    EXPECT_TRUE(calls.empty());
}

TEST_F(QuickFilter, EnterHandsTheOwnerAndTheCurrentRowThenCloses) {
    QPointer<Tquickfilterform> f = open(QPoint(100, 100));
    QTRY_VERIFY(f->edtKeyword->hasFocus());
    // A name containing the text, found by pinyin initials of the name too.
    type(*f, QString::fromUtf8("华星"));
    ASSERT_EQ(f->cdsMain.recordCount(), 1);
    const QString code = f->cdsMain.field("code").asString();
    Qd::Test::keepRender(*f, QStringLiteral("quick_filter_customers.png"));
    QTest::keyClick(f->edtKeyword, Qt::Key_Down);
    ASSERT_TRUE(f->cxgMainView->hasFocus());
    QTest::keyClick(f->cxgMainView, Qt::Key_Return);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].sender, &owner);
    const QJsonArray rows = QJsonDocument::fromJson(calls[0].json.toUtf8()).array();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toObject().value("code").toString(), code);
    QTRY_VERIFY(f.isNull());
}

TEST_F(QuickFilter, LosingTheFocusClosesWithoutTheHandlerAndNoHandlerIgnoresOk) {
    QPointer<Tquickfilterform> f = open(QPoint(100, 100));
    type(*f, QStringLiteral("K"));
    ASSERT_GT(f->cdsMain.recordCount(), 1);
    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    QTRY_VERIFY(f.isNull());
    EXPECT_TRUE(calls.empty());

    auto* bare = new Tquickfilterform(&owner, module("客户资料"), QPoint(0, 0));
    QPointer<Tquickfilterform> guard(bare);
    bare->show();
    EXPECT_FALSE(bare->cdsMain.active());
    bare->edtKeyword->setText(QStringLiteral("K0001"));
    bare->searchNow();
    ASSERT_EQ(bare->cdsMain.recordCount(), 1);
    bare->actok->trigger();
    EXPECT_FALSE(guard.isNull());
    EXPECT_TRUE(bare->isVisible());
    delete bare;
}

}  // namespace
