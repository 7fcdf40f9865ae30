#include "db/odbc/OdbcParams.h"

#include <QDateTime>
#include <QIODevice>

#include "db/FileChunks.h"

namespace Qd::Core::Db::Odbc {

struct BoundParams::Slot {
    QVariant value;    // keeps text and bytes alive
    QString text;      // UTF-16 for text
    QByteArray bytes;  // binaries
    SQLBIGINT integer = 0;
    double real = 0;
    unsigned char bit = 0;
    SQL_TIMESTAMP_STRUCT timestamp{};
    SQL_DATE_STRUCT date{};
    QIODevice* device = nullptr;  // a stream sent from where it stands to its end
    qint64 deviceBytes = 0;
    QString name;
    SQLLEN indicator = 0;
    bool longValue = false;  // sent at execution
};

namespace {

// The SQL type a NULL should carry: the marker's own where the driver describes it.
SQLSMALLINT nullType(SQLHSTMT stmt, SQLUSMALLINT marker) {
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0, nullable = 0;
    if (succeeded(SQLDescribeParam(stmt, marker, &type, &size, &digits, &nullable)) && type != 0)
        return type;
    return SQL_VARCHAR;
}

SQLSMALLINT cTypeForNull(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return SQL_C_BINARY;
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR:
            return SQL_C_WCHAR;
        default:
            return SQL_C_CHAR;
    }
}

}  // namespace

BoundParams::BoundParams(SQLHSTMT stmt, const std::vector<QVariant>& values,
                         const QStringList& names) {
    m_slots.reserve(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        auto slot = std::make_unique<Slot>();
        Slot& s = *slot;
        s.value = values[k];
        const auto marker = SQLUSMALLINT(k + 1);
        SQLSMALLINT cType = 0, sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLPOINTER data = nullptr;
        SQLLEN capacity = 0;
        const QVariant& v = s.value;
        s.name = names.value(qsizetype(k));
        if (v.metaType() == QMetaType::fromType<QIODevice*>()) {
            s.device = v.value<QIODevice*>();
            s.deviceBytes = s.device->size() - s.device->pos();
            s.longValue = true;
            cType = SQL_C_BINARY;
            sqlType = SQL_LONGVARBINARY;
            size = SQLULEN(std::max<qint64>(1, s.deviceBytes));
            data = &s;
            s.indicator = SQL_LEN_DATA_AT_EXEC(SQLLEN(s.deviceBytes));
        } else if (v.isNull()) {
            sqlType = nullType(stmt, marker);
            cType = cTypeForNull(sqlType);
            size = 1;
            s.indicator = SQL_NULL_DATA;
        } else {
            switch (v.typeId()) {
                case QMetaType::Bool:
                    s.bit = v.toBool() ? 1 : 0;
                    cType = SQL_C_BIT;
                    sqlType = SQL_BIT;
                    size = 1;
                    data = &s.bit;
                    break;
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::ULongLong:
                case QMetaType::Short:
                case QMetaType::UShort:
                case QMetaType::Long:
                case QMetaType::ULong:
                    s.integer = v.toLongLong();
                    cType = SQL_C_SBIGINT;
                    sqlType = SQL_BIGINT;
                    size = 19;
                    data = &s.integer;
                    break;
                case QMetaType::Double:
                case QMetaType::Float:
                    s.real = v.toDouble();
                    cType = SQL_C_DOUBLE;
                    sqlType = SQL_DOUBLE;
                    size = 15;
                    data = &s.real;
                    break;
                case QMetaType::QDateTime: {
                    const QDateTime dt = v.toDateTime();
                    const QDate d = dt.date();
                    const QTime t = dt.time();
                    s.timestamp = {SQLSMALLINT(d.year()),           SQLUSMALLINT(d.month()),
                                   SQLUSMALLINT(d.day()),           SQLUSMALLINT(t.hour()),
                                   SQLUSMALLINT(t.minute()),        SQLUSMALLINT(t.second()),
                                   SQLUINTEGER(t.msec()) * 1000000u};
                    cType = SQL_C_TYPE_TIMESTAMP;
                    sqlType = SQL_TYPE_TIMESTAMP;
                    size = 23;
                    digits = 3;
                    data = &s.timestamp;
                    break;
                }
                case QMetaType::QDate: {
                    const QDate d = v.toDate();
                    s.date = {SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()),
                              SQLUSMALLINT(d.day())};
                    cType = SQL_C_TYPE_DATE;
                    sqlType = SQL_TYPE_DATE;
                    size = 10;
                    data = &s.date;
                    break;
                }
                case QMetaType::QByteArray:
                    s.bytes = v.toByteArray();
                    cType = SQL_C_BINARY;
                    s.longValue = s.bytes.size() > kLongBinary;
                    sqlType = s.longValue ? SQL_LONGVARBINARY : SQL_VARBINARY;
                    size = SQLULEN(std::max<qsizetype>(1, s.bytes.size()));
                    data = s.longValue ? static_cast<SQLPOINTER>(&s) : s.bytes.data();
                    capacity = SQLLEN(s.bytes.size());
                    s.indicator = s.longValue ? SQL_LEN_DATA_AT_EXEC(SQLLEN(s.bytes.size()))
                                              : SQLLEN(s.bytes.size());
                    break;
                default:
                    s.text = v.toString();
                    cType = SQL_C_WCHAR;
                    s.longValue = s.text.size() > kLongText;
                    sqlType = s.longValue ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
                    size = SQLULEN(std::max<qsizetype>(1, s.text.size()));
                    data = s.longValue ? static_cast<SQLPOINTER>(&s) : wide(s.text);
                    capacity = SQLLEN(s.text.size() * 2);
                    s.indicator = s.longValue ? SQL_LEN_DATA_AT_EXEC(SQLLEN(s.text.size() * 2))
                                              : SQLLEN(s.text.size() * 2);
                    break;
            }
        }
        check(SQLBindParameter(stmt, marker, SQL_PARAM_INPUT, cType, sqlType, size, digits, data,
                               capacity, &s.indicator),
              SQL_HANDLE_STMT, stmt,
              QStringLiteral("参数 \"%1\" 不能绑定").arg(names.value(qsizetype(k))));
        m_slots.push_back(std::move(slot));
    }
}

BoundParams::~BoundParams() = default;

SQLRETURN BoundParams::putLongData(SQLHSTMT stmt) {
    SQLPOINTER token = nullptr;
    SQLRETURN rc = SQLParamData(stmt, &token);
    while (rc == SQL_NEED_DATA) {
        const Slot& s = *static_cast<const Slot*>(token);
        if (s.device) {
            try {
                if (s.deviceBytes == 0)  // the driver waits for one call, empty or not
                    check(SQLPutData(stmt, const_cast<char*>(""), 0), SQL_HANDLE_STMT, stmt,
                          QString());
                readChunks(*s.device, s.deviceBytes, s.name,
                           [&](const char* data, qint64 n, qint64) {
                               check(SQLPutData(stmt, const_cast<char*>(data), SQLLEN(n)),
                                     SQL_HANDLE_STMT, stmt, QString());
                           });
            } catch (...) {
                SQLCancel(stmt);  // the statement waits for data no longer coming
                throw;
            }
            rc = SQLParamData(stmt, &token);
            continue;
        }
        const char* data =
            s.bytes.isEmpty() ? reinterpret_cast<const char*>(s.text.utf16()) : s.bytes.constData();
        const qsizetype total = s.bytes.isEmpty() ? s.text.size() * 2 : s.bytes.size();
        // Text goes in whole UTF-16 units: the chunk size is even.
        for (qsizetype at = 0; at < total; at += kChunk) {
            const SQLRETURN put = SQLPutData(stmt, const_cast<char*>(data + at),
                                             SQLLEN(std::min<qsizetype>(kChunk, total - at)));
            if (!succeeded(put))
                return put;
        }
        rc = SQLParamData(stmt, &token);
    }
    return rc;
}

}  // namespace Qd::Core::Db::Odbc
