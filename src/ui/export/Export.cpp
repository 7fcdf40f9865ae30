#include "ui/export/Export.h"

#include "ui/export/XlsxExport.h"

namespace Qd::Core::Ui {

// Interim: only xlsx goes out until the streamed exporter with its four writers lands.
ExportOutcome exportGrid(const GridView& view, const QString& path, ExportFormat format,
                         QString* error) {
    if (format != ExportFormat::Xlsx) {
        if (error)
            *error = QStringLiteral("暂不支持此格式");
        return ExportOutcome::Failed;
    }
    return exportToXlsx(view, path, error) ? ExportOutcome::Written : ExportOutcome::Failed;
}

}  // namespace Qd::Core::Ui
