#include "DemoOrderTracking.h"

#include <QApplication>
#include <QClipboard>
#include <QStyle>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "core/FormHost.h"
#include "core/RightsGate.h"
#include "sys/DescriptorCheck.h"
#include "sys/uPlugItem.h"
#include "tools/uAlidayusmsSendForm.h"
#include "tools/ufileExplorerform.h"
#include "tools/uxmzzkflowviewform.h"
#include "tools/uxmzzkhistoryviewbykhform.h"

namespace Qd::App {

using namespace Qd::Core;

namespace {

// The SMS template group of notices about an order.
constexpr int kOrderNotices = 1;

}  // namespace

TOrderTrackingForm::TOrderTrackingForm(QWidget* owner, Sys::TPlugItem* data)
    : TGridRibbonForm(owner, data) {
    setObjectName(QStringLiteral("TOrderTrackingForm"));
    // The close action stays last on the toolbar.
    BarManagerBar1->removeAction(actclose);
    actFlow = addTool("actFlow", "流程跟踪", QStyle::SP_FileDialogListView, [this] {
        if (const qint64 order = currentId("xmzzk_id"))
            Tools::showflowview(order);
    });
    actHistory = addTool("actHistory", "历史价格", QStyle::SP_FileDialogContentsView, [this] {
        if (cdsMain.isEmpty())
            return;
        Tools::Txmzzkhistoryviewbykhform history(this, currentId("kh_id"), currentId("xm_id"));
        Ui::prompter().exec(history);
    });
    actFiles = addTool("actFiles", "订单文件", QStyle::SP_DirIcon, [this] {
        if (cdsMain.isEmpty())
            return;
        Base::rightsGate(PlugItem ? PlugItem->code : QString(), QStringLiteral("_02"));
        if (Tools::chooseOrderFolder(this, currentText("billno")))
            getMainData();
    });
    actExplorer = addTool("actExplorer", "文件选择器", QStyle::SP_DialogOpenButton, [this] {
        // Without an order: browse or make a folder under the store's path; the one chosen
        // is put on the clipboard, to be pasted where it is needed.
        const QString dir = Tools::openFileExplorer(this, QString(), QString());
        if (!dir.isEmpty())
            QApplication::clipboard()->setText(dir);
    });
    actSms = addTool("actSms", "短信通知", QStyle::SP_MessageBoxInformation, [this] {
        if (cdsMain.isEmpty())
            return;
        Tools::SmsValues values = noticeValues();
        Tools::TAlidayusmsSendForm notice(this, kOrderNotices, currentText("kh_mobile"), &values);
        Ui::prompter().exec(notice);
    });
    BarManagerBar1->addAction(actclose);
}

QAction* TOrderTrackingForm::addTool(const char* name, const char* caption, int icon,
                                     std::function<void()> handler) {
    QAction* action = addAction(QString::fromUtf8(name), QString::fromUtf8(caption));
    action->setIcon(style()->standardIcon(QStyle::StandardPixmap(icon)));
    connect(action, &QAction::triggered, this,
            [handler = std::move(handler)] { Sys::dispatch(handler); });
    return action;
}

QMap<QString, QString> TOrderTrackingForm::noticeValues() {
    return {{QStringLiteral("name"), currentText("kh_name")},
            {QStringLiteral("billno"), currentText("billno")},
            {QStringLiteral("store"), currentText("ck_name")}};
}

qint64 TOrderTrackingForm::currentId(const char* field) {
    if (cdsMain.isEmpty())
        return 0;
    return cdsMain.field(QString::fromUtf8(field)).asInteger();
}

QString TOrderTrackingForm::currentText(const char* field) {
    if (cdsMain.isEmpty())
        return {};
    return cdsMain.field(QString::fromUtf8(field)).asString();
}

void registerDemoOrderTracking() {
    Sys::registerDescriptorKind(QStringLiteral("TOrderTrackingForm"), QStringLiteral("form:Grid"));
    Base::registerDockedForm(QStringLiteral("TOrderTrackingForm"),
                             [](QWidget* owner, Sys::TPlugItem* data) -> Base::TBaseRibbonForm* {
                                 return new TOrderTrackingForm(owner, data);
                             });
}

}  // namespace Qd::App
