#pragma once

#include "DemoBillForm.h"

class QLineEdit;
class QToolButton;

namespace Qd::App {

// The amount of an order line: quantity x price x discount (a NULL or empty discount counts
// 1), computed on the exact 4-place values and rounded half away from zero to 2 places.
// Returns the amount in units of 0.0001 (the currency scale).
qint64 lineAmountUnits(const QVariant& quantity, const QVariant& price, const QVariant& discount);

// The demo's order bill (module XMZZK, 订单): a header of customer, salesperson, project and
// summary over the lines of items, quantities, prices and discounts; a line's amount follows
// its quantity, price and discount. Auditing it marks its open work records done.
class TOrderBillForm : public TDemoBillForm {
    Q_OBJECT
public:
    using TDemoBillForm::TDemoBillForm;

    // The window, then its own actions: 流程跟踪 (the order's flow) and 订单文件 (the order's
    // folder in the file explorer, stored behind "_10" like the attachments).
    void _init() override;
    QString generateSqlAuditing_1() override;
    // Picked items become lines of quantity 1 with their name, 规格 (size and material), unit
    // and price.
    void SelectedxmbmkToDetail(const QString& selection) override;
    Core::Bill::MergeOptions mergeOptions() const override;
    void afterMerge() override;
    // The base's switch; the customer's find button follows it.
    void ComponentReadOnly(bool readOnly) override;

    // The header's editors, named after their fields; owned by the window.
    QWidget* edtBilldate = nullptr;
    QToolButton* btnFindCustomer = nullptr;  // the quick filter of 客户资料 under lcbCustomer
    Core::Ui::LookupComboBox* lcbSalesman = nullptr;
    QLineEdit* edtProject = nullptr;
    QLineEdit* edtSummary = nullptr;
    QLineEdit* edtRemark = nullptr;
    QAction* actFlow = nullptr;   // 流程跟踪
    QAction* actFiles = nullptr;  // 订单文件

protected:
    void buildHeader() override;
    // A line's sl, dj or zk changed: its amount, then (je) the order's total.
    void dsDetailDataChange(int field) override;

private:
    // While adding or editing: 工程项目名称 from the names orders used; 客户 found by the quick
    // filter.
    void pickProjectName();
    void findCustomer();
    // Every line's amount from its quantity, price and discount.
    void computeLineAmounts();
};

// Registers the demo's bill windows (订单, 收款单) with the plug-in pool.
void registerDemoBills();

}  // namespace Qd::App
