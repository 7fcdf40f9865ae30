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

Decimal toDecimal(double value) {
    char e[32];  // d.dddddddddddddde+XX
    const auto end =
        std::to_chars(e, e + sizeof e, std::fabs(value), std::chars_format::scientific, 14).ptr;
    char significant[15];
    significant[0] = e[0];
    std::copy(e + 2, e + 16, significant + 1);
    int exponent = 0;
    std::from_chars(e + 17 + (e[17] == '+'), end, exponent);
    Decimal d;
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
    out += p.prefix;
    const int pad = std::max(p.minInt - value.intCount, 0);
    const int intDigits = value.intCount + pad;
    for (int i = 0; i < intDigits; ++i) {
        if (p.grouping && i > 0 && (intDigits - i) % 3 == 0)
            out += ',';
        out += i < pad ? '0' : value.digits[std::size_t(i - pad)];
    }
    int frac = value.fracCount;
    while (frac > p.minDec && value.frac()[frac - 1] == '0')
        --frac;
    if (frac > 0 || p.minDec > 0) {
        out += '.';
        out.append(value.frac(), std::size_t(frac));
        out.append(std::size_t(std::max(p.minDec - frac, 0)), '0');
    }
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
    Decimal d = toDecimal(value);
    roundTo(d, pattern.maxDec);
    const bool negative = value < 0 && !d.isZero();
    if (d.isZero() && m_count > 2 && !m_sections[2].empty) {
        render(d, m_sections[2], out);
        return;
    }
    if (negative && m_count > 1 && !m_sections[1].empty) {
        Decimal n = toDecimal(value);
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
