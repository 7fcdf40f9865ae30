// Values written into decimal and money columns. The server converts a value to its column's
// type when it stores it: 1.005 goes into a decimal(18,2) as 1.01, and 999.995 into a
// decimal(5,2) fails with 8115 once rounded to 1000.00. The embedded database keeps whatever it
// is given, so wherever a statement writes a column the translator knows to be a decimal or
// money (insert values and select, update set, update ... from, merge, output into), the value
// is converted right there, by the same SQL as cast(value as decimal(p, s)).
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

QString storedValue(const Expr& value, const std::optional<SqlType>& column) {
    if (!column || column->base != SqlType::Decimal || value.sql == QLatin1String("NULL"))
        return value.sql;
    return decimalConversion(exactSql(value), *column);
}

QString Translator::tableKey(int at, int after) const {
    if (tok(at).kind == Token::Variable)
        return m_tableVars.value(text(at).mid(1).toString().toLower()).toLower();
    return nameText(after - 1).toLower();
}

QList<std::optional<SqlType>> Translator::storedTypes(const QString& table,
                                                      const QStringList& columns) const {
    QList<std::optional<SqlType>> types;
    bool anyDecimal = false;
    for (const QString& name : columns.isEmpty() ? tableColumnNames(table) : columns) {
        types << columnTypeIn(table, name.toLower());
        anyDecimal = anyDecimal || (types.last() && types.last()->base == SqlType::Decimal);
    }
    return anyDecimal ? types : QList<std::optional<SqlType>>();
}

QList<std::optional<SqlType>> Translator::insertTypes(int begin, int end) {
    int i = begin;
    for (int depth = 0; i < end && !(depth == 0 && isWord(i, QLatin1StringView("insert"))); ++i) {
        if (isOp(i, QLatin1StringView("(")))
            ++depth;
        else if (isOp(i, QLatin1StringView(")")))
            --depth;
    }
    if (++i < end && isWord(i, QLatin1StringView("into")))
        ++i;
    if (i >= end || !(isName(i) || tok(i).kind == Token::Variable))
        return {};
    const int at = i;
    tableRef(i, end);
    const QString table = tableKey(at, i);
    QStringList columns;
    if (isOp(i, QLatin1StringView("(")) && !isWord(i + 1, QLatin1StringView("select"))) {
        const int close = matchingParen(i, end);
        for (int k = i + 1; k < close; ++k)
            if (isName(k))
                columns << nameText(k);
    }
    return storedTypes(table, columns);
}

QString Translator::setList(int& i, int end, const QString& table, const TableScope& scope) {
    QStringList items;
    for (;;) {
        int k = i;
        if (isName(k) && isOp(k + 1, QLatin1StringView(".")))
            k += 2;  // t.col: the target's own column
        if (!isName(k) || !isOp(k + 1, QLatin1StringView("="))) {
            // Not "column = value" (@v = column = value): left to the statement, from its comma.
            if (!items.isEmpty())
                --i;
            break;
        }
        const QString column = nameText(k);
        i = k + 2;
        const Expr value = parseExpr(i, end, scope);
        items << sqlName(column) + QStringLiteral(" = ") +
                     storedValue(value, columnTypeIn(table, column.toLower()));
        if (!isOp(i, QLatin1StringView(",")))
            break;
        ++i;
    }
    return items.join(QStringLiteral(", "));
}

}  // namespace Qd::Core::Db::Tsql::Internal
