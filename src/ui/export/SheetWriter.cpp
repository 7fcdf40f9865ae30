#include "ui/export/SheetWriter.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <string>

#include "db/Trace.h"

namespace Qd::Core::Ui::Internal {

namespace {

// Excel's width in characters from a width in pixels.
double characters(int pixels) {
    return std::max(1.0, (pixels - 5) / 7.0);
}

// The bytes of UTF-8 text that hold at most `units` UTF-16 units (a character beyond the basic
// plane takes two), never ending inside a character.
std::size_t prefixBytes(std::string_view text, int units) {
    std::size_t i = 0;
    for (int seen = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80)
            continue;  // inside a character
        seen += byte >= 0xF0 ? 2 : 1;
        if (seen > units)
            break;
    }
    return i;
}

class SheetWriter : public ExportWriter {
public:
    SheetWriter(std::unique_ptr<SheetBook> book, const QString& title, int sheetRows)
        : m_book(std::move(book)), m_title(title), m_sheetRows(sheetRows) {}

    void begin(const ExportTable& table) override {
        m_table = &table;
        const int columns = int(table.columns().size());
        if (columns > m_book->maxColumns())
            throw ExportError{QStringLiteral("共 %1 列，超过 %2 工作表的上限 %3 列，请导出为 xlsx")
                                  .arg(columns)
                                  .arg(m_book->formatName())
                                  .arg(m_book->maxColumns()),
                              false};
        m_header = m_book->addFormat({}, true);
        for (const ExportColumn& c : table.columns()) {
            m_formats.push_back(format(c.sheetFormat(), false));
            m_footerFormats.push_back(
                format(c.footerFormat.isEmpty() ? c.sheetFormat() : c.footerFormat, true));
        }
        m_headerRows = columns == 0 ? 0 : (table.bands().empty() ? 1 : 2);
        const int fit = m_book->maxRows() - m_headerRows;
        m_rowsPerSheet = m_sheetRows > 0 ? std::min(m_sheetRows, fit) : fit;
        startSheet();
    }

    void row(const std::vector<Cell>& cells) override {
        if (m_dataRows == m_rowsPerSheet)
            startSheet();
        for (std::size_t c = 0; c < cells.size(); ++c)
            write(int(c), cells[c], m_formats[c]);
        ++m_row;
        ++m_dataRows;
    }

    void end(const std::vector<Cell>& footer) override {
        if (!footer.empty()) {
            if (m_dataRows == m_rowsPerSheet)
                startSheet();
            for (std::size_t c = 0; c < footer.size(); ++c)
                write(int(c), footer[c], m_footerFormats[c]);
        }
        m_book->close();
    }

private:
    int format(const QString& numberFormat, bool bold) {
        auto& known = bold ? m_boldFormats : m_plainFormats;
        const auto it = known.find(numberFormat);
        if (it != known.end())
            return it->second;
        return known[numberFormat] = m_book->addFormat(numberFormat, bold);
    }

    // A further sheet with the header rows; the rows start under them.
    void startSheet() {
        m_book->addSheet(sheetName(m_title, ++m_sheets));
        const auto& columns = m_table->columns();
        for (std::size_t c = 0; c < columns.size(); ++c)
            m_book->setColumnWidth(int(c), characters(columns[c].width));
        m_row = 0;
        if (m_headerRows == 2) {
            for (const BandSpan& band : m_table->bands()) {
                const std::string caption = band.caption.toStdString();
                if (band.first == band.last)
                    m_book->writeText(0, band.first, caption, m_header);
                else
                    m_book->mergeCells(0, band.first, band.last, caption, m_header);
            }
            m_row = 1;
        }
        if (m_headerRows > 0) {
            for (std::size_t c = 0; c < columns.size(); ++c)
                m_book->writeText(m_row, int(c), columns[c].caption.toStdString(), m_header);
            ++m_row;
            m_book->freezeRows(m_headerRows);
        }
        m_dataRows = 0;
    }

    void write(int column, const Cell& cell, int format) {
        if (cell.null)
            return;
        switch (cell.kind) {
            case CellKind::Text:
                writeText(column, cell.text, format);
                break;
            case CellKind::Number:
                m_book->writeNumber(m_row, column, cell.number, format);
                break;
            case CellKind::Boolean:
                m_book->writeBoolean(m_row, column, cell.number != 0, format);
                break;
            case CellKind::Date:
                if (hasSheetSerial(cell.msecs)) {
                    m_book->writeNumber(m_row, column, sheetSerial(cell.msecs), format);
                } else {
                    m_text.clear();
                    appendDate(m_text, cell.msecs,
                               m_table->columns()[std::size_t(column)].withTime);
                    m_book->writeText(m_row, column, m_text, -1);
                }
                break;
        }
    }

    // Text longer than a cell holds is cut there; the trace says where.
    void writeText(int column, std::string_view text, int format) {
        if (text.size() > std::size_t(kMaxTextLength)) {
            const std::size_t bytes = prefixBytes(text, kMaxTextLength);
            if (bytes < text.size()) {
                Db::LogMsg(QStringLiteral("导出“%1”：第 %2 个工作表第 %3 行第 %4 列的文本超过 %5 "
                                          "个字符，已截断")
                               .arg(m_title)
                               .arg(m_sheets)
                               .arg(m_row + 1)
                               .arg(column + 1)
                               .arg(kMaxTextLength));
                text = text.substr(0, bytes);
            }
        }
        m_book->writeText(m_row, column, text, format);
    }

    std::unique_ptr<SheetBook> m_book;
    QString m_title;
    int m_sheetRows;
    const ExportTable* m_table = nullptr;  // not owned
    int m_header = -1;
    std::vector<int> m_formats;        // by column
    std::vector<int> m_footerFormats;  // by column
    std::map<QString, int> m_plainFormats, m_boldFormats;
    int m_headerRows = 0;
    int m_rowsPerSheet = 0;
    int m_sheets = 0;
    int m_row = 0;       // the sheet's row written next
    int m_dataRows = 0;  // rows of data on the current sheet
    std::string m_text;  // reused for dates written as text
};

}  // namespace

QString sheetName(const QString& title, int n) {
    QString name = title;
    name.remove(QRegularExpression(QStringLiteral("[:\\\\/?*\\[\\]]")));
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    if (name.trimmed().isEmpty())
        name = QStringLiteral("Sheet");
    const QString suffix = n > 1 ? QStringLiteral(" (%1)").arg(n) : QString();
    qsizetype keep = 31 - suffix.size();
    if (keep < name.size() && keep > 0 && name[keep - 1].isHighSurrogate())
        --keep;  // a character is never cut in half
    return name.left(keep) + suffix;
}

std::unique_ptr<ExportWriter> sheetWriter(std::unique_ptr<SheetBook> book, const QString& title,
                                          int sheetRows) {
    return std::make_unique<SheetWriter>(std::move(book), title, sheetRows);
}

}  // namespace Qd::Core::Ui::Internal
