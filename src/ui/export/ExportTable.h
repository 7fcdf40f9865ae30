#pragma once

// What an export writes, walked by every writer the same way: the columns (caption, width, band,
// kind and display format of their cells), the band captions over them, the rows in the order
// shown, and the footer summaries. Internal to the exporter.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/editors/Editors.h"

namespace Qd::Core::Db {
class RecordSet;
enum class FieldType : std::uint8_t;
namespace Internal {
class Column;
}
}  // namespace Qd::Core::Db

namespace Qd::Core::Ui {
class GridView;
struct ExportField;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Ui::Internal {

// What the cells of a column hold.
enum class CellKind : std::uint8_t { Text, Number, Date, Boolean };

struct ExportColumn {
    QString caption;
    int width = 100;  // pixels
    int band = -1;    // index into ExportTable::bands(); -1 under no band
    CellKind kind = CellKind::Text;
    // Numbers: the display format ("#,##0.00"; empty: plain) and the decimals of a plain one
    // (-1: as many as the value has). Dates: whether the time of day is shown.
    QString displayFormat;
    int decimals = -1;
    bool withTime = false;

    // Where the values come from: a field, and for a grid the editor whose text the cell shows
    // (lookups, fixed choices, colours and cells with their own text).
    int field = -1;
    const EditorProps* shownBy = nullptr;  // not owned; null: the field's value itself

    // The footer summary's display format (empty: the plain number).
    QString footerFormat;

    // The spreadsheet number format of the column's cells; empty for none.
    QString sheetFormat() const;
};

// One cell as read for the writers. Text points into the record set or into the table's own
// buffer, valid until the next row is read. A footer cell holds its text as the grid shows it,
// and its value as a number when it is one.
struct Cell {
    bool null = true;
    CellKind kind = CellKind::Text;
    double number = 0;  // Number; Boolean as 0 or 1
    qint64 msecs = 0;   // Date: milliseconds since julian day 0 (as the record set stores them)
    std::string_view text;
};

// The span of columns first..last (indexes into the columns) under one band caption.
struct BandSpan {
    QString caption;
    int first;
    int last;
};

class ExportTable {
public:
    // The view as shown; empty columns when the view has no open record set.
    static ExportTable ofGrid(const GridView& view);
    static ExportTable ofRecordSet(const Db::RecordSet& rs, const QList<ExportField>& fields);

    // False for a record set that is missing or closed.
    bool valid() const;
    const std::vector<ExportColumn>& columns() const { return m_columns; }
    // The band row, left to right, covering every column (a column under no band makes a span
    // of its own with no caption); empty when the source shows no band row.
    const std::vector<BandSpan>& bands() const { return m_bands; }
    int rowCount() const;
    // Reads the row at a position (in the order shown) into `cells`, one per column.
    void readRow(int pos, std::vector<Cell>& cells);
    // The footer summaries, one per column (null where a column has none); empty without any.
    std::vector<Cell> footer() const;
    // The name the source gives itself in messages and the trace.
    const QString& name() const { return m_name; }

private:
    // How the cells of a column are read.
    enum class Read : std::uint8_t {
        Shown,      // the editor's text
        Real,       // stored as a double
        Currency,   // stored scaled
        Int,        // an integer
        Flag,       // an integer taken as true or false
        Key,        // a date-time's key (milliseconds)
        Utf8,       // text as stored
        Converted,  // anything else, through the record set's conversions
    };
    static Read readOf(const ExportColumn& column, Db::FieldType type);
    void readShown(std::size_t c, std::uint32_t row, Cell& cell);
    void readConverted(std::size_t c, std::uint32_t row, Cell& cell);
    void addColumn(ExportColumn column, const EditorProps* props);
    void setBands(const QStringList& captions);

    const Db::RecordSet* m_rs = nullptr;  // not owned
    std::vector<ExportColumn> m_columns;
    std::vector<const Db::Internal::Column*> m_stored;  // by column: its field's storage
    std::vector<Read> m_reads;                          // by column
    std::vector<BandSpan> m_bands;
    std::vector<Cell> m_footer;             // without their texts, which a move would leave behind
    std::vector<std::string> m_footerText;  // the footer's texts, as the grid shows them
    std::vector<std::string> m_shown;       // per column: the text of its current cell
    QString m_name;
};

// Dates before 1900-03-01 have no serial number a spreadsheet reads back as the same day (its
// calendar counts a 29 February 1900), so they go out as text.
bool hasSheetSerial(qint64 msecs);
// The spreadsheet's serial number of a date (days since 1899-12-30, the time as a fraction).
double sheetSerial(qint64 msecs);
// "yyyy-mm-dd", with " hh:mm" when `withTime`, appended.
void appendDate(std::string& out, qint64 msecs, bool withTime);

}  // namespace Qd::Core::Ui::Internal
