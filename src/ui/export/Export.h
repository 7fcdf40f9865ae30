#pragma once

// Export of a grid to a file in one of the four formats the export wizard offers, and of a record
// set's chosen fields (the command-line tool). One exporter: a source walks what goes out, one
// writer per format puts it into its file, and the progress window, cancelling, the temporary
// file and the errors are handled once around every writer.

#include <QList>
#include <QString>

namespace Qd::Core::Db {
class RecordSet;
}

namespace Qd::Core::Ui {

class GridView;
class IExportProgress;

enum class ExportFormat { Xls, Xlsx, Csv, Html };

// How an export ended.
enum class ExportOutcome {
    Written,    // the file is complete at its target path
    Cancelled,  // the user cancelled; nothing written, an existing target untouched
    Failed,     // the error names the file and the reason; nothing written
};

struct ExportOptions {
    // Shows the progress of a long export and lets the user cancel it: the installed progress
    // (exportProgress()) when null. Off for callers without a window (the command-line tool).
    bool showProgress = true;
    IExportProgress* progress = nullptr;  // not owned
    // Data rows per sheet of a spreadsheet before the rows continue on a further sheet; 0 for
    // the format's own limit (tests make the continuation cheap to reach with a small one).
    int sheetRows = 0;
};

// Writes the view as shown (visible columns in display order, captions, widths, bands, footer
// summaries, every row in the view's order) to `path` in `format`. The file appears at `path`
// only once it is whole; an existing file there is replaced then, and kept as it was when the
// export fails or is cancelled.
ExportOutcome exportGrid(const GridView& view, const QString& path, ExportFormat format,
                         QString* error = nullptr, const ExportOptions& options = {});

// A field of a record set to export: its name, the caption over it and its width in pixels.
struct ExportField {
    QString fieldName;
    QString caption;
    int width = 100;
};

// Writes the fields of every record of `rs` (in the record set's order) as exportGrid does.
ExportOutcome exportRecordSet(const Db::RecordSet& rs, const QList<ExportField>& fields,
                              const QString& path, ExportFormat format, QString* error = nullptr,
                              const ExportOptions& options = {});

// The format a file name's extension asks for ("xls", "xlsx", "csv", "html"/"htm", any case);
// false when it names none.
bool exportFormatOf(const QString& name, ExportFormat* format);

}  // namespace Qd::Core::Ui
