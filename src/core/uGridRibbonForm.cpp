#include "core/uGridRibbonForm.h"

#include <QCloseEvent>
#include <QStyle>
#include <QVBoxLayout>

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
    actColumns->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    // The close action stays last on the toolbar.
    BarManagerBar1->removeAction(actclose);
    BarManagerBar1->addAction(actclose);
    connect(actRefresh, &QAction::triggered, this, [this] {
        refreshJoinTables(joinTableList);
        getMainData();
    });
    connect(actColumns, &QAction::triggered, this,
            [this] { TMyCxGrid::storeGridColumnStyle(cxgMain, layoutKey()); });
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
    ColumnBuilder::Options options;
    options.moduleCode = layoutKey();
    options.types = ColumnBuilder::listTypes();
    options.joinTableList = &joinTableList;
    options.onEditValueChange = [this](QWidget* editor) {
        copyLookupValues(joinTableList, editor, cdsMain);
    };
    ColumnBuilder builder(options);
    Sys::TPlugItemSingleBasic* item = descriptorItem();
    builder.build(cxgMainDBTableView1, item ? item->GetColumnsJson() : QString());
    builder.reportProblems();
    TMyCxGrid::restoreGridColumnStyle(cxgMain, layoutKey());
}

void TGridRibbonForm::getMainData() {
    const QString sql = pluginfo.value(QStringLiteral("mainsql")).toString();
    if (sql.isEmpty())
        return;
    const QString sort = pluginfo.value(QStringLiteral("sort")).toString();
    const QVariant key =
        cdsMain.active() && cdsMain.hasField(QStringLiteral("id")) && !cdsMain.isEmpty()
            ? cdsMain.field(QStringLiteral("id")).value()
            : QVariant();
    const Sys::TAuth* auth = Sys::sysAuth();
    Db::dataServices().openDataToCDS(
        cdsMain, sort.isEmpty() ? sql : sql + QStringLiteral(" order by ") + sort,
        {{QStringLiteral("orgid"), auth ? auth->orgId : QString()}});
    if (!key.isNull())
        cdsMain.locate(QStringLiteral("id"), key);
    cxgMainDBTableView1->applyColumns();
}

void TGridRibbonForm::closeEvent(QCloseEvent* e) {
    TMyCxGrid::storeGridColumnStyle(cxgMain, layoutKey());
    TBaseRibbonForm::closeEvent(e);
}

namespace {
FormHost& host() {
    static FormHost h;
    return h;
}
}  // namespace

void setFormHost(const FormHost& h) {
    host() = h;
}
const FormHost& formHost() {
    return host();
}

void registerFrameworkForms() {
    Sys::TPlugsPool::registerOpenEntry(
        QStringLiteral("TGridRibbonForm"),
        [](QWidget* owner, Sys::TPlugItem& item, const QString&, const QString&, QString&, int) {
            if (!host().pageControl)
                throw Db::DbError(QStringLiteral("没有可停靠工作窗口的页面"));
            TBaseRibbonForm::generateForm(
                owner,
                [](QWidget* o, Sys::TPlugItem* data) { return new TGridRibbonForm(o, data); },
                host().pageControl, host().barManager, host().ribbon, &item);
        });
}

}  // namespace Qd::Core::Base
