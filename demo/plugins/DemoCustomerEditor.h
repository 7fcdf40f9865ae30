#pragma once

#include "basic/uBasicPropEditForm.h"

class QLineEdit;

namespace Qd::App {

// The demo's customer editor, as a plug-in would write one: its own editors on the 基础资料
// page, bound to the record, the store as a lookup and the code checked when it is left.
class TCustomerPropEditForm : public Core::Base::TBasicPropEditForm {
    Q_OBJECT
public:
    using TBasicPropEditForm::TBasicPropEditForm;
    // Places the editors; called once the record set is loaded.
    void buildEditors();

    QLineEdit* edtCode = nullptr;  // owned by the page
};

// Registers the editor for module "KH" (客户资料).
void registerDemoEditors();

}  // namespace Qd::App
