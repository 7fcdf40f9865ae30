#pragma once

#include <QJsonObject>

#include "core/ColumnBuilder.h"
#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QPushButton;

namespace Qd::Core::Sys {
class TPlugItem;
}
namespace Qd::Core::Ui {
class Grid;
class GridView;
class LookupComboBox;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

// Batch copy (批量复制) of records of a categorised module: the records whose codes are given
// are loaded as new rows with codes continuing the module's highest one, optionally moved into
// another category, edited in the grid, checked for taken codes and saved in one batch.
class Tdatacopyform : public TBaseForm {
    Q_OBJECT
public:
    // `_fromID`: a JSON array of the source records' codes. The plug item is not owned.
    Tdatacopyform(QWidget* AOwner, Sys::TPlugItem* _plugItem, const QString& _fromID);
    ~Tdatacopyform() override;
    // False when the categories, the rows to copy or the highest code could not be read (the
    // error has been shown): without them the copies could be neither filed nor coded, and the
    // dialog is not to be opened.
    bool loaded() const { return m_loaded; }

    bool _initlevelP1();  // false when a read failed (the error was shown)
    void _initlevelP2(int pid);
    bool openSourceData();  // false when a read failed (the error was shown)
    // True when no copy's code is taken; otherwise names the first and stays on its row.
    bool checkError();

    QString fromID;
    Sys::TPlugItem* PlugItem;  // not owned
    JoinTableList joinTableList;

    Ui::Grid* cxgMain;                      // owned by the dialog
    Ui::GridView* cxgMainDBTableView1;      // owned by cxgMain
    Ui::LookupComboBox* cxLookupComboBox1;  // owned by the dialog
    Ui::LookupComboBox* cxLookupComboBox2;  // owned by the dialog
    Db::RecordSet cdsMain;
    Db::RecordSet cdsp1;
    Db::RecordSet cdsp2;
    QAction* actedtLevel;
    QAction* actok;
    QAction* actCancel;
    QAction* actautocode;

private:
    void actedtLevelExecute();
    void actokExecute();
    QString moduleCode() const;
    QString categorySql(const QString& parentCondition) const;

    QJsonObject m_descriptor;
    bool m_loaded = false;
};

}  // namespace Qd::Core::Base
