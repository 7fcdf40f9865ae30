#include "DemoOrderTracking.h"

#include <QStyle>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "core/FormHost.h"
#include "tools/uxmzzkflowviewform.h"
#include "tools/uxmzzkhistoryviewbykhform.h"

namespace Qd::App {

using namespace Qd::Core;

TOrderTrackingForm::TOrderTrackingForm(QWidget* owner, Sys::TPlugItem* data)
    : TGridRibbonForm(owner, data) {
    setObjectName(QStringLiteral("TOrderTrackingForm"));
    actFlow = addAction(QStringLiteral("actFlow"), QStringLiteral("流程跟踪"));
    actHistory = addAction(QStringLiteral("actHistory"), QStringLiteral("历史价格"));
    actFlow->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    actHistory->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    // The close action stays last on the toolbar.
    BarManagerBar1->removeAction(actclose);
    BarManagerBar1->addAction(actclose);
    connect(actFlow, &QAction::triggered, this, [this] {
        Sys::dispatch([this] {
            if (const qint64 order = currentId("xmzzk_id"))
                Tools::showflowview(order);
        });
    });
    connect(actHistory, &QAction::triggered, this, [this] {
        Sys::dispatch([this] {
            if (cdsMain.isEmpty())
                return;
            Tools::Txmzzkhistoryviewbykhform history(this, currentId("kh_id"), currentId("xm_id"));
            Ui::prompter().exec(history);
        });
    });
}

qint64 TOrderTrackingForm::currentId(const char* field) {
    if (cdsMain.isEmpty())
        return 0;
    return cdsMain.field(QString::fromUtf8(field)).asInteger();
}

void registerDemoOrderTracking() {
    Base::registerDockedForm(QStringLiteral("TOrderTrackingForm"),
                             [](QWidget* owner, Sys::TPlugItem* data) -> Base::TBaseRibbonForm* {
                                 return new TOrderTrackingForm(owner, data);
                             });
}

}  // namespace Qd::App
