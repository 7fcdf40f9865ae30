#include "base/TextFormat.h"

namespace Qd::Core::Sys {

QString substitute(const QString& text, const QRegularExpression& placeholder,
                   const std::function<QString(const QRegularExpressionMatch&)>& value) {
    QString out;
    qsizetype last = 0;
    auto it = placeholder.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        out += value(m);
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

QString withPlaces(QString number, int places) {
    if (places <= 0 || number.contains(QLatin1Char('e')) || number.contains(QLatin1Char('n')))
        return number;
    qsizetype point = number.indexOf(QLatin1Char('.'));
    if (point < 0) {
        point = number.size();
        number += QLatin1Char('.');
    }
    const qsizetype have = number.size() - point - 1;
    return have >= places ? number : number + QString(places - have, QLatin1Char('0'));
}

}  // namespace Qd::Core::Sys
