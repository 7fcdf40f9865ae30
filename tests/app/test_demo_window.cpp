// The demo list window: a module of the demo organisation opened from the navigator through
// generateForm, its grid built from the module's column descriptors (a lookup, a combo, money
// and a date among them). Rendered to PNG: QD_RENDER_DIR names a folder to keep it in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "DemoCustomerEditor.h"
#include "DemoSession.h"
#include "basic/uMultiBasicRibbonForm.h"
#include "basic/uRecycleBinForm.h"
#include "basic/uSingleBasicRibbonForm.h"
#include "core/uGridRibbonForm.h"
#include "core/uMyCxGrid.h"
#include "support/Render.h"
#include "uMainForm.h"
#include "ui/DockPanel.h"
#include "ui/Ribbon.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

using DemoListWindow = Qd::Test::DemoSession;

TEST_F(DemoListWindow, OpensDockedWithItsColumnsAndKeepsTheLayout) {
    Qd::App::TMainForm main(*sys);
    main.resize(1200, 760);
    main.show();
    ASSERT_TRUE(main.openModule(QStringLiteral("项目资料")));
    auto* form = qobject_cast<Base::TMultiBasicRibbonForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(form, nullptr);
    // The items of the first category, 数码快印, of its two children too.
    EXPECT_EQ(form->cdsMain.recordCount(), 5);
    EXPECT_EQ(form->cdsCategory.recordCount(), 9);

    Ui::GridView* view = form->cxgMainDBTableView1;
    // The lookup cell shows the category's name, the money cell its display format.
    const QModelIndex lookupCell = view->model()->index(0, form->cdsMain.fieldIndex("p1"));
    EXPECT_EQ(Ui::displayText(view->columnByField("p1")->props, lookupCell.data(Qt::EditRole)),
              QStringLiteral("数码快印"));

    // Docked: its toolbar on a ribbon tab of its own, under its own context.
    ASSERT_NE(form->FRibbonTab, nullptr);
    Ui::RibbonContext* context = main.ribbon()->contextByCaption(form->FRibbonContextCaption);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->title(), QStringLiteral("项目资料"));
    EXPECT_TRUE(context->isVisible());

    QCoreApplication::processEvents();
    Qd::Test::keepRender(main, "demo-list.png");

    // Closing the page takes the ribbon items away and keeps the user's layout.
    view->columnByField("name")->width = 180;
    view->applyColumns();
    const QString caption = form->FRibbonContextCaption;
    main.closePage(main.pageControl()->currentIndex());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.pageControl()->count(), 1);
    EXPECT_EQ(main.ribbon()->contextByCaption(caption), nullptr);
    EXPECT_EQ(
        demo->query("select count(*) from qd_sys_columnconfig where billcode = 'XM' and ck_id = 1")
            .field(0)
            .asInteger(),
        1);

    // Opened again, the saved width comes back.
    ASSERT_TRUE(main.openModule(QStringLiteral("项目资料")));
    form = qobject_cast<Base::TMultiBasicRibbonForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->cxgMainDBTableView1->columnByField("name")->width, 180);
}

TEST_F(DemoListWindow, EmployeesAndTheirRecycleBinForTwoDemoUsers) {
    Qd::App::TMainForm main(*sys);
    main.resize(1200, 760);
    main.show();
    ASSERT_TRUE(main.openModule(QStringLiteral("员工资料")));
    ASSERT_TRUE(main.openModule(QStringLiteral("摘要资料")));
    auto* summaries =
        qobject_cast<Base::TSingleBasicRibbonForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(summaries, nullptr);
    EXPECT_EQ(summaries->cdsMain.recordCount(), 8);
    main.pageControl()->setCurrentIndex(1);
    auto* employees =
        qobject_cast<Base::TSingleBasicRibbonForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(employees, nullptr);
    EXPECT_EQ(employees->cdsMain.recordCount(), 8);  // two more are in the recycle bin
    EXPECT_EQ(Ui::displayText(employees->cxgMainDBTableView1->columnByField("ck_id")->props,
                              employees->cdsMain.field("ck_id").value()),
              QStringLiteral("总店"));
    QCoreApplication::processEvents();
    Qd::Test::keepRender(main, "employee-list.png");

    // The manager opens the recycle bin with the two who left.
    prompts.answerDialog([&](QDialog& d) {
        auto& bin = static_cast<Base::TRecycleBinForm&>(d);
        EXPECT_EQ(bin.lstData->topLevelItemCount(), 2);
        EXPECT_EQ(bin.lstData->topLevelItem(0)->text(0), QStringLiteral("周强"));
        Qd::Test::keepRender(d, "recycle-bin.png");
        return int(QDialog::Rejected);
    });
    employees->actRecycle->trigger();
    // Closing every page closes the docked forms too.
    main.actCloseAll->trigger();
    EXPECT_EQ(main.pageControl()->count(), 1);

    // A store clerk may add and edit employees but not delete them or open the bin.
    ASSERT_TRUE(sys->login(QStringLiteral("2001"), QStringLiteral("123456"), 2).ok);
    ASSERT_TRUE(main.openModule(QStringLiteral("员工资料")));
    employees = qobject_cast<Base::TSingleBasicRibbonForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(employees, nullptr);
    for (QAction* refused : {employees->actDel, employees->actRecycle}) {
        prompts.answer(Ui::mrOk);
        refused->trigger();
        EXPECT_EQ(prompts.last().title, QStringLiteral("用户授权"));
    }
    employees->actAdd->trigger();
    EXPECT_EQ(employees->cdsMain.state(), Db::DataSetState::Insert);
    employees->cdsMain.cancel();
    EXPECT_EQ(prompts.pending(), 0);
}

TEST_F(DemoListWindow, CustomersOpenTheirRecordEditorByDoubleClick) {
    Qd::App::registerDemoEditors();
    Qd::App::TMainForm main(*sys);
    main.resize(1200, 760);
    main.show();
    ASSERT_TRUE(main.openModule(QStringLiteral("客户资料")));
    auto* list = qobject_cast<Base::TMultiBasicRibbonForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->dxDockPanel1->caption(), QStringLiteral("当前分类：企业客户  当前记录数：8"));
    list->dxTabContainer->setCurrentIndex(1);  // the query page: text, lookup and date rows
    QCoreApplication::processEvents();
    Qd::Test::keepRender(main, "customer-query.png");
    list->dxTabContainer->setCurrentIndex(0);
    auto* editor = qobject_cast<Qd::App::TCustomerPropEditForm*>(list->openRecordEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("详细信息"));
    EXPECT_EQ(editor->edtCode->text(), QStringLiteral("K0001"));
    EXPECT_EQ(editor->findChild<Ui::LookupComboBox*>("ck_id")->text(), QStringLiteral("东城分店"));
    EXPECT_EQ(editor->cxgextend->value("extend1").toString(), QStringLiteral("91110105MA01XXXX8K"));
    editor->resize(620, 460);
    QCoreApplication::processEvents();
    Qd::Test::keepRender(*editor, "customer-editor.png");
    // Typing into an editor edits the record; closing drops what was not saved.
    editor->edtCode->setText(QStringLiteral("K0001A"));
    emit editor->edtCode->editingFinished();
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("详细信息[编辑]"));
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(
        demo->query("select count(*) from qd_b_khbmk where code = 'K0001A'").field(0).asInteger(),
        0);
    EXPECT_EQ(list->cdsMain.recordCount(), 8);
}

// F5 is the 刷新 of the page in front; Ctrl+F5 the client's 刷新模块, which reads the registry
// in place: open forms keep the item they were opened for.
TEST_F(DemoListWindow, F5RefreshesThePageAndCtrlF5TheRegistryKeepingOpenFormsOnTheirItems) {
    Qd::App::TMainForm main(*sys);
    main.resize(1200, 760);
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    ASSERT_TRUE(main.openModule(QStringLiteral("员工资料")));
    auto* employees =
        qobject_cast<Base::TSingleBasicRibbonForm*>(main.pageControl()->currentWidget());
    ASSERT_NE(employees, nullptr);
    Sys::TPlugItem* item = employees->PlugItem;
    ASSERT_TRUE(main.openModule(QStringLiteral("摘要资料")));
    const QPointer<QWidget> summaries = main.pageControl()->currentWidget();
    auto* summaryList = qobject_cast<Base::TSingleBasicRibbonForm*>(summaries.data());
    ASSERT_NE(summaryList, nullptr);
    QSignalSpy front(summaryList->actRef, &QAction::triggered);
    QSignalSpy behind(employees->actRef, &QAction::triggered);
    QSignalSpy modules(main.actRefreshModules, &QAction::triggered);
    // Refreshes heard: the page behind, the page in front, the registry.
    const auto heard = [&] {
        return QList<qsizetype>{behind.count(), front.count(), modules.count()};
    };
    QTest::keyClick(&main, Qt::Key_F5);
    EXPECT_EQ(heard(), (QList<qsizetype>{0, 1, 0}));
    main.pageControl()->setCurrentWidget(employees);
    QTest::keyClick(&main, Qt::Key_F5);
    EXPECT_EQ(heard(), (QList<qsizetype>{1, 1, 0}));

    demo->exec(QStringLiteral("update qd_sys_plugins set title = N'员工档案' where code = 'YG'"));
    QTest::keyClick(&main, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(heard(), (QList<qsizetype>{1, 1, 1}));
    EXPECT_TRUE(prompts.asked().empty());
    EXPECT_EQ(employees->PlugItem, item);  // the same object, read anew
    EXPECT_EQ(item->code, QStringLiteral("YG"));
    EXPECT_EQ(item->title, QStringLiteral("员工档案"));
    EXPECT_EQ(sys->plugs().plugbyName(QStringLiteral("员工资料"), false), item);
    EXPECT_FALSE(main.navigator()
                     ->findItems(QStringLiteral("员工档案"), Qt::MatchExactly | Qt::MatchRecursive)
                     .isEmpty());
    // Its actions still check the rights of its own module.
    main.pageControl()->setCurrentWidget(employees);
    employees->actAdd->trigger();
    EXPECT_EQ(employees->cdsMain.state(), Db::DataSetState::Insert);
    employees->cdsMain.cancel();

    // A module taken off the registry takes its page along, and the user is told once.
    demo->exec(QStringLiteral("update qd_sys_plugins set isdel = 1 where code in ('ZY', 'YG')"));
    prompts.answer(Ui::mrOk);
    main.actRefreshModules->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.last().text,
              QStringLiteral("以下模块已不再注册，其页面已关闭：员工资料、摘要资料"));
    EXPECT_EQ(prompts.last().kind, int(Ui::MsgKind::Information));
    EXPECT_TRUE(summaries.isNull());
    EXPECT_EQ(main.pageControl()->count(), 1);
    EXPECT_EQ(sys->plugs().plugbyName(QStringLiteral("员工资料"), false), nullptr);
    EXPECT_EQ(item->code, QStringLiteral("YG"));  // retired, alive while the pool lives

    // Registered again, the module comes back with its old item.
    demo->exec(QStringLiteral("update qd_sys_plugins set isdel = 0 where code = 'YG'"));
    main.actRefreshModules->trigger();
    EXPECT_EQ(sys->plugs().plugbyName(QStringLiteral("员工资料"), false), item);
}
