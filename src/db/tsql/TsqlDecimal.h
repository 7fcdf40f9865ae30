#pragma once

// Exact decimal numbers for the conversions, rounding and sums the server computes in decimal:
// a value is an integer count of units of 10^-scale, so 1.005 is 1005 units at scale 3 and
// rounds to 1.01, where its nearest double (1.00499999...) would round to 1.0.

#include <QString>
#include <optional>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace Qd::Core::Db::Tsql {

// 128-bit integers hold the 38 digits a decimal can have.
__extension__ typedef __int128 Wide;

struct Decimal {
    Wide units = 0;
    int scale = 0;  // places after the point
};

// Decimal text as written ("1.005", "-12", " 2.50 ", "1e-3"); nullopt when it is no number or
// has more than 38 digits.
std::optional<Decimal> parseDecimal(QStringView text);

// The decimal a double stands for: the shortest text that reads back as the same double, so
// the double of 2.675 is 2.675 and not 2.67499999999999982236431605997495353221893310546875.
std::optional<Decimal> decimalOfDouble(double v);

// The decimal value of a number or of number text (not NULL); nullopt for text that is no number.
std::optional<Decimal> decimalOfValue(sqlite3_value* v);

// Rounded half away from zero (or truncated toward zero) to `places` after the point; a
// negative `places` rounds to tens, hundreds, ... (the result then has scale 0).
Decimal roundedDecimal(const Decimal& d, int places, bool truncate = false);

// The same value at `scale` places: rounded half away from zero when there are fewer, padded
// with zeros when there are more.
Decimal rescaled(const Decimal& d, int scale);

// The exact result of `a op b` ('+', '-', '*', '/' or '%') at `scale` places, as the server
// computes decimals: a quotient truncated toward zero, anything else rounded half away from zero.
// nullopt when the result, or a step toward it, needs more than 38 digits, or for a divisor of 0.
std::optional<Decimal> decimalArithmetic(const Decimal& a, QChar op, const Decimal& b, int scale);

// Whether d has no more than precision - scale digits before the point.
bool decimalFits(const Decimal& d, int precision, int scale);

QString decimalText(const Decimal& d);  // fixed point with d.scale places: "60.00"
double decimalToDouble(const Decimal& d);

// The places a value of the T-SQL type `type` shows at least: a decimal's scale ("decimal(18,2)"
// shows 10 as 10.00), 2 for money (which shows up to 4 as its value has them: 3.3333, 60.00);
// -1 for other types.
int shownPlaces(QStringView type);

// The value as the embedded database holds it: an integer at scale 0, else the nearest double
// (so that the value with a scale is never taken for an int: money / 3 divides as decimals).
void resultDecimal(sqlite3_context* ctx, const Decimal& d);

// qd_sum_dec(v, scale) and qd_avg_dec(v, scale, places): sum and avg over a decimal or money
// column, added up exactly in units of its scale, as aggregates and as window functions.
// qd_decimal(op, scale, as_text, a[, b]): decimal arithmetic (decimalArithmetic, and 'neg' and
// 'abs' of a), giving the nearest double or, with as_text 1, the exact text for a further step.
void registerDecimalFunctions(sqlite3* db);

}  // namespace Qd::Core::Db::Tsql
