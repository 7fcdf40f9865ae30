#include "db/tsql/TsqlDecimal.h"

#include <sqlite3.h>

#include "db/tsql/TsqlSession.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Qd::Core::Db::Tsql {

namespace {

constexpr int kMaxDigits = 38;

// The powers of ten that are exact doubles.
constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

__extension__ typedef unsigned __int128 Unsigned;

Wide powerOfTen(int n) {
    Wide p = 1;
    for (int k = 0; k < n; ++k)
        p *= 10;
    return p;
}

bool hasDigits(Wide u) {  // at most 38 digits
    static const Wide limit = powerOfTen(kMaxDigits);
    return u < limit && u > -limit;
}

// u * 10^places, or nullopt beyond 38 digits.
std::optional<Wide> shifted(Wide u, int places) {
    for (int k = 0; k < places; ++k)
        if (__builtin_mul_overflow(u, Wide(10), &u) || !hasDigits(u))
            return std::nullopt;
    return u;
}

// |a| / |b| truncated, at `places` more digits than a's units have (fewer when negative): long
// division, one digit at a time, so that no step needs more than 38 digits.
std::optional<Wide> quotient(Wide a, Wide b, int places) {
    Unsigned x = Unsigned(a < 0 ? -a : a), y = Unsigned(b < 0 ? -b : b);
    if (places < 0)
        x = -places > kMaxDigits ? 0 : x / Unsigned(powerOfTen(-places));
    Unsigned q = x / y, r = x % y;
    static const Unsigned room = Unsigned(powerOfTen(kMaxDigits - 1));
    for (int k = 0; k < places; ++k) {
        if (q >= room || r >= room)
            return std::nullopt;
        r *= 10;
        q = q * 10 + r / y;
        r %= y;
    }
    if (!hasDigits(Wide(q)))
        return std::nullopt;
    return (a < 0) != (b < 0) ? -Wide(q) : Wide(q);
}

}  // namespace

std::optional<Decimal> parseDecimal(QStringView text) {
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    Decimal d;
    int digits = 0;
    bool point = false;
    bool any = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('.') && !point) {
            point = true;
            continue;
        }
        if (!c.isDigit() || c.unicode() > '9')
            break;
        any = true;
        if (d.units == 0 && c == QLatin1Char('0') && !point)
            continue;  // leading zeros
        if (++digits > kMaxDigits)
            return std::nullopt;
        d.units = d.units * 10 + (c.unicode() - '0');
        if (point)
            ++d.scale;
    }
    if (!any)
        return std::nullopt;
    if (i < text.size()) {
        if (text[i] != QLatin1Char('e') && text[i] != QLatin1Char('E'))
            return std::nullopt;
        bool ok = false;
        const int exponent = text.mid(i + 1).toInt(&ok);
        if (!ok || exponent > kMaxDigits || exponent < -kMaxDigits)
            return std::nullopt;
        d.scale -= exponent;
        if (d.scale < 0) {
            if (digits - d.scale > kMaxDigits)
                return std::nullopt;
            d.units *= powerOfTen(-d.scale);
            d.scale = 0;
        }
    }
    if (negative)
        d.units = -d.units;
    return d;
}

std::optional<Decimal> decimalOfValue(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return Decimal{sqlite3_value_int64(v), 0};
        case SQLITE_TEXT:
            return parseDecimal(QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v)));
        default:
            return decimalOfDouble(sqlite3_value_double(v));
    }
}

std::optional<Decimal> decimalOfDouble(double v) {
    return parseDecimal(QString::number(v, 'g', QLocale::FloatingPointShortest));
}

Decimal roundedDecimal(const Decimal& d, int places, bool truncate) {
    if (places >= d.scale)
        return d;  // no digits to drop
    const int dropped = d.scale - places;
    if (dropped > kMaxDigits)
        return {0, std::max(places, 0)};
    const Wide divisor = powerOfTen(dropped);
    Wide q = d.units / divisor;
    const Wide r = d.units % divisor;
    if (!truncate && (r < 0 ? -r : r) * 2 >= divisor)
        q += d.units < 0 ? -1 : 1;
    if (places >= 0)
        return {q, places};
    return {q * powerOfTen(-places), 0};
}

Decimal rescaled(const Decimal& d, int scale) {
    if (scale <= d.scale)
        return roundedDecimal(d, scale);
    const Wide factor = powerOfTen(std::min(scale - d.scale, kMaxDigits));
    const Wide limit = powerOfTen(kMaxDigits) / factor;
    if (d.units >= limit || d.units <= -limit)
        return d;  // no room for more places: the value is the same
    return {d.units * factor, scale};
}

std::optional<Decimal> decimalArithmetic(const Decimal& a, QChar op, const Decimal& b, int scale) {
    if (op == QLatin1Char('/')) {
        if (b.units == 0)
            return std::nullopt;
        const auto q = quotient(a.units, b.units, scale + b.scale - a.scale);
        return q ? std::optional<Decimal>({*q, scale}) : std::nullopt;
    }
    Decimal exact;
    if (op == QLatin1Char('*')) {
        exact.scale = a.scale + b.scale;
        if (__builtin_mul_overflow(a.units, b.units, &exact.units) || !hasDigits(exact.units))
            return std::nullopt;
    } else {
        // Both at the larger scale.
        exact.scale = std::max(a.scale, b.scale);
        const auto x = shifted(a.units, exact.scale - a.scale);
        const auto y = shifted(b.units, exact.scale - b.scale);
        if (!x || !y)
            return std::nullopt;
        if (op == QLatin1Char('%')) {
            if (*y == 0)
                return std::nullopt;
            exact.units = *x % *y;  // the sign of the dividend, as the server's
        } else {
            exact.units = op == QLatin1Char('-') ? *x - *y : *x + *y;
        }
        if (!hasDigits(exact.units))
            return std::nullopt;
    }
    const Decimal r = rescaled(exact, scale);
    if (r.scale != scale)
        return std::nullopt;  // no room for the places
    return r;
}

bool decimalFits(const Decimal& d, int precision, int scale) {
    const Wide whole = roundedDecimal(d, 0, true).units;
    const int digits = precision - scale;
    return digits >= kMaxDigits || (whole < powerOfTen(digits) && whole > -powerOfTen(digits));
}

QString decimalText(const Decimal& d) {
    Wide u = d.units < 0 ? -d.units : d.units;
    QString digits;
    do {
        digits.prepend(QChar(char16_t('0' + int(u % 10))));
        u /= 10;
    } while (u != 0);
    if (d.scale > 0) {
        if (digits.size() <= d.scale)
            digits = QString(d.scale + 1 - digits.size(), QLatin1Char('0')) + digits;
        digits.insert(digits.size() - d.scale, QLatin1Char('.'));
    }
    return d.units < 0 ? QLatin1Char('-') + digits : digits;
}

int shownPlaces(QStringView type) {
    const QString t = type.trimmed().toString().toLower();
    if (t.startsWith(QLatin1String("money")) || t.startsWith(QLatin1String("smallmoney")))
        return 2;
    if (!t.startsWith(QLatin1String("decimal")) && !t.startsWith(QLatin1String("numeric")))
        return -1;
    const qsizetype comma = t.indexOf(QLatin1Char(','));
    return comma < 0 ? 0 : t.mid(comma + 1).chopped(t.endsWith(QLatin1Char(')')) ? 1 : 0).toInt();
}

double decimalToDouble(const Decimal& d) {
    // Units and a power of ten that are both exact doubles: their quotient is correctly
    // rounded, so it is the double nearest to the decimal, as reading its text would give.
    constexpr Wide exact = Wide(1) << 53;
    if (d.units <= exact && d.units >= -exact && d.scale >= 0 && d.scale <= 22)
        return double(qint64(d.units)) / kTens[d.scale];
    return decimalText(d).toDouble();
}

namespace {

// The running state of qd_sum_dec / qd_avg_dec.
// The units are kept as bytes: the memory the embedded database gives an aggregate is aligned
// for 8 bytes only, and a 128-bit integer wants 16.
struct DecimalSum {
    unsigned char unitBytes[sizeof(Wide)];
    qint64 count;
    int scale;
    int places;  // of the average
};

Wide unitsOf(const DecimalSum* sum) {
    Wide u;
    std::memcpy(&u, sum->unitBytes, sizeof u);
    return u;
}

void addUnits(DecimalSum* sum, Wide units) {
    Wide u;
    std::memcpy(&u, sum->unitBytes, sizeof u);
    u += units;
    std::memcpy(sum->unitBytes, &u, sizeof u);
}

// The units of a value at the sum's scale, the same way in and out of a window's frame: a
// stored double is the nearest to a value with `scale` places, so scaling it and rounding to
// the nearest integer gives that value's units. nullopt for NULL; false in `ok` for text that
// is no number.
std::optional<Wide> unitsAtScale(sqlite3_value* v, int scale, bool& ok) {
    ok = true;
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return Wide(sqlite3_value_int64(v)) * powerOfTen(scale);
        case SQLITE_FLOAT:
            return Wide(std::llround(sqlite3_value_double(v) * kTens[scale]));
        case SQLITE_TEXT:
            if (const auto d = decimalOfValue(v))
                return rescaled(*d, scale).units;
            ok = false;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

void resultError(sqlite3_context* ctx, const QString& marked) {
    const QByteArray b = marked.toUtf8();
    sqlite3_result_error(ctx, b.constData(), int(b.size()));
}

void decimalSumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* sum = static_cast<DecimalSum*>(sqlite3_aggregate_context(ctx, sizeof(DecimalSum)));
    if (!sum)
        return sqlite3_result_error_nomem(ctx);
    const int scale = std::clamp(sqlite3_value_int(argv[1]), 0, 18);
    sum->scale = scale;
    sum->places = argc > 2 ? std::clamp(sqlite3_value_int(argv[2]), scale, 18) : scale;
    bool ok = true;
    const std::optional<Wide> units = unitsAtScale(argv[0], scale, ok);
    if (!ok)
        return resultError(ctx, numberConversionFailed(QStringLiteral("numeric")));
    if (units) {  // NULL is left out
        addUnits(sum, *units);
        ++sum->count;
    }
}

// The window's inverse step: a row leaves the frame.
void decimalSumInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* sum = static_cast<DecimalSum*>(sqlite3_aggregate_context(ctx, sizeof(DecimalSum)));
    if (!sum)
        return sqlite3_result_error_nomem(ctx);
    bool ok = true;
    if (const std::optional<Wide> units = unitsAtScale(argv[0], sum->scale, ok)) {
        addUnits(sum, -*units);
        --sum->count;
    }
}

void decimalSumFinal(sqlite3_context* ctx) {
    auto* sum = static_cast<DecimalSum*>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || sum->count == 0)
        return sqlite3_result_null(ctx);
    resultDecimal(ctx, {unitsOf(sum), sum->scale});
}

// total / count at `places`, rounded half away from zero.
Decimal average(const Decimal& total, qint64 count, int places) {
    const Wide units = total.units * powerOfTen(places - total.scale);
    Wide q = units / count;
    const Wide r = units % count;
    if ((r < 0 ? -r : r) * 2 >= count)
        q += units < 0 ? -1 : 1;
    return {q, places};
}

void decimalAvgFinal(sqlite3_context* ctx) {
    auto* sum = static_cast<DecimalSum*>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || sum->count == 0)
        return sqlite3_result_null(ctx);
    resultDecimal(ctx, average({unitsOf(sum), sum->scale}, sum->count, sum->places));
}

// qd_decimal(op, scale, as_text, a[, b]): see registerDecimalFunctions.
void fnDecimal(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int k = 3; k < argc; ++k)
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL)
            return sqlite3_result_null(ctx);
    const std::string_view op(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                              std::size_t(sqlite3_value_bytes(argv[0])));
    const int scale = sqlite3_value_int(argv[1]);
    const std::optional<Decimal> a = decimalOfValue(argv[3]);
    const std::optional<Decimal> b = argc > 4 ? decimalOfValue(argv[4]) : Decimal{};
    if (!a || !b)
        return resultError(ctx, numberConversionFailed(QStringLiteral("numeric")));
    std::optional<Decimal> r;
    if (op == "neg" || op == "abs")
        r = rescaled({op == "abs" && a->units < 0 ? -a->units
                      : op == "neg"               ? -a->units
                                                  : a->units,
                      a->scale},
                     scale);
    else if ((op == "/" || op == "%") && b->units == 0)
        return resultError(
            ctx, serverErrorText(8134, QStringLiteral("Divide by zero error encountered.")));
    else if (op.size() == 1)
        r = decimalArithmetic(*a, QLatin1Char(op[0]), *b, scale);
    if (!r)
        return resultError(
            ctx, serverErrorText(8115, QStringLiteral("Arithmetic overflow error converting "
                                                      "expression to data type numeric.")));
    if (sqlite3_value_int(argv[2]) == 0)
        return resultDecimal(ctx, *r);
    const QByteArray text = decimalText(*r).toLatin1();
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// qd_units(v, scale): v in units of 10^-scale, an integer; qd_from_units(units, scale) the
// decimal again, and qd_from_units(units, scale, count, places) their average at `places`
// (sum(distinct ...) and avg(distinct ...) add the units, since a distinct aggregate takes
// only one argument).
void fnUnits(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const std::optional<Decimal> d = decimalOfValue(argv[0]);
    if (!d)
        return resultError(ctx, numberConversionFailed(QStringLiteral("numeric")));
    const Wide units = rescaled(*d, sqlite3_value_int(argv[1])).units;
    if (units > std::numeric_limits<qint64>::max() || units < std::numeric_limits<qint64>::min())
        return resultError(
            ctx, serverErrorText(8115, QStringLiteral("Arithmetic overflow error converting "
                                                      "expression to data type numeric.")));
    sqlite3_result_int64(ctx, qint64(units));
}

void fnFromUnits(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const Decimal total{sqlite3_value_int64(argv[0]), sqlite3_value_int(argv[1])};
    if (argc < 4)
        return resultDecimal(ctx, total);
    const qint64 count = sqlite3_value_int64(argv[2]);
    resultDecimal(ctx, average(total, std::max<qint64>(count, 1), sqlite3_value_int(argv[3])));
}

}  // namespace

void resultDecimal(sqlite3_context* ctx, const Decimal& d) {
    if (d.scale <= 0 && d.units >= std::numeric_limits<qint64>::min() &&
        d.units <= std::numeric_limits<qint64>::max())
        return sqlite3_result_int64(ctx, qint64(d.units));
    sqlite3_result_double(ctx, decimalToDouble(d));
}

void registerDecimalFunctions(sqlite3* db) {
    // The sums are window functions too: a row leaving the frame is taken off again.
    sqlite3_create_window_function(db, "qd_sum_dec", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   decimalSumStep, decimalSumFinal, decimalSumFinal,
                                   decimalSumInverse, nullptr);
    sqlite3_create_window_function(db, "qd_avg_dec", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   decimalSumStep, decimalAvgFinal, decimalAvgFinal,
                                   decimalSumInverse, nullptr);
    struct Fn {
        const char* name;
        int args;
        void (*f)(sqlite3_context*, int, sqlite3_value**);
    };
    static const Fn fns[] = {{"qd_decimal", 4, fnDecimal},
                             {"qd_decimal", 5, fnDecimal},
                             {"qd_units", 2, fnUnits},
                             {"qd_from_units", 2, fnFromUnits},
                             {"qd_from_units", 4, fnFromUnits}};
    for (const Fn& f : fns)
        sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   f.f, nullptr, nullptr, nullptr);
}

}  // namespace Qd::Core::Db::Tsql
