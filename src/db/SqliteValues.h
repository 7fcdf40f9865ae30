#pragma once

// Values between Qt and the embedded database's C API, one place for both directions.

#include <QVariant>

struct sqlite3_stmt;
struct sqlite3_value;

namespace Qd::Core::Db {

// Binds a value: text, integers and bools, doubles, date-times as "yyyy-MM-dd HH:mm:ss[.zzz]",
// dates as "yyyy-MM-dd", byte arrays as blobs, null as NULL. Returns the library's result code.
int bindVariant(sqlite3_stmt* stmt, int index, const QVariant& value);

// A column of the current row, or a function argument, as a QVariant (qlonglong, double,
// QString, QByteArray or null).
QVariant columnVariant(sqlite3_stmt* stmt, int column);
QVariant valueVariant(sqlite3_value* value);

}  // namespace Qd::Core::Db
