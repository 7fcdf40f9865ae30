#pragma once

#include "DemoBillForm.h"

class QLineEdit;

namespace Qd::App {

// The demo's receipt (module SKD, 收款单): money a customer paid, by 收款方式, against one or
// more orders. Each line names an order (its project and amount come with it) and what is
// received on it now; the receipt's 金额 is their sum.
class TReceiptBillForm : public TDemoBillForm {
    Q_OBJECT
public:
    using TDemoBillForm::TDemoBillForm;

    // A new receipt is paid in cash until the user says otherwise.
    void BeforeAppend() override;

    QWidget* edtBilldate = nullptr;
    QWidget* cbPayment = nullptr;     // 收款方式
    QLineEdit* edtSummary = nullptr;  // 摘要: typed or picked
    QLineEdit* edtRemark = nullptr;

protected:
    void buildHeader() override;
};

}  // namespace Qd::App
