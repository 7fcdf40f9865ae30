// format(): numbers by standard and custom patterns, date-times by custom patterns, as the
// server's format() gives them in the zh-CN culture (currency "¥", negative currency "¥-n",
// percent "n%").
#include "db/tsql/TsqlFormat.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace Qd::Core::Db::Tsql {

namespace {

// |value| rounded half away from zero to `decimals` places, as integer digits and fraction
// digits. The value is first taken to 15 significant digits, so 2.675 rounds to 2.68 as it
// reads, not as its binary form (2.67499...).
struct Digits {
    QString whole;
    QString fraction;
    bool negative = false;
};

Digits roundedDigits(double value, int decimals) {
    Digits d;
    d.negative = value < 0;
    // "d.dddddddddddddde+XX": 15 significant digits and the exponent.
    const QString e = QString::number(std::fabs(value), 'e', 14);
    const qsizetype ePos = e.indexOf(QLatin1Char('e'));
    QString digits = e.left(ePos).remove(QLatin1Char('.'));
    int point = e.mid(ePos + 1).toInt() + 1;  // digits before the decimal point
    if (point < 0) {
        digits.prepend(QString(-point, QLatin1Char('0')));
        point = 0;
    }
    const int keep = point + decimals;  // digits kept
    if (keep < 0)
        return {QStringLiteral("0"), QString(decimals, QLatin1Char('0')), false};
    if (digits.size() < keep + 1)
        digits += QString(keep + 1 - digits.size(), QLatin1Char('0'));
    const bool up = digits[keep] >= QLatin1Char('5');
    digits.truncate(keep);
    if (up) {
        int k = keep - 1;
        for (; k >= 0 && digits[k] == QLatin1Char('9'); --k)
            digits[k] = QLatin1Char('0');
        if (k >= 0) {
            digits[k] = QChar(digits[k].unicode() + 1);
        } else {
            digits.prepend(QLatin1Char('1'));
            ++point;
        }
    }
    d.whole = digits.left(point);
    d.whole.remove(QRegularExpression(QStringLiteral("^0+")));
    if (d.whole.isEmpty())
        d.whole = QStringLiteral("0");
    d.fraction = digits.mid(point);
    if (d.whole == QLatin1String("0") && !d.fraction.contains(QRegularExpression("[1-9]")))
        d.negative = false;  // -0.001 by N2 is "0.00"
    return d;
}

QString grouped(const QString& whole) {
    QString out;
    for (qsizetype k = 0; k < whole.size(); ++k) {
        if (k > 0 && (whole.size() - k) % 3 == 0)
            out += QLatin1Char(',');
        out += whole[k];
    }
    return out;
}

std::optional<QString> standardPattern(double value, QChar kind, int precision) {
    const int defaultPrecision = kind == QLatin1Char('D') ? 0 : 2;
    const int places = precision < 0 ? defaultPrecision : precision;
    switch (kind.unicode()) {
        case 'N':
        case 'F': {
            const Digits d = roundedDigits(value, places);
            const QString whole = kind == QLatin1Char('N') ? grouped(d.whole) : d.whole;
            return (d.negative ? QStringLiteral("-") : QString()) + whole +
                   (places > 0 ? QLatin1Char('.') + d.fraction : QString());
        }
        case 'C': {
            const Digits d = roundedDigits(value, places);
            return (d.negative ? QStringLiteral("¥-") : QStringLiteral("¥")) + grouped(d.whole) +
                   (places > 0 ? QLatin1Char('.') + d.fraction : QString());
        }
        case 'P': {
            const Digits d = roundedDigits(value * 100, places);
            return (d.negative ? QStringLiteral("-") : QString()) + grouped(d.whole) +
                   (places > 0 ? QLatin1Char('.') + d.fraction : QString()) + QLatin1Char('%');
        }
        case 'D': {
            if (value != std::trunc(value))
                return std::nullopt;  // D is for integers only
            const Digits d = roundedDigits(value, 0);
            return (d.negative ? QStringLiteral("-") : QString()) +
                   d.whole.rightJustified(places, QLatin1Char('0'));
        }
        default:
            return std::nullopt;
    }
}

// A custom pattern: literal text around one number made of 0 (a digit always shown), # (a digit
// shown when significant), ',' (grouping, in the whole part) and '.'; a '%' multiplies by 100.
std::optional<QString> customPattern(double value, const QString& pattern) {
    static const QRegularExpression number(QStringLiteral("[#0,]*(\\.[#0]*)?"));
    qsizetype start = -1;
    QRegularExpressionMatch m;
    for (qsizetype k = 0; k < pattern.size(); ++k) {
        if (pattern[k] == QLatin1Char('0') || pattern[k] == QLatin1Char('#') ||
            (pattern[k] == QLatin1Char('.') && k + 1 < pattern.size() &&
             (pattern[k + 1] == QLatin1Char('0') || pattern[k + 1] == QLatin1Char('#')))) {
            m = number.match(pattern, k, QRegularExpression::NormalMatch,
                             QRegularExpression::AnchorAtOffsetMatchOption);
            start = k;
            break;
        }
    }
    if (start < 0)
        return std::nullopt;
    const QString num = m.captured(0);
    const QString prefix = pattern.left(start);
    const QString suffix = pattern.mid(start + num.size());
    if (prefix.contains(QLatin1Char('%')) || suffix.contains(QLatin1Char('%')))
        value *= 100;
    const QString wholePart = num.section(QLatin1Char('.'), 0, 0);
    const QString fracPart =
        num.contains(QLatin1Char('.')) ? num.section(QLatin1Char('.'), 1) : QString();
    const int minFraction = int(fracPart.count(QLatin1Char('0')));
    const int maxFraction = int(fracPart.size());
    const int minWhole = int(wholePart.count(QLatin1Char('0')));
    Digits d = roundedDigits(value, maxFraction);
    while (d.fraction.size() > minFraction && d.fraction.endsWith(QLatin1Char('0')))
        d.fraction.chop(1);
    QString whole = d.whole == QLatin1String("0") && minWhole == 0 ? QString() : d.whole;
    whole = whole.rightJustified(minWhole, QLatin1Char('0'));
    if (wholePart.contains(QLatin1Char(',')))
        whole = grouped(whole);
    if (whole.isEmpty() && d.fraction.isEmpty())
        whole = QStringLiteral("0");  // "#" of zero still shows a digit
    return (d.negative ? QStringLiteral("-") : QString()) + prefix + whole +
           (d.fraction.isEmpty() ? QString() : QLatin1Char('.') + d.fraction) + suffix;
}

}  // namespace

std::optional<QString> formatNumber(double value, const QString& pattern) {
    static const QRegularExpression standard(QStringLiteral("^([NnCcPpFfDd])(\\d{0,2})$"));
    const QRegularExpressionMatch m = standard.match(pattern);
    if (m.hasMatch())
        return standardPattern(value, m.captured(1).at(0).toUpper(),
                               m.captured(2).isEmpty() ? -1 : m.captured(2).toInt());
    return customPattern(value, pattern);
}

QString formatDate(const QDateTime& value, const QString& pattern) {
    const QLocale zh(QLocale::Chinese, QLocale::China);
    if (pattern == QLatin1String("d"))
        return value.toString(QStringLiteral("yyyy/M/d"));
    if (pattern == QLatin1String("D"))
        return value.toString(QStringLiteral("yyyy年M月d日"));
    // The patterns share yyyy, MM, dd, HH, mm, ss with ours; fff (milliseconds) and tt (the
    // half of the day) are spelled differently.
    QString p = pattern;
    p.replace(QStringLiteral("fff"), QStringLiteral("zzz"));
    p.replace(QStringLiteral("tt"), QStringLiteral("AP"));
    return zh.toString(value, p);
}

}  // namespace Qd::Core::Db::Tsql
