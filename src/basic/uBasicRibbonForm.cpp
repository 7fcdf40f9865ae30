#include "basic/uBasicRibbonForm.h"

#include <QDate>
#include <QStyle>
#include <QVBoxLayout>

#include "basic/uRecycleBinForm.h"
#include "core/ModuleList.h"
#include "core/RightsGate.h"
#include "sys/EAbort.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/ActionIcons.h"
#include "ui/Prompter.h"
#include "ui/editors/Editors.h"

namespace Qd::Core::Base {

namespace {

constexpr int kAlertMs = 3000;

}  // namespace

TBasicRibbonForm::TBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : TBaseRibbonForm(owner, data) {
    dxDockSite1 = new QWidget(this);
    dxDockSite1->setObjectName(QStringLiteral("dxDockSite1"));
    auto* site = new QVBoxLayout(dxDockSite1);
    site->setContentsMargins(2, 2, 2, 2);
    setCentralWidget(dxDockSite1);
    resize(960, 600);

    struct ActionDef {
        QAction** target;
        const char* name;
        const char* caption;
        QStyle::StandardPixmap icon;
        void (TBasicRibbonForm::*handler)();
        bool groupBefore;
    };
    const ActionDef defs[] = {
        {&actAdd, "actAdd", "添加", QStyle::SP_FileIcon, &TBasicRibbonForm::actAddExecute, false},
        {&actEdit, "actEdit", "修改", QStyle::SP_FileDialogContentsView,
         &TBasicRibbonForm::actEditExecute, false},
        {&actDel, "actDel", "删除", QStyle::SP_DialogDiscardButton,
         &TBasicRibbonForm::actDelExecute, false},
        {&actRecycle, "actRecycle", "回收站", QStyle::SP_TrashIcon,
         &TBasicRibbonForm::actRecycleExecute, true},
        {&actRef, "actRef", "刷新", QStyle::SP_BrowserReload, &TBasicRibbonForm::actRefExecute,
         true},
        {&actCopy, "actCopy", "复制", QStyle::SP_FileDialogNewFolder,
         &TBasicRibbonForm::actCopyExecute, true},
        {&actColSet, "actColSet", "列设置", QStyle::SP_FileDialogDetailedView,
         &TBasicRibbonForm::actColSetExecute, true},
        {&actExport, "actExport", "导出", QStyle::SP_DialogSaveButton,
         &TBasicRibbonForm::actExportExecute, true},
        {&actPrint, "actPrint", "打印", QStyle::SP_CustomBase, &TBasicRibbonForm::actPrintExecute,
         false},
    };
    // The close action the base made goes after the list's own, in a group of its own.
    BarManagerBar1->removeAction(actclose);
    for (const ActionDef& d : defs) {
        if (d.groupBefore)
            BarManagerBar1->addSeparator();
        QAction* a = addAction(QString::fromLatin1(d.name), QString::fromUtf8(d.caption));
        // The standard set has no printer.
        a->setIcon(d.icon == QStyle::SP_CustomBase ? Ui::printIcon()
                                                   : style()->standardIcon(d.icon));
        connect(a, &QAction::triggered, this, [this, h = d.handler] { run(h); });
        *d.target = a;
    }
    BarManagerBar1->addSeparator();
    BarManagerBar1->addAction(actclose);
}

TBasicRibbonForm::~TBasicRibbonForm() = default;

QString TBasicRibbonForm::moduleCode() const {
    return PlugItem ? PlugItem->code : QString();
}

void TBasicRibbonForm::run(void (TBasicRibbonForm::*handler)()) {
    try {
        (this->*handler)();
    } catch (const Sys::EAbort&) {
    }
}

void TBasicRibbonForm::_initColumns(const QString& code, Ui::Grid* grid, Db::RecordSet& cds) {
    Ui::GridView* view = grid->view();
    buildListColumns(grid, view, descriptorItem(), code, joinTableList, cds);
}

void TBasicRibbonForm::_refreshJoinTableData() {
    refreshJoinTables(joinTableList);
}

void TBasicRibbonForm::onDbLookupComboBoxEditValueChange(QWidget*) {}
void TBasicRibbonForm::OnDbLookupComboBoxInitPopup(QWidget*) {}
void TBasicRibbonForm::OnDbLookupComboBoxInitPopupL2(QWidget*) {}

void TBasicRibbonForm::actAddExecute() {
    rightsGate(moduleCode(), QStringLiteral("_01"));
}

void TBasicRibbonForm::actEditExecute() {
    rightsGate(moduleCode(), QStringLiteral("_02"));
}

void TBasicRibbonForm::actDelExecute() {
    rightsGate(moduleCode(), QStringLiteral("_03"));
}

void TBasicRibbonForm::actRecycleExecute() {
    rightsGate(moduleCode(), QStringLiteral("_04"));
    TRecycleBinForm bin(this, &pluginfo);
    Ui::prompter().exec(bin);
}

void TBasicRibbonForm::actRefExecute() {}

void TBasicRibbonForm::actCopyExecute() {
    rightsGate(moduleCode(), QStringLiteral("_01"));
}

void TBasicRibbonForm::actColSetExecute() {}

void TBasicRibbonForm::actExportExecute() {
    rightsGate(moduleCode(), QStringLiteral("_05"));
}

void TBasicRibbonForm::actPrintExecute() {
    rightsGate(moduleCode(), QStringLiteral("_06"));
}

QString TBasicRibbonForm::askExportFile() {
    const QString proposed = windowTitle() + QLatin1Char('_') +
                             QDate::currentDate().toString(Sys::VaGlobalmtSettings().dateFormat) +
                             QStringLiteral(".xlsx");
    QString file = Ui::prompter().saveFileName(QStringLiteral("导出"), proposed,
                                               QStringLiteral("导出excel (*.xlsx)"));
    if (!file.isEmpty() && !file.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        file += QStringLiteral(".xlsx");
    return file;
}

void TBasicRibbonForm::alert(const QString& caption, const QString& text) {
    Ui::AlertWindow::showAlert(this, caption, text, kAlertMs);
}

}  // namespace Qd::Core::Base
