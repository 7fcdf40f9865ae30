// Function calls the plain name mapping does not cover: window functions and aggregates with
// over (...), string_agg with within group (order by ...), try_cast / try_convert and choose.
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

namespace {

// Functions that only exist with an over clause.
bool isWindowOnly(const QString& name) {
    static const QSet<QString> names = {"row_number",   "rank",     "dense_rank",  "ntile",
                                        "lag",          "lead",     "first_value", "last_value",
                                        "percent_rank", "cume_dist"};
    return names.contains(name);
}

}  // namespace

// "order by e [asc|desc], ..." inside a window or within group; tok(i) is "order". Each key's
// SQL goes to `keys`, its direction to `descending`.
void Translator::orderKeys(int& i, int end, const TableScope& s, QStringList& keys,
                           QList<bool>& descending) {
    if (!isWord(i, QLatin1StringView("order")) || !isWord(i + 1, QLatin1StringView("by")))
        fail(i, QStringLiteral("这里应是 order by"));
    i += 2;
    for (;;) {
        const int at = i;
        keys << parseExpr(i, end, s).sql;
        if (i == at + 1 && tok(at).kind == Token::Number)
            fail(at, QStringLiteral("这里的 order by 请写列名或表达式，不要写列序号"));
        const bool desc = isWord(i, QLatin1StringView("desc"));
        if (desc || isWord(i, QLatin1StringView("asc")))
            ++i;
        descending << desc;
        if (!isOp(i, QLatin1StringView(",")))
            break;
        ++i;
    }
}

// "order by ..." translated; tok(i) is "order".
QString Translator::orderBy(int& i, int end, const TableScope& s) {
    QStringList keys;
    QList<bool> desc;
    orderKeys(i, end, s, keys, desc);
    for (int k = 0; k < keys.size(); ++k)
        if (desc[k])
            keys[k] += QStringLiteral(" desc");
    return QStringLiteral("order by ") + keys.join(QStringLiteral(", "));
}

// "over ([partition by ...] [order by ...] [rows|range frame])"; tok(i) is "over".
QString Translator::overClause(int& i, int end, const TableScope& s) {
    ++i;
    if (!isOp(i, QLatin1StringView("(")))
        fail(i, QStringLiteral("over 后应是 ("));
    const int close = matchingParen(i, end);
    ++i;
    QStringList parts;
    if (isWord(i, QLatin1StringView("partition"))) {
        if (!isWord(i + 1, QLatin1StringView("by")))
            fail(i + 1, QStringLiteral("partition 后应是 by"));
        i += 2;
        QStringList items;
        for (;;) {
            items << parseExpr(i, close, s).sql;
            if (!isOp(i, QLatin1StringView(",")))
                break;
            ++i;
        }
        parts << QStringLiteral("partition by ") + items.join(QStringLiteral(", "));
    }
    if (isWord(i, QLatin1StringView("order")))
        parts << orderBy(i, close, s);
    if (isWord(i, QLatin1StringView("rows")) || isWord(i, QLatin1StringView("range"))) {
        // The frame: between / and / unbounded / preceding / following / current row / n.
        static const QSet<QString> frameWords = {"rows",      "range",     "between",
                                                 "and",       "unbounded", "preceding",
                                                 "following", "current",   "row"};
        QStringList frame;
        for (; i < close; ++i) {
            if (tok(i).kind == Token::Number)
                frame << text(i).toString();
            else if (tok(i).kind == Token::Word && frameWords.contains(lower(i)))
                frame << lower(i);
            else
                fail(i, QStringLiteral("窗口范围有误"));
        }
        parts << frame.join(QLatin1Char(' '));
    }
    if (i != close)
        fail(i, QStringLiteral("over 子句有误"));
    i = close + 1;
    return QStringLiteral("over (") + parts.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// A call of `name`; tok(i) is the '(' after it. Adds the over clause of a window, and turns
// string_agg ... within group (order by ...) into our ordered aggregate.
Expr Translator::parseFunction(const QString& name, int& i, int end, const TableScope& s) {
    const int at = i - 1;
    if (name == QLatin1String("try_cast") || name == QLatin1String("try_convert") ||
        name == QLatin1String("choose")) {
        const int close = matchingParen(i, end);
        ++i;
        const Expr e = name == QLatin1String("choose")
                           ? choose(i, close, s)
                           : conversion(name == QLatin1String("try_convert"), true, i, close, s);
        if (i != close)
            fail(i, QStringLiteral("函数 %1 的参数有误").arg(name));
        i = close + 1;
        return e;
    }
    Expr call = parseCall(name, i, end, s);
    if (name == QLatin1String("string_agg") && isWord(i, QLatin1StringView("within"))) {
        if (!isWord(i + 1, QLatin1StringView("group")) || !isOp(i + 2, QLatin1StringView("(")))
            fail(i, QStringLiteral("within 后应是 group (order by ...)"));
        i += 2;
        const int close = matchingParen(i, end);
        ++i;
        QStringList keys;
        QList<bool> desc;
        orderKeys(i, close, s, keys, desc);
        if (i != close)
            fail(i, QStringLiteral("within group 子句有误"));
        i = close + 1;
        QString directions;
        for (bool d : desc)
            directions += d ? QLatin1Char('d') : QLatin1Char('a');
        // group_concat(v, sep) -> qd_string_agg(v, sep, 'directions', key, ...)
        call.sql = QStringLiteral("qd_string_agg(") +
                   call.sql.mid(call.sql.indexOf(QLatin1Char('(')) + 1).chopped(1) +
                   QStringLiteral(", '") + directions + QStringLiteral("', ") +
                   keys.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    if (isWord(i, QLatin1StringView("over"))) {
        if (call.sql.contains(QLatin1String("(distinct ")))
            fail(i, QStringLiteral("over 不能用于 distinct 聚合：请先在派生表中去重"));
        call.sql += QLatin1Char(' ') + overClause(i, end, s);
        return call;
    }
    if (isWindowOnly(name))
        fail(at, QStringLiteral("函数 %1 必须带 over 子句").arg(name));
    return call;
}

// cast(x as type) / convert(type, x[, style]), and with orNull try_cast / try_convert: the cast
// with our conversion functions in their qd_try_ form, which give NULL where the cast would
// fail. The operand keeps its own functions, so an error inside it is still an error.
Expr Translator::conversion(bool isConvert, bool orNull, int& i, int close, const TableScope& s) {
    const int at = i - 1;
    SqlType type;
    Expr value;
    int style = -1;
    if (isConvert) {
        type = parseType(i, close);
        if (!isOp(i, QLatin1StringView(",")))
            fail(i, QStringLiteral("convert 缺少 ,"));
        ++i;
        value = parseExpr(i, close, s);
        if (isOp(i, QLatin1StringView(","))) {
            ++i;
            if (tok(i).kind != Token::Number)
                fail(i, QStringLiteral("convert 的样式应是数字"));
            style = text(i++).toInt();
        }
    } else {
        value = parseExpr(i, close, s);
        if (!isWord(i, QLatin1StringView("as")))
            fail(i, QStringLiteral("cast 缺少 as"));
        ++i;
        type = parseType(i, close);
    }
    // Written without a length, the character type of a cast or convert is 30 long (a declared
    // one is 1).
    if (type.base == SqlType::Char && type.length == 1 && !type.name.contains(QLatin1Char('('))) {
        type.length = 30;
        type.name += QStringLiteral("(30)");
    }
    if (!orNull) {
        Expr r = castTo(value, type, style, at);
        r.declared = type.name;
        return r;
    }
    // Placeholders stand for the operand (and its exact decimal text) while the call is renamed.
    const QString operand(QChar(1)), exactOperand(QChar(2));
    Expr placeholder{operand, value.type};
    placeholder.exact = exactOperand;
    Expr r = castTo(placeholder, type, style, at);
    for (QString* sql : {&r.sql, &r.exact}) {
        sql->replace(QStringLiteral("qd_"), QStringLiteral("qd_try_"));
        sql->replace(operand, value.sql);
        sql->replace(exactOperand, exactSql(value));
    }
    r.declared = type.name;
    return r;
}

// choose(index, v1, v2, ...): the index'th value, NULL outside 1..n.
Expr Translator::choose(int& i, int close, const TableScope& s) {
    const QString index = parseExpr(i, close, s).sql;
    QString sql = QStringLiteral("case cast(%1 as integer)").arg(index);
    VType type = VType::Unknown;
    int n = 0;
    while (isOp(i, QLatin1StringView(","))) {
        ++i;
        const Expr v = parseExpr(i, close, s);
        if (type == VType::Unknown)
            type = v.type;
        sql += QStringLiteral(" when %1 then %2").arg(++n).arg(v.sql);
    }
    if (n == 0)
        fail(i, QStringLiteral("函数 choose 至少要有两个参数"));
    return {sql + QStringLiteral(" end"), type};
}

}  // namespace Qd::Core::Db::Tsql::Internal
