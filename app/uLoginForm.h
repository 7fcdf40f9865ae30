#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace Qd::Core::Sys {
class SystemServices;
}

namespace Qd::App {

// The login dialog: user code, password and store. It logs in itself and is accepted only
// with a session; a refusal is shown and the dialog stays open for another try.
class TLoginForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoginForm(Core::Sys::SystemServices& sys, QWidget* parent = nullptr);

    void setUserCode(const QString& code);
    // Selects the store with this code; false when there is none.
    bool selectStore(const QString& code);

    QLineEdit* userEdit() const { return m_user; }
    QLineEdit* passwordEdit() const { return m_password; }
    QComboBox* storeCombo() const { return m_store; }
    QPushButton* loginButton() const { return m_login; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    void btnLoginClick();

    Core::Sys::SystemServices& m_sys;
    // The widgets below are owned by the dialog.
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_store = nullptr;
    QPushButton* m_login = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace Qd::App
