#include "uMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFormLayout>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ClientIcons.h"
#include "base/Dispatch.h"
#include "base/EAbort.h"
#include "core/FormHost.h"
#include "core/FormPlacement.h"
#include "core/GridHelpers.h"
#include "core/uBaseRibbonForm.h"
#include "core/uGridRibbonForm.h"
#include "db/DataServices.h"
#include "db/DataSource.h"
#include "db/DbError.h"
#include "db/Trace.h"
#include "report/uBaseReportForm.h"
#include "report/uModuleFilterForm.h"
#include "sys/SystemServices.h"
#include "tools/uAlidayusmsSendForm.h"
#include "tools/uDataCheckupForm.h"
#include "ui/Ribbon.h"

namespace Qd::App {

using Core::Sys::TPlugItemSingleBasic;

namespace {

const char* const kModuleProperty = "qdModuleName";
constexpr int kModuleNameRole = Qt::UserRole;
const QString kRibbonHome = QStringLiteral("开始");
const QSize kDesignSize(1200, 760);
// What the window system adds around a window (title bar and borders), allowed for before the
// window is shown and its frame is known.
const QMargins kFrameAllowance(8, 32, 8, 8);

// One action of the form: where it sits on the ribbon, how it looks, what it does and when it
// can be used.
struct ActionDecl {
    QAction* TMainForm::*member;
    const char* caption;
    const char* group;
    ClientIcon icon;
    QKeySequence shortcut;
    void (TMainForm::*handler)();
    bool (*enabled)(const TMainForm&);
};

bool always(const TMainForm&) {
    return true;
}

const std::vector<ActionDecl>& actionTable() {
    static const std::vector<ActionDecl> table = {
        // F5 belongs to the 刷新 of the page in front.
        {&TMainForm::actRefreshModules, "刷新模块", "模块", ClientIcon::Refresh,
         QKeySequence(Qt::CTRL | Qt::Key_F5), &TMainForm::actRefreshModulesExecute, always},
        {&TMainForm::actClosePage, "关闭页面", "页面", ClientIcon::ClosePage,
         QKeySequence(QKeySequence::Close), &TMainForm::actClosePageExecute,
         [](const TMainForm& f) { return f.pageControl()->currentIndex() > 0; }},
        {&TMainForm::actCloseAll, "关闭全部", "页面", ClientIcon::CloseAll, QKeySequence(),
         &TMainForm::actCloseAllExecute,
         [](const TMainForm& f) { return f.pageControl()->count() > 1; }},
        {&TMainForm::actExit, "退出", "系统", ClientIcon::Exit, QKeySequence(),
         &TMainForm::actExitExecute, always},
    };
    return table;
}

QString scopeText(int dataScope) {
    switch (dataScope) {
        case 0:
            return QStringLiteral("本人记录");
        case 1:
            return QStringLiteral("本门店");
        default:
            return QStringLiteral("全部门店");
    }
}

QString titleOf(const TPlugItemSingleBasic& item) {
    return item.title.isEmpty() ? item.name : item.title;
}

// Modules in navigator order: by sort, then by title.
std::vector<const TPlugItemSingleBasic*> modulesInOrder(
    const std::vector<std::unique_ptr<TPlugItemSingleBasic>>& items) {
    std::vector<const TPlugItemSingleBasic*> out;
    out.reserve(items.size());
    for (const auto& item : items)
        out.push_back(item.get());
    std::stable_sort(out.begin(), out.end(), [](const auto* a, const auto* b) {
        if (a->sort != b->sort)
            return a->sort < b->sort;
        return titleOf(*a) < titleOf(*b);
    });
    return out;
}

// A page of the page control: a light background with a white card at the top left, whose
// layout the caller fills.
QWidget* makeCardPage(QVBoxLayout*& cardLayout) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("cardPage"));
    page->setAttribute(Qt::WA_StyledBackground);
    page->setStyleSheet(
        QStringLiteral("#cardPage { background: #eef2f7; }"
                       "#card { background: white; border: 1px solid #d5dde8; border-radius: 6px; }"
                       "#card QLabel { background: transparent; }"
                       "#card QLabel#cardTitle { color: #1f4e8c; }"
                       "#card QLabel#cardNote { color: #6b7a8c; }"
                       "#card QLabel#fieldName { color: #5a6b80; }"));
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(32, 28, 32, 28);
    auto* card = new QFrame(page);
    card->setObjectName(QStringLiteral("card"));
    card->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    card->setMinimumWidth(460);
    cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(28, 22, 28, 24);
    cardLayout->setSpacing(12);
    outer->addWidget(card, 0, Qt::AlignLeft | Qt::AlignTop);
    outer->addStretch(1);
    return page;
}

QLabel* cardTitle(const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("cardTitle"));
    QFont f = label->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    label->setFont(f);
    return label;
}

QLabel* cardNote(const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("cardNote"));
    label->setWordWrap(true);
    return label;
}

QFormLayout* fieldTable() {
    auto* form = new QFormLayout;
    form->setHorizontalSpacing(16);
    form->setVerticalSpacing(8);
    form->setLabelAlignment(Qt::AlignRight);
    return form;
}

QLabel* addField(QFormLayout* form, const QString& name, const QString& value) {
    auto* nameLabel = new QLabel(name + QStringLiteral("："));
    nameLabel->setObjectName(QStringLiteral("fieldName"));
    auto* valueLabel = new QLabel(value);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(nameLabel, valueLabel);
    return valueLabel;
}

}  // namespace

TMainForm::TMainForm(Core::Sys::SystemServices& sys, QWidget* parent)
    : QMainWindow(parent), m_sys(sys) {
    const Core::Sys::TAuth& auth = *m_sys.session();
    setWindowTitle(
        QStringLiteral("多门店业务管理系统 - %1 - %2").arg(auth.storeName, auth.userName));

    m_ribbon = new Core::Ui::Ribbon(this);
    m_ribbon->setObjectName(QStringLiteral("ribbon"));
    setMenuWidget(m_ribbon);

    m_navigator = new QTreeWidget;
    m_navigator->setObjectName(QStringLiteral("navigator"));
    m_navigator->setHeaderHidden(true);
    m_navigator->setRootIsDecorated(true);
    m_navigator->setIndentation(14);
    m_navigator->setUniformRowHeights(true);
    auto* dock = new QDockWidget(QStringLiteral("功能导航"), this);
    dock->setObjectName(QStringLiteral("navigatorDock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    auto* dockTitle = new QLabel(dock->windowTitle(), dock);
    dockTitle->setObjectName(QStringLiteral("navigatorTitle"));
    dockTitle->setStyleSheet(
        QStringLiteral("#navigatorTitle { background: #dde7f3; color: #1f4e8c; font-weight: bold;"
                       " padding: 5px 8px; border: 1px solid #c3d1e2; border-bottom: none; }"));
    dock->setTitleBarWidget(dockTitle);
    dock->setWidget(m_navigator);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    resizeDocks({dock}, {220}, Qt::Horizontal);
    connect(m_navigator, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* node) {
        Core::Sys::dispatch([&] { navigatorActivated(node); });
    });

    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->setDocumentMode(true);
    m_pages->setTabsClosable(true);
    m_pages->setMovable(false);
    m_pages->addTab(makeHomePage(), QStringLiteral("首页"));
    for (QTabBar::ButtonPosition side : {QTabBar::LeftSide, QTabBar::RightSide})
        m_pages->tabBar()->setTabButton(0, side, nullptr);
    setCentralWidget(m_pages);
    connect(m_pages, &QTabWidget::tabCloseRequested, this, &TMainForm::closePage);
    connect(m_pages, &QTabWidget::currentChanged, this, [this] {
        showRibbonOfCurrentPage();
        updateActions();
    });

    // Working forms dock here: pages, their toolbars and their ribbon tabs.
    m_bars = new Core::Ui::BarManager(this);
    Core::Base::setFormHost({m_pages, m_bars, m_ribbon});
    Core::Base::registerFrameworkForms();
    Core::Report::registerFrameworkPickers();
    Core::Report::registerReportForm();
    Core::Tools::registerSmsTools(this);
    Core::Tools::registerDataCheckup();
    Core::Base::vaMainFormHand() = this;

    for (const QString& text :
         {QStringLiteral("门店：%1（%2）").arg(auth.storeName, auth.storeCode),
          QStringLiteral("用户：%1（%2）").arg(auth.userName, auth.userCode)}) {
        auto* label = new QLabel(text);
        label->setContentsMargins(6, 0, 12, 0);
        statusBar()->addWidget(label);
    }
    auto* dbLabel =
        new QLabel(QStringLiteral("数据库：%1").arg(Core::Db::dataServicesName(m_sys.data())));
    dbLabel->setContentsMargins(6, 0, 6, 0);
    statusBar()->addPermanentWidget(dbLabel);

    declareActions();
    fillNavigator();
    updateActions();
    setObjectName(QStringLiteral("TMainForm"));
    resize(kDesignSize.boundedTo(roomOnScreen().size()));
    Core::Base::readPlacement(this);  // the main window's placement, as every form keeps it
    fitToScreen();
}

TMainForm::~TMainForm() {
    if (Core::Base::vaMainFormHand() == this)
        Core::Base::vaMainFormHand() = nullptr;
    if (Core::Base::formHost().pageControl == m_pages)
        Core::Base::setFormHost({});
}

// Working forms close first, so that each keeps the user's layout as it goes.
void TMainForm::closeEvent(QCloseEvent* e) {
    Core::Base::writePlacement(this);
    actCloseAllExecute();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QMainWindow::closeEvent(e);
}

void TMainForm::declareActions() {
    Core::Ui::RibbonTab* home = m_ribbon->addRibbonTab(kRibbonHome);
    // Groups in the order the table first names them.
    const auto groupNamed = [home](const QString& caption) {
        for (Core::Ui::RibbonGroup* group : home->groups())
            if (group->caption() == caption)
                return group;
        return home->addGroup(caption);
    };
    for (const ActionDecl& d : actionTable()) {
        auto* action = new QAction(clientIcon(d.icon), QString::fromUtf8(d.caption), this);
        action->setShortcut(d.shortcut);
        connect(action, &QAction::triggered, this,
                [this, h = d.handler] { Core::Sys::dispatch([&] { (this->*h)(); }); });
        addAction(action);
        this->*d.member = action;
        groupNamed(QString::fromUtf8(d.group))->addLargeButton(action);
    }
}

void TMainForm::updateActions() {
    for (const ActionDecl& d : actionTable())
        (this->*d.member)->setEnabled(d.enabled(*this));
}

// ---- the navigator ---------------------------------------------------------------------------

void TMainForm::fillNavigator() {
    m_navigator->clear();
    const auto& items = m_sys.plugs().items();
    std::vector<std::pair<QString, QTreeWidgetItem*>> groups;
    for (const TPlugItemSingleBasic* item : modulesInOrder(items)) {
        const QString groupName =
            item->group.trimmed().isEmpty() ? QStringLiteral("其他") : item->group.trimmed();
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == groupName; });
        if (group == groups.end()) {
            auto* node = new QTreeWidgetItem(m_navigator, {groupName});
            QFont bold = node->font(0);
            bold.setBold(true);
            node->setFont(0, bold);
            node->setFlags(Qt::ItemIsEnabled);
            node->setIcon(0, clientIcon(ClientIcon::Group));
            groups.emplace_back(groupName, node);
            group = groups.end() - 1;
        }
        auto* node = new QTreeWidgetItem(group->second, {titleOf(*item)});
        node->setData(0, kModuleNameRole, item->name);
        node->setToolTip(0,
                         QStringLiteral("编号：%1\n窗口类：%2").arg(item->code, item->formClass));
        node->setIcon(0, clientIcon(ClientIcon::Module));
    }
    m_navigator->expandAll();
    if (m_moduleCount)
        m_moduleCount->setText(
            QStringLiteral("%1 个（%2 组）").arg(items.size()).arg(groups.size()));
}

void TMainForm::navigatorActivated(QTreeWidgetItem* node) {
    const QString name = node ? node->data(0, kModuleNameRole).toString() : QString();
    if (!name.isEmpty())
        openModule(name);
}

// ---- pages -----------------------------------------------------------------------------------

QWidget* TMainForm::makeHomePage() {
    const Core::Sys::TAuth& auth = *m_sys.session();
    QString organisation = m_sys.config().get(QStringLiteral("company"));
    if (organisation.isEmpty())
        organisation = QStringLiteral("组织 %1").arg(auth.orgId);

    QVBoxLayout* card = nullptr;
    QWidget* page = makeCardPage(card);
    card->addWidget(cardTitle(QStringLiteral("欢迎使用多门店业务管理系统")));
    card->addWidget(
        cardNote(QLocale(QLocale::Chinese, QLocale::China)
                     .toString(QDate::currentDate(), QStringLiteral("yyyy年M月d日 dddd"))));
    QFormLayout* fields = fieldTable();
    addField(fields, QStringLiteral("组织"), organisation);
    addField(fields, QStringLiteral("门店"),
             QStringLiteral("%1（%2）").arg(auth.storeName, auth.storeCode));
    addField(fields, QStringLiteral("用户"),
             QStringLiteral("%1（%2）").arg(auth.userName, auth.userCode));
    addField(
        fields, QStringLiteral("身份"),
        auth.isAdmin ? QStringLiteral("系统管理员（拥有全部权限）") : QStringLiteral("普通用户"));
    addField(fields, QStringLiteral("数据范围"), scopeText(auth.dataScope));
    m_moduleCount = addField(fields, QStringLiteral("可用模块"), QString());
    card->addLayout(fields);
    card->addWidget(cardNote(QStringLiteral("在左侧“功能导航”中双击模块即可打开。")));
    return page;
}

QWidget* TMainForm::makePlaceholderPage(const TPlugItemSingleBasic& item) {
    QVBoxLayout* card = nullptr;
    QWidget* page = makeCardPage(card);
    card->addWidget(cardTitle(QStringLiteral("模块：%1").arg(titleOf(item))));
    QFormLayout* fields = fieldTable();
    addField(fields, QStringLiteral("编号"), item.code);
    addField(fields, QStringLiteral("窗口类"), item.formClass);
    card->addLayout(fields);
    card->addWidget(cardNote(QStringLiteral("该模块的窗口尚未提供。")));
    return page;
}

void TMainForm::addModulePage(QWidget* page, const TPlugItemSingleBasic& item) {
    page->setProperty(kModuleProperty, item.name);
    const int at = m_pages->addTab(page, titleOf(item));
    m_pages->setTabToolTip(at, QStringLiteral("编号：%1").arg(item.code));
    m_pages->setCurrentIndex(at);
    updateActions();
}

QWidget* TMainForm::modulePage(const QString& name) const {
    for (int i = 1; i < m_pages->count(); ++i)
        if (m_pages->widget(i)->property(kModuleProperty).toString() == name)
            return m_pages->widget(i);
    return nullptr;
}

void TMainForm::closePage(int index) {
    if (index <= 0 || index >= m_pages->count())
        return;
    QWidget* page = m_pages->widget(index);
    if (auto* form = qobject_cast<Core::Base::TBaseRibbonForm*>(page)) {
        form->close();  // takes its page and ribbon items away and frees itself
        updateActions();
        return;
    }
    m_pages->removeTab(index);
    // Deleted later: the page itself may be what asked to be closed.
    page->deleteLater();
    updateActions();
}

bool TMainForm::openModule(const QString& name, bool byTitle) {
    auto* item = dynamic_cast<TPlugItemSingleBasic*>(m_sys.plugs().plugbyName(name, byTitle));
    if (!item)
        return false;

    const QString descriptor = item->getplugInfo();
    if (!descriptor.trimmed().isEmpty()) {
        QJsonParseError error;
        QJsonDocument::fromJson(descriptor.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError) {
            Core::Db::MessageMyDlg(QStringLiteral("模块 %1 的描述有误：%2 (位置 %3)")
                                       .arg(item->code, error.errorString())
                                       .arg(error.offset),
                                   QStringLiteral("提示"), 1, Core::Ui::MsgButtons::Ok);
            return false;
        }
    }

    if (QWidget* page = modulePage(item->name)) {
        m_pages->setCurrentWidget(page);
        return true;
    }

    Core::Db::LogMsg(QStringLiteral("打开模块 %1 %2").arg(item->code, titleOf(*item)));
    try {
        QString result;
        const int pagesBefore = m_pages->count();
        // A report opens by its title, behind the report's own right.
        if (item->formClass == QLatin1String("TBaseReportForm"))
            Core::Base::showReportForm(this, titleOf(*item), QString());
        else
            item->open(this, QString(), result, -1);
        if (m_pages->count() > pagesBefore)  // a working form docked itself as a page
            m_pages->widget(m_pages->count() - 1)->setProperty(kModuleProperty, item->name);
        updateActions();
    } catch (const Core::Sys::EAbort&) {
        return false;
    } catch (const Core::Db::DbError& e) {
        if (Core::Sys::TPlugsPool::openEntry(item->formClass)) {
            Core::Db::LogError(e.message());
            Core::Db::MessageMyDlg(e.message(), QStringLiteral("提示"), 1,
                                   Core::Ui::MsgButtons::Ok);
            return false;
        }
        // No window class of that name is registered yet: say which module was chosen.
        addModulePage(makePlaceholderPage(*item), *item);
    }
    return true;
}

// The ribbon shows the context of the working form on the current page, or none.
void TMainForm::showRibbonOfCurrentPage() {
    auto* form = qobject_cast<Core::Base::TBaseRibbonForm*>(m_pages->currentWidget());
    Core::Ui::RibbonContext* context = form && form->FRibbonTab
                                           ? m_ribbon->contextByCaption(form->FRibbonContextCaption)
                                           : nullptr;
    m_ribbon->showOnlyContext(context);
    if (context)
        m_ribbon->setCurrentWidget(form->FRibbonTab);
}

// The free area of the window's screen (without task bars), less the window's frame.
QRect TMainForm::roomOnScreen() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return QRect(QPoint(0, 0), kDesignSize);
    const QMargins frame = isVisible() ? QMargins(geometry().left() - frameGeometry().left(),
                                                  geometry().top() - frameGeometry().top(),
                                                  frameGeometry().right() - geometry().right(),
                                                  frameGeometry().bottom() - geometry().bottom())
                                       : kFrameAllowance;
    return s->availableGeometry().marginsRemoved(frame);
}

// Keeps the window, frame and all, on its screen: a placement saved on a larger screen, or the
// design size on a small one (1366 x 768), would run off it.
void TMainForm::fitToScreen() {
    const QRect room = roomOnScreen();
    QRect normal = geometry();
    normal.setSize(normal.size().boundedTo(room.size()));
    normal.moveLeft(std::clamp(normal.left(), room.left(), room.right() + 1 - normal.width()));
    normal.moveTop(std::clamp(normal.top(), room.top(), room.bottom() + 1 - normal.height()));
    setGeometry(normal);
}

// ---- actions ---------------------------------------------------------------------------------

// In place: the windows open keep their modules' items (TPlugsPool::load); the pages of modules
// no longer registered are closed, and the user is told which.
void TMainForm::actRefreshModulesExecute() {
    m_sys.plugs().load();
    fillNavigator();
    QStringList closed;
    for (int i = m_pages->count() - 1; i > 0; --i) {
        QWidget* page = m_pages->widget(i);
        const QString name = page->property(kModuleProperty).toString();
        if (name.isEmpty() || m_sys.plugs().plugbyName(name, false))
            continue;
        const QString title = m_pages->tabText(i);
        closePage(i);
        if (m_pages->indexOf(page) < 0)  // a page may stay, when its user chose to
            closed.prepend(title);
    }
    if (!closed.isEmpty())
        Core::Db::MessageMyDlg(QStringLiteral("以下模块已不再注册，其页面已关闭：%1")
                                   .arg(closed.join(QStringLiteral("、"))),
                               QStringLiteral("提示"), 2, Core::Ui::MsgButtons::Ok);
}

void TMainForm::actClosePageExecute() {
    closePage(m_pages->currentIndex());
}

void TMainForm::actCloseAllExecute() {
    while (m_pages->count() > 1)
        closePage(m_pages->count() - 1);
}

void TMainForm::actExitExecute() {
    close();
}

}  // namespace Qd::App
