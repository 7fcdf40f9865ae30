#include "DemoCustomerEditor.h"

#include <QFormLayout>
#include <QLineEdit>

#include "ui/editors/Editors.h"

namespace Qd::App {

using namespace Core;

void TCustomerPropEditForm::buildEditors() {
    auto* form = new QFormLayout(cxTabSheet1);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const auto field = [&](const char* name, const char* caption, Ui::EditorKind kind) {
        return addFieldEditor(form, QString::fromLatin1(name), QString::fromUtf8(caption), kind);
    };
    edtCode = static_cast<QLineEdit*>(field("code", "编号：", Ui::EditorKind::Text));
    connect(edtCode, &QLineEdit::editingFinished, this, [this] {
        if (!cxDBTextEdit1PropertiesValidate(edtCode->text()))
            edtCode->setFocus();  // stays until the code is free
    });
    field("name", "名称：", Ui::EditorKind::Text);
    auto* store = new Ui::LookupComboBox(Ui::EditorProps{}, cxTabSheet1);
    store->setObjectName(QStringLiteral("ck_id"));
    store->setToolTip(QStringLiteral("ck_id"));
    BindLookupComboboxProperties(store, QStringLiteral("ck_id"));
    form->addRow(QStringLiteral("所属门店："), store);
    field("linkman", "联系人：", Ui::EditorKind::Text);
    field("mobile", "手机：", Ui::EditorKind::Text);
    field("addr", "地址：", Ui::EditorKind::Text);
    field("credit", "信用额度：", Ui::EditorKind::Money);
    field("memo", "备注：", Ui::EditorKind::Memo);
}

void registerDemoEditors() {
    Base::registerPropEditForm(
        QStringLiteral("KH"), [](QWidget* owner, const QString& code, int id, int p1, int p2,
                                 const QJsonObject& info, Db::DataSetState state) {
            auto* editor = new TCustomerPropEditForm(owner, code, id, p1, p2, info, state);
            editor->buildEditors();
            return editor;
        });
}

}  // namespace Qd::App
