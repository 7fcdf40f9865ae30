// The columns of a query used as a table (a derived table, a common table expression), with
// the types the translator computed for them: a column read from it keeps its type, so a
// decimal summed in a derived table shows its places in the outer query too (3.50, not 3.5),
// and a cast to bit stays a bit.
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

const QList<Translator::SourceColumn>& Translator::queryColumns(int open,
                                                                const QStringList& names) {
    const auto known = m_queryColumns.constFind(open);
    if (known != m_queryColumns.cend())
        return *known;
    m_queryColumns.insert(open, {});  // empty while being read
    QList<SourceColumn> columns;
    try {
        columns = selectListColumns(open, matchingParen(open, size()), names.isEmpty());
        for (qsizetype k = 0; k < columns.size() && k < names.size(); ++k)
            columns[k].name = names[k];
    } catch (const TsqlError&) {
        // an unnamed or unknown column: the query itself reports it when it is translated
        columns.clear();
    }
    return *m_queryColumns.insert(open, columns);
}

std::optional<SqlType> Translator::typeOfColumn(const QList<SourceColumn>& columns,
                                                const QString& column) {
    for (const SourceColumn& c : columns)
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return c.type.base == SqlType::Unknown ? std::nullopt : std::optional<SqlType>(c.type);
    return std::nullopt;
}

std::optional<SqlType> Translator::derivedColumnType(const QString& alias, const QString& column,
                                                     const TableScope& scope) {
    const auto open = scope.derived.constFind(alias);
    return open == scope.derived.cend() ? std::nullopt : typeOfColumn(queryColumns(*open), column);
}

std::optional<QStringList> Translator::starTypes(int begin, int end, const QString& qualifier) {
    static const QSet<QString> clauseEnds = {"where",  "group",     "having", "order", "union",
                                             "except", "intersect", "option", "for"};
    int k = outsideParens(begin, end, [&](int t) { return isWord(t, QLatin1StringView("from")); });
    QStringList types;
    bool found = false;
    while (++k < end) {  // k is on "from", "," or "join" before a source
        QList<SourceColumn> columns;
        QString name;
        if (isOp(k, QLatin1StringView("("))) {
            const int open = k;
            k = matchingParen(open, end) + 1;
            columns = queryColumns(open);
        } else if (isName(k)) {
            for (; isName(k); k += 2) {
                name = nameText(k);
                if (!isOp(k + 1, QLatin1StringView(".")))
                    break;
            }
            ++k;
            const auto cte = m_cteColumns.constFind(name.toLower());
            if (cte != m_cteColumns.cend())
                columns = *cte;
            else
                for (const QString& c : tableColumnNames(name.toLower()))
                    columns.push_back({c, SqlType{}});  // its declared type reaches the result
        } else {
            return std::nullopt;  // a table variable, a function
        }
        const int alias = aliasAt(k, end);
        if (alias >= 0)
            name = nameText(alias);
        if (qualifier.isEmpty() || name.compare(qualifier, Qt::CaseInsensitive) == 0) {
            if (columns.isEmpty())
                return std::nullopt;
            for (const SourceColumn& c : columns)
                types << (!c.type.guessed || c.type.base == SqlType::Decimal ? c.type.name
                                                                             : QString());
            found = true;
        }
        k = outsideParens(k, end, [&](int t) {
            return isOp(t, QLatin1StringView(",")) || isWord(t, QLatin1StringView("join")) ||
                   isWord(t, QLatin1StringView("apply")) || isWord(t, QLatin1StringView("pivot")) ||
                   isWord(t, QLatin1StringView("unpivot")) || clauseEnds.contains(lower(t));
        });
        if (k >= end || clauseEnds.contains(lower(k)))
            break;
        if (!isOp(k, QLatin1StringView(",")) && !isWord(k, QLatin1StringView("join")))
            return std::nullopt;  // apply, pivot: columns of their own
    }
    return found ? std::optional<QStringList>(types) : std::nullopt;
}

}  // namespace Qd::Core::Db::Tsql::Internal
