// The T-SQL built-ins the embedded database lacks, registered on each connection as qd_*
// functions that the translator calls. Date-times are text "yyyy-MM-dd HH:mm:ss[.zzz]" in
// local time; date parts count boundaries crossed as the server counts them.
#include <sqlite3.h>

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

#include "db/RecordSet.h"
#include "db/SqliteValues.h"
#include "db/tsql/TsqlDecimal.h"
#include "db/tsql/TsqlFormat.h"
#include "db/tsql/TsqlSession.h"
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql {

namespace {

void resultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

void resultError(sqlite3_context* ctx, const QString& s) {
    const QByteArray b = s.toUtf8();
    sqlite3_result_error(ctx, b.constData(), int(b.size()));
}

QString invalidFloatOperation() {
    return serverErrorText(3623, QStringLiteral("An invalid floating point operation occurred."));
}

// A conversion that fails: an error, or NULL for the qd_try_ forms of try_cast / try_convert
// (registered with user data).
void castFailed(sqlite3_context* ctx, const QString& s) {
    if (sqlite3_user_data(ctx))
        return sqlite3_result_null(ctx);
    resultError(ctx, s);
}

QString textArg(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                             sqlite3_value_bytes(v));
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    return false;
}

// A date-time argument: text in the stored forms, or a number of days since 1900-01-01 as the
// server counts a number converted to datetime.
QDateTime dateArg(sqlite3_value* v, bool* ok) {
    *ok = true;
    if (sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT)
        return QDateTime(QDate(1900, 1, 1), QTime(0, 0))
            .addMSecs(qint64(std::llround(sqlite3_value_double(v) * 86400000.0)));
    const QDateTime dt = Internal::dateTimeOfText(textArg(v));
    *ok = dt.isValid();
    return dt;
}

qint64 weekIndex(qint64 julianDay) {
    return (julianDay + 1) / 7;
}  // weeks start on Sunday

qint64 datediff(const QString& part, const QDateTime& a, const QDateTime& b) {
    const QDate da = a.date(), db = b.date();
    const qint64 days = db.toJulianDay() - da.toJulianDay();
    if (part == QLatin1String("year"))
        return db.year() - da.year();
    if (part == QLatin1String("quarter"))
        return (db.year() * 4 + (db.month() - 1) / 3) - (da.year() * 4 + (da.month() - 1) / 3);
    if (part == QLatin1String("month"))
        return (db.year() * 12 + db.month()) - (da.year() * 12 + da.month());
    if (part == QLatin1String("day") || part == QLatin1String("dayofyear") ||
        part == QLatin1String("weekday"))
        return days;
    if (part == QLatin1String("week"))
        return weekIndex(db.toJulianDay()) - weekIndex(da.toJulianDay());
    const qint64 hours = days * 24 + b.time().hour() - a.time().hour();
    if (part == QLatin1String("hour"))
        return hours;
    const qint64 minutes = hours * 60 + b.time().minute() - a.time().minute();
    if (part == QLatin1String("minute"))
        return minutes;
    const qint64 seconds = minutes * 60 + b.time().second() - a.time().second();
    if (part == QLatin1String("second"))
        return seconds;
    return seconds * 1000 + b.time().msec() - a.time().msec();
}

QDateTime dateadd(const QString& part, double n, const QDateTime& d) {
    const qint64 whole = qint64(std::trunc(n));
    if (part == QLatin1String("year"))
        return QDateTime(d.date().addYears(int(whole)), d.time());
    if (part == QLatin1String("quarter"))
        return QDateTime(d.date().addMonths(int(whole * 3)), d.time());
    if (part == QLatin1String("month"))
        return QDateTime(d.date().addMonths(int(whole)), d.time());
    if (part == QLatin1String("week"))
        return d.addDays(whole * 7);
    if (part == QLatin1String("day") || part == QLatin1String("dayofyear") ||
        part == QLatin1String("weekday"))
        return d.addMSecs(qint64(std::llround(n * 86400000.0)));  // getdate() - 0.5 is half a day
    if (part == QLatin1String("hour"))
        return d.addMSecs(whole * 3600000);
    if (part == QLatin1String("minute"))
        return d.addMSecs(whole * 60000);
    if (part == QLatin1String("second"))
        return d.addMSecs(whole * 1000);
    return d.addMSecs(whole);
}

qint64 datepart(const QString& part, const QDateTime& d) {
    const QDate date = d.date();
    if (part == QLatin1String("year"))
        return date.year();
    if (part == QLatin1String("quarter"))
        return (date.month() - 1) / 3 + 1;
    if (part == QLatin1String("month"))
        return date.month();
    if (part == QLatin1String("dayofyear"))
        return date.dayOfYear();
    if (part == QLatin1String("day"))
        return date.day();
    if (part == QLatin1String("week"))
        return weekIndex(date.toJulianDay()) - weekIndex(QDate(date.year(), 1, 1).toJulianDay()) +
               1;
    if (part == QLatin1String("weekday"))
        return date.dayOfWeek() % 7 + 1;  // Sunday = 1
    if (part == QLatin1String("hour"))
        return d.time().hour();
    if (part == QLatin1String("minute"))
        return d.time().minute();
    if (part == QLatin1String("second"))
        return d.time().second();
    return d.time().msec();
}

void fnDatediff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    bool ok1 = false, ok2 = false;
    const QDateTime a = dateArg(argv[1], &ok1), b = dateArg(argv[2], &ok2);
    if (!ok1 || !ok2)
        return resultError(ctx, dateConversionFailed());
    sqlite3_result_int64(ctx, datediff(textArg(argv[0]), a, b));
}

void fnDateadd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    bool ok = false;
    const QDateTime d = dateArg(argv[2], &ok);
    if (!ok)
        return resultError(ctx, dateConversionFailed());
    resultText(ctx, formatDateTime(dateadd(textArg(argv[0]), sqlite3_value_double(argv[1]), d)));
}

void fnDatepart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    bool ok = false;
    const QDateTime d = dateArg(argv[1], &ok);
    if (!ok)
        return resultError(ctx, dateConversionFailed());
    sqlite3_result_int64(ctx, datepart(textArg(argv[0]), d));
}

// T-SQL '+' when neither operand's type was known: text + text concatenates, anything else adds.
void fnAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
    if (ta == SQLITE_TEXT && tb == SQLITE_TEXT)
        return resultText(ctx, textArg(argv[0]) + textArg(argv[1]));
    const int na = sqlite3_value_numeric_type(argv[0]), nb = sqlite3_value_numeric_type(argv[1]);
    if ((ta == SQLITE_TEXT && na == SQLITE_TEXT) || (tb == SQLITE_TEXT && nb == SQLITE_TEXT)) {
        // The text takes the other operand's type: an int, or else a numeric.
        const bool firstBad = ta == SQLITE_TEXT && na == SQLITE_TEXT;
        return resultError(
            ctx, (firstBad ? nb : na) == SQLITE_INTEGER
                     ? conversionFailed(textArg(argv[firstBad ? 0 : 1]), QStringLiteral("int"))
                     : numberConversionFailed(QStringLiteral("numeric")));
    }
    if (na == SQLITE_INTEGER && nb == SQLITE_INTEGER)
        return sqlite3_result_int64(ctx,
                                    sqlite3_value_int64(argv[0]) + sqlite3_value_int64(argv[1]));
    sqlite3_result_double(ctx, sqlite3_value_double(argv[0]) + sqlite3_value_double(argv[1]));
}

void fnCastInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_NULL:
            return sqlite3_result_null(ctx);
        case SQLITE_INTEGER:
            return sqlite3_result_value(ctx, argv[0]);
        case SQLITE_FLOAT:
            return sqlite3_result_int64(ctx, qint64(std::trunc(sqlite3_value_double(argv[0]))));
        default: {
            bool ok = false;
            const QString s = textArg(argv[0]);
            const qint64 v = s.trimmed().toLongLong(&ok);
            if (!ok)
                return castFailed(ctx, conversionFailed(s, QStringLiteral("int")));
            sqlite3_result_int64(ctx, v);
        }
    }
}

void fnCastBit(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        const QString s = textArg(argv[0]).trimmed().toLower();
        bool ok = false;
        const double d = s.toDouble(&ok);
        if (s == QLatin1String("true") || s == QLatin1String("false"))
            return sqlite3_result_int(ctx, s == QLatin1String("true"));
        if (!ok)
            return castFailed(ctx, conversionFailed(textArg(argv[0]), QStringLiteral("bit")));
        return sqlite3_result_int(ctx, d != 0.0);
    }
    sqlite3_result_int(ctx, sqlite3_value_double(argv[0]) != 0.0);
}

// A decimal result: the nearest double, or with `asText` its exact text, for a further step of
// decimal arithmetic that must not lose digits to a double.
void resultDecimalAs(sqlite3_context* ctx, const Decimal& d, bool asText) {
    if (!asText)
        return resultDecimal(ctx, d);
    resultText(ctx, decimalText(d));
}

// qd_cast_num(v, scale[, as_text]): to decimal(p, scale), rounded half away from zero on the
// decimal value (a decimal literal comes as its text, so 1.005 is never the double below it);
// scale -1 is a float.
void fnCastNum(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const int scale = sqlite3_value_int(argv[1]);
    const std::optional<Decimal> d = decimalOfValue(argv[0]);
    if (scale >= 0 && d)
        return resultDecimalAs(ctx, rescaled(*d, scale), argc > 2 && sqlite3_value_int(argv[2]));
    double v = 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        bool ok = false;
        v = textArg(argv[0]).trimmed().toDouble(&ok);
        if (!ok)
            return castFailed(ctx, numberConversionFailed(sqlite3_value_int(argv[1]) < 0
                                                              ? QStringLiteral("float")
                                                              : QStringLiteral("numeric")));
    } else {
        v = sqlite3_value_double(argv[0]);
    }
    sqlite3_result_double(ctx, v);
}

void castDate(sqlite3_context* ctx, sqlite3_value* v, bool dateOnly) {
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    bool ok = false;
    const QDateTime dt = dateArg(v, &ok);
    if (!ok)
        return castFailed(ctx, dateConversionFailed());
    resultText(ctx,
               dateOnly ? dt.date().toString(QStringLiteral("yyyy-MM-dd")) : formatDateTime(dt));
}

// qd_date_key(x): a date-time as a date column's text compares with it: its date at midnight,
// else the date-time.
void fnDateKey(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    bool ok = false;
    const QDateTime dt = dateArg(argv[0], &ok);
    if (!ok)
        return castFailed(ctx, dateConversionFailed());
    resultText(ctx, dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                             : formatDateTime(dt));
}

void fnCastDateTime(sqlite3_context* ctx, int, sqlite3_value** argv) {
    castDate(ctx, argv[0], false);
}
void fnCastDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    castDate(ctx, argv[0], true);
}

// A date-time stored as the translator stores it, "yyyy-MM-dd HH:mm:ss" with an optional
// ".zzz": its bytes, or none for anything else.
std::optional<std::string_view> storedDateTime(sqlite3_value* v) {
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    const std::string_view s(text, std::size_t(sqlite3_value_bytes(v)));
    if (s.size() != 19 && s.size() != 23)
        return std::nullopt;
    // Reads `width` digits at `at` into n; false at anything else. This runs once per row of a
    // report, hence no parser.
    const auto digits = [&](std::size_t at, std::size_t width, int& n) {
        n = 0;
        for (std::size_t k = at; k < at + width; ++k) {
            const unsigned d = unsigned(s[k]) - '0';
            if (d > 9)
                return false;
            n = n * 10 + int(d);
        }
        return true;
    };
    int year, month, day, hour, minute, second, ms;
    if (!digits(0, 4, year) || s[4] != '-' || !digits(5, 2, month) || s[7] != '-' ||
        !digits(8, 2, day) || s[10] != ' ' || !digits(11, 2, hour) || s[13] != ':' ||
        !digits(14, 2, minute) || s[16] != ':' || !digits(17, 2, second))
        return std::nullopt;
    if (s.size() == 23 && (s[19] != '.' || !digits(20, 3, ms)))
        return std::nullopt;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1 || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && leap) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return s;
}

// The styles reports group and sort by, cut from the stored text without parsing it: convert
// runs once per row of a report, so this is its hot path. `limit` is the length of the
// character type converted to (0: none).
bool convertStoredDate(sqlite3_context* ctx, std::string_view stored, int style, int limit) {
    std::size_t length = 0;
    switch (style) {
        case 20:
        case 120:
            length = 19;
            break;
        case 21:
        case 121:
            length = 23;
            break;
        case 23:
            length = 10;
            break;
        default:
            return false;
    }
    char out[24] = "";
    stored.copy(out, std::min(length, stored.size()));
    if (length > stored.size())
        std::memcpy(out + stored.size(), ".000", length - stored.size());
    if (limit > 0)
        length = std::min(length, std::size_t(limit));
    sqlite3_result_text(ctx, out, int(length), SQLITE_TRANSIENT);
    return true;
}

// qd_convert_date(d, style[, length]): convert(varchar(length), d, style).
void fnConvertDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const int limit = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
    if (const auto stored = storedDateTime(argv[0]))
        if (convertStoredDate(ctx, *stored, sqlite3_value_int(argv[1]), limit))
            return;
    bool ok = false;
    const QDateTime dt = dateArg(argv[0], &ok);
    if (!ok)
        return castFailed(ctx, dateConversionFailed());
    static const QHash<int, QString> styles = {{20, "yyyy-MM-dd HH:mm:ss"},
                                               {120, "yyyy-MM-dd HH:mm:ss"},
                                               {21, "yyyy-MM-dd HH:mm:ss.zzz"},
                                               {121, "yyyy-MM-dd HH:mm:ss.zzz"},
                                               {126, "yyyy-MM-ddTHH:mm:ss.zzz"},
                                               {23, "yyyy-MM-dd"},
                                               {112, "yyyyMMdd"},
                                               {111, "yyyy/MM/dd"},
                                               {102, "yyyy.MM.dd"},
                                               {101, "MM/dd/yyyy"},
                                               {103, "dd/MM/yyyy"},
                                               {8, "HH:mm:ss"},
                                               {108, "HH:mm:ss"},
                                               {114, "HH:mm:ss:zzz"}};
    const int style = sqlite3_value_int(argv[1]);
    if (!styles.contains(style))
        return resultError(ctx, QStringLiteral("不支持 convert 的日期样式 %1").arg(style));
    const QString text = dt.toString(styles.value(style));
    resultText(ctx, limit > 0 ? text.left(limit) : text);
}

void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const QString s = textArg(argv[0]);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return resultError(
            ctx, serverErrorText(536, QStringLiteral("Invalid length parameter passed to the "
                                                     "right function.")));
    resultText(ctx, s.right(qsizetype(n)));
}

void fnReverse(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    QString s = textArg(argv[0]);
    std::reverse(s.begin(), s.end());
    resultText(ctx, s);
}

void fnReplicate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return sqlite3_result_null(ctx);
    resultText(ctx, textArg(argv[0]).repeated(qsizetype(std::min<qint64>(n, 1 << 20))));
}

void fnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const int length = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
    const int decimals = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
    const QString s = QString::number(sqlite3_value_double(argv[0]), 'f', decimals);
    resultText(ctx,
               s.size() > length ? QString(length, QLatin1Char('*')) : s.rightJustified(length));
}

void fnNewid(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
}

// round(x, n[, truncate[, as_text]]) on the decimal value of x, half away from zero:
// round(2.675, 2) is 2.68 (its double is 2.67499999...). An int stays an int; a decimal keeps
// its places (round(2.675, 2) of a decimal(4,3) is 2.680).
void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const int n = sqlite3_value_int(argv[1]);
    const bool truncate = argc > 2 && sqlite3_value_int(argv[2]) != 0;
    if (const std::optional<Decimal> d = decimalOfValue(argv[0])) {
        const Decimal r = rescaled(roundedDecimal(*d, n, truncate), d->scale);
        if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
            return resultDecimal(ctx, r);
        return resultDecimalAs(ctx, rescaled(r, std::max(r.scale, 1)),  // stays a decimal
                               argc > 3 && sqlite3_value_int(argv[3]));
    }
    const double x = sqlite3_value_double(argv[0]);  // beyond 38 digits
    const double f = std::pow(10.0, n);
    sqlite3_result_double(ctx, (truncate ? std::trunc(x * f) : std::round(x * f)) / f);
}

template <double (*F)(double)>
void fnMath(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const double r = F(sqlite3_value_double(argv[0]));
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && std::fabs(r) < 9e18)
        return sqlite3_result_int64(ctx, qint64(r));
    sqlite3_result_double(ctx, r);
}

double sqrtChecked(double x) {
    return std::sqrt(x);
}
double floorOf(double x) {
    return std::floor(x);
}
double ceilOf(double x) {
    return std::ceil(x);
}

// power(x, y) has the type of x: an integer x gives an integer (power(2, -1) is 0).
void fnPower(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const double r = std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1]));
    if (!std::isfinite(r))
        return resultError(ctx, invalidFloatOperation());
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        if (std::fabs(r) >= 9.2e18)
            return resultError(ctx,
                               serverErrorText(8115, QStringLiteral("Arithmetic overflow error "
                                                                    "converting expression to "
                                                                    "data type int.")));
        return sqlite3_result_int64(ctx, qint64(std::trunc(r)));
    }
    sqlite3_result_double(ctx, r);
}

void fnSquare(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const double x = sqlite3_value_double(argv[0]);
    sqlite3_result_double(ctx, x * x);
}

void fnLog10(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const double x = sqlite3_value_double(argv[0]);
    if (x <= 0)
        return resultError(ctx, invalidFloatOperation());
    sqlite3_result_double(ctx, std::log10(x));
}

void fnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
        return sqlite3_result_int(ctx, 1);
    bool ok = false;
    if (t == SQLITE_TEXT)
        textArg(argv[0]).trimmed().toDouble(&ok);
    sqlite3_result_int(ctx, ok ? 1 : 0);
}

void fnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const QString needle = textArg(argv[0]);
    const QString hay = textArg(argv[1]);
    const qsizetype from = argc > 2 ? std::max<qsizetype>(sqlite3_value_int(argv[2]) - 1, 0) : 0;
    // The server's default collation ignores case.
    sqlite3_result_int64(ctx, hay.indexOf(needle, from, Qt::CaseInsensitive) + 1);
}

void fnObjectId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    QString name = textArg(argv[0]);
    name = name.section(QLatin1Char('.'), -1).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        db,
        "select rowid from sqlite_master where name = ?1 collate nocase "
        "union all select rowid + 1000000 from sqlite_temp_master where name = ?1 collate nocase",
        -1, &stmt, nullptr);
    const QByteArray n = name.toUtf8();
    sqlite3_bind_text(stmt, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_ROW)
        sqlite3_result_int64(ctx, sqlite3_column_int64(stmt, 0));
    else
        sqlite3_result_null(ctx);
    sqlite3_finalize(stmt);
}

// A value as concat() shows it: NULL is empty, numbers in their shortest form.
QString concatText(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return QString();
        case SQLITE_FLOAT:
            return QString::number(sqlite3_value_double(v), 'g', 15);
        default:
            return textArg(v);
    }
}

void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    QString out;
    for (int k = 0; k < argc; ++k)
        out += concatText(argv[k]);
    resultText(ctx, out);
}

// concat_ws(separator, v1, v2, ...): the values that are not NULL, joined.
void fnConcatWs(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    QStringList parts;
    for (int k = 1; k < argc; ++k)
        if (sqlite3_value_type(argv[k]) != SQLITE_NULL)
            parts << concatText(argv[k]);
    resultText(ctx, parts.join(concatText(argv[0])));
}

void fnEomonth(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    bool ok = false;
    const QDateTime d = dateArg(argv[0], &ok);
    if (!ok)
        return resultError(ctx, dateConversionFailed());
    const QDate month = d.date().addMonths(argc > 1 ? sqlite3_value_int(argv[1]) : 0);
    resultText(ctx, QDate(month.year(), month.month(), month.daysInMonth())
                        .toString(QStringLiteral("yyyy-MM-dd")));
}

void fnDatefromparts(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const QDate d(sqlite3_value_int(argv[0]), sqlite3_value_int(argv[1]),
                  sqlite3_value_int(argv[2]));
    if (!d.isValid() || d.year() < 1)
        return resultError(ctx,
                           serverErrorText(289, QStringLiteral("Cannot construct data type date, "
                                                               "some of the arguments have values "
                                                               "which are not valid.")));
    resultText(ctx, d.toString(QStringLiteral("yyyy-MM-dd")));
}

// stuff(s, start, length, insert): NULL when start is outside the text or length negative.
void fnStuff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    for (int k = 0; k < 3; ++k)
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL)
            return sqlite3_result_null(ctx);
    const QString s = textArg(argv[0]);
    const qint64 start = sqlite3_value_int64(argv[1]);
    const qint64 length = sqlite3_value_int64(argv[2]);
    if (start < 1 || start > s.size() || length < 0)
        return sqlite3_result_null(ctx);
    const QString insert =
        sqlite3_value_type(argv[3]) == SQLITE_NULL ? QString() : textArg(argv[3]);
    resultText(ctx, s.left(qsizetype(start - 1)) + insert +
                        s.mid(qsizetype(std::min<qint64>(start - 1 + length, s.size()))));
}

// A like pattern (% _ [abc] [^abc] [a-z]) as a regular expression.
QString likeToRegex(const QString& pattern) {
    QString rx;
    for (qsizetype k = 0; k < pattern.size(); ++k) {
        const QChar c = pattern[k];
        if (c == QLatin1Char('%')) {
            rx += QStringLiteral(".*");
        } else if (c == QLatin1Char('_')) {
            rx += QLatin1Char('.');
        } else if (c == QLatin1Char('[') && pattern.indexOf(QLatin1Char(']'), k + 1) > k + 1) {
            const qsizetype close = pattern.indexOf(QLatin1Char(']'), k + 1);
            QString set = pattern.mid(k + 1, close - k - 1);
            const bool negated = set.startsWith(QLatin1Char('^'));
            if (negated)
                set.remove(0, 1);
            QString body;
            for (const QChar m : set)
                body += m == QLatin1Char('-') ? QString(m) : QRegularExpression::escape(QString(m));
            rx += QLatin1Char('[') + (negated ? QStringLiteral("^") : QString()) + body +
                  QLatin1Char(']');
            k = close;
        } else {
            rx += QRegularExpression::escape(QString(c));
        }
    }
    return rx;
}

// patindex(pattern, s): where the like pattern first matches in s, 0 when it does not. A pattern
// without a leading % must match at the start, one without a trailing % at the end.
void fnPatindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    QString pattern = textArg(argv[0]);
    const bool anywhere = pattern.startsWith(QLatin1Char('%'));
    while (pattern.startsWith(QLatin1Char('%')))
        pattern.remove(0, 1);
    const QRegularExpression rx(
        QStringLiteral("^(%1)(%2)$")
            .arg(anywhere ? QStringLiteral(".*?") : QString(), likeToRegex(pattern)),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = rx.match(textArg(argv[1]));
    sqlite3_result_int64(ctx, m.hasMatch() ? m.capturedLength(1) + 1 : 0);
}

// quotename(s[, quote]): s between [ ] (or the quote given), its closing quote doubled.
void fnQuotename(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const QString s = textArg(argv[0]);
    const QString q = argc > 1 ? textArg(argv[1]) : QStringLiteral("[");
    QChar open, close;
    if (q == QLatin1String("[") || q == QLatin1String("]"))
        open = QLatin1Char('['), close = QLatin1Char(']');
    else if (q == QLatin1String("\"") || q == QLatin1String("'") || q == QLatin1String("`"))
        open = close = q[0];
    else if (q == QLatin1String("(") || q == QLatin1String(")"))
        open = QLatin1Char('('), close = QLatin1Char(')');
    else if (q == QLatin1String("<") || q == QLatin1String(">"))
        open = QLatin1Char('<'), close = QLatin1Char('>');
    else if (q == QLatin1String("{") || q == QLatin1String("}"))
        open = QLatin1Char('{'), close = QLatin1Char('}');
    if (open.isNull() || s.size() > 128)
        return sqlite3_result_null(ctx);
    QString body = s;
    body.replace(close, QString(2, close));
    resultText(ctx, open + body + close);
}

// format(value, pattern[, culture]): numbers and date-times (text that is neither fails, as a
// varchar argument does on the server); NULL for a pattern it cannot apply.
void fnFormat(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const QString pattern = textArg(argv[1]);
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_TEXT) {
        bool isDate = false;
        const QDateTime d = dateArg(argv[0], &isDate);
        if (isDate)
            return resultText(ctx, formatDate(d, pattern));
        if (sqlite3_value_numeric_type(argv[0]) == SQLITE_TEXT)
            return resultError(ctx,
                               serverErrorText(8116, QStringLiteral("Argument data type varchar is "
                                                                    "invalid for argument 1 of "
                                                                    "format function.")));
    }
    const std::optional<QString> s = formatNumber(sqlite3_value_double(argv[0]), pattern);
    if (!s)
        return sqlite3_result_null(ctx);
    resultText(ctx, *s);
}

// string_agg(v, separator) within group (order by keys): qd_string_agg(v, separator,
// 'directions', key...), directions one letter a key ('a' ascending, 'd' descending). The values
// are kept with their keys and joined in key order at the end; NULL values are left out.
struct AggRow {
    QString value;
    std::vector<QVariant> keys;
};
struct StringAgg {
    std::vector<AggRow> rows;
    QString separator;
    QString directions;
};

void stringAggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto** state = static_cast<StringAgg**>(sqlite3_aggregate_context(ctx, sizeof(StringAgg*)));
    if (!state)
        return sqlite3_result_error_nomem(ctx);
    if (!*state)
        *state = new StringAgg{{}, concatText(argv[1]), textArg(argv[2])};
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    AggRow row{concatText(argv[0]), {}};
    for (int k = 3; k < argc; ++k)
        row.keys.push_back(valueVariant(argv[k]));
    (*state)->rows.push_back(std::move(row));
}

int compareKeys(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);  // NULL first
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString().compare(b.toString(), Qt::CaseInsensitive);
    const double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
}

void stringAggFinal(sqlite3_context* ctx) {
    auto** state = static_cast<StringAgg**>(sqlite3_aggregate_context(ctx, 0));
    if (!state || !*state)
        return sqlite3_result_null(ctx);
    const std::unique_ptr<StringAgg> agg(*state);
    const QString& directions = agg->directions;
    std::stable_sort(agg->rows.begin(), agg->rows.end(), [&](const AggRow& a, const AggRow& b) {
        for (std::size_t k = 0; k < a.keys.size(); ++k) {
            const int c = compareKeys(a.keys[k], b.keys[k]);
            if (c != 0)
                return qsizetype(k) < directions.size() &&
                               directions[qsizetype(k)] == QLatin1Char('d')
                           ? c > 0
                           : c < 0;
        }
        return false;
    });
    QStringList values;
    for (const AggRow& r : agg->rows)
        values << r.value;
    if (values.isEmpty())
        sqlite3_result_null(ctx);
    else
        resultText(ctx, values.join(agg->separator));
}

// qd_recursion_level(level, limit): the level of a row of a recursive common table expression,
// which may not pass the statement's limit (0: none).
void fnRecursionLevel(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const qint64 level = sqlite3_value_int64(argv[0]);
    const qint64 limit = sqlite3_value_int64(argv[1]);
    if (limit > 0 && level > limit)
        return resultError(ctx, serverErrorText(530, QStringLiteral("The statement terminated. "
                                                                    "The maximum recursion %1 "
                                                                    "has been exhausted before "
                                                                    "statement completion.")
                                                         .arg(limit)));
    sqlite3_result_int64(ctx, level);
}

}  // namespace

void Session::registerFunctions(sqlite3* db) {
    struct Fn {
        const char* name;
        int args;
        void (*f)(sqlite3_context*, int, sqlite3_value**);
        bool deterministic;
    };
    static const Fn fns[] = {
        {"qd_add", 2, fnAdd, true},
        {"qd_datediff", 3, fnDatediff, true},
        {"qd_dateadd", 3, fnDateadd, true},
        {"qd_datepart", 2, fnDatepart, true},
        {"qd_cast_int", 1, fnCastInt, true},
        {"qd_cast_bit", 1, fnCastBit, true},
        {"qd_cast_num", 2, fnCastNum, true},
        {"qd_cast_num", 3, fnCastNum, true},
        {"qd_cast_datetime", 1, fnCastDateTime, true},
        {"qd_cast_date", 1, fnCastDate, true},
        {"qd_date_key", 1, fnDateKey, true},
        {"qd_convert_date", -1, fnConvertDate, true},
        {"qd_right", 2, fnRight, true},
        {"qd_reverse", 1, fnReverse, true},
        {"qd_replicate", 2, fnReplicate, true},
        {"qd_str", -1, fnStr, true},
        {"qd_newid", 0, fnNewid, false},
        {"qd_round", -1, fnRound, true},
        {"qd_floor", 1, fnMath<floorOf>, true},
        {"qd_ceiling", 1, fnMath<ceilOf>, true},
        {"qd_sqrt", 1, fnMath<sqrtChecked>, true},
        {"qd_power", 2, fnPower, true},
        {"qd_isnumeric", 1, fnIsNumeric, true},
        {"qd_charindex", -1, fnCharindex, true},
        {"qd_object_id", -1, fnObjectId, false},
        {"qd_square", 1, fnSquare, true},
        {"qd_log10", 1, fnLog10, true},
        {"qd_concat", -1, fnConcat, true},
        {"qd_concat_ws", -1, fnConcatWs, true},
        {"qd_eomonth", -1, fnEomonth, true},
        {"qd_datefromparts", 3, fnDatefromparts, true},
        {"qd_stuff", 4, fnStuff, true},
        {"qd_patindex", 2, fnPatindex, true},
        {"qd_quotename", -1, fnQuotename, true},
        {"qd_format", -1, fnFormat, true},
        {"qd_recursion_level", 2, fnRecursionLevel, true},
    };
    for (const Fn& f : fns)
        sqlite3_create_function_v2(db, f.name, f.args,
                                   SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0),
                                   nullptr, f.f, nullptr, nullptr, nullptr);
    // try_cast / try_convert: the conversions again, giving NULL where they would fail.
    static const Fn conversions[] = {
        {"qd_try_cast_int", 1, fnCastInt, true},
        {"qd_try_cast_bit", 1, fnCastBit, true},
        {"qd_try_cast_num", 2, fnCastNum, true},
        {"qd_try_cast_num", 3, fnCastNum, true},
        {"qd_try_cast_datetime", 1, fnCastDateTime, true},
        {"qd_try_cast_date", 1, fnCastDate, true},
        {"qd_try_convert_date", -1, fnConvertDate, true},
    };
    static int orNull = 1;
    for (const Fn& f : conversions)
        sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &orNull,
                                   f.f, nullptr, nullptr, nullptr);
    registerDecimalFunctions(db);
    sqlite3_create_function_v2(db, "qd_string_agg", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               nullptr, stringAggStep, stringAggFinal, nullptr);
}

}  // namespace Qd::Core::Db::Tsql
