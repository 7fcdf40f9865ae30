#include "report/ListSearch.h"

namespace Qd::Core::Report {

QString likeLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        // "[" is a pattern character on the server; the embedded database takes "\[" as "[".
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_') ||
            c == QLatin1Char('['))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

ListSearch listSearch(const QStringList& fields, const QString& qualifier, const QString& text) {
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return {};
    const auto has = [&](const char* name) {
        return fields.contains(QLatin1String(name), Qt::CaseInsensitive);
    };
    QStringList terms;
    Db::Params params;
    const QString escape = QStringLiteral(" escape '\\'");
    if (has("code") || has("helpcode")) {
        params.push_back({QStringLiteral("qs_prefix"), likeLiteral(typed) + QLatin1Char('%')});
        for (const char* field : {"code", "helpcode"})
            if (has(field))
                terms << qualifier + QLatin1String(field) + QStringLiteral(" like :qs_prefix") +
                             escape;
    }
    if (has("name")) {
        params.push_back({QStringLiteral("qs_contains"),
                          QLatin1Char('%') + likeLiteral(typed) + QLatin1Char('%')});
        terms << qualifier + QStringLiteral("name like :qs_contains") + escape;
    }
    if (terms.isEmpty())
        return {QStringLiteral(" and 1=0"), {}};
    return {QStringLiteral(" and (") + terms.join(QStringLiteral(" or ")) + QLatin1Char(')'),
            params};
}

}  // namespace Qd::Core::Report
