#pragma once

// Grid export to an xlsx workbook, shared by every window that exports a grid.

#include <QString>

namespace Qd::Core::Ui {

class GridView;

// Writes the view to an xlsx workbook at `path` through the exporter (Export.h): the shown
// columns in display order, band captions merged over their columns, the captions as a bold
// header row (kept in view when scrolling), their widths, every row in the order the view shows
// them, and the footer summaries as a bold last row. Cells keep their kind: numbers as numbers
// in the column's display format, dates as dates (with the time where the column shows it),
// check columns as true/false, lookups as the text the grid shows, text as text; NULL as an
// empty cell. Rows stream out, so memory does not grow with the row count; a full sheet
// continues on a further one. False with `error` set when the file cannot be written, or when
// the user cancelled.
bool exportToXlsx(const GridView& view, const QString& path, QString* error = nullptr);

}  // namespace Qd::Core::Ui
