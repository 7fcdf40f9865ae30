#include "basic/uBasicRibbonForm.h"

#include <QCloseEvent>
#include <QJsonArray>
#include <QStyle>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/EAbort.h"
#include "base/Prompter.h"
#include "basic/ListRules.h"
#include "basic/uRecycleBinForm.h"
#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/ModuleList.h"
#include "core/RightsGate.h"
#include "core/uMyCxGrid.h"
#include "db/ChunkedLoad.h"
#include "db/DataServices.h"
#include "db/DbError.h"
#include "db/Trace.h"
#include "print/uDataSetCollection.h"
#include "print/uPrinterForm.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/ActionIcons.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

namespace {

constexpr int kAlertMs = 3000;

QString F(const char* name) {
    return QString::fromLatin1(name);
}

// The descriptor keys a list needs, and whether each must be a JSON array.
struct RequiredKey {
    const char* name;
    bool array;
};
constexpr RequiredKey kRequiredKeys[] = {
    {"mainsql", false},     {"tablename", false}, {"key", false},
    {"ignoreFields", true}, {"validation", true},
};

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
    // Only the page in front has its toolbar shown, so F5 reaches its 刷新 alone.
    actRef->setShortcut(QKeySequence(Qt::Key_F5));
}

TBasicRibbonForm::~TBasicRibbonForm() = default;

QString TBasicRibbonForm::moduleCode() const {
    return PlugItem ? PlugItem->code : QString();
}

void TBasicRibbonForm::run(void (TBasicRibbonForm::*handler)()) {
    Sys::dispatch([&] { (this->*handler)(); });
}

void TBasicRibbonForm::_initColumns(const QString& code, Ui::Grid* grid) {
    Ui::GridView* view = grid->view();
    buildListColumns(grid, view, descriptorItem(), code, joinTableList,
                     {[this](QWidget* editor) { onDbLookupComboBoxEditValueChange(editor); },
                      [this](QWidget* editor) { OnDbLookupComboBoxInitPopupL2(editor); }});
}

void TBasicRibbonForm::_refreshJoinTableData() {
    refreshJoinTables(joinTableList);
}

void TBasicRibbonForm::onDbLookupComboBoxEditValueChange(QWidget* Sender) {
    if (m_list)
        copyLookupValues(joinTableList, Sender, *m_list);
}

void TBasicRibbonForm::OnDbLookupComboBoxInitPopup(QWidget*) {}

void TBasicRibbonForm::OnDbLookupComboBoxInitPopupL2(QWidget* Sender) {
    const int p1 = m_list && m_list->active() && !m_list->isEmpty() && m_list->hasField(F("p1"))
                       ? m_list->field(F("p1")).asInteger()
                       : 0;
    try {
        reopenSecondLevel(joinTableList, Sender, p1);
    } catch (const Db::DbError&) {
        // Shown by the data services; the drop-down stays as it was.
    }
}

void TBasicRibbonForm::actAddExecute() {
    rightsGate(moduleCode(), QStringLiteral("_01"));
    appendListRow();
}

void TBasicRibbonForm::actEditExecute() {
    rightsGate(moduleCode(), QStringLiteral("_02"));
    editListRow();
}

void TBasicRibbonForm::actDelExecute() {
    rightsGate(moduleCode(), QStringLiteral("_03"));
    deleteSelectedRows();
}

void TBasicRibbonForm::actRecycleExecute() {
    rightsGate(moduleCode(), QStringLiteral("_04"));
    TRecycleBinForm bin(this, &pluginfo);
    Ui::prompter().exec(bin);
}

void TBasicRibbonForm::actRefExecute() {
    if (m_ready && settlePendingRow())
        reloadList();
}

void TBasicRibbonForm::actCopyExecute() {
    rightsGate(moduleCode(), QStringLiteral("_01"));
    if (m_ready && m_list->active() && !m_list->isEmpty())
        copySelection();
}

void TBasicRibbonForm::actColSetExecute() {
    storeListLayout();
}

void TBasicRibbonForm::actExportExecute() {
    rightsGate(moduleCode(), QStringLiteral("_05"));
    if (m_grid)
        exportList();
}

void TBasicRibbonForm::actPrintExecute() {
    rightsGate(moduleCode(), QStringLiteral("_06"));
    if (m_list)
        printList(printDatasets());
}

void TBasicRibbonForm::closeEvent(QCloseEvent* e) {
    bool settled = true;
    Sys::dispatch([&] { settled = settlePendingRow(); });
    if (!settled) {
        e->ignore();
        return;
    }
    storeListLayout();
    TBaseRibbonForm::closeEvent(e);
}

bool TBasicRibbonForm::settlePendingRow() {
    if (!m_list || !m_list->active() || m_list->state() == Db::DataSetState::Browse)
        return true;
    switch (askSavePending()) {
        case PendingAnswer::Save:
            // A refused post or a failed save leaves the row in editing: the user stays on it.
            if (!Sys::dispatch([this] { m_list->post(); }))
                return false;
            return m_list->state() == Db::DataSetState::Browse;
        case PendingAnswer::Discard:
            m_list->cancel();
            return true;
        case PendingAnswer::Stay:
            break;
    }
    return false;
}

std::vector<std::pair<QString, Db::RecordSet*>> TBasicRibbonForm::printDatasets() {
    return {{QStringLiteral("列表"), m_list}};
}

void TBasicRibbonForm::fileNewRow() {}

void TBasicRibbonForm::copySelection() {
    copyListRow();
}

void TBasicRibbonForm::alert(const QString& caption, const QString& text) {
    Ui::AlertWindow::showAlert(this, caption, text, kAlertMs);
}

// ---- the bound list --------------------------------------------------------------------------

void TBasicRibbonForm::bindList(Ui::Grid* grid, Db::RecordSet* cds) {
    m_grid = grid;
    m_list = cds;
    Ui::GridView* view = grid->view();
    view->setMultiSelect(true);
    view->setAutoWidth(true);
    view->setEnterMovesToNextCell(true);
    view->setRowEditable([this](int row) {
        const bool inserting =
            m_list->state() == Db::DataSetState::Insert && row == m_list->recNo();
        return inserting ? m_canInsert : m_canEdit;
    });
    cds->beforePost = [this](Db::RecordSet& rs) {
        if (!m_ready)
            Sys::Abort();
        // Rights are those of the moment of the save, not of when the list opened.
        gateRowChange(rs, moduleCode());
        listBeforePost();
    };
    cds->afterPost = [this](Db::RecordSet&) { listAfterPost(); };
    // Rows come from 添加, 复制 and the grid's new-item row alike: each needs the add right of the
    // moment and is filed the subclass's way.
    cds->beforeInsert = [this](Db::RecordSet&) {
        if (!m_ready || !rightProbe(moduleCode(), F("_01")))
            Sys::Abort();
    };
    cds->afterInsert = [this](Db::RecordSet&) { fileNewRow(); };
    cds->afterDelete = [this](Db::RecordSet&) { saveListChanges({}); };
    cds->beforeEdit = [this](Db::RecordSet&) {
        if (!m_reEditing && !(m_canEdit && rightProbe(moduleCode(), F("_02"))))
            Sys::Abort();
    };
    cds->onDataChange = [](Db::RecordSet& rs, int field) { fillHelpCode(rs, field); };
}

Ui::GridView* TBasicRibbonForm::listView() const {
    return m_grid ? m_grid->view() : nullptr;
}

QString TBasicRibbonForm::tableName() const {
    return pluginfo.value(F("tablename")).toString();
}

QStringList TBasicRibbonForm::descriptorProblems() const {
    QStringList problems;
    for (const RequiredKey& k : kRequiredKeys) {
        const QJsonValue v = pluginfo.value(QString::fromLatin1(k.name));
        if (v.isUndefined() || v.isNull() || (!k.array && v.toString().trimmed().isEmpty()))
            problems << QStringLiteral("缺少“%1”").arg(QString::fromLatin1(k.name));
        else if (k.array && !v.isArray())
            problems << QStringLiteral("“%1”应为 JSON 数组").arg(QString::fromLatin1(k.name));
    }
    return problems;
}

bool TBasicRibbonForm::checkDescriptor() {
    if (const QStringList problems = descriptorProblems(); !problems.isEmpty()) {
        showError(QStringLiteral("模块“%1”（%2）的描述不完整：%3。列表无法打开。")
                      .arg(PlugItem ? PlugItem->title : QString(), moduleCode(),
                           problems.join(QStringLiteral("；"))));
        return false;
    }
    m_ready = true;
    m_canEdit = rightProbe(moduleCode(), F("_02"));
    m_canInsert = rightProbe(moduleCode(), F("_01"));
    return true;
}

void TBasicRibbonForm::reloadList() {}

void TBasicRibbonForm::followListLoad(std::unique_ptr<Db::ChunkedLoad> load) {
    m_load = std::move(load);
    if (!m_load)
        return;
    m_load->onProgress = [this](int rows, bool finished) {
        showListProgress(rows, finished);
        if (finished && listView())
            listView()->refreshFooter();
    };
    showListProgress(m_list ? m_list->recordCount() : 0, m_load->finished());
}

void TBasicRibbonForm::showListProgress(int, bool) {}

void TBasicRibbonForm::listBeforePost() {
    const Sys::TAuth* auth = Sys::sysAuth();
    m_list->field(F("orgid")).setValue(auth ? auth->orgId : QString());
    applyValidationRules(Ui::MsgKind::Information);
}

void TBasicRibbonForm::applyValidationRules(Ui::MsgKind kind) {
    Base::applyValidationRules(pluginfo, moduleCode(), *m_list, cdsCheck, kind);
}

bool TBasicRibbonForm::saveListChanges(const QStringList& ignored) {
    m_list->finishPendingRows();
    QStringList statements;
    Db::GetUpDataSQLList(tableName(), pluginfo.value(F("key")).toString(), ignored, *m_list,
                         statements, 0);
    const QString sql = statements.join(F("\r\n"));
    if (sql.isEmpty())
        return true;
    Db::LogMsg(sql);
    if (!Db::dataServices().execSQL(sql))
        return false;
    m_list->mergeChangeLog();
    reloadList();
    return true;
}

void TBasicRibbonForm::listAfterPost() {
    if (m_list->changeCount() == 0)
        return;
    // The soft-delete flag is always written, whatever the descriptor leaves out.
    QStringList ignored;
    for (const QJsonValue& v : pluginfo.value(F("ignoreFields")).toArray()) {
        const QString name = v.toString();
        ignored << (name.compare(F("isdel"), Qt::CaseInsensitive) == 0 ? QString() : name);
    }
    if (saveListChanges(ignored))
        return;
    // Not saved: the row goes back to editing with what was typed, its change log kept.
    m_reEditing = true;
    m_list->edit();
    m_reEditing = false;
}

void TBasicRibbonForm::appendListRow() {
    // A list whose statement failed stays closed: there is nothing to add to.
    if (!m_ready || !m_list->active())
        return;
    // Typing starts in the first shown cell of the new row.
    listView()->appendNewItem();
}

void TBasicRibbonForm::editListRow() {
    if (m_list && m_list->active() && !m_list->isEmpty())
        m_list->edit();
}

void TBasicRibbonForm::deleteSelectedRows() {
    if (!m_ready || !m_list->active() || m_list->isEmpty())
        return;
    if (!confirmOk(QStringLiteral("是否确认删除选中的数据？")))
        return;
    QStringList ids;
    for (int pos : listView()->selectedRowPositions()) {
        m_list->moveTo(pos);
        ids << QString::number(m_list->field(F("id")).asLargeInt());
    }
    const QString sql = QStringLiteral("update ") + tableName() +
                        QStringLiteral(" set isDel = 1 where id in(") + ids.join(u',') +
                        QStringLiteral(")");
    Db::LogMsg(sql);
    if (Db::dataServices().execSQL(sql))
        reloadList();
}

void TBasicRibbonForm::copyListRow() {
    copyRecord(*m_list);
    Ui::GridView* view = listView();
    const int code = m_list->fieldIndex(F("code"));
    if (code < 0 || !view->columnAt(code))
        return;
    const QModelIndex cell = view->model()->index(m_list->recNo(), code);
    view->scrollTo(cell);
    view->setCurrentIndex(cell);
    view->setFocus();
    alert(QStringLiteral("提示"), QStringLiteral("复制成功，请修改编号后保存。"));
}

void TBasicRibbonForm::exportList() {
    exportViewToXlsx(*listView(), windowTitle());
}

void TBasicRibbonForm::printList(const std::vector<std::pair<QString, Db::RecordSet*>>& datasets) {
    Fr4::TDataSetCollection collection;
    for (const auto& [name, rs] : datasets)
        collection.Add() = Fr4::TDataSetCollectionItem(&collection, name, moduleCode(), rs);
    Fr4::OpenSetPrintReportForm(this, moduleCode(), &collection);
}

void TBasicRibbonForm::storeListLayout() {
    if (m_grid)
        TMyCxGrid::storeGridColumnStyle(m_grid, moduleCode());
}

}  // namespace Qd::Core::Base
