#pragma once

// Reading a result set of an ODBC statement into a record set.

#include <QStringList>
#include <functional>

#include "db/RecordSet.h"
#include "db/odbc/Odbc.h"

namespace Qd::Core::Db::Odbc {

// How far the driver's description of a text column can be trusted.
enum class ColumnSizes {
    Exact,     // the server enforces the declared length (SQL Server)
    Declared,  // only a length written in the declared type counts (the embedded database)
};

// The declared type of a table's column ("numeric(18,6)"), empty when not known: for drivers
// that describe a column only by its base type.
using DeclaredType = std::function<QString(const QString& table, const QString& column)>;

// Loads the current result set of `stmt` into `rs`. A column's field follows the declared type
// of the table column it comes from where `declared` knows it, else the T-SQL type `types`
// gives for it (a computed column), else the driver's description (SQLDescribeCol). Rows come a
// block at a time into bound column arrays; a result with a long column (text over 4000 units,
// binaries over 8000 bytes, or of unknown length) comes a row at a time through SQLGetData in
// chunks. A value longer than its column was declared is refused naming the column (under
// Declared sizes, one longer than a block takes: the embedded database keeps blanks past a
// declared length). Returns the rows read; throws OdbcError.
qint64 loadResult(SQLHSTMT stmt, RecordSet& rs, const QStringList& types, ColumnSizes sizes,
                  const DeclaredType& declared = {});

// The rows in one block of a bound fetch.
inline constexpr SQLULEN kRowsPerBlock = 256;

}  // namespace Qd::Core::Db::Odbc
