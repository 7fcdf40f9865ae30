#include "basic/uMultiBasicRibbonForm.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/EAbort.h"
#include "base/Prompter.h"
#include "basic/ListRules.h"
#include "basic/uDataCopyForm.h"
#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/ModuleList.h"
#include "core/RightsGate.h"
#include "core/uJoinTableObject.h"
#include "db/DataServices.h"
#include "db/Trace.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Base {

namespace {

QString F(const char* name) {
    return QString::fromLatin1(name);
}

}  // namespace

TMultiBasicRibbonForm::TMultiBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data)
    : TBasicRibbonForm(owner, data) {
    setObjectName(QStringLiteral("TMultiBasicRibbonForm"));

    struct ActionDef {
        QAction** target;
        const char* name;
        const char* caption;
        void (TMultiBasicRibbonForm::*handler)();
    };
    const ActionDef defs[] = {
        {&actCategory_Add, "actCategory_Add", "添加同级节点",
         &TMultiBasicRibbonForm::actCategory_AddExecute},
        {&actCategory_AddChild, "actCategory_AddChild", "添加子节点",
         &TMultiBasicRibbonForm::actCategory_AddChildExecute},
        {&actCategory_Edit, "actCategory_Edit", "修改",
         &TMultiBasicRibbonForm::actCategory_EditExecute},
        {&actCategory_Del, "actCategory_Del", "删除",
         &TMultiBasicRibbonForm::actCategory_DelExecute},
        {&actCategory_Ref, "actCategory_Ref", "刷新", &TMultiBasicRibbonForm::loadCategory},
        {&actFindSQL, "actFindSQL", "查询", &TMultiBasicRibbonForm::actFindSQLExecute},
    };
    for (const ActionDef& d : defs) {
        auto* a = new QAction(QString::fromUtf8(d.caption), this);
        a->setObjectName(QString::fromLatin1(d.name));
        connect(a, &QAction::triggered, this, [this, h = d.handler] { runCategory(h); });
        actlst << a;
        *d.target = a;
    }

    // Left: the category tree and the query panel.
    dxTabContainer = new QTabWidget(this);
    dxTabContainer->setObjectName(QStringLiteral("dxTabContainer"));
    dbtCategory = new Ui::GridTreeView(QStringLiteral("dbtCategory"));
    dbtCategory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbtCategory->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto separator = [this] {
        auto* s = new QAction(dbtCategory);
        s->setSeparator(true);
        return s;
    };
    dbtCategory->addActions({actCategory_Add, actCategory_AddChild, separator(), actCategory_Edit,
                             separator(), actCategory_Del, separator(), actCategory_Ref});
    dbtCategory->setRecordSet(&cdsCategory, F("id"), F("pid"), {F("code"), F("name")});
    dbtCategory->setColumnWidth(0, 90);
    dxTabContainer->addTab(dbtCategory, QStringLiteral("分类"));
    auto* query = new QWidget;
    auto* queryLayout = new QVBoxLayout(query);
    queryLayout->setContentsMargins(2, 2, 2, 2);
    cxgParams = new Ui::PropertyGrid(query);
    cxgParams->setObjectName(QStringLiteral("cxgParams"));
    m_params = std::make_unique<ParamsPanel>(
        cxgParams, &joinTableList,
        ParamsPanel::Options{moduleCode(), data ? data->title : QString(), false, this});
    btnFind = buttonFor(actFindSQL, query);
    queryLayout->addWidget(cxgParams, 1);
    queryLayout->addWidget(btnFind);
    dxTabContainer->addTab(query, QStringLiteral("查询"));

    // Right: the rows of the category.
    dxDockPanel1 = new Ui::DockPanel(QStringLiteral("dxDockPanel1"));
    dxDockPanel1->addCaptionButton(actAdd);
    cxgMain = new Ui::Grid(QStringLiteral("cxgMain"));
    dxDockPanel1->setContent(cxgMain);
    cxgMainDBTableView1 = cxgMain->addLevel(QStringLiteral("cxgMainDBTableView1"));
    cxgMainDBTableView1->setRecordSet(&cdsMain);
    cxgMainDBTableView1->setEmptyText(QStringLiteral("<未找到相关记录>"));
    cxgMainDBTableView1->setNewItemRowText(QStringLiteral("点击这里添加新记录"));
    bindList(cxgMain, &cdsMain);
    connect(cxgMainDBTableView1, &QAbstractItemView::doubleClicked, this,
            [this] { Sys::dispatch([this] { openRecordEditor(); }); });

    auto* split = new QSplitter(dxDockSite1);
    split->addWidget(dxTabContainer);
    split->addWidget(dxDockPanel1);
    split->setStretchFactor(1, 1);
    split->setSizes({240, 720});
    dxDockSite1->layout()->addWidget(split);

    cdsCategory.beforePost = [this](Db::RecordSet&) { cdsCategoryBeforePost(); };
    cdsCategory.afterPost = [this](Db::RecordSet&) { cdsCategoryAfterPost(); };
    cdsCategory.afterCancel = [this](Db::RecordSet&) { cdsCategoryAfterPost(); };
    connect(dbtCategory, &Ui::GridTreeView::currentKeyChanged, this, [this] {
        if (m_loadingCategories)
            return updateCategoryActions();
        // A row typed into the list of the category left is saved, dropped or stayed on first.
        if (!settlePendingRow()) {
            const QScopedValueRollback<bool> quiet(m_loadingCategories, true);
            dbtCategory->selectKey(m_shownCategory);
            return updateCategoryActions();
        }
        updateCategoryActions();
        Sys::dispatch([this] { dbtCategorySelectionChanged(); });
    });
}

TMultiBasicRibbonForm::~TMultiBasicRibbonForm() {
    // Record editors still open go with the list; they must not ask it to reload then.
    for (TBasicPropEditForm* editor : findChildren<TBasicPropEditForm*>())
        disconnect(editor, nullptr, this, nullptr);
    cxgMainDBTableView1->setRecordSet(nullptr);
    dbtCategory->disconnect(this);
    dbtCategory->setRecordSet(nullptr, {}, {}, {});
}

void TMultiBasicRibbonForm::runCategory(void (TMultiBasicRibbonForm::*handler)()) {
    Sys::dispatch([&] { (this->*handler)(); });
    updateCategoryActions();
}

bool TMultiBasicRibbonForm::eventFilter(QObject* watched, QEvent* e) {
    // Enter in any field of the query panel runs the query (the fields pass it on unused).
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && watched->isWidgetType() &&
            cxgParams->isAncestorOf(static_cast<QWidget*>(watched))) {
            actFindSQL->trigger();
            return true;
        }
    }
    return TBasicRibbonForm::eventFilter(watched, e);
}

void TMultiBasicRibbonForm::_init() {
    TBasicRibbonForm::_init();
    p1Field = F("p1");
    p2Field = F("p2");
    updateCaption();
    if (!checkDescriptor()) {
        updateCategoryActions();
        return;
    }
    _initColumns(moduleCode(), cxgMain);
    cxgMainDBTableView1->setNewItemRowVisible(canInsertRows());
    loadCategory();
    _initParamsList();
    dxTabContainer->setCurrentIndex(0);
}

QStringList TMultiBasicRibbonForm::descriptorProblems() const {
    QStringList problems = TBasicRibbonForm::descriptorProblems();
    const QString sql = pluginfo.value(F("mainsql")).toString().simplified().toLower();
    const qsizetype where = sql.lastIndexOf(QStringLiteral(" where "));
    if (!sql.isEmpty() && (where < 0 || sql.indexOf(QStringLiteral(" order by "), where) >= 0 ||
                           sql.indexOf(QStringLiteral(" group by "), where) >= 0))
        problems << QStringLiteral("“mainsql”须以 where 条件结尾（分类条件接在其后）");
    return problems;
}

// ---- categories --------------------------------------------------------------------------------

void TMultiBasicRibbonForm::loadCategory() {
    if (!listReady())
        return;
    m_loadingCategories = true;
    const bool loaded = loadCategoryTree(cdsCategory, moduleCode());
    if (loaded)
        cdsCategory.first();
    // The tree shows the new rows on the first category without loading its list on the way;
    // that is done once, below.
    dbtCategory->refresh();
    if (loaded && !cdsCategory.isEmpty())
        dbtCategory->selectKey(cdsCategory.field(F("id")).value());
    m_loadingCategories = false;
    updateCategoryActions();
    if (loaded && !cdsCategory.isEmpty()) {
        dbtCategorySelectionChanged();
    } else {
        // No category to choose: every row of the module, as before a choice.
        category_p1 = category_p2 = 0;
        getMainData(0, 0);
    }
}

void TMultiBasicRibbonForm::dbtCategorySelectionChanged() {
    if (!cdsCategory.active() || cdsCategory.isEmpty())
        return;
    const int id = cdsCategory.field(F("id")).asInteger();
    m_shownCategory = id;
    const int pid = cdsCategory.field(F("pid")).asInteger();
    category_p1 = pid != 0 ? pid : id;
    category_p2 = pid != 0 ? id : 0;
    getMainData(category_p1, category_p2);
}

void TMultiBasicRibbonForm::updateCategoryActions() {
    const bool any = cdsCategory.active() && !cdsCategory.isEmpty();
    actCategory_AddChild->setVisible(any && cdsCategory.field(F("pid")).asInteger() == 0);
    actCategory_Edit->setEnabled(any);
    actCategory_Del->setEnabled(any);
}

void TMultiBasicRibbonForm::setCategoryEditing(bool on) {
    dbtCategory->setEditTriggers(on ? QAbstractItemView::DoubleClicked |
                                          QAbstractItemView::EditKeyPressed |
                                          QAbstractItemView::AnyKeyPressed
                                    : QAbstractItemView::NoEditTriggers);
    if (on && dbtCategory->currentIndex().isValid()) {
        dbtCategory->setFocus();
        dbtCategory->edit(dbtCategory->currentIndex().siblingAtColumn(0));
    }
}

void TMultiBasicRibbonForm::actCategory_AddExecute() {
    rightsGate(moduleCode(), F("_01"));
    if (!cdsCategory.active())
        return;
    const int pid = cdsCategory.isEmpty() ? 0 : cdsCategory.field(F("pid")).asInteger();
    cdsCategory.append();
    cdsCategory.field(F("pid")).setValue(pid);
    setCategoryEditing(true);
}

void TMultiBasicRibbonForm::actCategory_AddChildExecute() {
    rightsGate(moduleCode(), F("_01"));
    if (!cdsCategory.active() || cdsCategory.isEmpty() ||
        cdsCategory.field(F("pid")).asInteger() != 0)
        return;
    const int parent = cdsCategory.field(F("id")).asInteger();
    cdsCategory.append();
    cdsCategory.field(F("pid")).setValue(parent);
    setCategoryEditing(true);
}

void TMultiBasicRibbonForm::actCategory_EditExecute() {
    rightsGate(moduleCode(), F("_02"));
    if (!cdsCategory.active() || cdsCategory.isEmpty())
        return;
    cdsCategory.edit();
    setCategoryEditing(true);
}

void TMultiBasicRibbonForm::cdsCategoryBeforePost() {
    const Sys::TAuth* auth = Sys::sysAuth();
    cdsCategory.field(F("imageindex")).setValue(0);
    cdsCategory.field(F("orgid")).setValue(auth ? auth->orgId : QString());
    cdsCategory.field(F("iclass")).setValue(moduleCode());
    cdsCategory.field(F("isort")).setValue(0);
    cdsCategory.field(F("isdel")).setValue(false);
}

void TMultiBasicRibbonForm::cdsCategoryAfterPost() {
    setCategoryEditing(false);
    if (cdsCategory.changeCount() == 0)
        return;
    QStringList statements;
    Db::GetUpDataSQLList(F("qd_b_category"), F("id"), {F("id"), F("imageindex")}, cdsCategory,
                         statements, 0);
    if (statements.isEmpty())
        return;
    const QString sql = statements.join(F("\r\n"));
    Db::LogMsg(sql);
    if (!Db::dataServices().execSQL(sql)) {
        // The data services have said why; the category stays in editing to be corrected.
        cdsCategory.edit();
        setCategoryEditing(true);
        Sys::Abort();
    }
    cdsCategory.mergeChangeLog();
    categoriesChanged();
}

void TMultiBasicRibbonForm::categoriesChanged() {
    // A lookup that cannot be reopened is shown; the tree is reloaded all the same.
    Sys::dispatch([this] { _refreshJoinTableData(); });
    loadCategory();
}

void TMultiBasicRibbonForm::actCategory_DelExecute() {
    rightsGate(moduleCode(), F("_03"));
    if (!cdsCategory.active() || cdsCategory.isEmpty())
        return;
    const int id = cdsCategory.field(F("id")).asInteger();
    const int pidField = cdsCategory.fieldIndex(F("pid"));
    for (int pos = 0; pos < cdsCategory.recordCount(); ++pos) {
        if (cdsCategory.intAt(cdsCategory.rowAt(pos), pidField) == id) {
            showHint(QStringLiteral("请先删除该分类下面的子分类"));
            return;
        }
    }
    if (cdsMain.active() && !cdsMain.isEmpty()) {
        showHint(QStringLiteral("请先删除该分类下面的明细数据"));
        return;
    }
    if (!confirmOk(QStringLiteral("是否确认删除选中的分类")))
        return;
    QStringList batch;
    if (category_p1 != 0) {
        QString rows = QStringLiteral("update ") + tableName() +
                       QStringLiteral(" set isDel = 1 where 1 = 1  and p1 = ") +
                       QString::number(category_p1);
        if (category_p2 != 0)
            rows += QStringLiteral(" and p2 = ") + QString::number(category_p2);
        batch << rows;
    }
    batch << QStringLiteral("delete from qd_b_category where id = ") + QString::number(id);
    const QString sql = batch.join(F("\r\n"));
    Db::LogMsg(sql);
    if (!Db::dataServices().execSQL(sql))
        return;
    cdsCategory.mergeChangeLog();
    categoriesChanged();
}

// ---- the list --------------------------------------------------------------------------------

void TMultiBasicRibbonForm::getMainData(int p1, int p2) {
    m_showingSearch = false;
    if (listReady() && loadCategoryRows(cdsMain, pluginfo, p1, p2))
        cxgMainDBTableView1->applyColumns();
    updateCaption();
}

void TMultiBasicRibbonForm::updateCaption() {
    // After a search the rows are the search's, whatever category the tree shows.
    const QString name = m_showingSearch ? QStringLiteral("查询结果")
                         : cdsCategory.active() && !cdsCategory.isEmpty()
                             ? cdsCategory.field(F("name")).asString()
                             : QString();
    dxDockPanel1->setCaption(QStringLiteral("当前分类：%1  当前记录数：%2")
                                 .arg(name)
                                 .arg(cdsMain.active() ? cdsMain.recordCount() : 0));
}

void TMultiBasicRibbonForm::listBeforePost() {
    checkFiledRecord(cdsMain, [this](int field) {
        if (cxgMainDBTableView1->columnAt(field))
            cxgMainDBTableView1->setCurrentIndex(
                cxgMainDBTableView1->model()->index(cdsMain.recNo(), field));
    });
    const Sys::TAuth* auth = Sys::sysAuth();
    cdsMain.field(F("orgid")).setValue(auth ? auth->orgId : QString());
    applyValidationRules(Ui::MsgKind::Error);
}

void TMultiBasicRibbonForm::fileNewRow() {
    if (cdsMain.hasField(p1Field))
        cdsMain.field(p1Field).setValue(category_p1);
    if (cdsMain.hasField(p2Field))
        cdsMain.field(p2Field).setValue(category_p2);
}

void TMultiBasicRibbonForm::copySelection() {
    const QList<int> selected = cxgMainDBTableView1->selectedRowPositions();
    if (selected.size() <= 1) {
        copyListRow();
        return;
    }
    // Several rows: their codes, in selection order, to the batch copy dialog.
    const int code = cdsMain.fieldIndex(F("code"));
    if (code < 0 || !cxgMainDBTableView1->columnAt(code)) {
        showError(QStringLiteral("模块“%1”的列表没有“code”列，不能批量复制。").arg(moduleCode()));
        return;
    }
    QJsonArray codes;
    for (int pos : selected)
        codes.append(cdsMain.textAt(cdsMain.rowAt(pos), code));
    Tdatacopyform copy(this, PlugItem,
                       QString::fromUtf8(QJsonDocument(codes).toJson(QJsonDocument::Compact)));
    if (copy.loaded() && Ui::prompter().exec(copy) == QDialog::Accepted)
        reloadList();
}

std::vector<std::pair<QString, Db::RecordSet*>> TMultiBasicRibbonForm::printDatasets() {
    return {{QStringLiteral("列表"), &cdsMain}, {QStringLiteral("分类"), &cdsCategory}};
}

TBasicPropEditForm* TMultiBasicRibbonForm::openRecordEditor() {
    const PropEditFormClass* make = propEditForm(moduleCode());
    if (!make || !listReady() || !cdsMain.active() || cdsMain.isEmpty()) {
        actEdit->trigger();
        return nullptr;
    }
    // The double click is 修改: its right before the editor opens.
    rightsGate(moduleCode(), F("_02"));
    if (!settlePendingRow())
        return nullptr;
    // The editor reads the columns from the descriptor, as the list reads them beside it.
    QJsonObject info = pluginfo;
    if (!info.contains(F("columns")))
        if (const Sys::TPlugItemSingleBasic* item = descriptorItem())
            info.insert(F("columns"),
                        QJsonDocument::fromJson(item->GetColumnsJson().toUtf8()).array());
    TBasicPropEditForm* editor = (*make)(this, moduleCode(), cdsMain.field(F("id")).asInteger(),
                                         category_p1, category_p2, info, Db::DataSetState::Browse);
    editor->setWindowFlag(Qt::Window);
    editor->setWindowModality(Qt::ApplicationModal);
    connect(editor, &QObject::destroyed, this, [this] { reloadList(); });
    editor->show();
    return editor;
}

// ---- the query panel
// -----------------------------------------------------------------------------

void TMultiBasicRibbonForm::_initParamsList() {
    m_params->build(pluginfo.value(F("params")).toArray());
    for (const ParamRow& row : m_params->rows())
        cxgParams->editor(row.name)->installEventFilter(this);
    m_params->reportProblems();
}

void TMultiBasicRibbonForm::OnButtonEditClick(const QString& param) {
    m_params->pick(param, this);
}

void TMultiBasicRibbonForm::actFindSQLExecute() {
    const QJsonObject filter = pluginfo.value(F("filter")).toObject();
    if (filter.isEmpty() || !listReady() || !settlePendingRow())
        return;
    m_params->commitEditorInHand();
    QString sql = Sys::sqlTemplate(filter.value(F("mainsql")).toString());
    for (const ParamRow& row : m_params->rows()) {
        const QString value = m_params->value(row.name).toString();
        if (value.trimmed().isEmpty())
            continue;
        sql += QStringLiteral("\r\n") +
               Format(row.descriptor.value(F("paramsql")).toString(), {value});
    }
    Db::LogMsg(sql);
    if (Db::dataServices().openDataToCDS(cdsMain, sql)) {
        cxgMainDBTableView1->applyColumns();
        m_showingSearch = true;
    }
    updateCaption();
}

}  // namespace Qd::Core::Base
