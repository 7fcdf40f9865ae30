#include "print/engine/PrintJob.h"

#include <QPrinter>
#include <QWidget>
#include <algorithm>

#include "base/Prompter.h"
#include "print/engine/Preview.h"
#include "print/engine/PrintDialog.h"
#include "print/engine/Render.h"

namespace Qd::Print {

PreparedReport pagesToPrint(const PreparedReport& report, const QPrinter& printer, int current) {
    int from = 1;
    int to = report.pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(1, printer.fromPage());
        to = std::min(to, std::max(from, printer.toPage()));
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        from = to = current + 1;
    }
    if (from == 1 && to == report.pageCount())
        return report;
    PreparedReport part{report.name, {}};
    for (int i = from; i <= to; ++i)
        part.pages.push_back(report.pages[size_t(i - 1)]);
    return part;
}

PrintJob::PrintJob(QWidget* dialogParent, QObject* parent)
    : QObject(parent),
      m_dialogParent(dialogParent),
      m_factory([] { return std::make_unique<QPrinter>(QPrinter::HighResolution); }) {}

PrintJob::~PrintJob() = default;

void PrintJob::setPrinterFactory(PrinterFactory factory) {
    m_factory = std::move(factory);
    m_printer.reset();
}

QPrinter& PrintJob::printer(const PageSetup& page) {
    if (!m_printer) {
        m_printer = m_factory();
        m_printer->setPageLayout(toPageLayout(page));
    }
    return *m_printer;
}

bool PrintJob::print(const PreparedReport& report, int currentPage) {
    if (report.pageCount() == 0 || (m_guard && !m_guard()))
        return false;
    QPrinter& target = printer(report.page);
    target.setPrintRange(QPrinter::AllPages);
    PrintDialog dialog(target, report.pageCount(), m_dialogParent);
    if (Core::Ui::prompter().exec(dialog) != QDialog::Accepted)
        return false;
    emit printStarting();
    const bool taken = target.printRange() == QPrinter::AllPages
                           ? Print::print(report, target)
                           : Print::print(pagesToPrint(report, target, currentPage), target);
    if (!taken) {
        Core::Ui::prompter().message(
            QStringLiteral("打印机“%1”无法开始打印。").arg(target.printerName()),
            QStringLiteral("打印"), Core::Ui::MsgKind::Error, Core::Ui::MsgButtons::Ok);
        return false;
    }
    emit printed();
    return true;
}

}  // namespace Qd::Print
