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

}  // namespace Qd::Core::Sys
