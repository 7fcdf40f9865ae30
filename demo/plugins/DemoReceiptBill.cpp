#include "DemoReceiptBill.h"

#include <QLineEdit>

#include "ui/editors/Editors.h"

namespace Qd::App {

using namespace Core;

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kPayments[] = {"现金", "转账", "微信", "支付宝", "支票"};

}  // namespace

void TReceiptBillForm::buildHeader() {
    edtBilldate = addHeaderEditor(F("billdate"), Ui::EditorKind::Date);
    place("日期：", edtBilldate);
    lcbCustomer = headerLookup("kh_id");
    place("客户：", lcbCustomer);
    Ui::EditorProps payment;
    payment.kind = Ui::EditorKind::Combo;
    for (const char* p : kPayments)
        payment.items << F(p);
    cbPayment = addHeaderEditor(F("skfs"), payment);
    place("收款方式：", cbPayment);
    edtTotal = totalEditor("je");
    place("金额：", edtTotal);
    edtSummary = static_cast<QLineEdit*>(addHeaderEditor(F("zy"), Ui::EditorKind::Button));
    place("摘要：", edtSummary, 2);
    edtRemark = static_cast<QLineEdit*>(addHeaderEditor(F("beizhu"), Ui::EditorKind::Text));
    place("备注：", edtRemark, 2);
}

void TReceiptBillForm::BeforeAppend() {
    TDemoBillForm::BeforeAppend();
    cdsMaster.field(F("skfs")).setValue(F(kPayments[0]));
}

}  // namespace Qd::App
