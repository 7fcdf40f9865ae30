#pragma once

// The progress of an export: "正在导出…" with a bar, "%1 / %2 行" and "取消". Exports run on the
// user-interface thread; the exporter reports every few hundred rows, and the window takes
// events at most every 100 ms, so a long export stays responsive without costing per row.
// Like the prompter, it is a seam: tests install their own progress to cancel at a given row.

#include <QString>

namespace Qd::Core::Ui {

class IExportProgress {
public:
    virtual ~IExportProgress() = default;
    // An export of `rows` rows to `file` begins.
    virtual void begin(const QString& file, int rows) = 0;
    // `done` rows are written; false cancels the export.
    virtual bool advance(int done) = 0;
    // The export ended (written, cancelled or failed).
    virtual void end() = 0;
};

// The progress in force: the installed one, else the progress window (none without a widget
// application).
IExportProgress& exportProgress();
// Installs a progress (not owned) and returns the previous one; nullptr restores the window.
IExportProgress* setExportProgress(IExportProgress* progress);

}  // namespace Qd::Core::Ui
