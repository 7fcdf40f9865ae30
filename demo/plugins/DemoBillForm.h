#pragma once

#include <QVariant>
#include <optional>

#include "bill/uSampleBillEditRibbonForm.h"

class QGridLayout;

namespace Qd::Core::Ui {
class CurrencyEdit;
class LookupComboBox;
}  // namespace Qd::Core::Ui

namespace Qd::App {

// A value as a count of 0.0001 (the currency scale), rounded half away from zero; a text by
// its number; none for NULL or what is not a number.
std::optional<qint64> currencyUnits(const QVariant& v);

// What the demo's two bills (订单, 收款单) share on top of the simple bill window: a customer,
// lines whose amounts (je) add up to the bill's 金额, the header editors laid out in pairs of
// caption and editor, and the writes of the bill and its lines table ("data"/"detail"/
// "tablename"). The module's parameters text is the number of the bill to open; empty opens
// the user's newest bill in the store (the master statement's ":store").
class TDemoBillForm : public Core::Bill::TSampleBillEditRibbonForm {
    Q_OBJECT
public:
    using TSampleBillEditRibbonForm::TSampleBillEditRibbonForm;
    ~TDemoBillForm() override;

    // The window, its header (buildHeader), then the bill asked for.
    void _init() override;
    bool LoadBillData(const QString& no, Core::Db::RecordSet& master,
                      Core::Db::RecordSet& detail) override;
    void fillOwnPlaceholders(QString& sql) const override;
    void ComponentReadOnly(bool readOnly) override;
    // A customer and at least one line.
    bool CheckBillError(QString& message) override;
    int _Insert() override;
    int _Update() override;
    int _delete() override;

    Core::Ui::LookupComboBox* lcbCustomer = nullptr;
    Core::Ui::CurrencyEdit* edtTotal = nullptr;  // 金额: the lines' sum, never typed

protected:
    virtual void buildHeader() = 0;
    // A line's amount changed: the bill's total follows.
    void dsDetailDataChange(int field) override;
    // The bill's 金额 from its lines (while adding or editing).
    void recomputeTotal();
    bool headerEditable() const;

    // Puts a caption and its editor in the next cell of the header (two to a row; span 2
    // takes a whole row).
    void place(const char* caption, QWidget* editor, int span = 1);
    // A lookup of the descriptor's "properties" bound to its master column.
    Core::Ui::LookupComboBox* headerLookup(const char* field, QWidget* parent = nullptr);
    // A read-only money editor for the total.
    Core::Ui::CurrencyEdit* totalEditor(const char* field);

    bool m_computing = false;  // a load or a batch of lines: the total once, at the end

private:
    QString m_detailTable;
    int m_cell = 0;
};

}  // namespace Qd::App
