#pragma once

// format(value, pattern): the .NET format patterns reports use, in the zh-CN culture.

#include <QDateTime>
#include <QString>
#include <optional>

namespace Qd::Core::Db::Tsql {

// A number by a standard pattern (N, C, P, F, D with an optional precision: "N2", "C", "P0")
// or a custom one ("0.00", "#,##0", "#,##0.00元", "0.0%"). Rounds half away from zero, on the
// value's 15 significant digits. nullopt when the pattern is not one of these.
std::optional<QString> formatNumber(double value, const QString& pattern);

// A date-time by a custom pattern ("yyyy-MM-dd", "yyyy年M月d日", "HH:mm:ss.fff") or the standard
// "d" (short date) and "D" (long date).
QString formatDate(const QDateTime& value, const QString& pattern);

}  // namespace Qd::Core::Db::Tsql
