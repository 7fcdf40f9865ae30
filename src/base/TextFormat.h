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

}  // namespace Qd::Core::Sys
