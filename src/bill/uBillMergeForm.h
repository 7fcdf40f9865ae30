#pragma once

#include <vector>

#include "bill/BillMerge.h"
#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QLabel;

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Bill {

// 合并冲突: the values both users changed, one row each (位置, 字段, 原值, 我的, 对方的), with the
// side to keep (保留, 我的 unless chosen). 确定 writes the choices into the conflicts; 取消 and
// Escape leave them as they were.
class TBillMergeForm : public Base::TBaseForm {
    Q_OBJECT
public:
    TBillMergeForm(QWidget* AOwner, std::vector<MergeConflict>& conflicts);
    ~TBillMergeForm() override;

    // Sets every row's choice (全部用我的 / 全部用对方的).
    void chooseAll(MergeSide side);

    Db::RecordSet cdsConflicts;  // one row per conflict, in their order
    QLabel* lblHint;             // owned by the dialog
    Ui::Grid* cxgConflicts;      // owned by the dialog
    Ui::GridView* cxgConflictsView;
    QAction* actAllMine;
    QAction* actAllTheirs;
    QAction* actok;
    QAction* actcancel;

private:
    void actokExecute();

    std::vector<MergeConflict>& m_conflicts;  // the caller's
    int m_choiceField = -1;
};

// Runs 合并冲突 over `conflicts` through the prompter; true when the user pressed 确定 (the
// choices are then in the conflicts), false when cancelled (they are unchanged).
bool resolveConflicts(QWidget* owner, std::vector<MergeConflict>& conflicts);

}  // namespace Qd::Core::Bill
