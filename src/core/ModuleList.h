#pragma once

// What every list of a module's rows does the same way, whichever window shows it.

#include <QJsonObject>
#include <QString>

#include "core/ColumnBuilder.h"
#include "db/DataServices.h"

namespace Qd::Core::Sys {
class TPlugItemSingleBasic;
}
namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

// Loads the rows of the descriptor's "mainsql" (with " order by " + "sort" when "sort" is
// given), the organisation bound as :orgid, and brings the cursor back to the record it was on
// (by its "id", or by its "code" while it has no id yet); where that record is gone the cursor
// stays on the first row. False when there
// is no "mainsql" or the statement failed (the data services have said why).
// `conditions` (" and p1=:p1") go between "mainsql" and the sort, with `params` bound besides
// :orgid.
bool loadModuleRows(Db::RecordSet& cds, const QJsonObject& pluginfo, const QString& conditions = {},
                    const Db::Params& params = {});

// The same first load of a list whose rows may run to millions: the first rows at once, the
// rest from the event loop while the returned load lives (Db::ChunkedLoad); null on failure.
std::unique_ptr<Db::ChunkedLoad> openModuleRows(Db::RecordSet& cds, const QJsonObject& pluginfo);

// The rows of category (p1, p2) of a categorised module: " and p1=:p1" and " and p2=:p2" for
// the levels that are not 0.
bool loadCategoryRows(Db::RecordSet& cds, const QJsonObject& pluginfo, int p1, int p2);

// The two-level category tree of a module (qd_b_category rows of the organisation whose iclass is
// `moduleCode`, by pid, isort desc, code) into `cds`, its code and name captioned "编号" and
// "名称". False when the statement failed (the data services have said why).
bool loadCategoryTree(Db::RecordSet& cds, const QString& moduleCode);

// What a list's lookup editors call: its form's value-change and second-level popup hooks.
struct ListLookupHooks {
    std::function<void(QWidget*)> valueChanged;
    std::function<void(QWidget*)> initPopupL2;
};

// The reference column build of a list grid: the plug item's column descriptors with the list
// types, lookups kept in `tables` and bound to the form's hooks, problems shown once, and the
// user's saved layout restored under the module code.
void buildListColumns(Ui::Grid* grid, Ui::GridView* view, const Sys::TPlugItemSingleBasic* item,
                      const QString& moduleCode, JoinTableList& tables,
                      const ListLookupHooks& hooks);

}  // namespace Qd::Core::Base
