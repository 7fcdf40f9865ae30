// The ribbon: tab names, groups of large buttons, contexts that show and hide their tabs, groups
// that mirror a toolbar.
#include <gtest/gtest.h>

#include <QAction>
#include <QFrame>
#include <QLayout>
#include <QPointer>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include "ui/Ribbon.h"

using namespace Qd::Core::Ui;

namespace {

// The captions of the tabs shown, in order, with "*" on the current one.
std::string shownTabs(const Ribbon& ribbon) {
    QStringList out;
    for (int i = 0; i < ribbon.count(); ++i)
        if (ribbon.isTabVisible(i))
            out << ribbon.tabText(i) + (i == ribbon.currentIndex() ? "*" : "");
    return out.join(" ").toStdString();
}

// The texts of a group's buttons that are not hidden, in layout order.
std::string buttonTexts(const RibbonGroup* group) {
    QStringList out;
    for (int i = 0; i < group->layout()->count(); ++i) {
        QLayout* row = group->layout()->itemAt(i)->layout();
        for (int j = 0; row && j < row->count(); ++j) {
            QWidget* w = row->itemAt(j)->widget();
            if (auto* b = qobject_cast<QToolButton*>(w); b && !b->isHidden())
                out << b->text();
            else if (qobject_cast<QFrame*>(w) && !w->isHidden())
                out << "|";
        }
    }
    return out.join(" ").toStdString();
}

std::string captions(const QList<QAction*>& actions) {
    QStringList out;
    for (const QAction* a : actions)
        out << a->text();
    return out.join(" ").toStdString();
}

TEST(Ribbon, TabsGetUniqueComponentNamesAndAreFoundByCaption) {
    Ribbon ribbon;
    RibbonTab* home = ribbon.addRibbonTab("开始");
    RibbonTab* sales = ribbon.addRibbonTab("销售单");
    RibbonTab* named = ribbon.addRibbonTab("报表", "rtReport");
    EXPECT_EQ(sales->objectName(), "RibbonTab2");
    EXPECT_EQ(named->objectName(), "rtReport");
    EXPECT_EQ(ribbon.ribbonTab("销售单"), sales);
    EXPECT_EQ(ribbon.ribbonTab("采购单"), nullptr);
    EXPECT_EQ(ribbon.ribbonTabs(), (QList<RibbonTab*>{home, sales, named}));

    QPointer<RibbonTab> gone = sales;
    ribbon.removeRibbonTab(sales);
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(ribbon.count(), 2);
    // The freed name is taken by the next tab; names in use are not
    EXPECT_EQ(ribbon.addRibbonTab("采购单")->objectName(), "RibbonTab2");
    EXPECT_EQ(ribbon.addRibbonTab("库存")->objectName(), "RibbonTab3");
}

TEST(Ribbon, GroupsShowLargeButtonsOfTheirActions) {
    Ribbon ribbon;
    RibbonTab* tab = ribbon.addRibbonTab("开始");
    RibbonGroup* modules = tab->addGroup("模块");
    RibbonGroup* pages = tab->addGroup("页面");
    QAction refresh("刷新模块"), close("关闭页面"), closeAll("关闭全部");
    modules->addLargeButton(&refresh);
    pages->addLargeButton(&close);
    pages->addLargeButton(&closeAll);

    EXPECT_EQ(tab->groups(), (QList<RibbonGroup*>{modules, pages}));
    EXPECT_EQ(buttonTexts(pages), "关闭页面 关闭全部");
    // Groups are separated by a line
    EXPECT_EQ(tab->findChildren<QFrame*>("ribbonSeparator").size(), 1);

    // Buttons follow their actions
    closeAll.setVisible(false);
    EXPECT_EQ(buttonTexts(pages), "关闭页面");
    closeAll.setVisible(true);
    EXPECT_EQ(buttonTexts(pages), "关闭页面 关闭全部");
}

TEST(Ribbon, ContextsShowAndHideTheirTabs) {
    Ribbon ribbon;
    ribbon.resize(800, 120);
    ribbon.addRibbonTab("开始");
    RibbonTab* sales = ribbon.addRibbonTab("销售单");
    RibbonTab* stock = ribbon.addRibbonTab("库存查询");
    RibbonContext* salesContext = ribbon.addContext("销售");
    RibbonContext* stockContext = ribbon.addContext("库存", QColor(0x33, 0x66, 0x99));
    // Contexts without a colour get different ones
    EXPECT_NE(salesContext->color(), ribbon.addContext("其他")->color());

    const int plainHeight = ribbon.tabBar()->sizeHint().height();
    sales->setContext(salesContext);
    stock->setContext(stockContext);
    // Context tabs carry their context's colour, and a band with its caption above them
    EXPECT_EQ(ribbon.tabBar()->tabTextColor(2).hue(), stockContext->color().hue());
    EXPECT_GT(ribbon.tabBar()->sizeHint().height(), plainHeight);

    QSignalSpy salesShown(salesContext, &RibbonContext::visibilityChanged);
    ribbon.setCurrentWidget(stock);
    ribbon.showOnlyContext(salesContext);
    // The hidden current tab gives way to its neighbour
    EXPECT_EQ(shownTabs(ribbon), "开始 销售单*");
    EXPECT_EQ(salesShown.count(), 0);  // it was shown already
    ribbon.showOnlyContext(stockContext);
    EXPECT_EQ(shownTabs(ribbon), "开始 库存查询*");
    EXPECT_EQ(salesShown.count(), 1);
    EXPECT_FALSE(salesContext->isVisible());
    ribbon.showOnlyContext(nullptr);
    EXPECT_EQ(shownTabs(ribbon), "开始*");
    EXPECT_EQ(ribbon.tabBar()->sizeHint().height(), plainHeight);

    // A context that goes leaves its tabs plain (shown, uncoloured)
    QPointer<RibbonContext> gone = stockContext;
    ribbon.removeContext(stockContext);
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(stock->context(), nullptr);
    EXPECT_EQ(ribbon.contexts().size(), 2);
    EXPECT_EQ(shownTabs(ribbon), "开始* 库存查询");
    salesContext->setVisible(true);
    EXPECT_EQ(shownTabs(ribbon), "开始* 销售单 库存查询");
}

TEST(Ribbon, AGroupMirrorsItsToolbar) {
    Ribbon ribbon;
    RibbonGroup* group = ribbon.addRibbonTab("销售单")->addGroup("工具栏");
    auto toolbar = std::make_unique<QToolBar>("工具栏");
    QAction* add = toolbar->addAction("新增");
    QAction* save = toolbar->addAction("保存");
    toolbar->addSeparator();
    QAction* audit = toolbar->addAction("审核");
    group->setToolBar(toolbar.get());
    EXPECT_EQ(buttonTexts(group), "新增 保存 | 审核");

    // Actions added, inserted and removed later
    QAction* print = toolbar->addAction("打印");
    auto* edit = new QAction("修改", toolbar.get());
    toolbar->insertAction(save, edit);
    toolbar->removeAction(add);
    EXPECT_EQ(buttonTexts(group), "修改 保存 | 审核 打印");
    EXPECT_EQ(captions(group->actions()), "修改 保存 审核 打印");

    // Hidden actions hide their buttons; text changes show
    audit->setVisible(false);
    print->setText("打印预览");
    EXPECT_EQ(buttonTexts(group), "修改 保存 | 打印预览");

    // A toolbar that goes takes its buttons along
    toolbar.reset();
    EXPECT_EQ(group->toolBar(), nullptr);
    EXPECT_EQ(buttonTexts(group), "");

    // Another toolbar replaces the first
    QToolBar first("甲"), second("乙");
    first.addAction("一");
    second.addAction("二");
    group->setToolBar(&first);
    group->setToolBar(&second);
    first.addAction("三");
    EXPECT_EQ(buttonTexts(group), "二");
}

}  // namespace
