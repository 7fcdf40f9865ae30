#pragma once

// The columns of the filter dialogs' lists, from a module's column descriptors.

#include <QString>

namespace Qd::Core::Sys {
class TPlugItem;
}
namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Report {

// Builds `view`'s columns from the plug item's column list (GetColumnsJson), in order: each
// column named view name + "label", with field, caption, width (100 when unreadable),
// "visiable" and "editing" (true when unreadable, untouched when absent), and editors for
// "combo", "money" (4 decimals when unreadable, no format when absent) and "date".
// A lookup column does not show its stored id: it shows the field its lookup copies the list
// text into (the "target" of the lookup field named by "listfieldnames"), under its own
// caption; a lookup without such a target is hidden.
// A label repeated in the list is a problem: that column keeps the name view name + field.
// Problems (with the builder's) are shown once, naming the module.
void buildFilterColumns(Ui::GridView* view, Sys::TPlugItem* item);

// The layout key of a filter dialog's grids: its component name and the module code, since one
// dialog class serves every module and a restored layout brings back the columns it names.
QString filterLayoutKey(const QString& componentName, const Sys::TPlugItem* item);

}  // namespace Qd::Core::Report
