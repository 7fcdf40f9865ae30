#include "uLoginForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "base/OwnerOnly.h"
#include "base/ProgramHome.h"
#include "db/DataServices.h"
#include "db/DataSource.h"
#include "sys/SystemServices.h"

namespace Qd::App {

using Core::Db::MessageMyDlg;

namespace {

constexpr int kStoreCodeRole = Qt::UserRole + 1;

// The last login on this client: user code and store code.
QString lastLoginFile() {
    return Core::Sys::programPath(QStringLiteral("login.ini"));
}

void rememberLogin(const QString& user, const QString& store) {
    const QString path = lastLoginFile();
    Core::Sys::ownerOnlyFolderOf(path);
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("login/user"), user);
        ini.setValue(QStringLiteral("login/store"), store);
    }
    Core::Sys::ownerOnly(path);
}

void tell(const QString& text) {
    MessageMyDlg(text, QStringLiteral("提示"), 2, Core::Ui::MsgButtons::Ok);
}

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
    auto* hint = new QLabel(QStringLiteral("请输入用户编号，选择门店，再输入密码"), banner);
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
    m_store = new QComboBox(this);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("密码"));

    auto* form = new QFormLayout;
    form->setContentsMargins(28, 20, 28, 8);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("用户编号："), m_user);
    form->addRow(QStringLiteral("门　　店："), m_store);
    form->addRow(QStringLiteral("密　　码："), m_password);
    // The whole name in the tooltip; the label shows what fits, the end (the database) kept.
    const QString database = Core::Db::dataServicesName(m_sys.data());
    m_database = new QLabel(this);
    m_database->setObjectName(QStringLiteral("loginDatabase"));
    m_database->setToolTip(database);
    m_database->setStyleSheet(QStringLiteral("color: #5a6472;"));
    m_database->setText(m_database->fontMetrics().elidedText(database, Qt::ElideMiddle, 290));
    form->addRow(QStringLiteral("数 据 库："), m_database);

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
    setTabOrder(m_user, m_store);
    setTabOrder(m_store, m_password);
    setTabOrder(m_password, m_login);
    setTabOrder(m_login, m_cancel);

    connect(m_user, &QLineEdit::editingFinished, this, &TLoginForm::fillStores);
    connect(m_login, &QPushButton::clicked, this, &TLoginForm::btnLoginClick);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    const QSettings ini(lastLoginFile(), QSettings::IniFormat);
    m_lastUser = ini.value(QStringLiteral("login/user")).toString();
    m_lastStore = ini.value(QStringLiteral("login/store")).toString();
    if (m_lastUser.isEmpty()) {
        fillStores();
        m_user->setFocus();
    } else {
        setUserCode(m_lastUser);
    }
}

void TLoginForm::setUserCode(const QString& code) {
    m_user->setText(code);
    fillStores();
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

// The store to start on: the one remembered with this user code on this client, else the
// login's own store, else the first.
void TLoginForm::fillStores() {
    const QString code = m_user->text().trimmed();
    if (code == m_storesFor && m_store->count() > 0)
        return;
    m_storesFor = code;
    const Core::Sys::LoginStores offer = m_sys.loginStores(code);
    m_store->clear();
    int start = 0;
    for (const Core::Sys::StoreInfo& s : offer.stores) {
        if (s.id == offer.defaultStore)
            start = m_store->count();
        m_store->addItem(QStringLiteral("%1（%2）").arg(s.name, s.code), s.id);
        m_store->setItemData(m_store->count() - 1, s.code, kStoreCodeRole);
    }
    m_store->setCurrentIndex(start);
    if (!code.isEmpty() && code.compare(m_lastUser, Qt::CaseInsensitive) == 0)
        selectStore(m_lastStore);
}

void TLoginForm::keyPressEvent(QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && (focusWidget() == m_user || focusWidget() == m_store)) {
        fillStores();
        m_password->setFocus();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TLoginForm::btnLoginClick() {
    const QString userCode = m_user->text().trimmed();
    if (userCode.isEmpty()) {
        tell(QStringLiteral("请输入用户编号。"));
        m_user->setFocus();
        return;
    }
    fillStores();
    if (m_password->text().isEmpty()) {
        tell(QStringLiteral("请输入密码。"));
        m_password->setFocus();
        return;
    }
    if (m_store->currentIndex() < 0) {
        tell(QStringLiteral("请选择门店。"));
        m_store->setFocus();
        return;
    }
    const qint32 storeId = m_store->currentData().toInt();
    const Core::Sys::LoginResult result = m_sys.login(userCode, m_password->text(), storeId);
    if (!result.ok) {
        tell(result.message);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    rememberLogin(userCode, m_store->currentData(kStoreCodeRole).toString());
    accept();
}

}  // namespace Qd::App
