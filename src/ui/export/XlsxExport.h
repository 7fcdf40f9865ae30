#pragma once

// Grid export to an xlsx workbook, shared by every window that exports a grid.

#include <QString>

namespace Qd::Core::Ui {

class GridView;

// Writes every row of the view's record set, in the order the view shows them, to an xlsx
// workbook at `path`: the shown columns in display order, their captions as a bold header row
// (kept in view when scrolling) and their widths. Cells keep their kind: numbers as numbers in
// the column's display format, dates as dates ("yyyy-mm-dd", with the time for date-time
// columns), check columns as true/false, lookups as the text the grid shows, text as text; NULL
// as an empty cell. Rows stream out (the writer's constant-memory mode), so memory does not grow
// with the row count. False with `error` set when the file cannot be written.
bool exportToXlsx(const GridView& view, const QString& path, QString* error = nullptr);

}  // namespace Qd::Core::Ui
