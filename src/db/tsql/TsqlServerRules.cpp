// The server's rules that the embedded database would otherwise let pass without a word: int
// arithmetic overflows at its width, a divisor of zero fails, text meeting a number converts to
// that number or fails, text longer than its column fails, and text compares without regard to
// case or trailing blanks. Each is a
// qd_* function (or the qd_text collation) that the translator puts where the rule applies.
#include <sqlite3.h>

#include <QString>
#include <cmath>
#include <limits>

#include "db/tsql/TsqlDecimal.h"
#include "db/tsql/TsqlSession.h"

namespace Qd::Core::Db::Tsql {

namespace {

void failMarked(sqlite3_context* ctx, const QString& marked) {
    const QByteArray b = marked.toUtf8();
    sqlite3_result_error(ctx, b.constData(), int(b.size()));
}

void failAs(sqlite3_context* ctx, int number, const QString& message) {
    failMarked(ctx, serverErrorText(number, message));
}

QString textOf(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                             sqlite3_value_bytes(v));
}

QString typeName(int bits) {
    return bits == 64 ? QStringLiteral("bigint") : QStringLiteral("int");
}

// qd_int_check(value, bits): the result of int arithmetic or of a cast to an int type, which
// must fit its type. The embedded database computes in 64 bits and turns an overflow of those
// into a real. Registered a second time as qd_try_int_check, which gives NULL (try_cast).
void fnIntCheck(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int bits = sqlite3_value_int(argv[1]);
    const qint64 limit = bits == 64 ? std::numeric_limits<qint64>::max()
                                    : qint64(std::numeric_limits<qint32>::max());
    bool overflow = false;
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER: {
            const qint64 v = sqlite3_value_int64(argv[0]);
            overflow = v > limit || v < -limit - 1;
            break;
        }
        case SQLITE_FLOAT: {
            // 2^31 - 1 is exact in a double; 2^63 - 1 rounds up to 2^63, itself out of range.
            const double v = sqlite3_value_double(argv[0]);
            overflow = bits == 64 ? !(std::fabs(v) < std::ldexp(1.0, 63))
                                  : !(v <= double(limit) && v >= -double(limit) - 1);
            break;
        }
        default:
            break;
    }
    if (overflow && sqlite3_user_data(ctx))
        return sqlite3_result_null(ctx);
    if (overflow)
        return failAs(ctx, 8115,
                      QStringLiteral("Arithmetic overflow error converting expression to data "
                                     "type %1.")
                          .arg(typeName(bits)));
    sqlite3_result_value(ctx, argv[0]);
}

// qd_divisor(value): the right operand of '/' or '%', which must not be zero.
void fnDivisor(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_numeric_type(argv[0]);
    if ((type == SQLITE_INTEGER && sqlite3_value_int64(argv[0]) == 0) ||
        (type == SQLITE_FLOAT && sqlite3_value_double(argv[0]) == 0.0))
        return failAs(ctx, 8134, QStringLiteral("Divide by zero error encountered."));
    sqlite3_result_value(ctx, argv[0]);
}

// qd_to_number(text, bits): text that meets a number in arithmetic, or is cast to an int type,
// takes the number's type, as the server's type precedence has it: an int (bits 32 or 64) or else
// a numeric. Registered a second time as qd_try_to_number, which gives NULL (try_cast).
void fnToNumber(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT)
        return sqlite3_result_value(ctx, argv[0]);
    const auto fail = [ctx](const QString& marked) {
        if (sqlite3_user_data(ctx))  // qd_try_to_number
            return sqlite3_result_null(ctx);
        failMarked(ctx, marked);
    };
    const int bits = sqlite3_value_int(argv[1]);
    const QString text = textOf(argv[0]);
    const QString trimmed = text.trimmed();
    bool ok = false;
    if (bits > 0) {
        const qint64 v = trimmed.toLongLong(&ok);
        if (!ok)
            return fail(conversionFailed(text, typeName(bits)));
        if (bits == 32 &&
            (v > std::numeric_limits<qint32>::max() || v < std::numeric_limits<qint32>::min()))
            return fail(serverErrorText(
                248, QStringLiteral("The conversion of the varchar value '%1' overflowed an int "
                                    "column.")
                         .arg(text)));
        return sqlite3_result_int64(ctx, v);
    }
    const qint64 i = trimmed.toLongLong(&ok);
    if (ok)
        return sqlite3_result_int64(ctx, i);
    const double d = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return fail(numberConversionFailed(QStringLiteral("numeric")));
    sqlite3_result_double(ctx, d);
}

// qd_fits_length(value, length, table, column): the check of a text column declared with a
// length. The server refuses text longer than its column rather than store it; blanks beyond the
// length are cut off there without a word, so they do not count here either.
void fnFitsLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT)
        return sqlite3_result_int(ctx, 1);
    const qsizetype length = sqlite3_value_int(argv[1]);
    const QString text = textOf(argv[0]);
    qsizetype used = text.size();
    while (used > length && text.at(used - 1) == QLatin1Char(' '))
        --used;
    if (used <= length)
        return sqlite3_result_int(ctx, 1);
    failAs(ctx, 2628,
           QStringLiteral("String or binary data would be truncated in table '%1', column '%2'. "
                          "Truncated value: '%3'.")
               .arg(textOf(argv[2]), textOf(argv[3]), text.left(length)));
}

// qd_decimal_check(value, precision, scale): a value converted to decimal(precision, scale),
// which must have no more than precision - scale digits before the point. Registered a second
// time as qd_try_decimal_check (with user data), which gives NULL instead (try_cast).
void fnDecimalCheck(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    const int precision = sqlite3_value_int(argv[1]), scale = sqlite3_value_int(argv[2]);
    bool fits = true;
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        fits = decimalFits(sqlite3_value_double(argv[0]), precision, scale);
    } else if (type == SQLITE_TEXT) {
        if (const std::optional<Decimal> d = decimalOfValue(argv[0]))  // exact decimal text
            fits = decimalFits(*d, precision, scale);
    }
    if (!fits) {
        if (sqlite3_user_data(ctx))
            return sqlite3_result_null(ctx);
        return failMarked(ctx, decimalOverflow(QStringLiteral("numeric")));
    }
    sqlite3_result_value(ctx, argv[0]);
}

// The qd_text collation: as the server's default collation, case does not count and neither do
// trailing blanks ('B' = 'b ').
int compareText(void*, int n1, const void* p1, int n2, const void* p2) {
    const char* a = static_cast<const char*>(p1);
    const char* b = static_cast<const char*>(p2);
    while (n1 > 0 && a[n1 - 1] == ' ')
        --n1;
    while (n2 > 0 && b[n2 - 1] == ' ')
        --n2;
    const int r = sqlite3_strnicmp(a, b, n1 < n2 ? n1 : n2);
    return r != 0 ? r : n1 - n2;
}

// qd_merge_once(n): how many times a merge acts on one target row, which must be once.
void fnMergeOnce(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_int64(argv[0]) > 1)
        return failAs(
            ctx, 8672,
            QStringLiteral(
                "The MERGE statement attempted to UPDATE or DELETE the same row more than once. "
                "This happens when a target row matches more than one source row. A MERGE "
                "statement cannot UPDATE/DELETE the same row of the target table multiple "
                "times. Refine the ON clause to ensure a target row matches at most one source "
                "row, or use the GROUP BY clause to group the source rows."));
    sqlite3_result_int64(ctx, 1);
}

constexpr char kErrorMark = '#';

}  // namespace

QString serverErrorText(int number, const QString& message) {
    return QLatin1Char(kErrorMark) + QString::number(number) + QLatin1Char(kErrorMark) + message;
}

bool splitServerError(const QString& text, int* number, QString* message) {
    if (!text.startsWith(QLatin1Char(kErrorMark)))
        return false;
    const qsizetype end = text.indexOf(QLatin1Char(kErrorMark), 1);
    bool ok = false;
    const int n = end > 1 ? text.mid(1, end - 1).toInt(&ok) : 0;
    if (!ok)
        return false;
    *number = n;
    *message = text.mid(end + 1);
    return true;
}

QString conversionFailed(const QString& value, const QString& typeName) {
    return serverErrorText(
        245, QStringLiteral("Conversion failed when converting the varchar value '%1' to data type "
                            "%2.")
                 .arg(value, typeName));
}

QString dateConversionFailed() {
    return serverErrorText(
        241, QStringLiteral("Conversion failed when converting date and/or time from character "
                            "string."));
}

QString numberConversionFailed(const QString& typeName) {
    return serverErrorText(
        8114, QStringLiteral("Error converting data type varchar to %1.").arg(typeName));
}

bool decimalFits(double value, int precision, int scale) {
    return std::fabs(value) < std::pow(10.0, precision - scale);
}

QString decimalOverflow(const QString& from) {
    return serverErrorText(
        8115,
        QStringLiteral("Arithmetic overflow error converting %1 to data type numeric.").arg(from));
}

void Session::registerServerRules(sqlite3* db) {
    struct Fn {
        const char* name;
        int args;
        void (*f)(sqlite3_context*, int, sqlite3_value**);
        bool lenient;  // the qd_try_ form: user data asks for NULL instead of an error
    };
    static int lenient = 1;
    static const Fn fns[] = {
        {"qd_int_check", 2, fnIntCheck, false},
        {"qd_try_int_check", 2, fnIntCheck, true},
        {"qd_divisor", 1, fnDivisor, false},
        {"qd_to_number", 2, fnToNumber, false},
        {"qd_try_to_number", 2, fnToNumber, true},
        {"qd_fits_length", 4, fnFitsLength, false},
        {"qd_decimal_check", 3, fnDecimalCheck, false},
        {"qd_try_decimal_check", 3, fnDecimalCheck, true},
        {"qd_merge_once", 1, fnMergeOnce, false},
    };
    // Innocuous: the checks of text and decimal columns call them from the schema.
    for (const Fn& f : fns)
        sqlite3_create_function_v2(db, f.name, f.args,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                   f.lenient ? &lenient : nullptr, f.f, nullptr, nullptr, nullptr);
    sqlite3_create_collation_v2(db, kTextCollation, SQLITE_UTF8, nullptr, compareText, nullptr);
}

}  // namespace Qd::Core::Db::Tsql
