#include "DemoBillForm.h"

#include <QGridLayout>
#include <QJsonObject>
#include <QLabel>
#include <QRegularExpression>
#include <cmath>

#include "bill/BillWrites.h"
#include "db/DataServices.h"
#include "sys/uAuth.h"
#include "ui/editors/Editors.h"

namespace Qd::App {

using namespace Core;

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

constexpr char kNoCustomer[] = "请选择客户。";
constexpr char kNoLines[] = "请至少录入一行明细。";

// A stored amount is a whole count that the double misses by far less than half a unit
// (19.99 is 199900, never 199899.99...).
std::optional<qint64> unitsOf(double v) {
    const double scaled = v * 10000.0;
    if (!std::isfinite(scaled) || std::abs(scaled) > 9e15)
        return std::nullopt;
    return std::llround(scaled);
}

}  // namespace

std::optional<qint64> currencyUnits(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    bool ok = false;
    const double number =
        v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    return ok ? unitsOf(number) : std::nullopt;
}

TDemoBillForm::~TDemoBillForm() {
    cdsDetail.afterDelete = nullptr;  // the record sets outlive this part of the window
    cdsDetail.afterCancel = nullptr;
}

void TDemoBillForm::_init() {
    TSampleBillEditRibbonForm::_init();
    m_detailTable = pluginfo.value(F("data"))
                        .toObject()
                        .value(F("detail"))
                        .toObject()
                        .value(F("tablename"))
                        .toString();
    buildHeader();
    auto* grid = static_cast<QGridLayout*>(headerArea->layout());
    for (int column = 1; column < 4; column += 2)
        grid->setColumnStretch(column, 1);
    grid->setRowStretch(grid->rowCount(), 1);
    cdsDetail.afterDelete = [this](Db::RecordSet&) { recomputeTotal(); };
    cdsDetail.afterCancel = [this](Db::RecordSet&) { recomputeTotal(); };
    OpenBillData(openParams().trimmed());
}

void TDemoBillForm::place(const char* caption, QWidget* editor, int span) {
    auto* grid = static_cast<QGridLayout*>(headerArea->layout());
    if (span > 1 && m_cell % 2)
        ++m_cell;  // a whole row starts a row
    const int row = m_cell / 2;
    const int column = (m_cell % 2) * 2;
    auto* label = new QLabel(F(caption), headerArea);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, row, column);
    grid->addWidget(editor, row, column + 1, 1, span * 2 - 1);
    m_cell += span;
}

// The tool tip names the master column for the lookup's handler.
Ui::LookupComboBox* TDemoBillForm::headerLookup(const char* field, QWidget* parent) {
    auto* combo = static_cast<Ui::LookupComboBox*>(
        addHeaderEditor(F(field), Ui::EditorKind::LookupCombo, parent));
    combo->setToolTip(F(field));
    BindLookupComboboxProperties(combo, F(field));
    return combo;
}

Ui::CurrencyEdit* TDemoBillForm::totalEditor(const char* field) {
    Ui::EditorProps props;
    props.kind = Ui::EditorKind::Money;
    props.decimals = 2;
    props.displayFormat = F("#,##0.00");
    return static_cast<Ui::CurrencyEdit*>(addHeaderEditor(F(field), props));
}

bool TDemoBillForm::headerEditable() const {
    return FDataOperateState != Sys::TOperateState::browse && billShown();
}

// ---- loading ------------------------------------------------------------------------------

bool TDemoBillForm::LoadBillData(const QString& no, Db::RecordSet& master, Db::RecordSet& detail) {
    m_computing = true;  // the total as loaded, not recomputed line by line
    const bool loaded = TSampleBillEditRibbonForm::LoadBillData(no, master, detail);
    m_computing = false;
    return loaded;
}

// The demo's own placeholder: ":store", the session's store (the empty request loads the
// user's newest bill there). ":billno" and ":userCode" are the window's.
void TDemoBillForm::fillOwnPlaceholders(QString& sql) const {
    static const QRegularExpression store(QStringLiteral(":store\\b"));
    const Sys::TAuth* auth = Sys::sysAuth();
    sql.replace(store, QString::number(auth ? auth->storeId : 0));
}

void TDemoBillForm::ComponentReadOnly(bool readOnly) {
    TSampleBillEditRibbonForm::ComponentReadOnly(readOnly);
    if (edtTotal)
        Ui::setEditorReadOnly(edtTotal, true);
}

// ---- the total ----------------------------------------------------------------------------

void TDemoBillForm::dsDetailDataChange(int field) {
    if (!m_computing && field >= 0 &&
        cdsDetail.fieldDef(field).name.compare(F("je"), Qt::CaseInsensitive) == 0)
        recomputeTotal();
}

void TDemoBillForm::recomputeTotal() {
    if (m_computing || !cdsDetail.active() || !headerEditable())
        return;
    const int je = cdsDetail.fieldIndex(F("je"));
    qint64 total = 0;
    for (int pos = 0; pos < cdsDetail.recordCount(); ++pos) {
        const std::uint32_t row = cdsDetail.rowAt(pos);
        if (!cdsDetail.isNullAt(row, je))
            total += unitsOf(cdsDetail.floatAt(row, je)).value_or(0);
    }
    Db::Field field = cdsMaster.field(F("je"));
    if (!field.isNull() && currencyUnits(field.value()) == total)
        return;
    if (cdsMaster.state() == Db::DataSetState::Browse)
        cdsMaster.edit();
    field.setValue(double(total) / 10000.0);
}

// ---- checks and writes --------------------------------------------------------------------

bool TDemoBillForm::CheckBillError(QString& message) {
    if (TSampleBillEditRibbonForm::CheckBillError(message))
        return true;
    if (cdsMaster.field(F("kh_id")).asInteger() <= 0) {
        message = F(kNoCustomer);
        return true;
    }
    if (cdsDetail.isEmpty()) {
        message = F(kNoLines);
        return true;
    }
    return false;
}

int TDemoBillForm::_Insert() {
    return descriptorProblem().isEmpty() ? Bill::insertNumberedBill(*this, m_detailTable) : -1;
}

int TDemoBillForm::_Update() {
    return descriptorProblem().isEmpty() ? Bill::updateBill(*this, m_detailTable) : -1;
}

int TDemoBillForm::_delete() {
    return descriptorProblem().isEmpty() ? Bill::deleteDraftBill(*this, m_detailTable) : -1;
}

}  // namespace Qd::App
