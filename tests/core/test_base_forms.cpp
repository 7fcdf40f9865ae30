// The base forms: descriptor, placement, docking into the client, what the open entry gives a
// form, the controls' common look and Enter between fields.
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

#include "core/FormHost.h"
#include "core/FormPlacement.h"
#include "core/GridHelpers.h"
#include "core/uBaseForm.h"
#include "core/uBaseRibbonForm.h"
#include "support/CoreTest.h"
#include "sys/uPlugItem.h"
#include "ui/Ribbon.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;
using Qd::Test::CoreTest;

// A window of the main window's class name.
namespace PlacementTest {
class TMainForm : public QWidget {
    Q_OBJECT
};
}  // namespace PlacementTest

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

// Forms that count the placements they are asked to save.
int placementWrites = 0;
class CountingForm : public Base::TBaseRibbonForm {
public:
    using TBaseRibbonForm::TBaseRibbonForm;
    void WriteIniSettings() override {
        ++placementWrites;
        TBaseRibbonForm::WriteIniSettings();
    }
};
class CountingDialog : public Base::TBaseForm {
public:
    void WriteIniSettings() override {
        ++placementWrites;
        TBaseForm::WriteIniSettings();
    }
};
Base::RibbonFormClass countingForm() {
    return [](QWidget* owner, Sys::TPlugItem* data) { return new CountingForm(owner, data); };
}

bool hasPlacement(const QString& section) {
    return QSettings(Base::GetIniFilePath(), QSettings::IniFormat).childGroups().contains(section);
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
    EXPECT_TRUE(Qd::Test::isOwnerOnly(Base::GetIniFilePath()));
    QSettings ini(Base::GetIniFilePath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("frmTest/Left").toInt(), 30);
    EXPECT_EQ(ini.value("frmTest/Width").toInt(), 320);
    EXPECT_EQ(ini.value("frmTest/Maximized").toInt(), 0);
}

// The main window stores 31 pixels more height than it has; reading takes them off, so that a
// session that changes nothing writes the same placement again.
TEST_F(CoreTest, MainWindowPlacementIsStableFromSessionToSession) {
    PlacementTest::TMainForm first;
    first.setObjectName("TMainForm");
    first.setGeometry(40, 30, 1000, 700);
    Base::writePlacement(&first);
    auto storedHeight = [] {
        return QSettings(Base::GetIniFilePath(), QSettings::IniFormat)
            .value("TMainForm/Height")
            .toInt();
    };
    EXPECT_EQ(storedHeight(), 731);

    PlacementTest::TMainForm next;
    next.setObjectName("TMainForm");
    next.resize(800, 600);
    Base::readPlacement(&next);
    EXPECT_EQ(next.geometry(), QRect(40, 30, 1000, 700));
    Base::writePlacement(&next);
    EXPECT_EQ(storedHeight(), 731);
}

// Closing frees a working form; one docked with a ribbon tab keeps no placement, any other
// saves it through its own WriteIniSettings as it closes. Dialogs save theirs as they close.
TEST_F(CoreTest, PlacementIsSavedThroughTheVirtualOnlyByFormsNotDocked) {
    QTabWidget pages;
    Ui::Ribbon ribbon;
    Ui::BarManager bars;
    Sys::TPlugItemSingleBasic kh = item("{}");
    placementWrites = 0;

    QPointer<Base::TBaseRibbonForm> docked =
        Base::TBaseRibbonForm::generateForm(nullptr, countingForm(), &pages, &bars, &ribbon, &kh);
    docked->actclose->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(docked.isNull());
    EXPECT_EQ(placementWrites, 0);
    EXPECT_FALSE(hasPlacement("TBaseRibbonForm"));

    // A page without a ribbon tab is not docked in that sense.
    QPointer<Base::TBaseRibbonForm> paged =
        Base::TBaseRibbonForm::generateForm(nullptr, countingForm(), &pages, nullptr, nullptr, &kh);
    paged->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(paged.isNull());
    EXPECT_EQ(placementWrites, 1);

    QPointer<Base::TBaseRibbonForm> alone =
        Base::TBaseRibbonForm::create(nullptr, countingForm(), &kh);
    alone->setGeometry(30, 40, 640, 480);
    alone->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(alone.isNull());
    EXPECT_EQ(placementWrites, 2);  // once, not again by the destructor
    QSettings ini(Base::GetIniFilePath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("TBaseRibbonForm/Left").toInt(), 30);
    EXPECT_EQ(ini.value("TBaseRibbonForm/Width").toInt(), 640);

    {
        CountingDialog dialog;
        dialog.setObjectName("frmCounting");
        dialog.FormCreate();
        dialog.show();
        dialog.reject();
        EXPECT_EQ(placementWrites, 3);
    }
    EXPECT_EQ(placementWrites, 3);
    EXPECT_TRUE(hasPlacement("frmCounting"));
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
    EXPECT_GE(pageChanges, 1);
    ASSERT_NE(form->FRibbonTab, nullptr);
    ASSERT_EQ(form->FRibbonTab->groups().size(), 1);
    EXPECT_TRUE(form->FRibbonTab->groups()[0]->actions().contains(form->actclose));
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

// A report opened by its title through a docked window class: the window is captioned with
// the report's title, and the parameters reach the form before its _init.
TEST_F(CoreTest, DockedOpenEntryPassesTitleAndParametersToTheForm) {
    struct ReportForm : Base::TBaseRibbonForm {
        using TBaseRibbonForm::TBaseRibbonForm;
        void _init() override {
            TBaseRibbonForm::_init();
            paramsAtInit = openParams();
        }
        QString paramsAtInit;
    };
    ASSERT_TRUE(db().execSQL(
        "insert into qd_sys_rptmain(orgid, code, title) values(1, 'R7', N'门店销售日报')\n"
        "insert into qd_sys_plugins(orgid, code, name, title, formclass) values(1, 'RPT', "
        "N'报表查询', N'报表查询', 'TestDockedReport')"));
    Base::registerDockedForm("TestDockedReport", [](QWidget* owner, Sys::TPlugItem* data) {
        return new ReportForm(owner, data);
    });
    QTabWidget pages;
    Ui::Ribbon ribbon;
    Ui::BarManager bars;
    Base::setFormHost({&pages, &bars, &ribbon});
    login("1001", 5);
    grant(11, "2100_R7");

    const QString params = R"([{"name":"bt","value":"2026-01-01"}])";
    Base::showReportForm(nullptr, QStringLiteral("门店销售日报"), params);
    ASSERT_EQ(pages.count(), 1);
    auto* form = dynamic_cast<ReportForm*>(pages.widget(0));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(pages.tabText(0), QStringLiteral("门店销售日报"));
    EXPECT_EQ(ribbon.tabText(ribbon.indexOf(form->FRibbonTab)), QStringLiteral("门店销售日报"));
    EXPECT_EQ(form->paramsAtInit, params);
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Base::setFormHost({});
}

TEST_F(CoreTest, EnterMovesToTheNextFieldButNotOutOfAMemoInDialogsAndWorkingForms) {
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

    // In a working form too.
    Sys::TPlugItemSingleBasic kh = item("{}");
    std::unique_ptr<Base::TBaseRibbonForm> form(
        Base::TBaseRibbonForm::create(nullptr, plainForm(), &kh));
    auto* central = new QWidget;
    auto* formLayout = new QVBoxLayout(central);
    auto* formFirst = new QLineEdit;
    auto* second = new QLineEdit;
    formLayout->addWidget(formFirst);
    formLayout->addWidget(second);
    form->setCentralWidget(central);
    form->show();
    QApplication::setActiveWindow(form.get());
    formFirst->setFocus();
    QTest::keyClick(formFirst, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());
}

#include "test_base_forms.moc"
