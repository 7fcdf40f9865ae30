#include "ui/export/Export.h"

#include <QFileInfo>

#include "base/OwnerOnly.h"
#include "db/Trace.h"
#include "ui/export/ExportProgress.h"
#include "ui/export/ExportTable.h"
#include "ui/export/ExportWriters.h"

namespace Qd::Core::Ui {

namespace {

using namespace Internal;

// Rows between two reports to the progress: its own clock decides when to take events, so this
// only keeps the check off the per-row path.
constexpr int kProgressStride = 256;

std::unique_ptr<ExportWriter> writerFor(ExportFormat format, Sys::PendingFile& file,
                                        const QString& title, const ExportOptions& options) {
    switch (format) {
        case ExportFormat::Xlsx:
            return xlsxWriter(file.path(), title, options.sheetRows);
        case ExportFormat::Csv:
            return csvWriter(file);
        case ExportFormat::Html:
            return htmlWriter(file, title);
        case ExportFormat::Xls:
            return xlsWriter(file.path(), title, options.sheetRows);
    }
    return nullptr;
}

// Begins and ends the progress around an export, however it ends.
class ProgressScope {
public:
    ProgressScope(IExportProgress* progress, const QString& path, int rows) : m_progress(progress) {
        if (m_progress)
            m_progress->begin(path, rows);
    }
    ~ProgressScope() {
        if (m_progress)
            m_progress->end();
    }
    // False when the user cancelled.
    bool advance(int done) {
        return !m_progress || done % kProgressStride != 0 || m_progress->advance(done);
    }

private:
    IExportProgress* m_progress;  // not owned
};

ExportOutcome run(ExportTable& table, const QString& path, ExportFormat format, QString* error,
                  const ExportOptions& options) {
    const auto fail = [&](const QString& message) {
        Db::LogError(QStringLiteral("导出失败：") + message);
        if (error)
            *error = message;
        return ExportOutcome::Failed;
    };
    const auto fileFailure = [&](const QString& reason) {
        return fail(QStringLiteral("无法写入文件“%1”：%2").arg(path, reason));
    };
    if (!table.valid())
        return fail(QStringLiteral("无效数据源"));
    Sys::PendingFile file(path);
    if (!file.ok())
        return fileFailure(file.error());
    try {
        const std::unique_ptr<ExportWriter> writer =
            writerFor(format, file, QFileInfo(path).completeBaseName(), options);
        writer->begin(table);
        const int rows = table.rowCount();
        ProgressScope progress(options.showProgress
                                   ? (options.progress ? options.progress : &exportProgress())
                                   : nullptr,
                               path, rows);
        std::vector<Cell> cells;
        for (int pos = 0; pos < rows; ++pos) {
            if (pos > 0 && !progress.advance(pos)) {
                Db::LogMsg(QStringLiteral("导出已取消：%1（第 %2 行）").arg(path).arg(pos));
                return ExportOutcome::Cancelled;
            }
            table.readRow(pos, cells);
            writer->row(cells);
        }
        writer->end(table.footer());
    } catch (const ExportError& e) {
        return e.aboutFile ? fileFailure(e.reason) : fail(e.reason);
    }
    if (!file.commit())
        return fileFailure(file.error());
    Db::LogMsg(QStringLiteral("导出 %1 行到 %2").arg(table.rowCount()).arg(path));
    return ExportOutcome::Written;
}

}  // namespace

ExportOutcome exportGrid(const GridView& view, const QString& path, ExportFormat format,
                         QString* error, const ExportOptions& options) {
    ExportTable table = ExportTable::ofGrid(view);
    return run(table, path, format, error, options);
}

ExportOutcome exportRecordSet(const Db::RecordSet& rs, const QList<ExportField>& fields,
                              const QString& path, ExportFormat format, QString* error,
                              const ExportOptions& options) {
    ExportTable table = ExportTable::ofRecordSet(rs, fields);
    return run(table, path, format, error, options);
}

bool exportFormatOf(const QString& name, ExportFormat* format) {
    const QString suffix = name.section(QLatin1Char('.'), -1).toLower();
    static const std::pair<const char*, ExportFormat> known[] = {{"xls", ExportFormat::Xls},
                                                                 {"xlsx", ExportFormat::Xlsx},
                                                                 {"csv", ExportFormat::Csv},
                                                                 {"html", ExportFormat::Html},
                                                                 {"htm", ExportFormat::Html}};
    for (const auto& [text, f] : known) {
        if (suffix == QLatin1String(text)) {
            *format = f;
            return true;
        }
    }
    return false;
}

}  // namespace Qd::Core::Ui
