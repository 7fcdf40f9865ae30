#pragma once

// A prepared report's way to a printer: the guard asked before each job, the print dialog,
// the printer and the signals around each job. The preview prints through one; 直接打印 uses
// one alone, without building a preview window.

#include <QObject>
#include <functional>
#include <memory>

#include "print/engine/Engine.h"

class QPrinter;
class QWidget;

namespace Qd::Print {

class PrintJob : public QObject {
    Q_OBJECT

public:
    using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;

    // Dialogs and messages open over dialogParent.
    explicit PrintJob(QWidget* dialogParent);
    ~PrintJob() override;

    // Makes the printer; by default the system's own. It is made on first use and kept, so
    // choices made in its dialogs hold for the next job.
    void setPrinterFactory(PrinterFactory factory);
    // Asked before each job, before its print dialog: false refuses the job (the guard has
    // said why). Unset: every job may print.
    void setPrintGuard(std::function<bool()> guard) { m_guard = std::move(guard); }

    // The printer, laid out for `page` when it is made.
    QPrinter& printer(const PageSetup& page);

    // One job: the guard, the print dialog (through the prompter), then the pages it chose
    // (currentPage, 0-based, for "当前页"). False when refused, cancelled, or when the printer
    // could not start (said in a message).
    bool print(const PreparedReport& report, int currentPage = 0);

signals:
    // The print dialog was confirmed and the pages go to the printer.
    void printStarting();
    // The printer took the job.
    void printed();

private:
    QWidget* m_dialogParent;  // not owned
    PrinterFactory m_factory;
    std::function<bool()> m_guard;
    std::unique_ptr<QPrinter> m_printer;
};

// The pages a print dialog asked for (1-based from and to, or the current page), as a report
// of just those pages; the whole report when it asked for all.
PreparedReport pagesToPrint(const PreparedReport& report, const QPrinter& printer, int current);

}  // namespace Qd::Print
