#include "DemoOrderBill.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStyle>
#include <QToolButton>

#include "DemoReceiptBill.h"
#include "core/FormHost.h"
#include "report/ubasicsamplefilterform.h"
#include "report/uquickfilterform.h"
#include "sys/DescriptorCheck.h"
#include "tools/ufileExplorerform.h"
#include "tools/uxmzzkflowviewform.h"
#include "ui/editors/Editors.h"

namespace Qd::App {

using namespace Core;

namespace {

__extension__ typedef __int128 Wide;  // a product of three 4-place amounts

QString F(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

qint64 lineAmountUnits(const QVariant& quantity, const QVariant& price, const QVariant& discount) {
    const Wide sl = currencyUnits(quantity).value_or(0);
    const Wide dj = currencyUnits(price).value_or(0);
    const Wide zk = currencyUnits(discount).value_or(10000);
    // 12 places; to 2 places is a division by 10^10, rounded half away from zero.
    const Wide product = sl * dj * zk;
    constexpr Wide step = 10000000000LL;
    const Wide magnitude = product < 0 ? -product : product;
    Wide cents = (magnitude + step / 2) / step;
    if (product < 0)
        cents = -cents;
    return qint64(cents * 100);
}

// ---- the header ---------------------------------------------------------------------------

void TOrderBillForm::_init() {
    TDemoBillForm::_init();
    actFlow = addBillAction("actFlow", F("流程跟踪"),
                            style()->standardIcon(QStyle::SP_FileDialogListView), nullptr,
                            [this] { Tools::showflowview(cdsMaster.field(F("id")).asLargeInt()); });
    actFiles = addBillAction(
        "actFiles", F("订单文件"), style()->standardIcon(QStyle::SP_DirIcon), "_10",
        [this] { Tools::chooseOrderFolder(this, cdsMaster.field(F("billno")).asString()); });
}

void TOrderBillForm::buildHeader() {
    edtBilldate = addHeaderEditor(F("billdate"), Ui::EditorKind::Date);
    place("日期：", edtBilldate);
    edtTotal = totalEditor("je");
    place("合计：", edtTotal);

    // The customer: its lookup, and a find button opening the quick filter under it.
    auto* customer = new QWidget(headerArea);
    auto* customerRow = new QHBoxLayout(customer);
    customerRow->setContentsMargins(0, 0, 0, 0);
    customerRow->setSpacing(2);
    lcbCustomer = headerLookup("kh_id", customer);
    btnFindCustomer = new QToolButton(customer);
    btnFindCustomer->setObjectName(F("btnFindCustomer"));
    btnFindCustomer->setText(F("查找"));
    btnFindCustomer->setToolTip(F("按编号、拼音或名称查找客户"));
    connect(btnFindCustomer, &QToolButton::clicked, this, [this] { findCustomer(); });
    customerRow->addWidget(lcbCustomer, 1);
    customerRow->addWidget(btnFindCustomer);
    place("客户：", customer);
    lcbSalesman = headerLookup("ywy_id");
    place("业务员：", lcbSalesman);
    // The project name: typed, or picked from the names the organisation's orders used.
    edtProject = static_cast<QLineEdit*>(addHeaderEditor(F("gcxmmc"), Ui::EditorKind::Button));
    connect(static_cast<Ui::ButtonEdit*>(edtProject), &Ui::ButtonEdit::buttonClicked, this,
            [this] { pickProjectName(); });
    place("工程项目名称：", edtProject, 2);
    // The summary: typed, or picked from 摘要资料 (the window's "zy" button).
    edtSummary = static_cast<QLineEdit*>(addHeaderEditor(F("zy"), Ui::EditorKind::Button));
    place("摘要：", edtSummary, 2);
    edtRemark = static_cast<QLineEdit*>(addHeaderEditor(F("beizhu"), Ui::EditorKind::Text));
    place("备注：", edtRemark, 2);
}

void TOrderBillForm::ComponentReadOnly(bool readOnly) {
    TDemoBillForm::ComponentReadOnly(readOnly);
    if (btnFindCustomer)
        btnFindCustomer->setEnabled(!readOnly);
}

void TOrderBillForm::pickProjectName() {
    if (!headerEditable())
        return;
    const QString name = Report::opengcxmmcfilterform(this);
    if (!name.isEmpty())
        cdsMaster.field(F("gcxmmc")).setValue(name);
}

void TOrderBillForm::findCustomer() {
    Sys::TPlugItem* customers = Sys::plugsPool().plugbyName(F("客户资料"), false);
    if (!headerEditable() || !customers)
        return;
    const QPoint under = lcbCustomer->mapToGlobal(QPoint(0, lcbCustomer->height()));
    Report::showQuickFilter(this, customers, under, [this](QObject*, const QString& json) {
        // The chosen row, as a one-row array.
        const QJsonValue id =
            QJsonDocument::fromJson(json.toUtf8()).array().at(0).toObject().value(F("id"));
        if (!headerEditable() || id.isUndefined())
            return;
        cdsMaster.field(F("kh_id")).setValue(id.toVariant());
    });
}

// ---- lines --------------------------------------------------------------------------------

void TOrderBillForm::dsDetailDataChange(int field) {
    if (m_computing || field < 0)
        return;
    const QString name = cdsDetail.fieldDef(field).name.toLower();
    if (name != QLatin1String("sl") && name != QLatin1String("dj") && name != QLatin1String("zk")) {
        TDemoBillForm::dsDetailDataChange(field);
        return;
    }
    const qint64 units =
        lineAmountUnits(cdsDetail.field(F("sl")).value(), cdsDetail.field(F("dj")).value(),
                        cdsDetail.field(F("zk")).value());
    cdsDetail.field(F("je")).setValue(double(units) / 10000.0);  // exact: whole cents
}

void TOrderBillForm::computeLineAmounts() {
    const int sl = cdsDetail.fieldIndex(F("sl"));
    const int dj = cdsDetail.fieldIndex(F("dj"));
    const int zk = cdsDetail.fieldIndex(F("zk"));
    const int je = cdsDetail.fieldIndex(F("je"));
    for (int pos = 0; pos < cdsDetail.recordCount(); ++pos) {
        const std::uint32_t row = cdsDetail.rowAt(pos);
        const qint64 units = lineAmountUnits(cdsDetail.valueAt(row, sl), cdsDetail.valueAt(row, dj),
                                             cdsDetail.valueAt(row, zk));
        if (!cdsDetail.isNullAt(row, je) && currencyUnits(cdsDetail.valueAt(row, je)) == units)
            continue;
        cdsDetail.moveTo(pos);
        cdsDetail.edit();
        cdsDetail.field(je).setValue(double(units) / 10000.0);
        cdsDetail.post();
    }
}

// ---- merging a conflicting save -----------------------------------------------------------

Core::Bill::MergeOptions TOrderBillForm::mergeOptions() const {
    Core::Bill::MergeOptions options = TDemoBillForm::mergeOptions();
    options.derived = {F("je")};  // a line's amount and the order's total follow the lines
    options.lineCaption = F("gcxmmc");
    return options;
}

void TOrderBillForm::afterMerge() {
    cdsDetail.disableControls();
    m_computing = true;  // the total once, at the end
    {
        const auto enable = qScopeGuard([this] {
            m_computing = false;
            cdsDetail.enableControls();
        });
        computeLineAmounts();
    }
    recomputeTotal();
    cdsMaster.checkBrowseMode();
}

// ---- audit and picked items ---------------------------------------------------------------

QString TOrderBillForm::generateSqlAuditing_1() {
    // 项目订单自动完工: the order's open work records are done once it is audited.
    return F("update qd_sys_doworks set isdone = 1 where xmzzk_id = %1 and isdone = 0")
        .arg(cdsMaster.field(F("id")).asLargeInt());
}

void TOrderBillForm::SelectedxmbmkToDetail(const QString& selection) {
    const QJsonArray rows = QJsonDocument::fromJson(selection.toUtf8()).array();
    for (const QJsonValue& v : rows) {
        const QJsonObject item = v.toObject();
        cdsDetail.append();
        cdsDetail.field(F("xm_id")).setValue(item.value(F("id")).toVariant());
        cdsDetail.field(F("gcxmmc")).setValue(item.value(F("name")).toString());
        cdsDetail.field(F("itemno")).setValue(item.value(F("itemno")).toString());
        cdsDetail.field(F("baseunit")).setValue(item.value(F("baseunit")).toString());
        cdsDetail.field(F("dj")).setValue(item.value(F("dj")).toVariant());
        cdsDetail.field(F("sl")).setValue(1);  // the amount follows (dsDetailDataChange)
        cdsDetail.post();
    }
}

void registerDemoBills() {
    // Both read a simple bill's descriptor.
    for (const char* formClass : {"TOrderBillForm", "TReceiptBillForm"})
        Sys::registerDescriptorKind(F(formClass), F("bill:SimpleBill"));
    Base::registerDockedForm(F("TOrderBillForm"),
                             [](QWidget* owner, Sys::TPlugItem* data) -> Base::TBaseRibbonForm* {
                                 return new TOrderBillForm(owner, data);
                             });
    Base::registerDockedForm(F("TReceiptBillForm"),
                             [](QWidget* owner, Sys::TPlugItem* data) -> Base::TBaseRibbonForm* {
                                 return new TReceiptBillForm(owner, data);
                             });
}

}  // namespace Qd::App
