#include "db/tsql/TsqlDecimal.h"

#include <sqlite3.h>

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

Wide powerOfTen(int n) {
    Wide p = 1;
    for (int k = 0; k < n; ++k)
        p *= 10;
    return p;
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

// The running state of qd_sum_dec / qd_avg_dec. A double stored for a decimal column is the
// nearest double to a value with `scale` places, so scaling it and rounding to the nearest
// integer gives that value's units exactly.
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

void decimalSumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* sum = static_cast<DecimalSum*>(sqlite3_aggregate_context(ctx, sizeof(DecimalSum)));
    if (!sum)
        return sqlite3_result_error_nomem(ctx);
    const int scale = std::clamp(sqlite3_value_int(argv[1]), 0, 18);
    sum->scale = scale;
    sum->places = argc > 2 ? std::clamp(sqlite3_value_int(argv[2]), scale, 18) : scale;
    sqlite3_value* v = argv[0];
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            addUnits(sum, Wide(sqlite3_value_int64(v)) * powerOfTen(scale));
            break;
        case SQLITE_FLOAT: {
            addUnits(sum, Wide(std::llround(sqlite3_value_double(v) * kTens[scale])));
            break;
        }
        case SQLITE_TEXT: {
            const auto d = parseDecimal(QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v)));
            if (!d) {
                const QByteArray m =
                    QByteArrayLiteral("Error converting data type varchar to numeric.");
                return sqlite3_result_error(ctx, m.constData(), int(m.size()));
            }
            addUnits(sum, rescaled(*d, scale).units);
            break;
        }
        default:
            return;  // NULL is left out
    }
    ++sum->count;
}

void decimalSumFinal(sqlite3_context* ctx) {
    auto* sum = static_cast<DecimalSum*>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || sum->count == 0)
        return sqlite3_result_null(ctx);
    resultDecimal(ctx, {unitsOf(sum), sum->scale});
}

// The average at `places`, rounded half away from zero.
void decimalAvgFinal(sqlite3_context* ctx) {
    auto* sum = static_cast<DecimalSum*>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || sum->count == 0)
        return sqlite3_result_null(ctx);
    const Wide total = unitsOf(sum) * powerOfTen(sum->places - sum->scale);
    Wide q = total / sum->count;
    const Wide r = total % sum->count;
    if ((r < 0 ? -r : r) * 2 >= sum->count)
        q += total < 0 ? -1 : 1;
    resultDecimal(ctx, {q, sum->places});
}

}  // namespace

void resultDecimal(sqlite3_context* ctx, const Decimal& d) {
    if (d.scale <= 0 && d.units >= std::numeric_limits<qint64>::min() &&
        d.units <= std::numeric_limits<qint64>::max())
        return sqlite3_result_int64(ctx, qint64(d.units));
    sqlite3_result_double(ctx, decimalToDouble(d));
}

void registerDecimalAggregates(sqlite3* db) {
    sqlite3_create_function_v2(db, "qd_sum_dec", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               nullptr, decimalSumStep, decimalSumFinal, nullptr);
    sqlite3_create_function_v2(db, "qd_avg_dec", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               nullptr, decimalSumStep, decimalAvgFinal, nullptr);
}

}  // namespace Qd::Core::Db::Tsql
