#pragma once

// The engine's print dialog: which printer (or a PDF file), which pages, how many copies. It
// asks nothing of the printer until it is accepted, and the list of the system's printers only
// when the user opens it, so printing a bill does not wait for the print system each time.

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPrinter;
class QRadioButton;
class QSpinBox;

namespace Qd::Print {

class PrintDialog : public QDialog {
    Q_OBJECT

public:
    // Offers pages 1 to pageCount; "当前页" is the 0-based currentPage.
    PrintDialog(QPrinter& printer, int pageCount, QWidget* parent = nullptr);

    QPrinter* printer() const { return m_printer; }

    // The choices, as a user makes them (tests drive the dialog through these).
    void choosePdfFile(const QString& path);  // output to a PDF file instead
    void chooseCurrentPage();
    void choosePages(int from, int to);  // 1-based, clamped to the pages there are
    void setCopies(int copies);

    void accept() override;  // applies the choices to the printer, then closes

private:
    void fillPrinters();
    void updateFileRow();
    void browseFile();

    QPrinter* m_printer;  // not owned
    QComboBox* m_printers = nullptr;
    QLineEdit* m_file = nullptr;
    QWidget* m_fileRow = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_current = nullptr;
    QRadioButton* m_range = nullptr;
    QSpinBox* m_from = nullptr;
    QSpinBox* m_to = nullptr;
    QSpinBox* m_copies = nullptr;
    bool m_printersListed = false;
};

}  // namespace Qd::Print
