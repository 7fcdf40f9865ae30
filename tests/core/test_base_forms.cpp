// The base forms: descriptor, placement, docking into the client and Enter between fields.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include "core/GridHelpers.h"
#include "core/uBaseForm.h"
#include "core/uBaseRibbonForm.h"
#include "support/CoreTest.h"
#include "sys/uPlugItem.h"
#include "ui/Ribbon.h"

using namespace Qd::Core;
using Qd::Test::CoreTest;

namespace {

Sys::TPlugItemSingleBasic item(const QString& descriptor, const QString& expand = QString()) {
    Sys::TPlugItemSingleBasic it;
    it.code = "KH";
    it.name = it.title = QStringLiteral("客户资料");
    it.setTexts(descriptor, QString(), expand);
    return it;
}

Base::RibbonFormClass plainForm() {
    return
        [](QWidget* owner, Sys::TPlugItem* data) { return new Base::TBaseRibbonForm(owner, data); };
}

// Records the events the host's main window receives.
class Host : public QWidget {
public:
    QList<int> events;
    bool event(QEvent* e) override {
        events << int(e->type());
        return QWidget::event(e);
    }
};

}  // namespace

TEST_F(CoreTest, DescriptorIsParsedWithItsExpandText) {
    Sys::TPlugItemSingleBasic with =
        item(R"({"tablename":"qd_b_khbmk","key":"id"})", R"({"extend":1})");
    std::unique_ptr<Base::TBaseRibbonForm> form(
        Base::TBaseRibbonForm::create(nullptr, plainForm(), &with));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("客户资料"));
    ASSERT_TRUE(form->hasPluginfo);
    EXPECT_EQ(form->pluginfo.value("tablename").toString(), "qd_b_khbmk");
    EXPECT_EQ(form->pluginfo.value("expand").toObject().value("extend").toInt(), 1);

    // The record editor's keys come as an array; both shapes are kept as written.
    Sys::TPlugItemSingleBasic keys =
        item(R"({"tablename":"qd_b_khbmk"})", R"([{"key":"税号"},{"key":"开户行"}])");
    std::unique_ptr<Base::TBaseRibbonForm> editorKeys(
        Base::TBaseRibbonForm::create(nullptr, plainForm(), &keys));
    ASSERT_TRUE(editorKeys->pluginfo.value("expand").isArray());
    EXPECT_EQ(editorKeys->pluginfo.value("expand").toArray().at(1).toObject().value("key"),
              QStringLiteral("开户行"));
    // A text that is neither is named once, and the descriptor goes on without it.
    Sys::TPlugItemSingleBasic bad = item(R"({"tablename":"t"})", "税号,开户行");
    prompts().answer(Ui::mrOk);
    std::unique_ptr<Base::TBaseRibbonForm> badForm(
        Base::TBaseRibbonForm::create(nullptr, plainForm(), &bad));
    EXPECT_FALSE(badForm->pluginfo.contains("expand"));
    EXPECT_TRUE(prompts().last().text.contains(QStringLiteral("扩展信息不是 JSON 对象或数组")));

    Sys::TPlugItemSingleBasic without = item(R"({"tablename":"t"})");
    std::unique_ptr<Base::TBaseRibbonForm> plain(
        Base::TBaseRibbonForm::create(nullptr, plainForm(), &without));
    EXPECT_FALSE(plain->pluginfo.contains("expand"));

    Sys::TPlugItemSingleBasic broken = item(R"({"tablename":)");
    std::unique_ptr<Base::TBaseRibbonForm> none(
        Base::TBaseRibbonForm::create(nullptr, plainForm(), &broken));
    EXPECT_FALSE(none->hasPluginfo);  // no descriptor, and no error shown
}

TEST_F(CoreTest, PlacementFollowsTheDpiFileAndItsRules) {
    const int dpi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchX());
    EXPECT_TRUE(Base::GetIniFilePath().endsWith(QStringLiteral("/mainlayout_%1.ini").arg(dpi)));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();

    // No file: centred at the design size.
    Base::TBaseForm dialog;
    dialog.setObjectName("frmTest");
    dialog.resize(300, 200);
    dialog.FormCreate();
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_EQ(dialog.x(), (screen.width() - 300) / 2);

    // A file of another density is not read; a stored width below the design width is ignored;
    // a left beyond the screen comes back by one screen width.
    QSettings(QString(Base::GetIniFilePath()).replace(QString::number(dpi), "999"),
              QSettings::IniFormat)
        .setValue("frmTest/Width", 900);
    {
        QSettings ini(Base::GetIniFilePath(), QSettings::IniFormat);
        ini.setValue("frmTest/Left", screen.width() + 10);
        ini.setValue("frmTest/Top", 20);
        ini.setValue("frmTest/Width", 250);
        ini.setValue("frmTest/Height", 260);
    }
    Base::TBaseForm second;
    second.setObjectName("frmTest");
    second.resize(300, 200);
    second.FormCreate();
    EXPECT_EQ(second.geometry(), QRect(10, 20, 300, 260));

    // Dialogs write their placement when they go.
    second.setGeometry(30, 40, 320, 240);
    second.WriteIniSettings();
    QSettings ini(Base::GetIniFilePath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("frmTest/Left").toInt(), 30);
    EXPECT_EQ(ini.value("frmTest/Width").toInt(), 320);
    EXPECT_EQ(ini.value("frmTest/Maximized").toInt(), 0);
}

TEST_F(CoreTest, GenerateFormDocksIntoPagesAndRibbonAndCloseTakesItAllAway) {
    Host host;
    Base::vaMainFormHand() = &host;
    QTabWidget pages;
    Ui::Ribbon ribbon;
    Ui::BarManager bars;
    int pageChanges = 0;
    QObject::connect(&pages, &QTabWidget::currentChanged, [&](int) { ++pageChanges; });
    Sys::TPlugItemSingleBasic kh = item(R"({"tablename":"qd_b_khbmk"})");

    QPointer<Base::TBaseRibbonForm> form =
        Base::TBaseRibbonForm::generateForm(nullptr, plainForm(), &pages, &bars, &ribbon, &kh);
    ASSERT_TRUE(form);
    EXPECT_EQ(pages.count(), 1);
    EXPECT_EQ(pages.currentWidget(), form.data());
    EXPECT_EQ(pages.tabText(0), QStringLiteral("客户资料"));
    EXPECT_GE(pageChanges, 1);
    ASSERT_NE(form->FRibbonTab, nullptr);
    EXPECT_EQ(form->FRibbonTab->tag, form.data());
    ASSERT_EQ(form->FRibbonTab->groups().size(), 1);
    EXPECT_EQ(form->FRibbonTab->groups()[0]->caption(), QStringLiteral("工具栏"));
    EXPECT_TRUE(form->FRibbonTab->groups()[0]->actions().contains(form->actclose));
    EXPECT_TRUE(form->BarManagerBar1->isHidden());
    ASSERT_NE(ribbon.contextByCaption(form->FRibbonContextCaption), nullptr);
    EXPECT_TRUE(ribbon.contextByCaption(form->FRibbonContextCaption)->isVisible());

    // A second form gets a context of its own; only the newest shows.
    Sys::TPlugItemSingleBasic yg = item("{}");
    yg.title = QStringLiteral("员工资料");
    Base::TBaseRibbonForm* second =
        Base::TBaseRibbonForm::generateForm(nullptr, plainForm(), &pages, &bars, &ribbon, &yg);
    EXPECT_NE(second->FRibbonContextCaption, form->FRibbonContextCaption);
    EXPECT_FALSE(ribbon.contextByCaption(form->FRibbonContextCaption)->isVisible());

    const int barsBefore = int(bars.toolBars().size());
    const QString caption = form->FRibbonContextCaption;
    form->actclose->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(pages.count(), 1);
    EXPECT_EQ(ribbon.contextByCaption(caption), nullptr);
    EXPECT_EQ(int(bars.toolBars().size()), barsBefore - 1);
    EXPECT_TRUE(host.events.contains(int(Base::kFormClosingEvent)));
    Base::vaMainFormHand() = nullptr;
}

TEST_F(CoreTest, EnterMovesToTheNextFieldButNotOutOfAMemo) {
    Base::TBaseForm dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* first = new QLineEdit;
    auto* memo = new QPlainTextEdit;
    auto* last = new QLineEdit;
    layout->addWidget(first);
    layout->addWidget(memo);
    layout->addWidget(last);
    dialog.FormCreate();
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(memo->hasFocus());
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_TRUE(memo->hasFocus());
    EXPECT_EQ(memo->toPlainText(), "\n");
    EXPECT_FALSE(dialog.isHidden());  // Enter did not close the dialog
}

TEST_F(CoreTest, EnterMovesOnInAWorkingFormToo) {
    Sys::TPlugItemSingleBasic kh = item("{}");
    std::unique_ptr<Base::TBaseRibbonForm> form(
        Base::TBaseRibbonForm::create(nullptr, plainForm(), &kh));
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    auto* first = new QLineEdit;
    auto* second = new QLineEdit;
    layout->addWidget(first);
    layout->addWidget(second);
    form->setCentralWidget(central);
    form->show();
    QApplication::setActiveWindow(form.get());
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());
}
