#include "db/odbc/OdbcLoader.h"

#include <QDate>
#include <QSet>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "db/ColumnStore.h"
#include "db/SqliteValues.h"
#include "db/tsql/TsqlBatch.h"

namespace Qd::Core::Db::Odbc {

namespace {

constexpr SQLULEN kLongText = 4000;    // UTF-16 units
constexpr SQLULEN kLongBinary = 8000;  // bytes
constexpr SQLLEN kCurrencyText = 64;   // bytes of a decimal's text

// What a result column is and how it is fetched.
struct Column {
    QString name;
    QString sqlName;  // the column's name as the driver gave it
    FieldType type = FieldType::Text;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN width = 0;  // bytes of one value in a bound array
    bool longValue = false;
    std::unique_ptr<char[]> values;  // kRowsPerBlock values, bound (written by the driver)
    std::vector<SQLLEN> lengths;     // their length / NULL indicators
    Internal::Column* store = nullptr;
};

// The declared length in a type name as written ("nvarchar(50)" -> 50); 0 when none.
SQLULEN declaredLength(const QString& typeName) {
    const qsizetype open = typeName.indexOf(QLatin1Char('('));
    if (open < 0)
        return 0;
    bool ok = false;
    const int n = typeName.mid(open + 1, typeName.indexOf(QLatin1Char(')'), open) - open - 1)
                      .trimmed()
                      .toInt(&ok);
    return ok && n > 0 ? SQLULEN(n) : 0;
}

// The T-SQL type of a column as the driver describes it.
QString tsqlType(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, const QString& typeName,
                 ColumnSizes sizes) {
    const QString lower = typeName.trimmed().toLower();
    if (lower == QLatin1String("money") || lower == QLatin1String("smallmoney"))
        return lower;
    // The embedded database describes a column by the type it was declared with.
    if (sizes == ColumnSizes::Declared && !lower.isEmpty() && Tsql::parseTypeName(lower))
        return lower;
    switch (sqlType) {
        case SQL_BIT:
            return QStringLiteral("bit");
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
            return QStringLiteral("int");
        case SQL_BIGINT:
            return QStringLiteral("bigint");
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return QStringLiteral("float");
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return QStringLiteral("decimal(%1,%2)").arg(std::max<SQLULEN>(1, size)).arg(digits);
        case SQL_TYPE_DATE:
            return QStringLiteral("date");
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATETIME:
        case SQL_TIMESTAMP:
            return QStringLiteral("datetime");
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return QStringLiteral("varbinary(max)");
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
            if (sizes == ColumnSizes::Exact && size > 0 && size <= kLongText)
                return QStringLiteral("nvarchar(%1)").arg(size);
            return QStringLiteral("nvarchar(max)");
        default:
            return QStringLiteral("nvarchar(max)");
    }
}

// Appends UTF-16 units as UTF-8 (an unpaired surrogate becomes U+FFFD).
void appendUtf8(std::string& out, const char16_t* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
}

// A decimal's text ("-12.3450") in units of 1/10000, rounded half away from zero; false when it
// is no plain decimal or does not fit.
bool currencyUnits(const char* s, std::size_t n, std::int64_t& out) {
    std::size_t i = 0;
    while (i < n && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    std::int64_t units = 0;
    int places = -1;  // -1 before the point
    bool any = false;
    int roundDigit = -1;
    for (; i < n && s[i] != ' '; ++i) {
        const char c = s[i];
        if (c == '.' && places < 0) {
            places = 0;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        any = true;
        if (places >= 4) {
            if (places == 4)
                roundDigit = c - '0';
            ++places;
            continue;
        }
        if (units > (std::numeric_limits<std::int64_t>::max() - 9) / 10)
            return false;
        units = units * 10 + (c - '0');
        if (places >= 0)
            ++places;
    }
    if (!any)
        return false;
    for (int p = std::max(places, 0); p < 4; ++p) {
        if (units > std::numeric_limits<std::int64_t>::max() / 10)
            return false;
        units *= 10;
    }
    if (roundDigit >= 5)
        ++units;
    out = negative ? -units : units;
    return true;
}

std::int64_t timestampKey(const SQL_TIMESTAMP_STRUCT& t) {
    const qint64 day = QDate(t.year, t.month, t.day).toJulianDay();
    const qint64 ms =
        ((qint64(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.fraction / 1000000;
    return day * 86400000 + ms;
}

class ResultLoader {
public:
    ResultLoader(SQLHSTMT stmt, RecordSet& rs, const QStringList& types, ColumnSizes sizes,
                 const DeclaredType& declared)
        : m_stmt(stmt), m_rs(rs) {
        describe(types, sizes, declared);
    }

    qint64 load() {
        bool anyLong = false;
        for (const Column& c : m_cols)
            anyLong = anyLong || c.longValue;
        return anyLong ? loadRows() : loadBlocks();
    }

private:
    // The text of a string attribute of column c; empty when the driver has none.
    QString attribute(SQLUSMALLINT c, SQLUSMALLINT field) const {
        SQLWCHAR text[256] = {};
        SQLSMALLINT bytes = 0;
        if (!succeeded(SQLColAttributeW(m_stmt, c, field, text, sizeof(text), &bytes, nullptr)))
            return {};
        return fromWide(text, qsizetype(std::min<std::size_t>(std::size_t(bytes) / 2, 255)));
    }

    void describe(const QStringList& types, ColumnSizes sizes, const DeclaredType& declaredType) {
        SQLSMALLINT count = 0;
        check(SQLNumResultCols(m_stmt, &count), SQL_HANDLE_STMT, m_stmt, QString());
        std::vector<FieldDef> defs;
        QSet<QString> taken;
        m_cols.resize(std::size_t(count));
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
            SQLWCHAR name[256] = {};
            SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            check(SQLDescribeColW(m_stmt, c, name, SQLSMALLINT(std::size(name)), &nameLength,
                                  &sqlType, &size, &digits, &nullable),
                  SQL_HANDLE_STMT, m_stmt, QString());
            const QString typeName = attribute(c, SQL_DESC_TYPE_NAME);
            QString declared;
            if (declaredType) {
                const QString table = attribute(c, SQL_DESC_BASE_TABLE_NAME);
                const QString column = attribute(c, SQL_DESC_BASE_COLUMN_NAME);
                if (!table.isEmpty() && !column.isEmpty())
                    declared = declaredType(table, column);
            }
            Column& col = m_cols[c - 1u];
            col.sqlName = fromWide(name, std::min<SQLSMALLINT>(nameLength, 255));
            QString unique = col.sqlName;
            for (int k = 1; taken.contains(unique.toLower()); ++k)
                unique = col.sqlName + QLatin1Char('_') + QString::number(k);
            taken.insert(unique.toLower());
            col.name = unique;

            FieldDef def;
            def.name = unique;
            const QString given = types.value(c - 1);
            const QString type = !declared.isEmpty() ? declared
                                 : !given.isEmpty()
                                     ? given
                                     : tsqlType(sqlType, size, digits, typeName, sizes);
            typeField(def, type);
            col.type = def.type;
            const SQLULEN length = sizes == ColumnSizes::Exact ? size : declaredLength(type);
            switch (def.type) {
                case FieldType::Integer:
                case FieldType::BigInt:
                case FieldType::Boolean:
                    col.cType = SQL_C_SBIGINT;
                    col.width = sizeof(SQLBIGINT);
                    break;
                case FieldType::Float:
                    col.cType = SQL_C_DOUBLE;
                    col.width = sizeof(double);
                    break;
                case FieldType::Currency:
                    col.cType = SQL_C_CHAR;
                    col.width = kCurrencyText;
                    break;
                case FieldType::DateTime:
                    col.cType = SQL_C_TYPE_TIMESTAMP;
                    col.width = sizeof(SQL_TIMESTAMP_STRUCT);
                    break;
                case FieldType::Text:
                    col.cType = SQL_C_WCHAR;
                    col.longValue = length == 0 || length > kLongText;
                    // The embedded database keeps blanks past a declared length (its check does
                    // not count them): its values get the room of the longest text a block takes.
                    col.width = SQLLEN((sizes == ColumnSizes::Exact ? length : kLongText) + 1) * 2;
                    break;
                case FieldType::Blob:
                    col.cType = SQL_C_BINARY;
                    col.longValue = length == 0 || length > kLongBinary;
                    col.width = SQLLEN(std::max<SQLULEN>(1, length));
                    break;
            }
            defs.push_back(def);
        }
        m_rs.setFields(std::move(defs));
        for (int c = 0; c < int(m_cols.size()); ++c)
            m_cols[std::size_t(c)].store = &m_rs.columnForLoad(c);
    }

    // Bound arrays, a block of rows per fetch.
    qint64 loadBlocks() {
        SQLULEN fetched = 0;
        check(SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0),
              SQL_HANDLE_STMT, m_stmt, QString());
        check(SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(kRowsPerBlock), 0),
              SQL_HANDLE_STMT, m_stmt, QString());
        check(SQLSetStmtAttr(m_stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_HANDLE_STMT,
              m_stmt, QString());
        for (std::size_t c = 0; c < m_cols.size(); ++c) {
            Column& col = m_cols[c];
            col.values =
                std::make_unique_for_overwrite<char[]>(std::size_t(col.width) * kRowsPerBlock);
            col.lengths.resize(kRowsPerBlock);
            check(SQLBindCol(m_stmt, SQLUSMALLINT(c + 1), col.cType, col.values.get(), col.width,
                             col.lengths.data()),
                  SQL_HANDLE_STMT, m_stmt, QString());
        }
        qint64 rows = 0;
        for (;;) {
            const SQLRETURN rc = SQLFetch(m_stmt);
            if (rc == SQL_NO_DATA)
                break;
            check(rc, SQL_HANDLE_STMT, m_stmt, QString());
            for (SQLULEN r = 0; r < fetched; ++r) {
                const std::uint32_t row = m_rs.loadRow();
                for (Column& col : m_cols) {
                    const SQLLEN length = col.lengths[r];
                    if (length == SQL_NULL_DATA)
                        continue;
                    const char* value = col.values.get() + std::size_t(col.width) * r;
                    if (length == SQL_NO_TOTAL || length > capacity(col))
                        tooLong(col);
                    store(col, row, value, length);
                }
            }
            rows += qint64(fetched);
        }
        SQLFreeStmt(m_stmt, SQL_UNBIND);
        SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(1), 0);
        SQLSetStmtAttr(m_stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        return rows;
    }

    // A row at a time, every column through SQLGetData (long values in chunks).
    qint64 loadRows() {
        qint64 rows = 0;
        std::vector<char> chunk(64 * 1024);
        std::string bytes;
        for (;;) {
            const SQLRETURN rc = SQLFetch(m_stmt);
            if (rc == SQL_NO_DATA)
                break;
            check(rc, SQL_HANDLE_STMT, m_stmt, QString());
            const std::uint32_t row = m_rs.loadRow();
            for (std::size_t c = 0; c < m_cols.size(); ++c) {
                Column& col = m_cols[c];
                const auto number = SQLUSMALLINT(c + 1);
                if (col.type != FieldType::Text && col.type != FieldType::Blob) {
                    alignas(8) char value[kCurrencyText];
                    SQLLEN length = 0;
                    check(SQLGetData(m_stmt, number, col.cType, value, sizeof(value), &length),
                          SQL_HANDLE_STMT, m_stmt, QString());
                    if (length != SQL_NULL_DATA)
                        store(col, row, value, length);
                    continue;
                }
                // Text or binary, in chunks until the driver has given it all.
                bytes.clear();
                bool isNull = false;
                for (;;) {
                    SQLLEN length = 0;
                    const SQLRETURN got = SQLGetData(m_stmt, number, col.cType, chunk.data(),
                                                     SQLLEN(chunk.size()), &length);
                    if (got == SQL_NO_DATA)
                        break;
                    check(got, SQL_HANDLE_STMT, m_stmt, QString());
                    if (length == SQL_NULL_DATA) {
                        isNull = true;
                        break;
                    }
                    // The part in the buffer: all of the rest, or a full buffer (text without
                    // its terminator).
                    const SQLLEN room = SQLLEN(chunk.size()) - (col.cType == SQL_C_WCHAR ? 2 : 0);
                    const SQLLEN part =
                        got == SQL_SUCCESS_WITH_INFO && (length == SQL_NO_TOTAL || length > room)
                            ? room
                            : length;
                    if (col.cType == SQL_C_WCHAR)
                        appendUtf8(bytes, reinterpret_cast<const char16_t*>(chunk.data()),
                                   std::size_t(part / 2));
                    else
                        bytes.append(chunk.data(), std::size_t(part));
                    if (got == SQL_SUCCESS)
                        break;
                }
                if (!isNull)
                    col.store->setBytes(row, bytes.data(), bytes.size());
            }
            ++rows;
        }
        return rows;
    }

    void store(Column& col, std::uint32_t row, const char* value, SQLLEN length) {
        Internal::Column& s = *col.store;
        switch (col.type) {
            case FieldType::Integer:
            case FieldType::BigInt:
                s.setInt(row, *reinterpret_cast<const SQLBIGINT*>(value));
                break;
            case FieldType::Boolean:
                s.setInt(row, *reinterpret_cast<const SQLBIGINT*>(value) != 0);
                break;
            case FieldType::Float:
                s.setReal(row, *reinterpret_cast<const double*>(value));
                break;
            case FieldType::Currency: {
                std::int64_t units = 0;
                if (!currencyUnits(value, std::size_t(length), units))
                    units = std::llround(
                        std::strtod(std::string(value, std::size_t(length)).c_str(), nullptr) *
                        Internal::kCurrencyScale);
                s.setInt(row, units);
                break;
            }
            case FieldType::DateTime:
                s.setInt(row, timestampKey(*reinterpret_cast<const SQL_TIMESTAMP_STRUCT*>(value)));
                break;
            case FieldType::Text:
                m_utf8.clear();
                appendUtf8(m_utf8, reinterpret_cast<const char16_t*>(value),
                           std::size_t(length / 2));
                s.setBytes(row, m_utf8.data(), m_utf8.size());
                break;
            case FieldType::Blob:
                s.setBytes(row, value, std::size_t(length));
                break;
        }
    }

    // The bytes a bound value may fill: its width without a text's terminator.
    static SQLLEN capacity(const Column& col) {
        switch (col.cType) {
            case SQL_C_WCHAR:
                return col.width - 2;
            case SQL_C_CHAR:
                return col.width - 1;
            default:
                return col.width;
        }
    }

    [[noreturn]] void tooLong(const Column& col) const {
        throw DbError(QStringLiteral("列 \"%1\" 的值超过了它声明的长度").arg(col.sqlName));
    }

    SQLHSTMT m_stmt;
    RecordSet& m_rs;
    std::vector<Column> m_cols;
    std::string m_utf8;
};

}  // namespace

qint64 loadResult(SQLHSTMT stmt, RecordSet& rs, const QStringList& types, ColumnSizes sizes,
                  const DeclaredType& declared) {
    rs = RecordSet();
    ResultLoader loader(stmt, rs, types, sizes, declared);
    return loader.load();
}

}  // namespace Qd::Core::Db::Odbc
