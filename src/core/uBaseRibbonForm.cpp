#include "core/uBaseRibbonForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStyle>
#include <QTabWidget>

#include "core/FormPlacement.h"
#include "core/Messages.h"
#include "core/uBaseForm.h"
#include "db/Trace.h"
#include "sys/uPlugItem.h"
#include "ui/Ribbon.h"

namespace Qd::Core::Base {

QWidget*& vaMainFormHand() {
    static QWidget* host = nullptr;
    return host;
}

TBaseRibbonForm::TBaseRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : QMainWindow(owner), PlugItem(data) {
    setObjectName(QString::fromLatin1(metaObject()->className()).section(QLatin1Char(':'), -1));
    BarManagerBar1 = new QToolBar(QStringLiteral("工具栏"), this);
    BarManagerBar1->setObjectName(QStringLiteral("BarManagerBar1"));
    BarManagerBar1->setMovable(false);
    BarManagerBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, BarManagerBar1);
    actclose = addAction(QStringLiteral("actclose"), QStringLiteral("退出"));
    actclose->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(actclose, &QAction::triggered, this, &QWidget::close);
}

TBaseRibbonForm::~TBaseRibbonForm() {
    FormDestroy();
}

QAction* TBaseRibbonForm::addAction(const QString& name, const QString& caption) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    actlst << action;
    BarManagerBar1->addAction(action);
    return action;
}

Sys::TPlugItemSingleBasic* TBaseRibbonForm::descriptorItem() const {
    return dynamic_cast<Sys::TPlugItemSingleBasic*>(PlugItem);
}

void TBaseRibbonForm::FormCreate() {
    if (m_created)
        return;
    m_created = true;
    _init();
    if (!m_openTitle.isEmpty())
        setWindowTitle(m_openTitle);
    if (!FRibbonTab)
        ReadIniSettings();
    setComponentsProp();
}

void TBaseRibbonForm::FormDestroy() {
    if (!m_created || m_destroyed)
        return;
    m_destroyed = true;
    if (!m_docked)
        WriteIniSettings();
}

void TBaseRibbonForm::setOpening(const QString& title, const QString& params) {
    m_openTitle = title;
    m_openParams = params;
}

void TBaseRibbonForm::setCaption(const QString& title) {
    setWindowTitle(title);
    if (m_pageControl) {
        if (const int at = m_pageControl->indexOf(this); at >= 0)
            m_pageControl->setTabText(at, title);
    }
    if (m_ribbon && FRibbonTab) {
        if (const int at = m_ribbon->indexOf(FRibbonTab); at >= 0)
            m_ribbon->setTabText(at, title);
        if (Ui::RibbonContext* context = m_ribbon->contextByCaption(FRibbonContextCaption))
            context->setTitle(title);
    }
}

void TBaseRibbonForm::_init() {
    if (!PlugItem)
        return;
    setWindowTitle(PlugItem->title);
    Sys::TPlugItemSingleBasic* item = descriptorItem();
    if (!item)
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(item->getplugInfo().toUtf8());
    hasPluginfo = doc.isObject();
    if (!hasPluginfo)
        return;
    pluginfo = doc.object();
    // The expand text is an object for some modules and the record editor's array of keys for
    // others: either goes in as it was written; a text that is neither is named, not dropped.
    const QString expand = item->Getexpandinfo();
    if (!expand.isEmpty()) {
        const QJsonDocument parsed = QJsonDocument::fromJson(expand.toUtf8());
        if (parsed.isObject())
            pluginfo.insert(QStringLiteral("expand"), parsed.object());
        else if (parsed.isArray())
            pluginfo.insert(QStringLiteral("expand"), parsed.array());
        else
            showError(QStringLiteral("模块“%1”（%2）的扩展信息不是 JSON 对象或数组，已忽略。")
                          .arg(PlugItem->title, PlugItem->code));
    }
    Db::LogMsg(QString::fromUtf8(QJsonDocument(pluginfo).toJson(QJsonDocument::Compact)));
}

void TBaseRibbonForm::ReadIniSettings() {
    readPlacement(this);
}
void TBaseRibbonForm::WriteIniSettings() {
    writePlacement(this);
}

void TBaseRibbonForm::setComponentsProp() {
    setCommonLook(this);
}

TBaseRibbonForm* TBaseRibbonForm::create(QWidget* owner, const RibbonFormClass& formClass,
                                         Sys::TPlugItem* data) {
    TBaseRibbonForm* form = formClass(owner, data);
    form->FormCreate();
    return form;
}

TBaseRibbonForm* TBaseRibbonForm::generateForm(QWidget* AOwner, const RibbonFormClass& formClass,
                                               QTabWidget* pageControl, Ui::BarManager* barManager,
                                               Ui::Ribbon* ribbon, Sys::TPlugItem* data) {
    TBaseRibbonForm* form = create(AOwner, formClass, data);
    form->m_pageControl = pageControl;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setWindowFlags(Qt::Widget);
    pageControl->addTab(form, form->windowTitle());
    form->show();

    if (barManager && ribbon) {
        QToolBar* bar = barManager->addToolBar(QStringLiteral("工具栏"));
        bar->addActions(form->BarManagerBar1->actions());
        Ui::RibbonTab* tab = ribbon->addRibbonTab(form->windowTitle());
        tab->tag = form;
        Ui::RibbonGroup* group = tab->addGroup(bar->windowTitle());
        group->setToolBar(bar);
        form->BarManagerBar1->hide();
        // A context of its own, named after the tab, found again by that name on close.
        Ui::RibbonContext* context = ribbon->addContext(tab->objectName());
        context->setTitle(form->windowTitle());
        tab->setContext(context);
        ribbon->showOnlyContext(context);
        ribbon->setCurrentWidget(tab);
        form->FRibbonTab = tab;
        form->FRibbonContextCaption = tab->objectName();
        form->m_barManager = barManager;
        form->m_ribbon = ribbon;
        form->m_hostBar = bar;
        form->m_docked = true;
    }

    const int page = pageControl->count() - 1;
    pageControl->setCurrentIndex(page);
    pageControl->widget(page)->setProperty("qdForm", QVariant::fromValue<QObject*>(form));
    // The host's change handler runs even when the page was current already.
    QMetaObject::invokeMethod(pageControl, "currentChanged", Qt::DirectConnection,
                              Q_ARG(int, page));
    form->setProperty("qdPage", QVariant::fromValue<QObject*>(pageControl->widget(page)));
    return form;
}

void TBaseRibbonForm::removeFromHost() {
    // The page goes at once, not when the form is deleted later, so that whoever closes pages
    // one after another sees each gone.
    if (m_pageControl) {
        if (const int at = m_pageControl->indexOf(this); at >= 0)
            m_pageControl->removeTab(at);
    }
    if (!FRibbonTab)
        return;
    if (QWidget* host = vaMainFormHand()) {
        QEvent message(kFormClosingEvent);
        QApplication::sendEvent(host, &message);
    }
    if (m_ribbon) {
        if (Ui::RibbonContext* context = m_ribbon->contextByCaption(FRibbonContextCaption))
            m_ribbon->removeContext(context);
        m_ribbon->removeRibbonTab(FRibbonTab);
    }
    if (m_barManager && m_hostBar)
        m_barManager->removeToolBar(m_hostBar);
    FRibbonTab = nullptr;
    m_hostBar = nullptr;
}

void TBaseRibbonForm::closeEvent(QCloseEvent* e) {
    FormDestroy();
    removeFromHost();
    e->accept();
    deleteLater();  // closing frees the form (and so its page)
}

void TBaseRibbonForm::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && enterMovesToNextField(this)) {
        e->accept();
        return;
    }
    QMainWindow::keyPressEvent(e);
}

}  // namespace Qd::Core::Base
