#pragma once

#include "core/uBaseForm.h"
#include "db/RecordSet.h"

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Tools {

// 客户历史项目订单价格查询: the earlier order lines of one customer for one item within a range
// of order dates, to look up and pick a previous price. 选择 closes with OK when the list has
// rows (the caller reads the current row of cdsResult), else with Cancel.
class Txmzzkhistoryviewbykhform : public Base::TBaseForm {
    Q_OBJECT
public:
    Txmzzkhistoryviewbykhform(QWidget* AOwner, qint64 _kh_id, qint64 _xm_id);
    ~Txmzzkhistoryviewbykhform() override;

    // Runs the stored statement over the range the two date editors hold (empty: the last 365
    // days up to now).
    void actsearchExecute();
    void WriteIniSettings() override;

    qint64 kh_id;
    qint64 xm_id;
    Db::RecordSet cdsResult;
    QWidget* edtbt;  // nullable date editors, owned by the dialog
    QWidget* edtet;
    Ui::Grid* cxgResult;  // owned by the dialog
    Ui::GridView* cxgResultView;
    QAction* actsearch;
    QAction* actok;
    QAction* actcancel;
};

}  // namespace Qd::Core::Tools
