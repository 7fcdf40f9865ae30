#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Qd::Core::Sys {
class SystemServices;
}

namespace Qd::App {

// The login dialog: user code, store and password, in that order. It logs in itself and is
// accepted only with a session; a refusal is shown and the dialog stays open for another try.
// The store list holds the stores the user code may enter, filled once the code is typed; the
// last user and store logged in on this client are remembered ("login.ini" in the program
// home, owner-only) and offered again. Below the fields it says which database the login goes
// to: the file, or the server and database of an ODBC connection.
class TLoginForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoginForm(Core::Sys::SystemServices& sys, QWidget* parent = nullptr);

    // Types a user code: the store list is filled for it and the password is next.
    void setUserCode(const QString& code);
    // Selects the store with this code; false when there is none.
    bool selectStore(const QString& code);

    QLineEdit* userEdit() const { return m_user; }
    QLineEdit* passwordEdit() const { return m_password; }
    QComboBox* storeCombo() const { return m_store; }
    QLabel* databaseLabel() const { return m_database; }
    QPushButton* loginButton() const { return m_login; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    // Enter in the user code or the store goes on to the password instead of logging in.
    void keyPressEvent(QKeyEvent* e) override;

private:
    void btnLoginClick();
    // Fills the store list for the user code typed (once per code).
    void fillStores();

    Core::Sys::SystemServices& m_sys;
    QString m_storesFor;  // the user code the store list was filled for
    QString m_lastUser;   // remembered on this client
    QString m_lastStore;  // remembered on this client, with m_lastUser
    // The widgets below are owned by the dialog.
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_store = nullptr;
    QLabel* m_database = nullptr;
    QPushButton* m_login = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace Qd::App
