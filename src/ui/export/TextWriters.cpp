// The text formats: comma-separated values and an HTML page, streamed through a buffer.
#include "base/OwnerOnly.h"
#include "ui/export/ExportWriters.h"

namespace Qd::Core::Ui::Internal {

void TextOut::flush() {
    if (!m_file.write(m_buffer))
        throw ExportError{m_file.error()};
    m_buffer.clear();
}

namespace {

// The cell formatters of a table's number columns, by column.
std::vector<NumberFormatter> numberFormatters(const ExportTable& table, bool plain) {
    std::vector<NumberFormatter> out;
    for (const ExportColumn& c : table.columns())
        out.emplace_back(c.displayFormat, c.decimals, plain);
    return out;
}

// ---- csv ------------------------------------------------------------------------------------

// Values separated by ",", records by CRLF, UTF-8 with a byte-order mark (so that spreadsheets
// take it as UTF-8). A value holding a comma, a quote or a line break is quoted, its quotes
// doubled. A text starting with = + - @ (or a tab or CR) gets a "'" in front: a spreadsheet
// would otherwise run it as a formula. Numbers are plain ("." and the column's decimals, no
// grouping), dates "yyyy-mm-dd" (" hh:mm" when the column shows the time), checks "1" or "0".
class CsvWriter : public ExportWriter {
public:
    explicit CsvWriter(Sys::PendingFile& file) : m_out(file) {}

    void begin(const ExportTable& table) override {
        m_out += "\xEF\xBB\xBF";
        m_columns = &table.columns();
        m_numbers = numberFormatters(table, true);
        if (m_columns->empty())
            return;
        for (std::size_t c = 0; c < m_columns->size(); ++c) {
            if (c > 0)
                m_out += ",";
            appendText((*m_columns)[c].caption.toStdString());
        }
        m_out += "\r\n";
    }

    void row(const std::vector<Cell>& cells) override {
        std::string& out = m_out.buffer();
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0)
                out += ',';
            const Cell& cell = cells[c];
            if (cell.null)
                continue;
            switch (cell.kind) {
                case CellKind::Text:
                    appendText(cell.text);
                    break;
                case CellKind::Number:
                    m_numbers[c].append(cell.number, out);
                    break;
                case CellKind::Date:
                    appendDate(out, cell.msecs, (*m_columns)[c].withTime);
                    break;
                case CellKind::Boolean:
                    out += cell.number != 0 ? '1' : '0';
                    break;
            }
        }
        out += "\r\n";
        m_out.rowDone();
    }

    void end(const std::vector<Cell>&) override { m_out.flush(); }

private:
    static bool needsQuotes(std::string_view text) {
        for (const char ch : text) {
            if (ch == ',' || ch == '"' || ch == '\n' || ch == '\r')
                return true;
        }
        return false;
    }

    void appendText(std::string_view text) {
        std::string& out = m_out.buffer();
        const bool formula =
            !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
        if (!needsQuotes(text)) {
            if (formula)
                out += '\'';
            out += text;
            return;
        }
        out += '"';
        if (formula)
            out += '\'';
        for (const char ch : text) {
            if (ch == '"')
                out += '"';
            out += ch;
        }
        out += '"';
    }

    TextOut m_out;
    const std::vector<ExportColumn>* m_columns = nullptr;  // the table's
    std::vector<NumberFormatter> m_numbers;
};

// ---- html -----------------------------------------------------------------------------------

// One table on a UTF-8 page that is well-formed XML too: a band row (colspan), the captions
// (th), the rows and a footer row; numbers right-aligned in their display format, dates as
// text, checks "是" or "否", line breaks kept (the cells wrap as the text does).
class HtmlWriter : public ExportWriter {
public:
    HtmlWriter(Sys::PendingFile& file, const QString& title) : m_out(file), m_title(title) {}

    void begin(const ExportTable& table) override {
        m_columns = &table.columns();
        m_numbers = numberFormatters(table, false);
        m_out += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\"/>\n<title>";
        appendEscaped(m_title.toStdString());
        m_out +=
            "</title>\n<style>\n"
            "table { border-collapse: collapse; table-layout: fixed; }\n"
            "th, td { border: 1px solid #a0a0a0; padding: 2px 4px; white-space: pre-wrap; "
            "vertical-align: top; overflow: hidden; }\n"
            "th { background: #eeeeee; }\n"
            "td.n { text-align: right; }\n"
            "tfoot td { font-weight: bold; }\n"
            "</style>\n</head>\n<body>\n<table>\n";
        if (!m_columns->empty()) {
            m_out += "<colgroup>";
            for (const ExportColumn& c : *m_columns)
                m_out += "<col style=\"width: " + std::to_string(c.width) + "px\"/>";
            m_out += "</colgroup>\n<thead>\n";
            if (!table.bands().empty()) {
                m_out += "<tr>";
                for (const BandSpan& band : table.bands()) {
                    const int span = band.last - band.first + 1;
                    m_out += span > 1 ? "<th colspan=\"" + std::to_string(span) + "\">" : "<th>";
                    appendEscaped(band.caption.toStdString());
                    m_out += "</th>";
                }
                m_out += "</tr>\n";
            }
            m_out += "<tr>";
            for (const ExportColumn& c : *m_columns) {
                m_out += "<th>";
                appendEscaped(c.caption.toStdString());
                m_out += "</th>";
            }
            m_out += "</tr>\n</thead>\n";
        }
        m_out += "<tbody>\n";
    }

    void row(const std::vector<Cell>& cells) override {
        writeRow(cells, false);
        m_out.rowDone();
    }

    void end(const std::vector<Cell>& footer) override {
        m_out += "</tbody>\n";
        if (!footer.empty()) {
            m_out += "<tfoot>\n";
            writeRow(footer, true);
            m_out += "</tfoot>\n";
        }
        m_out += "</table>\n</body>\n</html>\n";
        m_out.flush();
    }

private:
    // A footer cell is written as the grid shows it.
    void writeRow(const std::vector<Cell>& cells, bool footer) {
        std::string& out = m_out.buffer();
        out += "<tr>";
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            const bool number = cell.kind == CellKind::Number && !cell.null;
            out += number ? "<td class=\"n\">" : "<td>";
            if (!cell.null) {
                if (footer || cell.kind == CellKind::Text)
                    appendEscaped(cell.text);
                else if (number)
                    m_numbers[c].append(cell.number, out);
                else if (cell.kind == CellKind::Date)
                    appendDate(out, cell.msecs, (*m_columns)[c].withTime);
                else
                    out += cell.number != 0 ? "是" : "否";
            }
            out += "</td>";
        }
        out += "</tr>\n";
    }

    // & < > " as entities; control characters XML does not allow are left out.
    void appendEscaped(std::string_view text) {
        std::string& out = m_out.buffer();
        std::size_t from = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char ch = static_cast<unsigned char>(text[i]);
            if (ch > '>')  // every byte written as it is lies above '>' but for a few
                continue;
            const char* entity = nullptr;
            switch (ch) {
                case '&':
                    entity = "&amp;";
                    break;
                case '<':
                    entity = "&lt;";
                    break;
                case '>':
                    entity = "&gt;";
                    break;
                case '"':
                    entity = "&quot;";
                    break;
                default:
                    if (ch >= 0x20 || ch == '\t' || ch == '\n')
                        continue;
                    entity = "";  // not allowed in XML (CR: the line break is the LF)
            }
            out.append(text.data() + from, i - from);
            out += entity;
            from = i + 1;
        }
        out.append(text.data() + from, text.size() - from);
    }

    TextOut m_out;
    QString m_title;
    const std::vector<ExportColumn>* m_columns = nullptr;  // the table's
    std::vector<NumberFormatter> m_numbers;
};

}  // namespace

std::unique_ptr<ExportWriter> csvWriter(Sys::PendingFile& file) {
    return std::make_unique<CsvWriter>(file);
}

std::unique_ptr<ExportWriter> htmlWriter(Sys::PendingFile& file, const QString& title) {
    return std::make_unique<HtmlWriter>(file, title);
}

}  // namespace Qd::Core::Ui::Internal
