#include "print/engine/PrintDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <functional>

#include "base/Prompter.h"

namespace Qd::Print {

namespace {

// The combo's entry that writes a PDF file; the others carry a printer's name.
const QString kPdfEntry = QStringLiteral("\x01pdf");

// Asks the print system for its printers only when the list is opened.
class PrinterCombo : public QComboBox {
public:
    std::function<void()> beforePopup;
    using QComboBox::QComboBox;
    void showPopup() override {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

}  // namespace

PrintDialog::PrintDialog(QPrinter& printer, int pageCount, QWidget* parent)
    : QDialog(parent), m_printer(&printer) {
    setWindowTitle(QStringLiteral("打印"));
    setMinimumWidth(380);
    pageCount = std::max(1, pageCount);

    auto* combo = new PrinterCombo(this);
    combo->beforePopup = [this] { fillPrinters(); };
    m_printers = combo;
    m_printers->addItem(QStringLiteral("PDF 文件"), kPdfEntry);
    const bool toPdf = printer.outputFormat() == QPrinter::PdfFormat;
    if (!toPdf && !printer.printerName().isEmpty())
        m_printers->insertItem(0, printer.printerName(), printer.printerName());
    m_printers->setCurrentIndex(toPdf ? m_printers->findData(kPdfEntry) : 0);

    m_file = new QLineEdit(printer.outputFileName(), this);
    auto* browse = new QPushButton(QStringLiteral("浏览…"), this);
    connect(browse, &QPushButton::clicked, this, [this] { browseFile(); });
    m_fileRow = new QWidget(this);
    auto* fileLayout = new QHBoxLayout(m_fileRow);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(m_file, 1);
    fileLayout->addWidget(browse);

    auto* target = new QFormLayout;
    target->addRow(QStringLiteral("打印机："), m_printers);
    target->addRow(QStringLiteral("文件："), m_fileRow);
    connect(m_printers, &QComboBox::currentIndexChanged, this, [this] { updateFileRow(); });

    auto* range = new QGroupBox(QStringLiteral("页码范围"), this);
    m_all = new QRadioButton(QStringLiteral("全部"), range);
    m_current = new QRadioButton(QStringLiteral("当前页"), range);
    m_range = new QRadioButton(QStringLiteral("页码："), range);
    m_from = new QSpinBox(range);
    m_to = new QSpinBox(range);
    for (QSpinBox* box : {m_from, m_to})
        box->setRange(1, pageCount);
    m_to->setValue(pageCount);
    m_all->setChecked(true);
    auto* pages = new QHBoxLayout;
    pages->addWidget(m_range);
    pages->addWidget(m_from);
    pages->addWidget(new QLabel(QStringLiteral("至"), range));
    pages->addWidget(m_to);
    pages->addStretch();
    auto* rangeLayout = new QVBoxLayout(range);
    rangeLayout->addWidget(m_all);
    rangeLayout->addWidget(m_current);
    rangeLayout->addLayout(pages);
    for (QSpinBox* box : {m_from, m_to})
        connect(box, &QSpinBox::valueChanged, this, [this] { m_range->setChecked(true); });

    m_copies = new QSpinBox(this);
    m_copies->setRange(1, 999);
    m_copies->setValue(std::max(1, printer.copyCount()));
    auto* copies = new QFormLayout;
    copies->addRow(QStringLiteral("份数："), m_copies);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("打印"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(target);
    layout->addWidget(range);
    layout->addLayout(copies);
    layout->addWidget(buttons);
    updateFileRow();
}

void PrintDialog::fillPrinters() {
    if (m_printersListed)
        return;
    m_printersListed = true;
    const QSignalBlocker quiet(m_printers);
    const QVariant chosen = m_printers->currentData();
    int at = 0;
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        if (m_printers->findData(name) < 0)
            m_printers->insertItem(at++, name, name);
    m_printers->setCurrentIndex(m_printers->findData(chosen));
}

void PrintDialog::updateFileRow() {
    m_fileRow->setEnabled(m_printers->currentData() == kPdfEntry);
}

void PrintDialog::browseFile() {
    const QString path = Core::Ui::prompter().saveFileName(
        QStringLiteral("打印到文件"), m_file->text(), QStringLiteral("PDF 文件 (*.pdf)"),
        QStringLiteral("pdf"));
    if (!path.isEmpty())
        m_file->setText(path);
}

void PrintDialog::choosePdfFile(const QString& path) {
    m_printers->setCurrentIndex(m_printers->findData(kPdfEntry));
    m_file->setText(path);
}

void PrintDialog::chooseCurrentPage() {
    m_current->setChecked(true);
}

void PrintDialog::choosePages(int from, int to) {
    m_from->setValue(from);
    m_to->setValue(std::max(m_from->value(), to));
    m_range->setChecked(true);
}

void PrintDialog::setCopies(int copies) {
    m_copies->setValue(copies);
}

void PrintDialog::accept() {
    const QString chosen = m_printers->currentData().toString();
    if (chosen == kPdfEntry) {
        if (m_file->text().trimmed().isEmpty()) {
            Core::Ui::prompter().message(QStringLiteral("请输入要打印到的文件。"), windowTitle(),
                                         Core::Ui::MsgKind::Information, Core::Ui::MsgButtons::Ok);
            return;
        }
        if (m_printer->outputFormat() != QPrinter::PdfFormat)
            m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(m_file->text().trimmed());
    } else {
        if (m_printer->outputFormat() != QPrinter::NativeFormat)
            m_printer->setOutputFormat(QPrinter::NativeFormat);
        if (m_printer->printerName() != chosen)
            m_printer->setPrinterName(chosen);
    }
    if (m_current->isChecked()) {
        m_printer->setPrintRange(QPrinter::CurrentPage);
    } else if (m_range->isChecked()) {
        m_printer->setPrintRange(QPrinter::PageRange);
        m_printer->setFromTo(m_from->value(), m_to->value());
    } else {
        m_printer->setPrintRange(QPrinter::AllPages);
    }
    m_printer->setCopyCount(m_copies->value());
    QDialog::accept();
}

}  // namespace Qd::Print
