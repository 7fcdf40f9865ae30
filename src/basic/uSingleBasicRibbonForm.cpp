#include "basic/uSingleBasicRibbonForm.h"

#include <QLayout>

#include "core/ModuleList.h"
#include "db/ChunkedLoad.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

TSingleBasicRibbonForm::TSingleBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : TBasicRibbonForm(owner, data) {
    setObjectName(QStringLiteral("TSingleBasicRibbonForm"));
    dxDockPanel1 = new Ui::DockPanel(QStringLiteral("dxDockPanel1"), dxDockSite1);
    dxDockPanel1->addCaptionButton(actAdd);
    dxDockSite1->layout()->addWidget(dxDockPanel1);
    cxgMain = new Ui::Grid(QStringLiteral("cxgMain"));
    dxDockPanel1->setContent(cxgMain);
    cxgMainDBTableView1 = cxgMain->addLevel(QStringLiteral("cxgMainDBTableView1"));
    cxgMainDBTableView1->setRecordSet(&cdsMain);
    bindList(cxgMain, &cdsMain);
}

TSingleBasicRibbonForm::~TSingleBasicRibbonForm() {
    cxgMainDBTableView1->setRecordSet(nullptr);
}

void TSingleBasicRibbonForm::_init() {
    TBasicRibbonForm::_init();
    showListProgress(0, true);
    if (!checkDescriptor())
        return;
    _initColumns(moduleCode(), cxgMain);
    getMainData();
}

void TSingleBasicRibbonForm::getMainData() {
    if (!listReady())
        return;
    // The first load may run to millions of rows: they come in chunks while the list shows the
    // first. A later one comes back to the row the user was on, which needs every row.
    if (!cdsMain.active()) {
        std::unique_ptr<Db::ChunkedLoad> load = openModuleRows(cdsMain, pluginfo);
        if (!load)
            return;
        cxgMainDBTableView1->applyColumns();
        followListLoad(std::move(load));
        return;
    }
    if (loadModuleRows(cdsMain, pluginfo))
        cxgMainDBTableView1->applyColumns();
}

void TSingleBasicRibbonForm::showListProgress(int rows, bool finished) {
    const QString caption =
        QStringLiteral("[%1] - 列表").arg(PlugItem ? PlugItem->title : QString());
    dxDockPanel1->setCaption(
        finished ? caption : caption + QStringLiteral("（正在读取，已读 %1 行）").arg(rows));
}

}  // namespace Qd::Core::Base
