#pragma once

#include "basic/uBasicPropEditForm.h"

namespace Shop {

// The record editor of 商品资料: the goods' own fields on the 基础资料 page, bound to the record.
class TGoodsPropEditForm : public Qd::Core::Base::TBasicPropEditForm {
    Q_OBJECT
public:
    using TBasicPropEditForm::TBasicPropEditForm;
    // Places the editors; called once the record set is loaded.
    void buildEditors();
};

}  // namespace Shop
