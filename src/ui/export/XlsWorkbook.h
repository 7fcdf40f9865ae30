#pragma once

// A streamed Excel 97-2003 (.xls) workbook: sheets of numbers, texts and booleans written row by
// row to the file, in memory that does not grow with the rows.

#include <QString>
#include <QStringView>
#include <memory>

namespace Qd::Core::Ui::Xls {

inline constexpr int kMaxRows = 65536;  // rows of a sheet, header rows included
inline constexpr int kMaxColumns = 256;
inline constexpr int kMaxTextLength = 32767;

// A call the workbook refuses (a cell out of range or out of order, an unknown format, a width
// after the sheet's first cell, a merge out of range) returns false or does nothing, sets
// error() and leaves the workbook as it was; only a file that cannot be written makes ok() false.
class Workbook {
public:
    explicit Workbook(const QString& path);  // creates/truncates the file; ok() false when it can't
    ~Workbook();                             // closes if not closed
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    bool ok() const;
    QString error() const;  // names the file and the system's reason

    // A cell format: Excel number-format notation ("0.00", "#,##0.00", "yyyy-mm-dd hh:mm";
    // empty = General), bold or not. Same arguments give the same index. Before the first sheet
    // or at any time (formats are written with the globals at close).
    int addFormat(const QString& numberFormat, bool bold = false);

    // Starts a sheet (ends the previous). The caller passes valid unique names (<= 31 chars).
    void addSheet(const QString& name);
    void setColumnWidth(int column, double characters);  // before the sheet's first cell
    void freezeRows(int rows);                           // frozen header rows of this sheet
    void mergeCells(int firstRow, int firstColumn, int lastRow, int lastColumn);

    // Cells of a sheet arrive in row order, and in column order within a row; a skipped cell
    // stays empty (that is how NULL goes out). Out-of-range rows/columns: error, returns false.
    // An empty text leaves a blank cell that keeps the format.
    bool writeNumber(int row, int column, double value, int format = -1);
    bool writeString(int row, int column, QStringView text, int format = -1);  // <= kMaxTextLength
    bool writeBoolean(int row, int column, bool value, int format = -1);

    // Completes the file; false with error(). A workbook without sheets gets an empty one. A file
    // that could not be completed is removed.
    bool close();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace Qd::Core::Ui::Xls
