#include "ShopGoodsEditor.h"

#include <QFormLayout>
#include <QLineEdit>

namespace Shop {

using namespace Qd::Core;

void TGoodsPropEditForm::buildEditors() {
    auto* form = new QFormLayout(cxTabSheet1);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const auto field = [&](const char* name, const char* caption, Ui::EditorKind kind) {
        return addFieldEditor(form, QString::fromLatin1(name), QString::fromUtf8(caption), kind);
    };
    auto* code = static_cast<QLineEdit*>(field("code", "编号：", Ui::EditorKind::Text));
    connect(code, &QLineEdit::editingFinished, this, [this, code] {
        if (!cxDBTextEdit1PropertiesValidate(code->text()))
            code->setFocus();  // stays until the code is free
    });
    field("name", "名称：", Ui::EditorKind::Text);
    field("barcode", "条码：", Ui::EditorKind::Text);
    field("unit", "单位：", Ui::EditorKind::Text);
    field("price", "售价：", Ui::EditorKind::Money);
    field("memo", "备注：", Ui::EditorKind::Memo);
}

}  // namespace Shop
