#include "core/uGridRibbonForm.h"

#include <QCloseEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "core/ModuleList.h"
#include "core/uMyCxGrid.h"
#include "sys/SystemServices.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

TGridRibbonForm::TGridRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : TBaseRibbonForm(owner, data) {
    setObjectName(QStringLiteral("TGridRibbonForm"));
    cxgMain = new Ui::Grid(QStringLiteral("cxgMain"));
    cxgMainDBTableView1 = cxgMain->addLevel(QStringLiteral("cxgMainDBTableView1"));
    cxgMainDBTableView1->setRecordSet(&cdsMain);
    setCentralWidget(cxgMain);
    resize(900, 560);

    actRefresh = addAction(QStringLiteral("actRefresh"), QStringLiteral("刷新"));
    actColumns = addAction(QStringLiteral("actColumns"), QStringLiteral("列设置"));
    actRefresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    // Only the page in front has its toolbar shown, so F5 reaches its 刷新 alone.
    actRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    actColumns->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    // The close action stays last on the toolbar.
    BarManagerBar1->removeAction(actclose);
    BarManagerBar1->addAction(actclose);
    connect(actRefresh, &QAction::triggered, this, [this] {
        Sys::dispatch([this] {
            refreshJoinTables(joinTableList);
            getMainData();
        });
    });
    connect(actColumns, &QAction::triggered, this, [this] {
        Sys::dispatch([this] { TMyCxGrid::storeGridColumnStyle(cxgMain, layoutKey()); });
    });
}

TGridRibbonForm::~TGridRibbonForm() {
    cxgMainDBTableView1->setRecordSet(nullptr);
}

QString TGridRibbonForm::layoutKey() const {
    return PlugItem ? PlugItem->code : QString();
}

void TGridRibbonForm::_init() {
    TBaseRibbonForm::_init();
    _initColumns();
    getMainData();
}

void TGridRibbonForm::_initColumns() {
    buildListColumns(
        cxgMain, cxgMainDBTableView1, descriptorItem(), layoutKey(), joinTableList,
        {[this](QWidget* editor) { copyLookupValues(joinTableList, editor, cdsMain); }, nullptr});
}

void TGridRibbonForm::getMainData() {
    if (loadModuleRows(cdsMain, pluginfo))
        cxgMainDBTableView1->applyColumns();
}

void TGridRibbonForm::closeEvent(QCloseEvent* e) {
    TMyCxGrid::storeGridColumnStyle(cxgMain, layoutKey());
    TBaseRibbonForm::closeEvent(e);
}

}  // namespace Qd::Core::Base
