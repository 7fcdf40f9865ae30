#include "uLoginForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "db/DataServices.h"
#include "sys/SystemServices.h"

namespace Qd::App {

using Core::Db::MessageMyDlg;

namespace {

constexpr int kStoreCodeRole = Qt::UserRole + 1;

QWidget* makeBanner(QWidget* parent) {
    auto* banner = new QWidget(parent);
    banner->setObjectName(QStringLiteral("loginBanner"));
    banner->setAttribute(Qt::WA_StyledBackground);
    banner->setStyleSheet(
        QStringLiteral("#loginBanner { background: qlineargradient(x1:0, y1:0, x2:1, y2:1,"
                       " stop:0 #1f5fa8, stop:1 #2f86d6); }"
                       "#loginBanner QLabel { color: white; background: transparent; }"));
    auto* column = new QVBoxLayout(banner);
    column->setContentsMargins(24, 20, 24, 18);
    column->setSpacing(4);
    auto* title = new QLabel(QStringLiteral("多门店业务管理系统"), banner);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.7);
    big.setBold(true);
    title->setFont(big);
    auto* hint = new QLabel(QStringLiteral("请选择门店，输入用户编号和密码"), banner);
    column->addWidget(title);
    column->addWidget(hint);
    return banner;
}

}  // namespace

TLoginForm::TLoginForm(Core::Sys::SystemServices& sys, QWidget* parent)
    : QDialog(parent), m_sys(sys) {
    setWindowTitle(QStringLiteral("用户登录"));
    setModal(true);

    m_user = new QLineEdit(this);
    m_user->setPlaceholderText(QStringLiteral("用户编号"));
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("密码"));
    m_store = new QComboBox(this);
    for (const Core::Sys::StoreInfo& s : m_sys.stores()) {
        m_store->addItem(QStringLiteral("%1（%2）").arg(s.name, s.code), s.id);
        m_store->setItemData(m_store->count() - 1, s.code, kStoreCodeRole);
    }

    auto* form = new QFormLayout;
    form->setContentsMargins(28, 20, 28, 8);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("用户编号："), m_user);
    form->addRow(QStringLiteral("密　　码："), m_password);
    form->addRow(QStringLiteral("门　　店："), m_store);

    m_login = new QPushButton(QStringLiteral("登录"), this);
    m_login->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_login->setMinimumWidth(88);
    m_cancel->setMinimumWidth(88);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(28, 8, 28, 20);
    buttons->addStretch(1);
    buttons->addWidget(m_login);
    buttons->addWidget(m_cancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeBanner(this));
    column->addLayout(form);
    column->addLayout(buttons);
    setFixedWidth(420);
    setFixedHeight(sizeHint().height());

    connect(m_login, &QPushButton::clicked, this, &TLoginForm::btnLoginClick);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_user->setFocus();
}

void TLoginForm::setUserCode(const QString& code) {
    m_user->setText(code);
    m_password->setFocus();
}

bool TLoginForm::selectStore(const QString& code) {
    for (int i = 0; i < m_store->count(); ++i) {
        if (m_store->itemData(i, kStoreCodeRole).toString().compare(code, Qt::CaseInsensitive) ==
            0) {
            m_store->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void TLoginForm::btnLoginClick() {
    const QString userCode = m_user->text().trimmed();
    if (userCode.isEmpty()) {
        MessageMyDlg(QStringLiteral("请输入用户编号。"), QStringLiteral("提示"), 2,
                     Core::Ui::MsgButtons::Ok);
        m_user->setFocus();
        return;
    }
    const qint32 storeId = m_store->currentData().toInt();
    const Core::Sys::LoginResult result = m_sys.login(userCode, m_password->text(), storeId);
    if (!result.ok) {
        MessageMyDlg(result.message, QStringLiteral("提示"), 2, Core::Ui::MsgButtons::Ok);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    accept();
}

}  // namespace Qd::App
