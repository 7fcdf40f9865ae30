#pragma once

// Export of a grid to a file in one of the four formats the export wizard offers.

#include <QString>

namespace Qd::Core::Ui {

class GridView;

enum class ExportFormat { Xls, Xlsx, Csv, Html };

// How an export ended.
enum class ExportOutcome {
    Written,    // the file is complete at its target path
    Cancelled,  // the user cancelled; nothing written, an existing target untouched
    Failed,     // the error names the file and the reason; nothing written
};

// Writes the view as shown (visible columns in display order, captions, widths, bands, footer
// summaries, every row in the view's order) to `path` in `format`.
ExportOutcome exportGrid(const GridView& view, const QString& path, ExportFormat format,
                         QString* error = nullptr);

}  // namespace Qd::Core::Ui
