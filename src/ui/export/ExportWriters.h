#pragma once

// The writers of the exporter, one per format behind one interface. The exporter gives a writer
// the table first, then every row as it is read, then the footer; a writer streams what it gets
// to its file and keeps nothing of the rows. Internal to the exporter.

#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/export/ExportTable.h"

namespace Qd::Core::Sys {
class PendingFile;
}

namespace Qd::Core::Ui::Internal {

// Why an export cannot go on: a reason about the file (the exporter names the file), or a
// refusal that stands as it is.
struct ExportError {
    QString reason;
    bool aboutFile = true;
};

class ExportWriter {
public:
    virtual ~ExportWriter() = default;
    // What comes before the rows: the header, and whatever a format keeps of the columns.
    virtual void begin(const ExportTable& table) = 0;
    virtual void row(const std::vector<Cell>& cells) = 0;
    // The footer (empty when the table has none), then the end of the file, which is whole once
    // this returns. Every function throws ExportError when it cannot write.
    virtual void end(const std::vector<Cell>& footer) = 0;
};

// The text formats write through the temporary file; the spreadsheets open it by its path.
// `title` is the file's name without its extension (a page's title, a sheet's name).
std::unique_ptr<ExportWriter> csvWriter(Sys::PendingFile& file);
std::unique_ptr<ExportWriter> htmlWriter(Sys::PendingFile& file, const QString& title);
// `sheetRows`: data rows per sheet before a further sheet begins; 0 for the format's limit.
std::unique_ptr<ExportWriter> xlsxWriter(const QString& path, const QString& title, int sheetRows);
std::unique_ptr<ExportWriter> xlsWriter(const QString& path, const QString& title, int sheetRows);

// Buffered text output to the temporary file, for the text formats.
class TextOut {
public:
    explicit TextOut(Sys::PendingFile& file) : m_file(file) { m_buffer.reserve(kChunk + 4096); }
    std::string& buffer() { return m_buffer; }
    void operator+=(std::string_view bytes) { m_buffer += bytes; }
    // Hands the buffer to the file once it holds a chunk.
    void rowDone() {
        if (m_buffer.size() >= kChunk)
            flush();
    }
    void flush();

private:
    static constexpr std::size_t kChunk = 1 << 20;
    Sys::PendingFile& m_file;
    std::string m_buffer;
};

// The name of the n-th sheet (from 1) of a workbook saved as `title`: at most 31 characters,
// without : \ / ? * [ ], further sheets numbered "订单明细表 (2)".
QString sheetName(const QString& title, int n);

}  // namespace Qd::Core::Ui::Internal
