#include "report/uBaseReportForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "core/FormHost.h"
#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/uBaseForm.h"
#include "core/uMyCxGrid.h"
#include "db/DataServices.h"
#include "db/QueryProgress.h"
#include "db/Trace.h"
#include "print/uDataSetCollection.h"
#include "print/uPrinterForm.h"
#include "report/uDataset2ExcelWizardForm.h"
#include "sys/SystemServices.h"
#include "sys/uPlugItem.h"
#include "ui/DockPanel.h"
#include "ui/editors/Editors.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Report {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

TBaseReportForm::TBaseReportForm(QWidget* owner, Sys::TPlugItem* data)
    : TBaseRibbonForm(owner, data) {
    setObjectName(QStringLiteral("TBaseReportForm"));
    resize(1000, 620);

    // The toolbar: 查询 | 列设置 | 导出, 打印 | 退出.
    BarManagerBar1->removeAction(actclose);
    actopen = addAction(QStringLiteral("actopen"), F("查询"));
    actopen->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    BarManagerBar1->addSeparator();
    actColConfig = addAction(QStringLiteral("actColConfig"), F("列设置"));
    actColConfig->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    BarManagerBar1->addSeparator();
    actexportwizard = addAction(QStringLiteral("actexportwizard"), F("导出"));
    actexportwizard->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    actexportwizard->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F2));
    actprint = addAction(QStringLiteral("actprint"), F("打印"));
    actprint->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    BarManagerBar1->addSeparator();
    BarManagerBar1->addAction(actclose);

    const auto formAction = [this](const char* name, const char* caption) {
        auto* a = new QAction(F(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        actlst << a;
        return a;
    };
    actExport2Xls = formAction("actExport2Xls", "导出");
    actcopyvalue = formAction("actcopyvalue", "复制选中单元格");
    actcopyrowvalue = formAction("actcopyrowvalue", "复制选中行");
    actcopyrowwithtitlevalue = formAction("actcopyrowwithtitlevalue", "复制选中行（包含表头）");

    const auto on = [this](QAction* a, auto handler) {
        connect(a, &QAction::triggered, this,
                [this, handler] { Sys::dispatch([&] { handler(); }); });
    };
    on(actopen, [this] { _open(); });
    on(actColConfig, [this] { actColConfigExecute(); });
    on(actexportwizard, [this] { actexportwizardExecute(); });
    on(actExport2Xls, [this] { actExport2XlsExecute(); });
    on(actprint, [this] { actprintExecute(); });
    on(actcopyvalue, [this] {
        if (cxgMainDBBandedTableView1->currentIndex().isValid())
            copyToClipboard(
                cxgMainDBBandedTableView1->currentIndex().data(Qt::EditRole).toString());
    });
    on(actcopyrowvalue, [this] { copyToClipboard(selectedText(false)); });
    on(actcopyrowwithtitlevalue, [this] { copyToClipboard(selectedText(true)); });

    // Left: the parameters, the date presets above them and 查询 below.
    dxPanelParams = new Ui::DockPanel(QStringLiteral("dxPanelParams"));
    dxPanelParams->setCaption(F("查询条件"));
    auto* params = new QWidget;
    auto* paramsLayout = new QVBoxLayout(params);
    paramsLayout->setContentsMargins(2, 2, 2, 2);
    rgDateRange = new Base::DateRangeGroup(params);
    rgDateRange->setObjectName(QStringLiteral("rgDateRange"));
    rgDateRange->hide();
    connect(rgDateRange, &Base::DateRangeGroup::itemClicked, this,
            [this](int index) { rgDateRangeClick(index); });
    vgParams = new Ui::PropertyGrid(params);
    vgParams->setObjectName(QStringLiteral("vgParams"));
    vgParams->setCaptionLayout(92, Qt::AlignRight | Qt::AlignVCenter);
    btnopen = Base::buttonFor(actopen, params);
    btnopen->setObjectName(QStringLiteral("btnopen"));
    paramsLayout->addWidget(rgDateRange);
    paramsLayout->addWidget(vgParams, 1);
    paramsLayout->addWidget(btnopen);
    dxPanelParams->setContent(params);

    // Right: the result.
    dxPanelResult = new Ui::DockPanel(QStringLiteral("dxPanelResult"));
    dxPanelResult->setCaption(F("查询结果"));
    cxgMain = new Ui::Grid(QStringLiteral("cxgMain"));
    dxPanelResult->setContent(cxgMain);
    cxgMainDBBandedTableView1 = cxgMain->addLevel(QStringLiteral("cxgMainDBBandedTableView1"));
    Ui::GridView* view = cxgMainDBBandedTableView1;
    view->setRecordSet(&cdsMain);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setCellSelection(true);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    view->addActions({actcopyvalue, actcopyrowvalue, actcopyrowwithtitlevalue});
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        cdsMain.moveTo(index.row());
        Sys::dispatch([this] { cxgMainDBBandedTableView1DblClick(); });
    });

    auto* split = new QSplitter(this);
    split->addWidget(dxPanelParams);
    split->addWidget(dxPanelResult);
    split->setStretchFactor(1, 1);
    split->setSizes({260, 740});
    setCentralWidget(split);

    m_panel = std::make_unique<Base::ParamsPanel>(
        vgParams, &joinTableList,
        Base::ParamsPanel::Options{.moduleCode = PlugItem ? PlugItem->code : QString(),
                                   .title = QString(),
                                   .reportSpecials = true,
                                   .pickerOwner = this});
}

TBaseReportForm::~TBaseReportForm() {
    cxgMainDBBandedTableView1->setRecordSet(nullptr);
}

bool TBaseReportForm::hasRows() const {
    return cdsMain.active() && !cdsMain.isEmpty();
}

QString TBaseReportForm::layoutKey() const {
    return (PlugItem ? PlugItem->code : QString()) + QLatin1Char('_') + FrptCode;
}

// The form's descriptor is the report's, read by init; the plug item's is not used.
void TBaseReportForm::_init() {
    if (PlugItem)
        setWindowTitle(PlugItem->title);
}

void TBaseReportForm::setComponentsProp() {
    TBaseRibbonForm::setComponentsProp();
    cxgMainDBBandedTableView1->setEmptyText(F("<暂无记录，请重新设置查询条件>"));
}

void TBaseReportForm::descriptorProblem(const QString& what) const {
    Base::showError(F("报表“%1”（%2）的描述有误：%3。").arg(FrptName, FrptCode, what));
}

void TBaseReportForm::init(const QString& rptName, const QString& _params) {
    FrptName = rptName;
    setCaption(rptName);
    Db::RecordSet row;
    // The title between quotes, its own quotes doubled.
    const QString sql = F("select * from qd_sys_rptmain where title = '") + Db::quoteSql(rptName) +
                        QLatin1Char('\'');
    Db::LogMsg(sql);
    if (!Db::dataServices().openDataToCDS(row, sql) || row.isEmpty())
        return;
    FrptCode = row.field(QStringLiteral("code")).asString();
    const QString text = row.field(QStringLiteral("pluginfo")).asString();
    Db::LogMsg(text);
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    hasPluginfo = doc.isObject();
    pluginfo = doc.object();
    Db::LogMsg(QString::fromUtf8(QJsonDocument(pluginfo).toJson(QJsonDocument::Compact)));
    mainsql = pluginfo.value(QStringLiteral("mainsql")).toString();
    m_hasReport = hasPluginfo && !mainsql.isEmpty();
    if (!hasPluginfo) {
        descriptorProblem(F("描述不是 JSON 对象，报表无法查询"));
        return;
    }
    if (mainsql.isEmpty())
        Base::showError(
            F("报表“%1”（%2）的描述不完整：缺少“mainsql”。报表无法查询。").arg(FrptName, FrptCode));
    _initParams();
    _initColumns();
    m_panel->applyIncoming(_params);
}

void TBaseReportForm::_initParams() {
    m_panel->build(pluginfo.value(QStringLiteral("params")).toArray());
    m_panel->reportProblems();
    rgDateRange->setVisible(m_panel->hasDateRange());
}

void TBaseReportForm::_initColumns() {
    if (!pluginfo.contains(QStringLiteral("columns")))
        return;
    Base::ColumnBuilder::Options options = Base::ColumnBuilder::reportOptions();
    options.moduleCode = PlugItem ? PlugItem->code : FrptCode;
    Base::ColumnBuilder builder(options);
    Ui::GridView* view = cxgMainDBBandedTableView1;
    const int count = builder.buildBands(view, pluginfo.value(QStringLiteral("columns")).toArray());
    builder.reportProblems();
    view->setAutoWidth(count < 13);
    Base::TMyCxGrid::restoreGridColumnStyle(cxgMain, layoutKey());
}

void TBaseReportForm::rgDateRangeClick(int index) {
    m_panel->applyDateRange(index, Base::panelToday());
}

void TBaseReportForm::OnButtonEditClick(const QString& param) {
    m_panel->pick(param, this);
}

void TBaseReportForm::_open() {
    if (!m_hasReport)
        return;
    const std::optional<Db::Params> values = m_panel->sqlParams();
    if (!values)
        return;
    const QString sql = Sys::sqlTemplate(mainsql);
    Db::CancellableQuery cancellable;
    if (!Db::dataServices().openDataToCDS(cdsMain, sql, Db::boundParams(sql, *values)))
        return;  // the rows and caption shown stay
    updateResultCaption();
}

void TBaseReportForm::updateResultCaption() {
    dxPanelResult->setCaption(F("查询结果  当前记录：%1").arg(cdsMain.recordCount()));
}

// ---- drill-down ---------------------------------------------------------------------------

void TBaseReportForm::cxgMainDBBandedTableView1DblClick() {
    if (!hasRows())
        return;
    const QJsonObject event = pluginfo.value(QStringLiteral("event")).toObject();
    const QString type = event.value(QStringLiteral("type")).toString();
    if (type.isEmpty())
        return;
    const QString name = event.value(QStringLiteral("name")).toString();
    QString target;
    if (type == QLatin1String("str")) {
        target = name;
    } else if (type == QLatin1String("field")) {
        if (cdsMain.fieldIndex(name) < 0)
            return descriptorProblem(F("钻取字段“%1”不在查询结果中").arg(name));
        target = cdsMain.field(name).asString();
    } else {
        return descriptorProblem(F("钻取类型“%1”无效（应为 str 或 field）").arg(type));
    }
    const QString kind = event.value(QStringLiteral("event")).toString(QStringLiteral("bill"));
    if (kind == QLatin1String("bill"))
        drillToBill(event, target);
    else if (kind == QLatin1String("report"))
        drillToReport(event, target);
}

void TBaseReportForm::drillToBill(const QJsonObject& event, const QString& target) {
    const QString keyField =
        event.value(QStringLiteral("keyfield")).toString(QStringLiteral("billno"));
    if (cdsMain.fieldIndex(keyField) < 0)
        return descriptorProblem(F("单号字段“%1”不在查询结果中").arg(keyField));
    const QString billno = cdsMain.field(keyField).asString();
    if (billno.isEmpty())
        return;
    Sys::TPlugItem* item = Sys::plugsPool().plugbyName(target, false);
    if (!item)
        return descriptorProblem(F("钻取目标模块“%1”不存在").arg(target));
    QString result;
    item->open(nullptr, billno, result, -1);
}

void TBaseReportForm::drillToReport(const QJsonObject& event, const QString& target) {
    QJsonArray values;
    for (const QJsonValue& v : event.value(QStringLiteral("params")).toArray()) {
        const QJsonObject source = v.toObject();
        const QString type = source.value(QStringLiteral("type")).toString();
        const QString from = source.value(QStringLiteral("value")).toString();
        QString value = QStringLiteral("null");
        if (type == QLatin1String("param")) {
            for (const Base::ParamRow& row : paramsList()) {
                if (row.name != from)
                    continue;
                const QString text = m_panel->value(row.name).toString();
                if (!text.isEmpty())
                    value = text;
                break;
            }
        } else if (type == QLatin1String("field") && cdsMain.fieldIndex(from) >= 0) {
            const QString text = cdsMain.field(from).asString();
            if (!text.isEmpty())
                value = text;
        }
        if (value != QLatin1String("null"))
            values.append(
                QJsonObject{{QStringLiteral("name"), source.value(QStringLiteral("name"))},
                            {QStringLiteral("value"), value}});
    }
    Base::showReportForm(nullptr, target,
                         QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)));
}

// ---- copy ---------------------------------------------------------------------------------

QString TBaseReportForm::selectedText(bool withCaptions) const {
    if (!hasRows())
        return QString();
    const Ui::GridView* view = cxgMainDBBandedTableView1;
    const Ui::GridView::CellBlock block = view->selectedBlock();
    const QString tab = QStringLiteral("\t");
    const QString lineEnd = QStringLiteral("\r\n");
    QString text;
    if (withCaptions) {
        for (int column : block.columns) {
            const Ui::GridColumn* c = view->columnAt(column);
            text += (c ? c->caption : cdsMain.fieldDef(column).name) + tab;
        }
        text += lineEnd;
    }
    for (int pos : block.rows) {
        const std::uint32_t row = cdsMain.rowAt(pos);
        for (int column : block.columns) {
            text += cdsMain.textAt(row, column);
            text += tab;
        }
        text += lineEnd;
    }
    return text;
}

void TBaseReportForm::copyToClipboard(const QString& text) {
    if (!hasRows())
        return;
    QApplication::clipboard()->setText(text);
}

// ---- export and print ---------------------------------------------------------------------

void TBaseReportForm::actColConfigExecute() {
    if (!FrptCode.isEmpty())
        Base::TMyCxGrid::storeGridColumnStyle(cxgMain, layoutKey());
}

void TBaseReportForm::actexportwizardExecute() {
    Tdataset2excelwizardform wizard(this, cxgMain, FrptName);
    Ui::prompter().exec(wizard);
}

void TBaseReportForm::actExport2XlsExecute() {
    Base::exportViewToXlsx(*cxgMainDBBandedTableView1, FrptName);
}

void TBaseReportForm::actprintExecute() {
    if (!cdsMain.active()) {
        Base::showHint(
            F("对不起，未找到相关数据，操作被拒绝。\r\n\r\n请重新设置查询条件后再打印。"));
        return;
    }
    const QString moduleKey = layoutKey();
    Fr4::TDataSetCollection collection;
    collection.Add() = Fr4::TDataSetCollectionItem(&collection, FrptName, moduleKey, &cdsMain);
    // A variable per parameter, named by its title; of equal titles the later one wins.
    Fr4::TUserVariables variables;
    for (const Base::ParamRow& row : paramsList()) {
        // The row's caption without its colon and the blanks after it.
        QString name = row.descriptor.value(QStringLiteral("title")).toString() + F("： ");
        name.remove(F("："));
        while (name.endsWith(QLatin1Char(' ')))
            name.chop(1);
        const QString value = m_panel->value(row.name).toString();
        const auto same = std::find_if(variables.begin(), variables.end(),
                                       [&](const auto& v) { return v.first == name; });
        if (same != variables.end())
            same->second = value;
        else
            variables.append({name, value});
    }
    Fr4::OpenSetPrintReportForm(this, moduleKey, &collection, &variables);
}

void TBaseReportForm::closeEvent(QCloseEvent* e) {
    if (!FrptCode.isEmpty())
        Base::TMyCxGrid::storeGridColumnStyle(cxgMain, layoutKey());
    TBaseRibbonForm::closeEvent(e);
}

void registerReportForm() {
    Base::registerDockedForm(
        QStringLiteral("TBaseReportForm"),
        [](QWidget* o, Sys::TPlugItem* data) { return new TBaseReportForm(o, data); },
        [](Base::TBaseRibbonForm* form, const QString& title, const QString& params) {
            auto* report = static_cast<TBaseReportForm*>(form);
            report->init(title.isEmpty() ? report->PlugItem->title : title, params);
        });
}

}  // namespace Qd::Core::Report
