// formatNumber and NumberFormatter: display formats of the "#,##0.00" kind, rounded in decimal.

#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "ui/editors/Editors.h"

namespace Qd::Core::Ui {

namespace {

using NumberPattern = NumberFormatter::Pattern;

bool isPlaceholder(QChar c) {
    return c == u'0' || c == u'#' || c == u',' || c == u'.';
}

// Reads a section. Quoted text ('..' or "..") is literal; literals between placeholders are
// moved to the nearer end, which is all the formats in use need.
NumberPattern parsePattern(QStringView format) {
    NumberPattern p;
    p.minInt = 0;
    p.empty = format.isEmpty();
    QString prefix, suffix;
    bool inNumber = false, afterNumber = false, afterPoint = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = format.indexOf(c, i + 1);
            const QStringView literal = format.mid(i + 1, (end < 0 ? format.size() : end) - i - 1);
            (inNumber || afterNumber ? suffix : prefix) += literal;
            i = end < 0 ? format.size() : end;
            if (inNumber)
                afterNumber = true;
            continue;
        }
        if (isPlaceholder(c) && !afterNumber) {
            inNumber = true;
            if (c == u'.') {
                afterPoint = true;
            } else if (c == u',') {
                p.grouping = !afterPoint || p.grouping;
            } else if (afterPoint) {
                ++p.maxDec;
                if (c == u'0')
                    p.minDec = p.maxDec;
            } else if (c == u'0') {
                ++p.minInt;
            }
            continue;
        }
        if (inNumber)
            afterNumber = true;
        (afterNumber ? suffix : prefix) += c;
    }
    p.prefix = prefix.toStdString();
    p.suffix = suffix.toStdString();
    return p;
}

// The decimal digits of |value| to 15 significant digits (what a double holds reliably), so
// that 2.675 rounds as the 2.675 the user typed and not as the binary 2.67499999..., kept in a
// buffer of chars: formatting runs once per cell of an export, so it allocates nothing.
struct Decimal {
    std::array<char, 352> digits;  // the integer digits (no leading zeros), then the fraction's
    int intCount = 0;
    int fracCount = 0;

    char* frac() { return digits.data() + intCount; }
    bool isZero() const {
        return std::all_of(digits.begin(), digits.begin() + intCount + fracCount,
                           [](char c) { return c == '0'; });
    }
};

// The digits of a whole number below 10^15, in front of `places` of them after the point.
void setDigits(Decimal& d, std::int64_t whole, int places) {
    char text[24];
    const int count = int(std::to_chars(text, text + sizeof text, whole).ptr - text);
    char* out = d.digits.data();
    if (count <= places) {
        d.intCount = 0;
        out = std::fill_n(out, places - count, '0');
    } else {
        d.intCount = count - places;
    }
    std::copy_n(text, count, out);
    d.fracCount = places;
    if (whole == 0)
        d.intCount = d.fracCount = 0;
    while (d.fracCount > 0 && d.frac()[d.fracCount - 1] == '0')
        --d.fracCount;
}

// `places`: the decimals the caller rounds to next. A value that is a whole number of them (of
// millionths at most: money, quantities, nearly every value a grid shows) is taken from that
// number at once, which is exact: the value then lies within a rounding of the multiplication,
// far less than half a 15th digit, from those digits.
Decimal toDecimal(double value, int places) {
    Decimal d;
    static constexpr double kPowers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    const int tried = std::min(places, 6);  // more would not stay exact below 10^9
    if (const double v = std::fabs(value); tried >= 0 && v < 1e9) {
        if (const double scaled = v * kPowers[tried]; scaled == std::trunc(scaled)) {
            setDigits(d, static_cast<std::int64_t>(scaled), tried);
            return d;
        }
    }
    // The shortest text that reads back as the value is what rounding to 15 digits gives when it
    // has no more digits than that (the value lies closer to it than half a 15th digit), and it
    // is much quicker to make; only longer ones (0.30000000000000004) are rounded.
    char e[40];  // d.ddde+XX
    const char* end =
        std::to_chars(e, e + sizeof e, std::fabs(value), std::chars_format::scientific).ptr;
    const char* ePos = std::find(static_cast<const char*>(e), end, 'e');
    if (ePos - e > 16) {
        end =
            std::to_chars(e, e + sizeof e, std::fabs(value), std::chars_format::scientific, 14).ptr;
        ePos = std::find(static_cast<const char*>(e), end, 'e');
    }
    char significant[15];
    std::fill_n(significant, 15, '0');
    significant[0] = e[0];
    if (ePos - e > 2)
        std::copy(static_cast<const char*>(e) + 2, ePos, significant + 1);
    int exponent = 0;
    std::from_chars(ePos + 1 + (ePos[1] == '+'), end, exponent);
    const int intCount = exponent + 1;
    char* out = d.digits.data();
    if (intCount <= 0) {
        out = std::fill_n(out, -intCount, '0');
        out = std::copy_n(significant, 15, out);
        d.fracCount = int(out - d.digits.data());
    } else {
        out = std::copy_n(significant, std::min(intCount, 15), out);
        out = std::fill_n(out, std::max(intCount - 15, 0), '0');
        d.intCount = intCount;
        out = std::copy_n(significant + std::min(intCount, 15), std::max(15 - intCount, 0), out);
        d.fracCount = int(out - d.digits.data()) - intCount;
    }
    int lead = 0;
    while (lead < d.intCount && d.digits[std::size_t(lead)] == '0')
        ++lead;
    if (lead > 0) {
        std::copy(d.digits.begin() + lead, d.digits.begin() + d.intCount + d.fracCount,
                  d.digits.begin());
        d.intCount -= lead;
    }
    while (d.fracCount > 0 && d.frac()[d.fracCount - 1] == '0')
        --d.fracCount;
    return d;
}

// Rounds to `places` decimals, half away from zero (the sign is kept apart).
void roundTo(Decimal& d, int places) {
    if (d.fracCount <= places)
        return;
    const bool up = d.frac()[places] >= '5';
    d.fracCount = places;
    if (!up)
        return;
    int i = d.intCount + d.fracCount - 1;
    for (; i >= 0; --i) {
        char& c = d.digits[std::size_t(i)];
        if (c != '9') {
            ++c;
            break;
        }
        c = '0';
    }
    if (i < 0) {
        std::copy_backward(d.digits.begin(), d.digits.begin() + d.intCount + d.fracCount,
                           d.digits.begin() + d.intCount + d.fracCount + 1);
        d.digits[0] = '1';
        ++d.intCount;
    }
}

void render(Decimal& value, const NumberPattern& p, std::string& out) {
    // Composed in place, then appended at once: this runs for every number of an export.
    char text[720];
    char* o = text;
    const int pad = std::max(p.minInt - value.intCount, 0);
    const int intDigits = value.intCount + pad;
    for (int i = 0; i < intDigits; ++i) {
        if (p.grouping && i > 0 && (intDigits - i) % 3 == 0)
            *o++ = ',';
        *o++ = i < pad ? '0' : value.digits[std::size_t(i - pad)];
    }
    int frac = value.fracCount;
    while (frac > p.minDec && value.frac()[frac - 1] == '0')
        --frac;
    if (frac > 0 || p.minDec > 0) {
        *o++ = '.';
        o = std::copy_n(value.frac(), frac, o);
        o = std::fill_n(o, std::max(p.minDec - frac, 0), '0');
    }
    out += p.prefix;
    out.append(text, std::size_t(o - text));
    out += p.suffix;
}

}  // namespace

NumberFormatter::NumberFormatter(const QString& displayFormat, int decimals, bool plain) {
    if (displayFormat.isEmpty()) {
        NumberPattern& p = m_sections[0];
        p.minDec = std::max(decimals, 0);
        p.maxDec = decimals >= 0 ? decimals : 15;
        m_count = 1;
        return;
    }
    // Sections: positive;negative;zero. The negative section carries its own sign (or none).
    const QStringList sections = displayFormat.split(u';');
    m_count = int(std::min<qsizetype>(sections.size(), 3));
    for (int i = 0; i < m_count; ++i) {
        NumberPattern& p = m_sections[std::size_t(i)];
        p = parsePattern(sections[i]);
        if (plain) {
            p.prefix.clear();
            p.suffix.clear();
            p.grouping = false;
        }
    }
    // Plain text keeps one section: a minus sign, never a section's own way of showing it.
    if (plain)
        m_count = 1;
}

void NumberFormatter::append(double value, std::string& out) const {
    if (std::isnan(value))
        return;
    if (std::isinf(value)) {
        out += value > 0 ? "∞" : "-∞";
        return;
    }
    const NumberPattern& pattern = m_sections[0];
    Decimal d = toDecimal(value, pattern.maxDec);
    roundTo(d, pattern.maxDec);
    const bool negative = value < 0 && !d.isZero();
    if (d.isZero() && m_count > 2 && !m_sections[2].empty) {
        render(d, m_sections[2], out);
        return;
    }
    if (negative && m_count > 1 && !m_sections[1].empty) {
        Decimal n = toDecimal(value, m_sections[1].maxDec);
        roundTo(n, m_sections[1].maxDec);
        render(n, m_sections[1], out);
        return;
    }
    if (negative)
        out += '-';
    render(d, pattern, out);
}

QString NumberFormatter::text(double value) const {
    std::string out;
    append(value, out);
    return QString::fromStdString(out);
}

QString formatNumber(double value, const QString& displayFormat, int decimals) {
    return NumberFormatter(displayFormat, decimals).text(value);
}

}  // namespace Qd::Core::Ui
