#pragma once

#include <QRegularExpression>
#include <QString>
#include <functional>

namespace Qd::Core::Sys {

// Replaces every match of `placeholder` in `text` with what `value` makes of it; the text
// between matches is kept. The one loop behind the system's format strings (statement formats,
// raiserror messages).
QString substitute(const QString& text, const QRegularExpression& placeholder,
                   const std::function<QString(const QRegularExpressionMatch&)>& value);

// A number's text with at least `places` digits after the point, zeros added: "10" at 2 places
// is "10.00", "3.3333" stays. Text in exponent form, "inf" or "nan" is left as it is.
QString withPlaces(QString number, int places);

}  // namespace Qd::Core::Sys
