#pragma once

#include "core/uBaseForm.h"

class QLabel;
class QLineEdit;

namespace Qd::Core::Tools {

// 默认客户设置: a store's default customer (used on one-off business documents) and its default
// file folder. 确认 is enabled while a customer is chosen for a store that exists.
class Tckbmkdefkhinfoform : public Base::TBaseForm {
    Q_OBJECT
public:
    Tckbmkdefkhinfoform(QWidget* AOwner, qint32 _ck_id);

    // Picks the customer through the customer picker module.
    void chooseCustomer();
    // Stores the choice; on success the session's default folder follows and the dialog
    // closes with OK, else it stays open.
    void actOKExecute();

    qint32 ck_id;
    qint64 kh_id = 0;
    bool storeFound = false;

    QLabel* lblStore;
    QLineEdit* edtKhCode;
    QLineEdit* edtKhName;
    QLineEdit* edtRootdir;
    QAction* actChoose;
    QAction* actOK;
    QAction* actCancel;

private:
    void loadStore();
    void updateActions();
};

}  // namespace Qd::Core::Tools
