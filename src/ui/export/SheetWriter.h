#pragma once

// The spreadsheet formats share one writer over the few things a workbook file offers; each
// format brings its workbook. Internal to the exporter.

#include <QString>
#include <memory>
#include <string_view>

#include "ui/export/ExportWriters.h"

namespace Qd::Core::Ui::Internal {

// A workbook being written row by row. Every function throws ExportError when the file refuses.
class SheetBook {
public:
    virtual ~SheetBook() = default;
    virtual QString formatName() const = 0;  // "xlsx", for messages
    virtual int maxRows() const = 0;         // of a sheet, header rows included
    virtual int maxColumns() const = 0;
    // A cell format: a number format (empty: none) and bold; -1 for the plain cell.
    virtual int addFormat(const QString& numberFormat, bool bold) = 0;
    virtual void addSheet(const QString& name) = 0;
    virtual void setColumnWidth(int column, double characters) = 0;
    virtual void freezeRows(int rows) = 0;
    // One cell over the columns first..last of a row, holding `text`.
    virtual void mergeCells(int row, int first, int last, std::string_view text, int format) = 0;
    virtual void writeNumber(int row, int column, double value, int format) = 0;
    // Text of at most kMaxTextLength characters.
    virtual void writeText(int row, int column, std::string_view text, int format) = 0;
    virtual void writeBoolean(int row, int column, bool value, int format) = 0;
    // Writes the file out; the workbook is whole once this returns.
    virtual void close() = 0;
};

// The longest text a cell holds, in UTF-16 units (characters, but for those beyond the basic
// plane, which take two); a longer one is cut there (and traced).
inline constexpr int kMaxTextLength = 32767;

// The writer over a workbook: header rows (bands merged over their columns, captions) repeated
// on every sheet, frozen; rows continuing on a further sheet when one is full; the footer as a
// bold last row of values.
std::unique_ptr<ExportWriter> sheetWriter(std::unique_ptr<SheetBook> book, const QString& title,
                                          int sheetRows);

}  // namespace Qd::Core::Ui::Internal
