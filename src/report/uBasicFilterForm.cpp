#include "report/uBasicFilterForm.h"

#include <QHBoxLayout>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "core/ModuleList.h"
#include "core/uMyCxGrid.h"
#include "db/Trace.h"
#include "report/FilterColumns.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Report {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool onFirstRow(const Ui::GridView* view) {
    return view->currentIndex().row() <= 0;
}

}  // namespace

TBasicFilterForm::TBasicFilterForm(QWidget* AOwner, Sys::TPlugItem* Data, TFilterModel model)
    : TBaseForm(AOwner), _model(model), PlugItem(Data) {
    setObjectName(F("TBasicFilterForm"));
    setWindowTitle(F("基础资料选择基窗体"));
    resize(860, 560);

    actok = new QAction(F("确定"), this);
    connect(actok, &QAction::triggered, this,
            [this] { Sys::dispatch([this] { actokExecute(); }); });
    actcancel = new QAction(F("取消"), this);
    connect(actcancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    actList << actok << actcancel;

    // Left: the category tree and the (unwired) query page.
    dxTabContainer = new QTabWidget(this);
    dxTabContainer->setObjectName(F("dxTabContainer"));
    dbtCategory = new Ui::GridTreeView(F("dbtCategory"));
    dbtCategory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbtCategory->setRecordSet(&cdsCategory, F("id"), F("pid"), {F("code"), F("name")});
    dbtCategory->setColumnWidth(0, 90);
    dxTabContainer->addTab(dbtCategory, F("分类"));
    auto* query = new QWidget;
    auto* queryLayout = new QVBoxLayout(query);
    queryLayout->setContentsMargins(2, 2, 2, 2);
    cxgParams = new Ui::PropertyGrid(query);
    cxgParams->setObjectName(F("cxgParams"));
    btnFind = new QPushButton(F("查询"), query);
    btnFind->setObjectName(F("btnFind"));
    queryLayout->addWidget(cxgParams, 1);
    queryLayout->addWidget(btnFind);
    dxTabContainer->addTab(query, F("查询"));

    // Right: the quick search, the list, the chosen rows.
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(F("快速查询："), right));
    edtQuickSearch = new QLineEdit(right);
    edtQuickSearch->setObjectName(F("edtQuickSearch"));
    searchRow->addWidget(edtQuickSearch, 1);
    btnQuickSearch = new QPushButton(F("快速查询"), right);
    btnQuickSearch->setObjectName(F("btnQuickSearch"));
    btnQuickSearch->setAutoDefault(false);
    searchRow->addWidget(btnQuickSearch);
    rightLayout->addLayout(searchRow);
    cxgMain = new Ui::Grid(F("cxgMain"), right);
    cxgMainView = cxgMain->addLevel(F("cxgMainDBTableView1"));
    cxgMainView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rightLayout->addWidget(cxgMain, 3);
    lblSelected = new QLabel(F("已选项目列表(双击可删除选中）："), right);
    rightLayout->addWidget(lblSelected);
    cxgSelected = new Ui::Grid(F("cxgSelected"), right);
    cxgSelectedView = cxgSelected->addLevel(F("cxgSelectedDBTableView1"));
    cxgSelectedView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rightLayout->addWidget(cxgSelected, 2);

    auto* split = new QSplitter(this);
    split->addWidget(dxTabContainer);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 640});

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* ok = Base::buttonFor(actok, this);
    ok->setAutoDefault(false);
    buttons->addWidget(ok);
    QPushButton* cancel = Base::buttonFor(actcancel, this);
    cancel->setAutoDefault(false);
    buttons->addWidget(cancel);
    auto* main = new QVBoxLayout(this);
    main->addWidget(split, 1);
    main->addLayout(buttons);

    connect(edtQuickSearch, &QLineEdit::textChanged, this,
            [this] { Sys::dispatch([this] { LocateData(); }); });
    connect(cxgMainView, &QAbstractItemView::doubleClicked, this,
            [this] { Sys::dispatch([this] { pickCurrent(); }); });
    connect(cxgSelectedView, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) {
                Sys::dispatch([&] {
                    cdsSelected.moveTo(index.row());
                    removeSelected();
                });
            });
    connect(dbtCategory, &Ui::GridTreeView::currentKeyChanged, this, [this](const QVariant& key) {
        if (!m_loadingCategories)
            Sys::dispatch([this, key] { categoryChosen(key); });
    });
    for (QWidget* w : {static_cast<QWidget*>(edtQuickSearch), static_cast<QWidget*>(cxgMainView),
                       static_cast<QWidget*>(cxgSelectedView)})
        w->installEventFilter(this);

    cxgMainView->setRecordSet(&cdsMain);
    cxgSelectedView->setRecordSet(&cdsSelected);
    FormCreate();
    cxgMainView->setEmptyText(F("<未找到相关记录>"));
    _init();
    buildFilterColumns(cxgMainView, PlugItem);
    if (_model == fmMulti)
        buildFilterColumns(cxgSelectedView, PlugItem);
    const QString key = filterLayoutKey(objectName(), PlugItem);
    Base::TMyCxGrid::restoreGridColumnStyle(cxgMain, key);
    if (_model == fmMulti)
        Base::TMyCxGrid::restoreGridColumnStyle(cxgSelected, key);
    m_layoutsRestored = true;
}

TBasicFilterForm::~TBasicFilterForm() {
    cxgMainView->setRecordSet(nullptr);
    cxgSelectedView->setRecordSet(nullptr);
    dbtCategory->disconnect(this);
    dbtCategory->setRecordSet(nullptr, {}, {}, {});
}

void TBasicFilterForm::_init() {
    setWindowTitle(PlugItem ? PlugItem->name : QString());
    const auto* basic = dynamic_cast<const Sys::TPlugItemSingleBasic*>(PlugItem);
    pluginfo =
        QJsonDocument::fromJson(basic ? basic->getplugInfo().toUtf8() : QByteArray()).object();
    filterInfo = pluginfo.value(F("filter")).toObject();
    if (filterInfo.value(F("mainsql")).toString().trimmed().isEmpty()) {
        const QString missing = pluginfo.contains(F("filter")) ? F("filter.mainsql") : F("filter");
        const QString text = F("模块 %1（%2）的描述缺少“%3”，不能列出可选的记录")
                                 .arg(PlugItem ? PlugItem->code : QString(),
                                      PlugItem ? PlugItem->name : QString(), missing);
        Db::LogError(text);
        Db::MessageMyDlg(text, F("提示"), int(Ui::MsgKind::Error), Ui::MsgButtons::Ok);
    }
    p1Field = F("p1");
    p2Field = F("p2");
    loadCategory();
    lblSelected->setVisible(_model == fmMulti);
    cxgSelected->setVisible(_model == fmMulti);
    cdsSelected.setReadOnly(false);
    prepareSelected();
}

void TBasicFilterForm::loadCategory() {
    m_loadingCategories = true;
    Base::loadCategoryTree(cdsCategory, PlugItem ? PlugItem->code : QString());
    dbtCategory->refresh();
    // No category is chosen at first: the list starts with every row of the module.
    dbtCategory->selectionModel()->clearSelection();
    dbtCategory->selectionModel()->clearCurrentIndex();
    m_loadingCategories = false;
    category_p1 = category_p2 = 0;
    getMainData(categoryCondition());
}

void TBasicFilterForm::categoryChosen(const QVariant& key) {
    if (!cdsCategory.active() || cdsCategory.isEmpty() || key.isNull() ||
        !cdsCategory.locate(F("id"), key))
        return;
    const int id = cdsCategory.field(F("id")).asInteger();
    const int pid = cdsCategory.field(F("pid")).asInteger();
    category_p1 = pid != 0 ? pid : id;
    category_p2 = pid != 0 ? id : 0;
    refreshList();
}

QString TBasicFilterForm::categoryCondition() const {
    QString where;
    if (category_p1 != 0)
        where += F(" and p1=") + QString::number(category_p1) + F(" ");
    if (category_p2 != 0)
        where += F(" and p2=") + QString::number(category_p2) + F(" ");
    return where;
}

void TBasicFilterForm::getMainData(const QString& where) {
    loadList(listStatement(), where, {});
}

void TBasicFilterForm::refreshList() {
    getMainData(categoryCondition());
}

QJsonObject TBasicFilterForm::listStatement() const {
    const QString mainsql = filterInfo.value(F("mainsql")).toString();
    if (mainsql.trimmed().isEmpty())
        return {};
    QJsonObject statement{{F("mainsql"), mainsql + F("\r\n")}};
    if (pluginfo.contains(F("sort")))
        statement.insert(F("sort"), pluginfo.value(F("sort")));
    return statement;
}

void TBasicFilterForm::loadList(const QJsonObject& statement, const QString& where,
                                const Db::Params& params) {
    if (statement.isEmpty())
        return;
    // The module list's loader: the statement, the sort, :orgid, back to the row it was on.
    if (Base::loadModuleRows(cdsMain, statement, where, params)) {
        cxgMainView->applyColumns();
        prepareSelected();
    }
}

void TBasicFilterForm::prepareSelected() {
    if (cdsSelected.active() || !cdsMain.active())
        return;
    cdsSelected.cloneStructure(cdsMain);
    for (int i = 0; i < cdsSelected.fieldCount(); ++i) {
        Db::FieldDef& def = cdsSelected.fieldDef(i);
        def.readOnly = false;
        def.required = false;
    }
    cdsSelected.createDataSet();
    cdsSelected.setLogChanges(false);
    cxgSelectedView->applyColumns();
}

void TBasicFilterForm::LocateData() {}

bool TBasicFilterForm::QuickSearch() {
    if (edtQuickSearch->text().isEmpty() || !cdsMain.active() || cdsMain.recordCount() != 1)
        return false;
    pickCurrent();
    // Picking one, the pick has closed the dialog already: 确定 would add the row again.
    if (_model == fmMulti)
        actokExecute();
    return true;
}

void TBasicFilterForm::pickCurrent() {
    if (!cdsMain.active() || cdsMain.isEmpty())
        return;
    prepareSelected();
    cdsSelected.append();
    for (int i = 0; i < cdsSelected.fieldCount(); ++i) {
        const QString& name = cdsSelected.fieldDef(i).name;
        if (cdsMain.hasField(name))
            cdsSelected.field(i).setValue(cdsMain.field(name).value());
    }
    cdsSelected.post();
    if (_model == fmSingle) {
        FreturnJson = Db::TJsonDB::ClientDataSetToJSON(cdsSelected, false);
        done(QDialog::Accepted);
    }
}

void TBasicFilterForm::removeSelected() {
    if (cdsSelected.active() && !cdsSelected.isEmpty())
        cdsSelected.deleteRecord();
}

void TBasicFilterForm::actokExecute() {
    if (_model == fmSingle) {
        pickCurrent();
        return;
    }
    if (!cdsSelected.active() || cdsSelected.isEmpty())
        return;
    FreturnJson = Db::TJsonDB::ClientDataSetToJSON(cdsSelected, false);
    done(QDialog::Accepted);
}

void TBasicFilterForm::quickSearchEntered() {
    cxgMainView->setFocus(Qt::OtherFocusReason);
}

bool TBasicFilterForm::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return TBaseForm::eventFilter(watched, e);
    const auto* key = static_cast<QKeyEvent*>(e);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return TBaseForm::eventFilter(watched, e);
    // The dialog's own moves, taken before the widget (and the base form's Enter) sees the key.
    if (watched == edtQuickSearch) {
        if (key->key() == Qt::Key_Down) {
            cxgMainView->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (isEnter(key->key())) {
            Sys::dispatch([this] { quickSearchEntered(); });
            return true;
        }
    } else if (watched == cxgMainView) {
        if (key->key() == Qt::Key_Up && (!cdsMain.active() || onFirstRow(cxgMainView))) {
            edtQuickSearch->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (isEnter(key->key())) {
            Sys::dispatch([this] { pickCurrent(); });
            return true;
        }
    } else if (watched == cxgSelectedView) {
        if (key->key() == Qt::Key_Up && onFirstRow(cxgSelectedView)) {
            cxgMainView->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return TBaseForm::eventFilter(watched, e);
}

void TBasicFilterForm::storeLayouts() {
    if (!m_layoutsRestored)
        return;
    const QString key = filterLayoutKey(objectName(), PlugItem);
    Base::TMyCxGrid::storeGridColumnStyle(cxgMain, key);
    if (_model == fmMulti)
        Base::TMyCxGrid::storeGridColumnStyle(cxgSelected, key);
}

void TBasicFilterForm::done(int r) {
    storeLayouts();
    TBaseForm::done(r);
}

}  // namespace Qd::Core::Report
