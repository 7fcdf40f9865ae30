// Values written into decimal and money columns. The server converts a value to its column's
// type when it stores it: 1.005 goes into a decimal(18,2) as 1.01, and 999.995 into a
// decimal(5,2) fails with 8115 once rounded to 1000.00. The embedded database keeps whatever it
// is given, so wherever a statement writes a column the translator knows to be a decimal or
// money (insert values and select, update set, update ... from, merge, output into), the value
// is converted right there, by the same SQL as cast(value as decimal(p, s)).
#include "db/DataServices.h"
#include "db/RecordSet.h"
#include "db/tsql/TsqlDecimal.h"
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

QString Translator::storedValue(const Expr& value, const std::optional<SqlType>& column, int begin,
                                int end) const {
    if (!column || value.sql == QLatin1String("NULL"))
        return value.sql;
    if (column->isTime())
        return timeText(value, column->base == SqlType::Date, begin, end, true);
    if (column->base != SqlType::Decimal)
        return value.sql;
    if (const std::optional<QString> literal = storedLiteral(begin, end, *column))
        return *literal;
    return decimalConversion(exactSql(value), *column);
}

// A number written out (a literal with its sign), as the column stores it: converted here by
// the same code as when the statement runs, so that the statements a save writes (literals all)
// carry no conversion to compile and run. nullopt for anything else, for a value that does not
// fit (it fails when the statement runs, as on the server), and for more digits than a double
// reads back exactly.
std::optional<QString> Translator::storedLiteral(int begin, int end, const SqlType& column) const {
    int k = begin;
    const bool negative = k >= 0 && isOp(k, QLatin1StringView("-"));
    if (negative || (k >= 0 && isOp(k, QLatin1StringView("+"))))
        ++k;
    if (k < 0 || k + 1 != end || tok(k).kind != Token::Number ||
        text(k).contains(QLatin1Char('e'), Qt::CaseInsensitive))
        return std::nullopt;
    std::optional<Decimal> d = parseDecimal(text(k));
    if (!d)
        return std::nullopt;
    if (negative)
        d->units = -d->units;
    const Decimal stored = rescaled(*d, column.scale);
    constexpr Wide kExactDigits = Wide(1000000000000000);  // 10^15
    if (!decimalFits(stored, column.precision, column.scale) || stored.units >= kExactDigits ||
        stored.units <= -kExactDigits)
        return std::nullopt;
    return decimalText(stored);
}

// A value written into a date or date-time column, or compared with one, in the one text form
// such a column holds: "yyyy-MM-dd HH:mm:ss" with ".zzz" when the milliseconds are not 0, a date
// "yyyy-MM-dd". Text order is then time order and equal times are equal texts, as the server
// compares them: '2025-01-02' and '2025/1/2' meet a stored 2025-01-02 00:00:00. A literal is
// converted here; anything else by a conversion function when the statement runs (a value that
// is a date-time already is left alone where it is only compared). Compared with a date, a
// date-time at midnight is its date and any other keeps its time of day, so that text order
// agrees with the server's (2025-01-02 08:00 is after the date 2025-01-02).
QString Translator::timeText(const Expr& value, bool date, int begin, int end, bool stored) const {
    if (!stored && value.type == VType::Time && (value.date || !date))
        return value.sql;
    if (begin >= 0 && begin + 1 == end && tok(begin).kind == Token::String) {
        const QDateTime dt = dateTimeOfText(unquote(m_text, tok(begin)));
        if (dt.isValid())
            return quotedSql(date && (stored || dt.time() == QTime(0, 0))
                                 ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                 : formatDateTime(dt));
    }
    if (date && !stored)
        return QStringLiteral("qd_date_key(%1)").arg(value.sql);
    return QStringLiteral("%1(%2)").arg(
        date ? QStringLiteral("qd_cast_date") : QStringLiteral("qd_cast_datetime"), value.sql);
}

QString Translator::tableKey(int at, int after) const {
    if (tok(at).kind == Token::Variable)
        return m_tableVars.value(text(at).mid(1).toString().toLower()).toLower();
    return nameText(after - 1).toLower();
}

QList<std::optional<SqlType>> Translator::storedTypes(const QString& table,
                                                      const QStringList& columns) const {
    QList<std::optional<SqlType>> types;
    bool anyConverted = false;
    for (const QString& name : columns.isEmpty() ? tableColumnNames(table) : columns) {
        types << columnTypeIn(table, name.toLower());
        anyConverted =
            anyConverted ||
            (types.last() && (types.last()->base == SqlType::Decimal || types.last()->isTime()));
    }
    return anyConverted ? types : QList<std::optional<SqlType>>();
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
            if (tok(k).kind == Token::Word || tok(k).kind == Token::Quoted)  // not the commas
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
        const int at = i = k + 2;
        const Expr value = parseExpr(i, end, scope);
        items << sqlName(column) + QStringLiteral(" = ") +
                     storedValue(value, columnTypeIn(table, column.toLower()), at, i);
        if (!isOp(i, QLatin1StringView(",")))
            break;
        ++i;
    }
    return items.join(QStringLiteral(", "));
}

}  // namespace Qd::Core::Db::Tsql::Internal
