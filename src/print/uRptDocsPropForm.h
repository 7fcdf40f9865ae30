#pragma once

#include <QString>

#include "core/uBaseForm.h"
#include "sys/SystemServices.h"

class QComboBox;
class QFormLayout;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace Qd::Core::Db {
class RecordSet;
}

namespace Qd::Core::Fr4 {

// The properties of one print template: number, name, sort number and sharing. Edits the
// current row of the print dialog's template list in place; the caller posts the row after OK
// and turns `ck_ids` into share rows.
class TRptDocsPropForm : public Base::TBaseForm {
    Q_OBJECT
public:
    // Adding (any state but edit) appends a row to `dataset`; editing puts the current row into
    // edit state and shows its sharing. `dataset` is not owned and must outlive the dialog.
    TRptDocsPropForm(QWidget* AOwner, Db::RecordSet* dataset, const QString& code,
                     Sys::TOperateState OperateState);

    // The ids of the checked stores in list order, joined by ","; empty when none is checked.
    QString getck_ids() const;

    // Cancelling by Escape or the close box restores the row as "取消" does.
    void reject() override;

    // False when the store list or the stores shared with could not be read (the error has
    // been shown): the dialog is not to be opened, and the row was left untouched.
    bool loaded() const { return m_loaded; }

    Sys::TOperateState OperateState;
    Db::RecordSet* dataset;  // not owned
    QString code;            // the module key; kept for the caller

    QAction* actOK;      // owned by the dialog
    QAction* actCancel;  // owned by the dialog

    // The editors, children of the dialog; exposed for the caller's and tests' inspection.
    QLineEdit* edtCode;
    QLineEdit* edtDocName;
    QSpinBox* edtSort;
    QComboBox* cbbType;
    QListWidget* lstStores;

private:
    void actOKExecute();
    void actCancelExecute();
    bool _initcklist();  // false when the stores could not be read (the error was shown)
    bool checkSharedStores();
    void loadEditors();
    void updateStoreListVisibility();

    QFormLayout* m_form;  // owned by the dialog
    bool m_finished = false;
    bool m_loaded = false;
};

}  // namespace Qd::Core::Fr4
