#pragma once

#include <QJsonArray>

#include "basic/uBasicRibbonForm.h"
#include "db/RecordSet.h"

namespace Qd::Core::Ui {
class DockPanel;
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

// The list of a master-data module kept in one table: every row of the organisation in one
// grid, edited in place, checked by the descriptor's "validation" rules before each post, saved
// at once as statements from the change log, soft-deleted ("isDel"), copied, exported to xlsx
// and printed through the print templates. Descriptor keys: "mainsql", "sort", "tablename",
// "key", "ignoreFields", "validation".
class TSingleBasicRibbonForm : public TBasicRibbonForm {
    Q_OBJECT
public:
    TSingleBasicRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TSingleBasicRibbonForm() override;

    void _init() override;
    // Loads the list again and returns to the row it was on.
    void getMainData();
    // What the descriptor lacks for this form ("tablename", ...); empty when it is complete.
    QStringList descriptorProblems() const;

    Ui::DockPanel* dxDockPanel1;        // owned by the form
    Ui::Grid* cxgMain;                  // owned by dxDockPanel1
    Ui::GridView* cxgMainDBTableView1;  // owned by cxgMain
    Db::RecordSet cdsMain;
    Db::RecordSet cdsCheck;  // rows found by a "unique" rule's statement

protected:
    void actAddExecute() override;
    void actEditExecute() override;
    void actDelExecute() override;
    void actRefExecute() override;
    void actCopyExecute() override;
    void actColSetExecute() override;
    void actExportExecute() override;
    void actPrintExecute() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void cdsMainBeforePost();
    void cdsMainAfterPost();
    void cdsMainAfterDelete();
    void dsMainDataChange(int field);
    // Saves the change log with `ignored` left out; reloads on success.
    bool saveChanges(const QStringList& ignored);
    // Runs the "validation" rules on the current row; shows the first that fails and aborts.
    void validate();
    QString tableName() const;

    bool m_ready = false;      // the descriptor has everything the list needs
    bool m_canEdit = false;    // "_02": cells of saved rows may be edited in the grid
    bool m_canInsert = false;  // "_01": new rows may be added
    bool m_reEditing = false;  // a failed save puts the row back into edit state
};

}  // namespace Qd::Core::Base
