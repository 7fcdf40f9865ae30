#pragma once

#include <QJsonObject>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace Qd::Core::Base {

// The recycle bin of a master-data module: the soft-deleted rows of the descriptor's
// "tablename", each with a check box, restored (isDel = 0) or deleted for good in one batch.
class TRecycleBinForm : public TBaseForm {
    Q_OBJECT
public:
    // `_pluginfo`: the opening list's descriptor (not owned; must outlive the dialog).
    TRecycleBinForm(QWidget* AOwner, const QJsonObject* _pluginfo);

    // Loads the list again from the table.
    void _init();

    const QJsonObject* plugInfo;  // not owned
    QLabel* cxLabel1;             // owned by the dialog
    QLabel* cxLabel2;             // owned by the dialog
    QLabel* Image1;               // owned by the dialog
    QTreeWidget* lstData;         // owned by the dialog
    QCheckBox* cxCheckBox1;       // owned by the dialog
    Db::RecordSet cdsResult;
    QAction* actDel;         // owned by the dialog
    QAction* actRestore;     // owned by the dialog
    QAction* actclose;       // owned by the dialog
    QPushButton* cxButton1;  // owned by the dialog
    QPushButton* cxButton2;  // owned by the dialog
    QPushButton* cxButton3;  // owned by the dialog

private:
    void actDelExecute();
    void actRestoreExecute();
    // One statement per checked row, last row first: `statement` + id + "\r\n"; empty when
    // nothing is checked.
    QString checkedBatch(const QString& statement) const;
    // Shows `none` when the batch is empty; otherwise logs it, asks `question` and runs it.
    void runBatch(const QString& batch, const QString& none, const QString& question);
    QString tableName() const;
};

}  // namespace Qd::Core::Base
