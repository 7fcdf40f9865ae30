#pragma once

#include "core/ColumnBuilder.h"
#include "core/uBaseRibbonForm.h"

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

// A working form that lists a module's rows in a grid built at run time: the rows of the
// descriptor's "mainsql" (the organisation bound as :orgid, " order by " + "sort" appended),
// columns from the plug item's column descriptors with their lookups and value copy, and the
// user's saved layout, stored again when the form closes. The master-data lists derive their
// own windows; modules that only need to show their rows use this one as it is.
class TGridRibbonForm : public TBaseRibbonForm {
    Q_OBJECT
public:
    TGridRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TGridRibbonForm() override;

    void _init() override;
    // Builds the grid's columns from the plug item's column descriptors.
    virtual void _initColumns();
    // Loads the rows again, staying on the current record where it still exists.
    void getMainData();

    Ui::Grid* cxgMain;                  // owned by the form
    Ui::GridView* cxgMainDBTableView1;  // owned by cxgMain
    Db::RecordSet cdsMain;
    JoinTableList joinTableList;
    QAction* actRefresh;
    QAction* actColumns;

protected:
    void closeEvent(QCloseEvent* e) override;
    QString layoutKey() const;
};

}  // namespace Qd::Core::Base
