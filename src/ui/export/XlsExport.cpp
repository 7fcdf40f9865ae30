// The xls writer: the spreadsheet writer over the streamed 97-2003 workbook.
#include <QStringDecoder>

#include "ui/export/SheetWriter.h"
#include "ui/export/XlsWorkbook.h"

namespace Qd::Core::Ui::Internal {

namespace {

// An xls workbook, streamed: rows go to the file as they are written. The workbook refuses a call
// by setting its error (a void call) or returning false; the first refusal ends the export.
class XlsBook : public SheetBook {
public:
    explicit XlsBook(const QString& path) : m_book(path) { check(); }

    QString formatName() const override { return QStringLiteral("xls"); }
    int maxRows() const override { return Xls::kMaxRows; }
    int maxColumns() const override { return Xls::kMaxColumns; }

    int addFormat(const QString& numberFormat, bool bold) override {
        if (numberFormat.isEmpty() && !bold)
            return -1;
        return m_book.addFormat(numberFormat, bold);
    }
    void addSheet(const QString& name) override {
        m_book.addSheet(name);
        check();
    }
    void setColumnWidth(int column, double characters) override {
        m_book.setColumnWidth(column, characters);
        check();
    }
    void freezeRows(int rows) override {
        m_book.freezeRows(rows);
        check();
    }
    void mergeCells(int row, int first, int last, std::string_view text, int format) override {
        writeText(row, first, text, format);
        for (int c = first + 1; c <= last; ++c)
            writeText(row, c, {}, format);
        m_book.mergeCells(row, first, row, last);
        check();
    }
    void writeNumber(int row, int column, double value, int format) override {
        check(m_book.writeNumber(row, column, value, format));
    }
    void writeText(int row, int column, std::string_view text, int format) override {
        // Decoded into one buffer kept for every cell: a text never takes more UTF-16 units than
        // it has UTF-8 bytes.
        if (m_text.size() < qsizetype(text.size()))
            m_text.resize(qsizetype(text.size()));
        const QChar* end =
            m_utf8.appendToBuffer(m_text.data(), QByteArrayView(text.data(), text.size()));
        check(m_book.writeString(row, column, QStringView(m_text.constData(), end), format));
    }
    void writeBoolean(int row, int column, bool value, int format) override {
        check(m_book.writeBoolean(row, column, value, format));
    }
    void close() override { check(m_book.close()); }

private:
    // After a call that reports a refusal by its result.
    void check(bool ok) const {
        if (!ok)
            throw ExportError{m_book.error()};
    }
    // After one that reports it by the error alone (few calls, none per cell).
    void check() const { check(m_book.ok() && m_book.error().isEmpty()); }

    Xls::Workbook m_book;
    QStringDecoder m_utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    QString m_text;  // the decoded text of a cell, its buffer reused
};

}  // namespace

std::unique_ptr<ExportWriter> xlsWriter(const QString& path, const QString& title, int sheetRows) {
    return sheetWriter(std::make_unique<XlsBook>(path), title, sheetRows);
}

}  // namespace Qd::Core::Ui::Internal
