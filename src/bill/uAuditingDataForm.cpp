#include "bill/uAuditingDataForm.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Qd::Core::Bill {

TAuditingDataForm::TAuditingDataForm(QWidget* owner) : TBaseForm(owner) {
    setObjectName(QStringLiteral("AuditingDataForm"));
    setWindowTitle(QStringLiteral("单据审核"));
    resize(420, 240);
    auto* layout = new QVBoxLayout(this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setPlainText(QStringLiteral("这是审核的说明"));
    layout->addWidget(Memo1, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    FormCreate();
}

QString TAuditingDataForm::note() const {
    return Memo1->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

}  // namespace Qd::Core::Bill
