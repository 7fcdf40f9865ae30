#include "db/SqliteValues.h"

#include <sqlite3.h>

#include <QDate>
#include <QDateTime>

#include "db/RecordSet.h"

namespace Qd::Core::Db {

int bindVariant(sqlite3_stmt* stmt, int index, const QVariant& v) {
    if (v.isNull())
        return sqlite3_bind_null(stmt, index);
    switch (v.typeId()) {
        case QMetaType::Bool:
            return sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0);
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
            return sqlite3_bind_int64(stmt, index, v.toLongLong());
        case QMetaType::ULongLong:
        case QMetaType::ULong:
            return sqlite3_bind_int64(stmt, index, qint64(v.toULongLong()));
        case QMetaType::Double:
        case QMetaType::Float:
            return sqlite3_bind_double(stmt, index, v.toDouble());
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            return sqlite3_bind_blob64(stmt, index, b.constData(), sqlite3_uint64(b.size()),
                                       SQLITE_TRANSIENT);
        }
        case QMetaType::QDateTime: {
            const QByteArray s = formatDateTime(v.toDateTime()).toUtf8();
            return sqlite3_bind_text(stmt, index, s.constData(), int(s.size()), SQLITE_TRANSIENT);
        }
        case QMetaType::QDate: {
            const QByteArray s = v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
            return sqlite3_bind_text(stmt, index, s.constData(), int(s.size()), SQLITE_TRANSIENT);
        }
        default: {
            const QByteArray s = v.toString().toUtf8();
            return sqlite3_bind_text(stmt, index, s.constData(), int(s.size()), SQLITE_TRANSIENT);
        }
    }
}

QVariant valueVariant(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_value_int64(value));
        case SQLITE_FLOAT:
            return sqlite3_value_double(value);
        case SQLITE_TEXT:
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                     sqlite3_value_bytes(value));
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_value_blob(value)),
                              sqlite3_value_bytes(value));
        default:
            return QVariant();
    }
}

QVariant columnVariant(sqlite3_stmt* stmt, int column) {
    return valueVariant(sqlite3_column_value(stmt, column));
}

}  // namespace Qd::Core::Db
