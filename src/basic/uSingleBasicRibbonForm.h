#pragma once

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

    Ui::DockPanel* dxDockPanel1;        // owned by the form
    Ui::Grid* cxgMain;                  // owned by dxDockPanel1
    Ui::GridView* cxgMainDBTableView1;  // owned by cxgMain
    Db::RecordSet cdsMain;

protected:
    void reloadList() override { getMainData(); }
    void showListProgress(int rows, bool finished) override;
};

}  // namespace Qd::Core::Base
