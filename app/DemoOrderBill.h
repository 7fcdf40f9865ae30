#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariant>

#include "bill/uBaseBillEditRibbonForm.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace Qd::Core::Ui {
class CurrencyEdit;
class Grid;
class GridView;
class LookupComboBox;
}  // namespace Qd::Core::Ui

namespace Qd::App {

// The amount of an order line: quantity x price x discount (a NULL or empty discount counts
// 1), computed on the exact 4-place values and rounded half away from zero to 2 places.
// Returns the amount in units of 0.0001 (the currency scale).
qint64 lineAmountUnits(const QVariant& quantity, const QVariant& price, const QVariant& discount);

// The number stem of a new bill: prefix, then (rule 0) the bill date as yyMMdd, then the
// store's tag; the serial follows it.
QString billNumberStem(const QString& prefix, int rule, const QDate& billDate,
                       const QString& storeTag);

// The demo's order bill (module XMZZK, 订单): a header of customer, salesperson, project and
// summary over the lines of items, quantities, prices and discounts, written and numbered in
// one batch each. The module's parameters text is the number of the bill to open; empty opens
// the user's newest bill in the store.
class TSampleBillEditRibbonForm : public Core::Bill::TBaseBillEditRibbonForm {
    Q_OBJECT
public:
    using TBaseBillEditRibbonForm::TBaseBillEditRibbonForm;

    void _init() override;
    void OpenBillData(const QString& no) override;
    bool LoadBillData(const QString& no, Core::Db::RecordSet& master,
                      Core::Db::RecordSet& detail) override;
    void BeforeAppend() override;
    bool CheckBillError(QString& message) override;
    void fillMasterData() override;
    int _Insert() override;
    int _Update() override;
    int _delete() override;
    QString generateSqlAuditing_1() override;
    // Picked items become lines of quantity 1 with their name, 规格 (size and material), unit
    // and price.
    void SelectedxmbmkToDetail(const QString& selection) override;
    void ComponentReadOnly(bool readOnly) override;
    Core::Bill::MergeOptions mergeOptions() const override;
    void afterMerge() override;

    // The header's editors, named after their fields; owned by the window.
    QLineEdit* edtBillno = nullptr;
    QWidget* edtBilldate = nullptr;
    QLabel* lblState = nullptr;  // 未审核 / 已审核
    Core::Ui::LookupComboBox* lcbCustomer = nullptr;
    QToolButton* btnFindCustomer = nullptr;  // the quick filter of 客户资料 under lcbCustomer
    Core::Ui::LookupComboBox* lcbSalesman = nullptr;
    QLineEdit* edtProject = nullptr;
    QLineEdit* edtSummary = nullptr;
    Core::Ui::CurrencyEdit* edtTotal = nullptr;
    QLineEdit* edtRemark = nullptr;
    Core::Ui::Grid* cxgDetail = nullptr;
    Core::Ui::GridView* gridDetail = nullptr;  // the lines: cxgDetail's view

private:
    void buildHeader(QWidget* page);
    Core::Ui::LookupComboBox* headerLookup(const char* field, QWidget* parent);
    void showState(bool audited);  // the 未审核 / 已审核 label
    // While adding or editing: 工程项目名称 from the names orders used; 客户 found by the quick
    // filter.
    bool headerEditable() const;
    void pickProjectName();
    void findCustomer();
    // A line's sl, dj or zk changed: its amount, then the order's total.
    void detailChanged(int field);
    void recomputeTotal();
    // Every line's amount from its quantity, price and discount.
    void computeLineAmounts();
    // Runs one writing batch (begin tran ... commit, rolled back and raised on error).
    static bool runBatch(const QString& declarations, const QStringList& statements);
    QStringList detailStatements(const QStringList& ignored) const;

    // "data"/<name> of the descriptor (empty when missing).
    QJsonObject dataPart(const char* name) const;

    QString m_masterSql;
    QString m_detailSql;
    QString m_detailTable;
    bool m_computing = false;
};

// Registers the demo's bill windows with the plug-in pool.
void registerDemoBills();

}  // namespace Qd::App
