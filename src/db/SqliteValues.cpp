#include "db/SqliteValues.h"

#include <sqlite3.h>

#include <QDate>
#include <QDateTime>

#include "db/RecordSet.h"
#include "db/tsql/TsqlDecimal.h"

namespace Qd::Core::Db {

namespace {

// The field type of a declared column type, and the width of a text field.
FieldType typeFromDecl(const QByteArray& decl, int* size) {
    const QByteArray d = decl.toUpper();
    *size = 0;
    int scale = 0;
    if (const qsizetype open = d.indexOf('('); open >= 0) {
        const qsizetype close = d.indexOf(')', open);
        const QList<QByteArray> parts = d.mid(open + 1, close - open - 1).split(',');
        *size = parts.value(0).trimmed().toInt();  // 0 for MAX
        scale = parts.value(1).trimmed().toInt();
    }
    const auto has = [&](const char* s) { return d.contains(s); };
    if (has("BIGINT"))
        return FieldType::BigInt;
    if (has("INT") && !has("POINT"))
        return FieldType::Integer;
    if (has("BIT") || has("BOOL"))
        return FieldType::Boolean;
    if (has("MONEY") || has("DECIMAL") || has("NUMERIC"))
        return scale > 4 ? FieldType::Float : FieldType::Currency;  // Currency keeps 4 decimals
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return FieldType::Float;
    if (has("DATE") || has("TIME"))
        return FieldType::DateTime;
    if (has("BLOB") || has("BINARY") || has("IMAGE"))
        return FieldType::Blob;
    return FieldType::Text;
}

}  // namespace

void typeField(FieldDef& def, const QString& type) {
    def.type = typeFromDecl(type.toUtf8(), &def.size);
    def.places = Tsql::shownPlaces(type);
    if (def.type != FieldType::Text)
        def.size = 0;
}

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
