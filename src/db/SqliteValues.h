#pragma once

// Values between Qt and the embedded database's C API, one place for both directions.

#include <QVariant>

struct sqlite3_stmt;
struct sqlite3_value;

namespace Qd::Core::Db {

struct FieldDef;

// Binds a value: text, integers and bools, doubles, date-times as "yyyy-MM-dd HH:mm:ss[.zzz]",
// dates as "yyyy-MM-dd", byte arrays as blobs, null as NULL. Returns the library's result code.
int bindVariant(sqlite3_stmt* stmt, int index, const QVariant& value);

// A column of the current row, or a function argument, as a QVariant (qlonglong, double,
// QString, QByteArray or null).
QVariant columnVariant(sqlite3_stmt* stmt, int column);
QVariant valueVariant(sqlite3_value* value);

// Types `def` as a result column of T-SQL type `type` loads: "bigint" BigInt, other ints
// Integer, "bit" Boolean, money and decimals Currency (Float beyond four places) showing their
// scale, floats Float, dates and times DateTime, binaries Blob, anything else Text with the
// width of "varchar(n)".
void typeField(FieldDef& def, const QString& type);

}  // namespace Qd::Core::Db
