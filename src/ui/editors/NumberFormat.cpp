// formatNumber: display formats of the "#,##0.00" kind, rounded in decimal.

#include <QString>
#include <cmath>

#include "ui/editors/Editors.h"

namespace Qd::Core::Ui {

namespace {

// One section of a display format: literal text around the digit placeholders.
struct NumberPattern {
    QString prefix;
    QString suffix;
    int minInt = 1;  // integer digits always written ("0" placeholders left of the point)
    int minDec = 0;  // decimals always written
    int maxDec = 0;  // decimals written when not zero ("0" and "#" right of the point)
    bool grouping = false;
};

bool isPlaceholder(QChar c) {
    return c == u'0' || c == u'#' || c == u',' || c == u'.';
}

// Reads a section. Quoted text ('..' or "..") is literal; literals between placeholders are
// moved to the nearer end, which is all the formats in use need.
NumberPattern parsePattern(QStringView format) {
    NumberPattern p;
    p.minInt = 0;
    bool inNumber = false, afterNumber = false, afterPoint = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = format.indexOf(c, i + 1);
            const QStringView literal = format.mid(i + 1, (end < 0 ? format.size() : end) - i - 1);
            (inNumber || afterNumber ? p.suffix : p.prefix) += literal.toString();
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
        (afterNumber ? p.suffix : p.prefix) += c;
    }
    return p;
}

// The decimal digits of |value| to 15 significant digits (what a double holds reliably), so
// that 2.675 rounds as the 2.675 the user typed and not as the binary 2.67499999...
struct Decimal {
    QString intDigits;   // no leading zeros; empty for zero
    QString fracDigits;  // as many as the value has
};

Decimal toDecimal(double value) {
    const QString e = QString::number(std::fabs(value), 'e', 14);  // d.dddddddddddddde+XX
    const qsizetype ePos = e.indexOf(u'e');
    QString digits = e.left(ePos);
    digits.remove(1, 1);  // the point
    const int exponent = e.mid(ePos + 1).toInt();
    Decimal d;
    const int intCount = exponent + 1;
    if (intCount <= 0) {
        d.fracDigits = QString(-intCount, u'0') + digits;
    } else if (intCount >= digits.size()) {
        d.intDigits = digits + QString(intCount - digits.size(), u'0');
    } else {
        d.intDigits = digits.left(intCount);
        d.fracDigits = digits.mid(intCount);
    }
    while (d.intDigits.startsWith(u'0'))
        d.intDigits.remove(0, 1);
    while (d.fracDigits.endsWith(u'0'))
        d.fracDigits.chop(1);
    return d;
}

// Rounds to `places` decimals, half away from zero (the sign is kept apart).
void roundTo(Decimal& d, int places) {
    if (d.fracDigits.size() <= places)
        return;
    const bool up = d.fracDigits[places] >= u'5';
    d.fracDigits.truncate(places);
    if (!up)
        return;
    QString all = d.intDigits + d.fracDigits;
    qsizetype i = all.size() - 1;
    for (; i >= 0; --i) {
        if (all[i] == u'9') {
            all[i] = u'0';
        } else {
            all[i] = QChar(all[i].unicode() + 1);
            break;
        }
    }
    if (i < 0)
        all.prepend(u'1');
    const qsizetype intCount = all.size() - d.fracDigits.size();
    d.intDigits = all.left(intCount);
    d.fracDigits = all.mid(intCount);
}

QString group(const QString& digits) {
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += u',';
        out += digits[i];
    }
    return out;
}

QString render(const Decimal& value, const NumberPattern& p) {
    QString intPart = value.intDigits;
    if (intPart.size() < p.minInt)
        intPart = QString(p.minInt - intPart.size(), u'0') + intPart;
    if (p.grouping)
        intPart = group(intPart);
    QString frac = value.fracDigits;
    while (frac.size() > p.minDec && frac.endsWith(u'0'))
        frac.chop(1);
    if (frac.size() < p.minDec)
        frac += QString(p.minDec - frac.size(), u'0');
    QString out = p.prefix + intPart;
    if (!frac.isEmpty())
        out += u'.' + frac;
    return out + p.suffix;
}

bool isZero(const Decimal& d) {
    return d.intDigits.isEmpty() &&
           std::all_of(d.fracDigits.begin(), d.fracDigits.end(), [](QChar c) { return c == u'0'; });
}

}  // namespace

QString formatNumber(double value, const QString& displayFormat, int decimals) {
    if (std::isnan(value))
        return QString();
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("∞") : QStringLiteral("-∞");

    // Sections: positive;negative;zero. The negative section carries its own sign (or none).
    const QStringList sections = displayFormat.split(u';');
    NumberPattern pattern;
    if (displayFormat.isEmpty()) {
        pattern.minDec = std::max(decimals, 0);
        pattern.maxDec = decimals >= 0 ? decimals : 15;
    } else {
        pattern = parsePattern(sections[0]);
    }

    Decimal d = toDecimal(value);
    roundTo(d, pattern.maxDec);
    const bool negative = value < 0 && !isZero(d);
    if (isZero(d) && sections.size() > 2 && !sections[2].isEmpty())
        return render(d, parsePattern(sections[2]));
    if (negative && sections.size() > 1 && !sections[1].isEmpty()) {
        const NumberPattern neg = parsePattern(sections[1]);
        Decimal n = toDecimal(value);
        roundTo(n, neg.maxDec);
        return render(n, neg);
    }
    const QString text = render(d, pattern);
    return negative ? u'-' + text : text;
}

}  // namespace Qd::Core::Ui
