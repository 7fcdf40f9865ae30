#pragma once

// The print preview: a prepared report shown page by page at a chosen zoom, from which it is
// printed, exported as a PDF or as PNG images, or handed back for another page setup. It only
// replays the pages it was given (renderPage); laying out again is the caller's.

#include <QDialog>
#include <QPageLayout>
#include <QSize>
#include <functional>
#include <memory>
#include <vector>

#include "print/engine/Engine.h"
#include "print/engine/PrintJob.h"

class QAction;
class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;

namespace Qd::Print {

namespace Internal {
class PageView;
}

// A page setup as printers and page setup dialogs take it, and back: paper (a named one when
// the dialog chose one, else custom), orientation and margins in millimetres.
QPageLayout toPageLayout(const PageSetup& page);
void applyPageLayout(const QPageLayout& layout, PageSetup& page);

class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    enum class Fit { None, Width, WholePage };
    using PrinterFactory = PrintJob::PrinterFactory;

    static constexpr double kMinZoom = 0.1;
    static constexpr double kMaxZoom = 8.0;
    // The resolution pages are exported as PNG at.
    static constexpr double kImageDpi = 150;

    explicit PreviewDialog(PreparedReport report, QWidget* parent = nullptr);
    ~PreviewDialog() override;

    const PreparedReport& report() const { return m_report; }
    // Shows a report prepared again (after a page setup), on the same page number if it exists.
    void setReport(PreparedReport report);

    // 0-based; setCurrentPage clamps to the pages there are.
    int currentPage() const { return m_page; }
    void setCurrentPage(int page);
    // "第 N / M 页", N 1-based; "第 0 / 0 页" for a report without pages.
    QString pageLabel() const;

    // 1.0 shows the sheet at its real size on this screen. setZoom clamps to
    // [kMinZoom, kMaxZoom] and ends any fit; a fit follows the window as it is resized.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    Fit fit() const { return m_fit; }
    void setFit(Fit fit);
    void zoomIn();
    void zoomOut();
    // The current page as drawn now, in device-independent pixels.
    QSize pageSizePx() const;

    // Makes the printer that printReport and pageSetup use; by default the system's own. It is
    // made on first use and kept, so choices made in its dialogs hold while the preview is open.
    void setPrinterFactory(PrinterFactory factory);
    // Asked before each print job, before its print dialog: false refuses the job (the guard
    // has said why). Unset: every job may print.
    void setPrintGuard(std::function<bool()> guard);

    // Each asks through the prompter first and returns false when that was cancelled or the
    // output could not be made (the reason shown as a message).
    bool printReport();
    // The job printReport runs, for callers that follow its signals or set its printer.
    PrintJob& printJob() { return *m_job; }
    bool exportPdf();
    // The current page as the chosen file, or every page as that name numbered: 清单-01.png...
    bool exportImages(bool allPages);
    bool pageSetup();

    // The toolbar's actions by object name: first, previous, next, last, zoomIn, zoomOut,
    // fitWidth, fitPage, print, exportPdf, exportImage, exportAllImages, pageSetup, close.
    QAction* action(const QString& name) const;

signals:
    // When a print job starts: its print dialog was confirmed and the pages go to the printer.
    void printStarting();
    // After each print job that the printer took; a preview closed without printing emits none.
    void printed();
    // The layout chosen in the page setup dialog; the caller prepares again and calls setReport.
    void pageSetupChanged(const QPageLayout& layout);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildActions();
    void buildToolBar();
    bool turnPageByKey(int key);
    void applyFit();
    void refresh();
    QPrinter& printer();
    double pixelsPerMm() const;

    PreparedReport m_report;
    int m_page = 0;
    double m_zoom = 1.0;
    Fit m_fit = Fit::None;
    PrintJob* m_job;  // owned by this dialog

    struct ActionEntry {
        QAction* action;  // owned by this dialog
        std::function<bool()> enabled;
    };
    std::vector<ActionEntry> m_actions;
    QScrollArea* m_scroll = nullptr;       // owned by this dialog
    Internal::PageView* m_view = nullptr;  // owned by m_scroll
    QLabel* m_pageLabel = nullptr;         // owned by the toolbar
    QComboBox* m_zoomBox = nullptr;        // owned by the toolbar
};

}  // namespace Qd::Print
