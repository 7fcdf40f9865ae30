#include "basic/uSingleBasicRibbonForm.h"

#include <QLayout>

#include "core/ModuleList.h"
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
    dxDockPanel1->setCaption(
        QStringLiteral("[%1] - 列表").arg(PlugItem ? PlugItem->title : QString()));
    if (!checkDescriptor())
        return;
    _initColumns(moduleCode(), cxgMain);
    getMainData();
}

void TSingleBasicRibbonForm::getMainData() {
    if (listReady() && loadModuleRows(cdsMain, pluginfo))
        cxgMainDBTableView1->applyColumns();
}

}  // namespace Qd::Core::Base
