// Expressions: precedence climbing from OR down to primaries, each level returning the embedded
// database's SQL with the type it is known to have. That type decides what '+' and '-' mean:
// text concatenation, date arithmetic or numbers.
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <limits>

#include "db/RecordSet.h"
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

const char* const kNowSql = "strftime('%Y-%m-%d %H:%M:%f','now','localtime')";

namespace {

const QSet<QString>& reservedWords() {
    static const QSet<QString> words = {
        "select",     "from",      "where",    "group",    "by",          "order",
        "having",     "union",     "all",      "except",   "intersect",   "into",
        "values",     "set",       "on",       "as",       "join",        "inner",
        "outer",      "cross",     "full",     "left",     "right",       "apply",
        "distinct",   "top",       "percent",  "with",     "ties",        "asc",
        "desc",       "insert",    "update",   "delete",   "create",      "table",
        "index",      "unique",    "primary",  "key",      "foreign",     "references",
        "constraint", "check",     "default",  "identity", "clustered",   "nonclustered",
        "drop",       "alter",     "add",      "column",   "view",        "when",
        "then",       "else",      "end",      "and",      "or",          "is",
        "in",         "like",      "between",  "escape",   "over",        "partition",
        "rows",       "range",     "offset",   "fetch",    "collate",     "if",
        "begin",      "commit",    "rollback", "tran",     "transaction", "declare",
        "go",         "raiserror", "print",    "return",   "while",       "break",
        "continue",   "truncate",  "for",      "option",   "output",      "pivot",
        "unpivot",    "save",      "throw",    "exec",     "execute",     "use",
        "merge",      "not",       "exists",   "case",     "null",        "cast",
        "convert"};
    return words;
}

}  // namespace

bool startsExpression(const QString& w) {
    return w == QLatin1String("not") || w == QLatin1String("exists") ||
           w == QLatin1String("case") || w == QLatin1String("null") || w == QLatin1String("cast") ||
           w == QLatin1String("convert");
}

namespace {

QString datePartName(const QString& w) {
    static const QHash<QString, QString> parts = {{"year", "year"},
                                                  {"yy", "year"},
                                                  {"yyyy", "year"},
                                                  {"quarter", "quarter"},
                                                  {"qq", "quarter"},
                                                  {"q", "quarter"},
                                                  {"month", "month"},
                                                  {"mm", "month"},
                                                  {"m", "month"},
                                                  {"dayofyear", "dayofyear"},
                                                  {"dy", "dayofyear"},
                                                  {"y", "dayofyear"},
                                                  {"day", "day"},
                                                  {"dd", "day"},
                                                  {"d", "day"},
                                                  {"week", "week"},
                                                  {"wk", "week"},
                                                  {"ww", "week"},
                                                  {"weekday", "weekday"},
                                                  {"dw", "weekday"},
                                                  {"hour", "hour"},
                                                  {"hh", "hour"},
                                                  {"minute", "minute"},
                                                  {"mi", "minute"},
                                                  {"n", "minute"},
                                                  {"second", "second"},
                                                  {"ss", "second"},
                                                  {"s", "second"},
                                                  {"millisecond", "millisecond"},
                                                  {"ms", "millisecond"}};
    return parts.value(w);
}

VType mergeTypes(VType a, VType b) {
    return a != VType::Unknown ? a : b;
}

// Text that meets a number in arithmetic takes the number's type (the server's type precedence),
// failing as the server does when it is not a number.
Expr numericOperand(const Expr& e, const Expr& other) {
    if (e.type != VType::Text || other.type != VType::Number)
        return e;
    return {QStringLiteral("qd_to_number(%1, %2)").arg(e.sql, QString::number(other.intBits)),
            VType::Number, other.intBits};
}

bool isNonZeroLiteral(const QString& sql) {
    bool ok = false;
    const double v = sql.toDouble(&ok);
    return ok && v != 0.0;
}

// The decimal type of a number in decimal arithmetic: a decimal or money as declared or
// computed, an int as decimal(10,0) (a bigint (19,0)); nullopt for floats and unknown types.
struct DecimalType {
    int precision = 0;
    int scale = 0;
    bool money = false;
};

std::optional<DecimalType> decimalTypeOf(const Expr& e) {
    if (e.scale >= 0 && !e.intBits)
        return DecimalType{e.precision > 0 ? e.precision : 38, e.scale, e.money};
    if (e.intBits)
        return DecimalType{e.precision > 0 ? e.precision : e.intBits == 64 ? 19 : 10, 0, false};
    return std::nullopt;
}

constexpr int kMaxPrecision = 38;
constexpr DecimalType kMoney{19, 4, true};

// The server's result type of decimal `op`. Beyond 38 digits the scale gives way: for + and -
// to what the digits before the point leave, for * and / not below 6 places.
DecimalType resultType(const DecimalType& l, QChar op, const DecimalType& r) {
    const int lw = l.precision - l.scale, rw = r.precision - r.scale;  // digits before the point
    DecimalType t;
    switch (op.unicode()) {
        case '*':
            t = {l.precision + r.precision + 1, l.scale + r.scale};
            break;
        case '/':
            t.scale = std::max(6, l.scale + r.precision + 1);
            t.precision = lw + r.scale + t.scale;
            break;
        case '%':
            t.scale = std::max(l.scale, r.scale);
            t.precision = std::min(lw, rw) + t.scale;
            break;
        default:  // + and -
            t.scale = std::max(l.scale, r.scale);
            t.precision = std::max(lw, rw) + t.scale + 1;
            if (t.precision > kMaxPrecision)
                t.scale = std::max(kMaxPrecision - std::max(lw, rw), 0);
            break;
    }
    if (t.precision > kMaxPrecision && (op == QLatin1Char('*') || op == QLatin1Char('/')))
        t.scale = std::min(t.scale, std::max(6, kMaxPrecision - (t.precision - t.scale)));
    t.precision = std::min(t.precision, kMaxPrecision);
    return t;
}

// Decimal or money arithmetic, computed exactly by qd_decimal at the scale of the server's result
// type: money with money or an int stays money (4 places: money / 3 is 3.3333); anything else
// with a decimal is a decimal by resultType. nullopt when an operand is no decimal, money or int
// (a float, a type not known), or both are ints.
std::optional<Expr> decimalOperation(const Expr& l, const QString& op, const Expr& r) {
    const auto lt = decimalTypeOf(l), rt = decimalTypeOf(r);
    if (!lt || !rt || (l.intBits && r.intBits))
        return std::nullopt;
    const DecimalType t = (lt->money || l.intBits) && (rt->money || r.intBits)
                              ? kMoney
                              : resultType(*lt, op.front(), *rt);
    auto call = [&](int asText) {
        return QStringLiteral("qd_decimal('%1', %2, %3, %4, %5)")
            .arg(op, QString::number(t.scale), QString::number(asText), exactSql(l), exactSql(r));
    };
    return Expr{call(0), VType::Number, 0, t.scale, t.money, t.precision, call(1)};
}

// Arithmetic with the server's rules: text meeting a number converts to it, an int with an int
// stays an int and overflows at its width, decimals and money keep the places of their result
// type, and a divisor of zero fails.
Expr arithmetic(const Expr& left, const QString& op, const Expr& right) {
    const Expr l = numericOperand(left, right);
    const Expr r = numericOperand(right, left);
    if (const std::optional<Expr> d = decimalOperation(l, op, r))
        return *d;
    const bool divides = op == QLatin1String("/") || op == QLatin1String("%");
    const QString divisor =
        divides && !isNonZeroLiteral(r.sql) ? QStringLiteral("qd_divisor(%1)").arg(r.sql) : r.sql;
    const int bits = l.intBits && r.intBits ? std::max(l.intBits, r.intBits) : 0;
    // A decimal column holds 10.00 as the integer 10; dividing it by a number of a type not
    // known must not truncate.
    const bool decimalDivision = op == QLatin1String("/") && (l.scale > 0 || r.scale > 0);
    QString sql = joinSql(
        {decimalDivision ? QStringLiteral("cast(%1 as real)").arg(l.sql) : l.sql, op, divisor});
    if (bits && (op == QLatin1String("+") || op == QLatin1String("-") || op == QLatin1String("*")))
        sql = QStringLiteral("qd_int_check(%1, %2)").arg(sql, QString::number(bits));
    return {sql, VType::Number, bits};
}

// sum and avg over decimal or money values, added up exactly in units of their scale: a sum
// keeps the scale, an average of decimals has at least 6 places and one of money stays money.
// Over a window, too (the over clause follows). A distinct aggregate takes one argument only, so
// there the distinct values are added as integer units (qd_units) and made decimals again.
Expr decimalAggregate(const QString& name, const Expr& arg, bool distinct) {
    const QString scale = QString::number(arg.scale);
    const int places =
        name == QLatin1String("sum") || arg.money ? arg.scale : std::max(arg.scale, 6);
    const QString units = QStringLiteral("distinct qd_units(%1, %2)").arg(arg.sql, scale);
    QString sql;
    if (name == QLatin1String("sum"))
        sql = distinct ? QStringLiteral("qd_from_units(sum(%1), %2)").arg(units, scale)
                       : QStringLiteral("qd_sum_dec(%1, %2)").arg(arg.sql, scale);
    else
        sql = distinct ? QStringLiteral("qd_from_units(sum(%1), %2, count(%1), %3)")
                             .arg(units, scale, QString::number(places))
                       : QStringLiteral("qd_avg_dec(%1, %2, %3)")
                             .arg(arg.sql, scale, QString::number(places));
    return {sql, VType::Number, 0, places, arg.money, kMaxPrecision};
}

// `sql` that gives the value of `e` or NULL (isnull, nullif, lag, round, ...): e's type.
Expr sameNumberType(const QString& sql, const Expr& e) {
    return {sql,       e.type == VType::Unknown ? VType::Unknown : e.type,
            e.intBits, e.scale,
            e.money,   e.precision};
}

// `sql` that gives one of `values` (case, coalesce, iif): the type of highest precedence among
// them, NULLs aside. Between decimals that is the most digits before the point and the most
// places (a decimal(5,1) or a decimal(4,3) is a decimal(7,3)); ints or money among decimals
// count as decimal(10,0) and (19,4); money among ints stays money. A float or a value of a type
// not known leaves the scale not known.
Expr choiceType(const QString& sql, const std::vector<Expr>& values) {
    Expr r{sql};
    int whole = 0;
    bool numbers = true, decimal = false;
    for (const Expr& v : values) {
        r.type = mergeTypes(r.type, v.type);
        if (v.sql == QLatin1String("NULL"))
            continue;
        const std::optional<DecimalType> t = decimalTypeOf(v);
        numbers = numbers && t;
        if (!t)
            continue;
        r.intBits = v.intBits && (r.intBits || r.scale < 0) ? std::max(r.intBits, v.intBits) : 0;
        decimal = decimal || (!v.intBits && !t->money);
        r.money = r.money || t->money;
        r.scale = std::max(r.scale, t->scale);
        whole = std::max(whole, t->precision - t->scale);
    }
    if (!numbers || r.intBits)
        return {sql, r.type, numbers ? r.intBits : 0};
    if (r.scale < 0)
        return r;  // only NULLs
    if (decimal)
        r.money = false;
    r.precision = std::min(whole + r.scale, kMaxPrecision);
    return r;
}

// The type of `sql`, one of `values`: see choiceType; values that all declare one type
// (cast(1 as bit) ... cast(0 as bit)) give that type.
Expr choiceOf(const QString& sql, const std::vector<Expr>& values) {
    Expr r = choiceType(sql, values);
    QString declared;
    for (const Expr& v : values) {
        if (v.sql == QLatin1String("NULL"))
            continue;
        if (v.declared.isEmpty() || (!declared.isEmpty() && v.declared != declared))
            return r;
        declared = v.declared;
    }
    r.declared = declared;
    return r;
}

// A number as written: without a point or exponent and within 32 bits an int; with a point, or
// too large for an int, a decimal. Both have just the digits written: 12.50 is decimal(4,2), 0.05
// decimal(2,2), and 3 meets a decimal as decimal(1,0) (so 1 / 3.0 has 6 places, not 12). With an
// exponent a float.
Expr numberLiteral(const QString& n) {
    if (n.contains(QLatin1Char('e')) || n.contains(QLatin1Char('E')))
        return {n, VType::Number};
    const qsizetype point = n.indexOf(QLatin1Char('.'));
    const int places = point < 0 ? 0 : int(n.size() - point - 1);
    QString digits = QString(n).remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits.remove(0, 1);
    const int precision = std::max(int(digits.size()), std::max(places, 1));
    bool isInt = false;
    const qint64 v = n.toLongLong(&isInt);
    if (isInt && v <= std::numeric_limits<qint32>::max())
        return {n, VType::Number, 32, -1, false, precision};
    return {n, VType::Number, 0, places, false, precision};
}

}  // namespace

bool isReserved(const QString& w) {
    return reservedWords().contains(w);
}

int intBitsOf(const SqlType& t) {
    if (t.base != SqlType::Int)
        return 0;
    return t.name.startsWith(QLatin1String("bigint")) ? 64 : 32;
}

Expr typedExpr(const QString& sql, const SqlType& t) {
    const bool money =
        t.name.startsWith(QLatin1String("money")) || t.name.startsWith(QLatin1String("smallmoney"));
    const bool decimal = t.base == SqlType::Decimal;
    Expr e{sql,          vtypeOf(t),
           intBitsOf(t), decimal ? std::max(t.scale, 0) : -1,
           money,        decimal ? t.precision : 0};
    e.date = t.base == SqlType::Date;
    return e;
}

QDateTime dateTimeOfText(QString text) {
    text = text.trimmed();
    // "yyyymmdd", alone or before a time of day
    const bool compact =
        text.size() >= 8 && (text.size() == 8 || text[8] == QLatin1Char(' ')) &&
        std::all_of(text.cbegin(), text.cbegin() + 8, [](QChar c) { return c.isDigit(); });
    if (compact)
        text = text.left(4) + QLatin1Char('-') + text.mid(4, 2) + QLatin1Char('-') + text.mid(6);
    text.replace(QLatin1Char('/'), QLatin1Char('-'));
    return parseDateTime(text);
}

QString resultTypeOf(const Expr& e) {
    if (!e.declared.isEmpty())
        return e.declared;
    if (e.money)
        return QStringLiteral("money");
    if (e.scale > 0 && !e.intBits)  // without places a decimal shows as an integer does
        return QStringLiteral("decimal(38,%1)").arg(e.scale);
    return {};
}

QString exactSql(const Expr& e) {
    return e.exact.isEmpty() ? exactLiteral(e.sql) : e.exact;
}

QString exactLiteral(const QString& sql) {
    static const QRegularExpression literal(QStringLiteral("^(-?) ?(\\d*\\.\\d*)$"));
    const QRegularExpressionMatch m = literal.match(sql);
    if (!m.hasMatch() || m.captured(2) == QLatin1String("."))
        return sql;
    return QLatin1Char('\'') + m.captured(1) + m.captured(2) + QLatin1Char('\'');
}

VType vtypeOf(const SqlType& t) {
    if (t.isText())
        return VType::Text;
    if (t.isNumber())
        return VType::Number;
    if (t.isTime())
        return VType::Time;
    return VType::Unknown;
}

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c == QLatin1Char('@') || c == QLatin1Char(':') || c == QLatin1Char('#');
}

bool isOperatorChar(QChar c) {
    return QStringView(u"-+*/<>=!|&%~^").contains(c);
}

}  // namespace

bool wouldJoin(QChar last, QChar next) {
    if (isWordChar(last) && isWordChar(next))
        return true;  // two words or numbers become one
    if (isOperatorChar(last) && isOperatorChar(next))
        return true;  // "- -" would become a comment, "/ *" too, "< >" another operator
    // Two quoted strings or names side by side read as one with a doubled quote.
    return last == next && (last == QLatin1Char('\'') || last == QLatin1Char('"'));
}

void appendSql(QString& out, const QString& piece) {
    if (piece.isEmpty())
        return;
    if (out.isEmpty()) {
        out = piece;
        return;
    }
    const QChar last = out.back(), next = piece.front();
    const bool tight = last == QLatin1Char('(') || last == QLatin1Char(' ') ||
                       last == QLatin1Char('.') || next == QLatin1Char(')') ||
                       next == QLatin1Char('.') || piece == QLatin1String(",");
    if (!tight || wouldJoin(last, next))
        out += QLatin1Char(' ');
    out += piece;
}

QString prefixSql(const QString& op, const QString& operand) {
    if (!operand.isEmpty() && wouldJoin(op.back(), operand.front()))
        return op + QLatin1Char(' ') + operand;
    return op + operand;
}

void appendOperation(QString& left, const QString& op, const QString& right) {
    appendSql(left, op);
    appendSql(left, right);
}

QString joinSql(std::initializer_list<QString> pieces) {
    QString out;
    for (const QString& p : pieces)
        appendSql(out, p);
    return out;
}

QString sqlName(const QString& name) {
    bool plain = !name.isEmpty() && !name.front().isDigit();
    for (const QChar c : name)
        plain = plain && (c.isLetterOrNumber() || c == QLatin1Char('_'));
    if (plain && !isReserved(name.toLower()))
        return name;
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

Expr Translator::parseStandalone(int& i, int end) {
    return parseExpr(i, end, TableScope());
}

bool Translator::opensExpression(int open, int begin, int end) const {
    const int before = open - 1;
    if (before < begin)
        return false;
    switch (tok(before).kind) {
        case Token::Op:
            if (isOp(before, QLatin1StringView(")")) || isOp(before, QLatin1StringView(".")))
                return false;
            break;
        case Token::Word: {
            // After a name: a column list ("insert into t (a)"); after these words: a derived
            // table, a values row, a window, a common table expression or a query of a union.
            static const QSet<QString> notBefore = {
                "from",  "join",   "into",      "over",  "values", "as",    "union", "all",
                "apply", "except", "intersect", "table", "view",   "index", "in",    "exists"};
            const QString w = lower(before);
            if (!isReserved(w) || notBefore.contains(w))
                return false;
            break;
        }
        case Token::Number:
            if (!isWord(before - 1, QLatin1StringView("top")))
                return false;
            break;  // the first item after "top 5"
        default:
            return false;
    }
    const int close = matchingParen(open, end);
    const QString first = lower(open + 1);
    if (first == QLatin1String("select") || first == QLatin1String("with"))
        return true;  // a scalar subquery
    if (tok(open + 1).kind == Token::Word && isReserved(first) && !startsExpression(first))
        return false;
    int depth = 0;
    for (int k = open + 1; k < close; ++k) {  // "(a, b)" is a list, not an expression
        if (isOp(k, QLatin1StringView("(")))
            ++depth;
        else if (isOp(k, QLatin1StringView(")")))
            --depth;
        else if (depth == 0 && isOp(k, QLatin1StringView(",")))
            return false;
    }
    return true;
}

int Translator::redundantParens(int open, int close) const {
    int leading = 0;
    while (open + leading < close && isOp(open + leading, QLatin1StringView("(")))
        ++leading;
    if (isWord(open + leading, QLatin1StringView("select")) ||
        isWord(open + leading, QLatin1StringView("with")))
        --leading;  // the innermost '(' belongs to a subquery
    // The '(' at depth d wraps the whole when the depth first falls below d at its mirror
    // position close - d + 1; one pass finds where each depth is first left.
    std::vector<int> firstBelow(std::size_t(leading) + 1, -1);
    int depth = leading, lowest = leading;
    for (int k = open + leading; k <= close; ++k) {
        if (isOp(k, QLatin1StringView("(")))
            ++depth;
        else if (isOp(k, QLatin1StringView(")")) && --depth < lowest && depth >= 0)
            firstBelow[std::size_t(lowest = depth)] = k;
    }
    int wraps = 1;
    while (wraps < leading && firstBelow[std::size_t(wraps)] == close - wraps)
        ++wraps;
    return wraps;
}

Expr Translator::parseExpr(int& i, int end, const TableScope& s) {
    if (i >= end)
        fail(i, QStringLiteral("这里应是一个表达式"));
    // Each level costs stack; the embedded database itself parses far fewer levels.
    if (m_exprDepth >= kMaxExprDepth)
        fail(i, QStringLiteral("表达式嵌套太深（超过 %1 层）").arg(kMaxExprDepth));
    ++m_exprDepth;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{m_exprDepth};
    return parseOr(i, end, s);
}

Expr Translator::parseOr(int& i, int end, const TableScope& s) {
    Expr e = parseAnd(i, end, s);
    while (i < end && isWord(i, QLatin1StringView("or"))) {
        ++i;
        appendOperation(e.sql, QStringLiteral("or"), parseAnd(i, end, s).sql);
        e.type = VType::Number;
        e.declared.clear();
    }
    return e;
}

Expr Translator::parseAnd(int& i, int end, const TableScope& s) {
    Expr e = parseNot(i, end, s);
    while (i < end && isWord(i, QLatin1StringView("and"))) {
        ++i;
        appendOperation(e.sql, QStringLiteral("and"), parseNot(i, end, s).sql);
        e.type = VType::Number;
        e.declared.clear();
    }
    return e;
}

Expr Translator::parseNot(int& i, int end, const TableScope& s) {
    int nots = 0;  // counted, not recursed on: "not not not ..." may be long
    for (; i < end && isWord(i, QLatin1StringView("not")); ++i)
        ++nots;
    Expr e = parsePredicate(i, end, s);
    if (nots == 0)
        return e;
    // "not not x" is x, NULL included.
    return {nots % 2 ? joinSql({QStringLiteral("not"), e.sql}) : e.sql, VType::Number};
}

void Translator::alignTimes(Expr& l, int lb, int le, Expr& r, int rb, int re) const {
    if (l.type == VType::Time && (r.type != VType::Time || (l.date && !r.date)))
        r.sql = timeText(r, l.date, rb, re, false);
    else if (r.type == VType::Time && (l.type != VType::Time || (r.date && !l.date)))
        l.sql = timeText(l, r.date, lb, le, false);
}

Expr Translator::parsePredicate(int& i, int end, const TableScope& s) {
    const int begin = i;
    Expr e = parseAdditive(i, end, s);
    const int eEnd = i;
    if (i >= end)
        return e;
    static const QHash<QString, QString> comparisons = {{"=", "="},   {"<>", "<>"}, {"!=", "<>"},
                                                        {"<", "<"},   {">", ">"},   {"<=", "<="},
                                                        {">=", ">="}, {"!<", ">="}, {"!>", "<="}};
    if (tok(i).kind == Token::Op && comparisons.contains(text(i).toString())) {
        const QString op = comparisons.value(text(i).toString());
        ++i;
        if (isWord(i, QLatin1StringView("all")) || isWord(i, QLatin1StringView("any")) ||
            isWord(i, QLatin1StringView("some")))
            fail(i, QStringLiteral("不支持 all / any / some 比较"));
        const int rb = i;
        Expr r = parseAdditive(i, end, s);
        alignTimes(e, begin, eEnd, r, rb, i);
        return {joinSql({e.sql, op, r.sql}), VType::Number};
    }
    if (isWord(i, QLatin1StringView("is"))) {
        ++i;
        QString sql = e.sql + QStringLiteral(" is ");
        if (isWord(i, QLatin1StringView("not"))) {
            sql += QStringLiteral("not ");
            ++i;
        }
        if (!isWord(i, QLatin1StringView("null")))
            fail(i, QStringLiteral("is 后应是 null 或 not null"));
        ++i;
        return {sql + QStringLiteral("null"), VType::Number};
    }
    bool negated = false;
    if (isWord(i, QLatin1StringView("not")) &&
        (isWord(i + 1, QLatin1StringView("like")) || isWord(i + 1, QLatin1StringView("in")) ||
         isWord(i + 1, QLatin1StringView("between")))) {
        negated = true;
        ++i;
    }
    const QString neg = negated ? QStringLiteral(" not") : QString();
    if (isWord(i, QLatin1StringView("like"))) {
        ++i;
        QString sql = e.sql + neg + QStringLiteral(" like ") + parseAdditive(i, end, s).sql;
        if (isWord(i, QLatin1StringView("escape"))) {
            ++i;
            sql += QStringLiteral(" escape ") + parseAdditive(i, end, s).sql;
        }
        return {sql, VType::Number};
    }
    if (isWord(i, QLatin1StringView("between"))) {
        ++i;
        const int lowAt = i;
        Expr low = parseAdditive(i, end, s);
        alignTimes(e, begin, eEnd, low, lowAt, i);
        if (!isWord(i, QLatin1StringView("and")))
            fail(i, QStringLiteral("between 缺少 and"));
        const int highAt = ++i;
        Expr high = parseAdditive(i, end, s);
        alignTimes(e, begin, eEnd, high, highAt, i);
        return {e.sql + neg + QStringLiteral(" between ") + low.sql + QStringLiteral(" and ") +
                    high.sql,
                VType::Number};
    }
    if (isWord(i, QLatin1StringView("in"))) {
        ++i;
        if (!isOp(i, QLatin1StringView("(")))
            fail(i, QStringLiteral("in 后应是 ("));
        if (isWord(i + 1, QLatin1StringView("select")) || isWord(i + 1, QLatin1StringView("with")))
            return {e.sql + neg + QStringLiteral(" in ") + translateSubquery(i, i), VType::Number};
        const int close = matchingParen(i, end);
        ++i;
        QStringList items;
        while (i < close) {
            const int itemAt = i;
            Expr item = parseExpr(i, close, s);
            alignTimes(e, begin, eEnd, item, itemAt, i);
            items << item.sql;
            if (isOp(i, QLatin1StringView(",")))
                ++i;
            else if (i != close)
                fail(i, QStringLiteral("in 列表有误"));
        }
        i = close + 1;
        return {e.sql + neg + QStringLiteral(" in (") + items.join(QStringLiteral(", ")) +
                    QLatin1Char(')'),
                VType::Number};
    }
    return e;
}

Expr Translator::parseAdditive(int& i, int end, const TableScope& s) {
    Expr e = parseMultiplicative(i, end, s);
    while (i < end && tok(i).kind == Token::Op) {
        const QString op = text(i).toString();
        if (op != QLatin1String("+") && op != QLatin1String("-") && op != QLatin1String("&") &&
            op != QLatin1String("|") && op != QLatin1String("^") && op != QLatin1String("||"))
            break;
        const int at = i++;
        const Expr r = parseMultiplicative(i, end, s);
        if (op == QLatin1String("+")) {
            if ((e.type == VType::Text && r.type != VType::Number) ||
                (r.type == VType::Text && e.type != VType::Number)) {
                appendOperation(e.sql, QStringLiteral("||"), r.sql);
                e = {std::move(e.sql), VType::Text};
            } else if (e.type == VType::Time && r.type != VType::Time) {
                e = {QStringLiteral("qd_dateadd('day', %1, %2)").arg(r.sql, e.sql), VType::Time};
            } else if (r.type == VType::Time && e.type != VType::Time) {
                e = {QStringLiteral("qd_dateadd('day', %1, %2)").arg(e.sql, r.sql), VType::Time};
            } else if (e.type == VType::Number || r.type == VType::Number) {
                e = arithmetic(e, op, r);
            } else {
                // Neither side's type is known here: decide on the values, as the server does.
                e = {QStringLiteral("qd_add(%1, %2)").arg(e.sql, r.sql), VType::Unknown};
            }
        } else if (op == QLatin1String("-")) {
            if (e.type == VType::Time && r.type == VType::Time) {
                e = {QStringLiteral("(julianday(%1) - julianday(%2))").arg(e.sql, r.sql),
                     VType::Number};
            } else if (e.type == VType::Time) {
                e = {QStringLiteral("qd_dateadd('day', -(%1), %2)").arg(r.sql, e.sql), VType::Time};
            } else if (r.type == VType::Time) {
                fail(at, QStringLiteral("不能用数值减去日期"));
            } else {
                e = arithmetic(e, op, r);
            }
        } else if (op == QLatin1String("||")) {
            fail(at, QStringLiteral("|| 不是 T-SQL 运算符，请用 + 连接字符串"));
        } else {
            appendOperation(e.sql, op, r.sql);
            e = {std::move(e.sql), VType::Number};
        }
    }
    return e;
}

Expr Translator::parseMultiplicative(int& i, int end, const TableScope& s) {
    Expr e = parseUnary(i, end, s);
    while (i < end && tok(i).kind == Token::Op &&
           (text(i) == QLatin1String("*") || text(i) == QLatin1String("/") ||
            text(i) == QLatin1String("%"))) {
        const QString op = text(i).toString();
        ++i;
        const Expr r = parseUnary(i, end, s);
        e = arithmetic(e, op, r);
    }
    return e;
}

Expr Translator::parseUnary(int& i, int end, const TableScope& s) {
    const int first = i;  // the signs, applied innermost first without recursing on each
    while (i < end && tok(i).kind == Token::Op &&
           (text(i) == QLatin1String("-") || text(i) == QLatin1String("+") ||
            text(i) == QLatin1String("~")))
        ++i;
    const int signsEnd = i;
    if (signsEnd == first)
        return parsePrimary(i, end, s);
    // A unary plus changes nothing, and two minus signs (or two ~) in a row cancel, so that a
    // long run of signs does not become a long run for the embedded database's parser.
    QStringList applied;  // innermost first
    for (int k = signsEnd - 1; k >= first; --k) {
        const QString op = text(k).toString();
        if (op == QLatin1String("+"))
            continue;
        if (!applied.isEmpty() && applied.last() == op)
            applied.removeLast();
        else
            applied << op;
    }
    Expr e = parsePrimary(i, end, s);
    if (applied.isEmpty())
        return e;
    e.type = VType::Number;
    if (const auto t = parseTypeName(e.declared); !t || t->base == SqlType::Bit || !t->isNumber())
        e.declared.clear();  // a sign keeps a number's type, nothing else's
    if (applied == QStringList{QStringLiteral("-")} && e.scale >= 0 && !e.intBits)
        e.exact = QStringLiteral("qd_decimal('neg', %1, 1, %2)")
                      .arg(QString::number(e.scale), exactSql(e));
    else
        e.exact.clear();
    for (const QString& op : applied)
        e.sql = prefixSql(op, e.sql);
    return e;
}

Expr Translator::parsePrimary(int& i, int end, const TableScope& s) {
    if (i >= end)
        fail(i, QStringLiteral("这里应是一个表达式"));
    const Token& t = tok(i);
    switch (t.kind) {
        case Token::Number:
            return numberLiteral(text(i++).toString());
        case Token::String:
            return {text(i++).toString(), VType::Text};
        case Token::NString:
            return {text(i++).mid(1).toString(), VType::Text};
        case Token::Hex: {
            const QString hex = text(i++).mid(2).toString();
            return {QStringLiteral("X'") + (hex.size() % 2 ? QStringLiteral("0") : QString()) +
                        hex + QLatin1Char('\''),
                    VType::Unknown};
        }
        case Token::Variable: {
            const QString name = text(i).mid(1).toString().toLower();
            if (m_tableVars.contains(name))
                fail(i, QStringLiteral("表变量 @%1 不能用作值").arg(name));
            const QString p = variableParam(i);
            ++i;
            return typedExpr(p, m_vars.value(name));
        }
        case Token::Global: {
            static const QHash<QString, VType> globals = {
                {"trancount", VType::Number},    {"rowcount", VType::Number},
                {"error", VType::Number},        {"identity", VType::Number},
                {"fetch_status", VType::Number}, {"version", VType::Text},
                {"servername", VType::Text},     {"spid", VType::Number}};
            const QString name = text(i).mid(2).toString().toLower();
            if (!globals.contains(name))
                fail(i, QStringLiteral("不支持的全局变量 @@%1").arg(name));
            ++i;
            return {QStringLiteral(":_g_") + name, globals.value(name)};
        }
        case Token::Param: {
            const QString name = text(i++).toString().toLower();
            m_batch->params.insert(name.mid(1));
            return {name, VType::Unknown};
        }
        case Token::Op:
            if (text(i) == QLatin1String("(")) {
                if (isWord(i + 1, QLatin1StringView("select")) ||
                    isWord(i + 1, QLatin1StringView("with")))
                    return {translateSubquery(i, i), VType::Unknown};
                const int close = matchingParen(i, end);
                const int wraps = redundantParens(i, close);
                i += wraps;
                Expr inner = parseExpr(i, close - wraps + 1, s);
                if (i != close - wraps + 1)
                    fail(i, QStringLiteral("缺少 )"));
                i = close + 1;
                inner.sql = QLatin1Char('(') + inner.sql + QLatin1Char(')');
                return inner;
            }
            if (text(i) == QLatin1String("*")) {
                ++i;
                return {QStringLiteral("*"), VType::Unknown};
            }
            fail(i, QStringLiteral("这里应是一个表达式"));
        case Token::Quoted:
            return parseName(i, end, s);
        case Token::Word:
            break;
        default:
            fail(i, QStringLiteral("这里应是一个表达式"));
    }

    const QString w = lower(i);
    if (w == QLatin1String("null")) {
        ++i;
        return {QStringLiteral("NULL"), VType::Unknown};
    }
    if (w == QLatin1String("case"))
        return parseCase(i, end, s);
    if (w == QLatin1String("exists")) {
        ++i;
        if (!isOp(i, QLatin1StringView("(")))
            fail(i, QStringLiteral("exists 后应是 (select ...)"));
        return {QStringLiteral("exists ") + translateSubquery(i, i), VType::Number};
    }
    if (w == QLatin1String("current_timestamp")) {
        ++i;
        return {QString::fromLatin1(kNowSql), VType::Time};
    }
    if (isOp(i + 1, QLatin1StringView("(")) &&
        (!isReserved(w) || w == QLatin1String("left") || w == QLatin1String("right") ||
         w == QLatin1String("cast") || w == QLatin1String("convert"))) {
        ++i;
        return parseFunction(w, i, end, s);
    }
    if (isReserved(w) && !startsExpression(w))
        fail(i, QStringLiteral("这里应是一个表达式"));
    return parseName(i, end, s);
}

Expr Translator::parseName(int& i, int end, const TableScope& s) {
    QStringList parts;
    for (;;) {
        if (tok(i).kind == Token::Quoted)
            parts << unquote(m_text, tok(i));
        else if (tok(i).kind == Token::Word)
            parts << text(i).toString();
        else if (isOp(i, QLatin1StringView("*")) && !parts.isEmpty())
            parts << QStringLiteral("*");
        else
            fail(i, QStringLiteral("这里应是名称"));
        ++i;
        if (i < end && isOp(i, QLatin1StringView(".")) && parts.last() != QLatin1String("*")) {
            ++i;
            continue;
        }
        break;
    }
    if (i < end && isOp(i, QLatin1StringView("(")))
        fail(i - 1, QStringLiteral("不支持用户定义函数"));
    // Schema (and database) qualifiers have no meaning in the embedded database.
    while (parts.size() > 2)
        parts.removeFirst();
    if (parts.size() == 2 && parts[0].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();

    std::optional<SqlType> declared;
    const QString column = parts.last().toLower();
    auto lookup = [&](const QString& table) { return columnTypeIn(table, column); };
    if (parts.size() == 2) {
        const QString q = parts[0].toLower();
        declared =
            s.derived.contains(q) ? derivedColumnType(q, column, s) : lookup(s.aliases.value(q, q));
    } else {
        for (const QString& table : s.tables)
            if ((declared = lookup(table)))
                break;
        for (auto d = s.derived.cbegin(); !declared && d != s.derived.cend(); ++d)
            declared = derivedColumnType(d.key(), column, s);
    }
    QStringList out;
    for (const QString& p : parts)
        out << (p == QLatin1String("*") ? p : sqlName(p));
    if (!declared)
        return {out.join(QLatin1Char('.'))};
    Expr e = typedExpr(out.join(QLatin1Char('.')), *declared);
    if (!declared->guessed)
        e.declared = declared->name;
    return e;
}

Expr Translator::parseCase(int& i, int end, const TableScope& s) {
    ++i;  // case
    QString sql = QStringLiteral("case");
    if (!isWord(i, QLatin1StringView("when")))
        sql += QLatin1Char(' ') + parseExpr(i, end, s).sql;
    std::vector<Expr> values;
    while (isWord(i, QLatin1StringView("when"))) {
        ++i;
        sql += QStringLiteral(" when ") + parseExpr(i, end, s).sql;
        if (!isWord(i, QLatin1StringView("then")))
            fail(i, QStringLiteral("case 的 when 后缺少 then"));
        ++i;
        values.push_back(parseExpr(i, end, s));
        sql += QStringLiteral(" then ") + values.back().sql;
    }
    if (isWord(i, QLatin1StringView("else"))) {
        ++i;
        values.push_back(parseExpr(i, end, s));
        sql += QStringLiteral(" else ") + values.back().sql;
    }
    if (!isWord(i, QLatin1StringView("end")))
        fail(i, QStringLiteral("case 缺少 end"));
    ++i;
    return choiceOf(sql + QStringLiteral(" end"), values);
}

QString Translator::datePartArg(int& i, int end) {
    QString part;
    if (tok(i).kind == Token::Word)
        part = datePartName(lower(i));
    else if (tok(i).kind == Token::String)
        part = datePartName(unquote(m_text, tok(i)).toLower());
    if (part.isEmpty() || i >= end)
        fail(i, QStringLiteral("无法识别的日期部分"));
    ++i;
    if (!isOp(i, QLatin1StringView(",")))
        fail(i, QStringLiteral("日期部分后应是 ,"));
    ++i;
    return QLatin1Char('\'') + part + QLatin1Char('\'');
}

SqlType Translator::parseType(int& i, int end) {
    if (tok(i).kind != Token::Word && tok(i).kind != Token::Quoted)
        fail(i, QStringLiteral("这里应是数据类型"));
    QString name = tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)).toLower() : lower(i);
    const int at = i++;
    if (name == QLatin1String("double") && isWord(i, QLatin1StringView("precision"))) {
        ++i;
        name = QStringLiteral("float");
    }
    if (i < end && isOp(i, QLatin1StringView("("))) {
        const int close = matchingParen(i, end);
        name += QLatin1Char('(');
        for (int k = i + 1; k < close; ++k)
            name += text(k).toString().toLower();
        name += QLatin1Char(')');
        i = close + 1;
    }
    const std::optional<SqlType> t = parseTypeName(name);
    if (!t)
        fail(at, QStringLiteral("不支持的数据类型 %1").arg(name));
    return *t;
}

QString decimalConversion(const QString& value, const SqlType& type, bool asText) {
    return QStringLiteral("qd_decimal_check(qd_cast_num(%1, %2%4), %3, %2)")
        .arg(value, QString::number(type.scale), QString::number(type.precision),
             asText ? QStringLiteral(", 1") : QString());
}

Expr Translator::castTo(const Expr& e, const SqlType& type, int style, int at) {
    switch (type.base) {
        case SqlType::Char:
            if (style >= 0 && e.type == VType::Time) {
                QString args = e.sql + QStringLiteral(", ") + QString::number(style);
                if (type.length > 0)
                    args += QStringLiteral(", ") + QString::number(type.length);
                return {QStringLiteral("qd_convert_date(%1)").arg(args), VType::Text};
            }
            if (type.length > 0)
                return {QStringLiteral("substr(cast(%1 as text), 1, %2)")
                            .arg(e.sql, QString::number(type.length)),
                        VType::Text};
            return {QStringLiteral("cast(%1 as text)").arg(e.sql), VType::Text};
        case SqlType::Int:
            // Text converts as it does in arithmetic (245, 248); a number is truncated, and
            // must fit the type.
            return {QStringLiteral("qd_int_check(qd_cast_int(qd_to_number(%1, %2)), %2)")
                        .arg(e.sql, QString::number(intBitsOf(type))),
                    VType::Number, intBitsOf(type)};
        case SqlType::Bit:
            return {QStringLiteral("qd_cast_bit(%1)").arg(e.sql), VType::Number};
        case SqlType::Decimal: {
            Expr r = typedExpr(decimalConversion(exactSql(e), type), type);
            r.exact = decimalConversion(exactSql(e), type, true);
            return r;
        }
        case SqlType::Float:
            return {QStringLiteral("qd_cast_num(%1, -1)").arg(e.sql), VType::Number};
        case SqlType::DateTime:
            return {QStringLiteral("qd_cast_datetime(%1)").arg(e.sql), VType::Time};
        case SqlType::Date:
            return {QStringLiteral("qd_cast_date(%1)").arg(e.sql), VType::Time};
        case SqlType::Binary:
            return {QStringLiteral("cast(%1 as blob)").arg(e.sql), VType::Unknown};
        case SqlType::Unknown:
            break;
    }
    fail(at, QStringLiteral("不支持转换为 %1").arg(type.name));
}

// A function call; tok(i) is the '(' after its name.
Expr Translator::parseCall(const QString& name, int& i, int end, const TableScope& s) {
    const int at = i - 1;
    const int close = matchingParen(i, end);
    ++i;
    auto done = [&](const Expr& e) -> Expr {
        if (i != close)
            fail(i, QStringLiteral("函数 %1 的参数有误").arg(name));
        i = close + 1;
        return e;
    };
    auto finish = [&](const QString& sql, VType type) { return done({sql, type}); };
    auto args = [&]() {
        std::vector<Expr> list;
        while (i < close) {
            list.push_back(parseExpr(i, close, s));
            if (isOp(i, QLatin1StringView(",")))
                ++i;
            else
                break;
        }
        return list;
    };
    auto arity = [&](const std::vector<Expr>& a, std::size_t lo, std::size_t hi) {
        if (a.size() < lo || a.size() > hi)
            fail(at, QStringLiteral("函数 %1 的参数个数不对").arg(name));
    };

    if (name == QLatin1String("cast") || name == QLatin1String("convert")) {
        const Expr r = conversion(name == QLatin1String("convert"), false, i, close, s);
        return done(r);
    }
    if (name == QLatin1String("datediff") || name == QLatin1String("dateadd") ||
        name == QLatin1String("datepart") || name == QLatin1String("datename")) {
        const QString part = datePartArg(i, close);
        const std::vector<Expr> a = args();
        arity(a, name == QLatin1String("datediff") || name == QLatin1String("dateadd") ? 2 : 1,
              name == QLatin1String("datediff") || name == QLatin1String("dateadd") ? 2 : 1);
        if (name == QLatin1String("datediff"))
            return finish(QStringLiteral("qd_datediff(%1, %2, %3)").arg(part, a[0].sql, a[1].sql),
                          VType::Number);
        if (name == QLatin1String("dateadd"))
            return finish(QStringLiteral("qd_dateadd(%1, %2, %3)").arg(part, a[0].sql, a[1].sql),
                          VType::Time);
        if (name == QLatin1String("datename"))
            return finish(QStringLiteral("cast(qd_datepart(%1, %2) as text)").arg(part, a[0].sql),
                          VType::Text);
        return finish(QStringLiteral("qd_datepart(%1, %2)").arg(part, a[0].sql), VType::Number);
    }
    if (name == QLatin1String("count") || name == QLatin1String("sum") ||
        name == QLatin1String("avg") || name == QLatin1String("min") ||
        name == QLatin1String("max") || name == QLatin1String("count_big")) {
        QString distinct;
        if (isWord(i, QLatin1StringView("distinct"))) {
            distinct = QStringLiteral("distinct ");
            ++i;
        } else if (isWord(i, QLatin1StringView("all"))) {
            ++i;
        }
        const std::vector<Expr> a = args();
        arity(a, 1, 1);
        const QString fn = name == QLatin1String("count_big") ? QStringLiteral("count") : name;
        const bool keepsType = name == QLatin1String("min") || name == QLatin1String("max");
        const QString call = fn + QLatin1Char('(') + distinct + a[0].sql + QLatin1Char(')');
        if (name == QLatin1String("avg") && a[0].intBits) {
            // The average of ints is an int, truncated toward zero as the server divides; a
            // window's over clause goes inside the cast.
            Expr r = finish(call, VType::Number);
            if (isWord(i, QLatin1StringView("over")))
                r.sql += QLatin1Char(' ') + overClause(i, end, s);
            return {QStringLiteral("cast(%1 as integer)").arg(r.sql), r.type, a[0].intBits};
        }
        if ((name == QLatin1String("sum") || name == QLatin1String("avg")) && a[0].scale >= 0 &&
            !a[0].intBits)
            return done(decimalAggregate(name, a[0], !distinct.isEmpty()));
        const int bits = keepsType ? a[0].intBits : name == QLatin1String("count") ? 32 : 0;
        const Expr r = finish(call, keepsType ? a[0].type : VType::Number);
        // A sum keeps its argument's scale (over a window, where it stays the embedded one).
        const bool keepsScale = keepsType || name == QLatin1String("sum");
        return {r.sql, r.type, bits, keepsScale ? a[0].scale : -1, keepsScale && a[0].money};
    }

    const std::vector<Expr> a = args();
    auto sqlArgs = [&]() {
        QStringList list;
        for (const Expr& e : a)
            list << e.sql;
        return list.join(QStringLiteral(", "));
    };
    struct Mapping {
        const char* target;  // function of the embedded database (or our own qd_ function)
        int minArgs;
        int maxArgs;
        VType type;  // Unknown: the type of the first argument
    };
    static const QHash<QString, Mapping> simple = {
        {"isnull", {"ifnull", 2, 2, VType::Unknown}},
        {"coalesce", {"coalesce", 2, 99, VType::Unknown}},
        {"nullif", {"nullif", 2, 2, VType::Unknown}},
        {"iif", {"iif", 3, 3, VType::Unknown}},
        {"substring", {"substr", 3, 3, VType::Text}},
        {"ltrim", {"ltrim", 1, 1, VType::Text}},
        {"rtrim", {"rtrim", 1, 1, VType::Text}},
        {"upper", {"upper", 1, 1, VType::Text}},
        {"lower", {"lower", 1, 1, VType::Text}},
        {"replace", {"replace", 3, 3, VType::Text}},
        {"right", {"qd_right", 2, 2, VType::Text}},
        {"reverse", {"qd_reverse", 1, 1, VType::Text}},
        {"replicate", {"qd_replicate", 2, 2, VType::Text}},
        {"str", {"qd_str", 1, 3, VType::Text}},
        {"char", {"char", 1, 1, VType::Text}},
        {"nchar", {"char", 1, 1, VType::Text}},
        {"ascii", {"unicode", 1, 1, VType::Number}},
        {"unicode", {"unicode", 1, 1, VType::Number}},
        {"newid", {"qd_newid", 0, 0, VType::Text}},
        {"abs", {"abs", 1, 1, VType::Number}},
        {"floor", {"qd_floor", 1, 1, VType::Number}},
        {"ceiling", {"qd_ceiling", 1, 1, VType::Number}},
        {"power", {"qd_power", 2, 2, VType::Number}},
        {"sqrt", {"qd_sqrt", 1, 1, VType::Number}},
        {"sign", {"sign", 1, 1, VType::Number}},
        {"isnumeric", {"qd_isnumeric", 1, 1, VType::Number}},
        {"object_id", {"qd_object_id", 1, 2, VType::Number}},
        {"charindex", {"qd_charindex", 2, 3, VType::Number}},
        {"row_number", {"row_number", 0, 0, VType::Number}},
        {"rank", {"rank", 0, 0, VType::Number}},
        {"dense_rank", {"dense_rank", 0, 0, VType::Number}},
        {"percent_rank", {"percent_rank", 0, 0, VType::Number}},
        {"cume_dist", {"cume_dist", 0, 0, VType::Number}},
        {"ntile", {"ntile", 1, 1, VType::Number}},
        {"lag", {"lag", 1, 3, VType::Unknown}},
        {"lead", {"lead", 1, 3, VType::Unknown}},
        {"first_value", {"first_value", 1, 1, VType::Unknown}},
        {"last_value", {"last_value", 1, 1, VType::Unknown}},
        {"string_agg", {"group_concat", 2, 2, VType::Text}},
        {"concat", {"qd_concat", 2, 254, VType::Text}},
        {"concat_ws", {"qd_concat_ws", 3, 254, VType::Text}},
        {"eomonth", {"qd_eomonth", 1, 2, VType::Time}},
        {"datefromparts", {"qd_datefromparts", 3, 3, VType::Time}},
        {"stuff", {"qd_stuff", 4, 4, VType::Text}},
        {"patindex", {"qd_patindex", 2, 2, VType::Number}},
        {"quotename", {"qd_quotename", 1, 2, VType::Text}},
        {"square", {"qd_square", 1, 1, VType::Number}},
        {"log10", {"qd_log10", 1, 1, VType::Number}},
        {"format", {"qd_format", 2, 3, VType::Text}},
    };
    if (name == QLatin1String("getdate") || name == QLatin1String("sysdatetime") ||
        name == QLatin1String("current_timestamp")) {
        arity(a, 0, 0);
        return finish(QString::fromLatin1(kNowSql), VType::Time);
    }
    if (name == QLatin1String("getutcdate") || name == QLatin1String("sysutcdatetime")) {
        arity(a, 0, 0);
        return finish(QStringLiteral("strftime('%Y-%m-%d %H:%M:%f','now')"), VType::Time);
    }
    if (name == QLatin1String("len")) {
        arity(a, 1, 1);  // the server does not count trailing blanks
        return finish(QStringLiteral("length(rtrim(%1, ' '))").arg(a[0].sql), VType::Number);
    }
    if (name == QLatin1String("datalength")) {
        arity(a, 1, 1);
        return finish(QStringLiteral("length(cast(%1 as blob))").arg(a[0].sql), VType::Number);
    }
    if (name == QLatin1String("left")) {
        arity(a, 2, 2);
        return finish(QStringLiteral("substr(%1, 1, %2)").arg(a[0].sql, a[1].sql), VType::Text);
    }
    if (name == QLatin1String("space")) {
        arity(a, 1, 1);
        return finish(QStringLiteral("qd_replicate(' ', %1)").arg(a[0].sql), VType::Text);
    }
    if (name == QLatin1String("year") || name == QLatin1String("month") ||
        name == QLatin1String("day")) {
        arity(a, 1, 1);
        return finish(QStringLiteral("qd_datepart('%1', %2)").arg(name, a[0].sql), VType::Number);
    }
    if (name == QLatin1String("xact_state")) {
        arity(a, 0, 0);  // 1 inside a transaction, 0 outside (none is ever uncommittable here)
        return finish(QStringLiteral(":_g_xact_state"), VType::Number);
    }
    if (name == QLatin1String("scope_identity") || name == QLatin1String("error_message") ||
        name == QLatin1String("error_number") || name == QLatin1String("error_severity") ||
        name == QLatin1String("error_state") || name == QLatin1String("error_line")) {
        arity(a, 0, 0);
        const QString g =
            name == QLatin1String("scope_identity") ? QStringLiteral("identity") : name;
        return finish(QStringLiteral(":_g_") + g,
                      name == QLatin1String("error_message") ? VType::Text : VType::Number);
    }
    if (name == QLatin1String("round")) {
        // Rounds the exact decimal value and keeps the argument's type.
        arity(a, 2, 3);
        QStringList list{exactSql(a[0]), a[1].sql, a.size() > 2 ? a[2].sql : QStringLiteral("0")};
        Expr r = sameNumberType(QStringLiteral("qd_round(%1)").arg(list.join(QStringLiteral(", "))),
                                a[0]);
        if (r.scale >= 0 && !r.intBits)
            r.exact = QStringLiteral("qd_round(%1, 1)").arg(list.join(QStringLiteral(", ")));
        return done(r);
    }
    if (name == QLatin1String("abs") && a.size() == 1 && a[0].intBits)
        return done(sameNumberType(QStringLiteral("abs(%1)").arg(a[0].sql), a[0]));
    if (name == QLatin1String("abs") && a.size() == 1 && a[0].scale >= 0) {
        auto call = [&](int asText) {
            return QStringLiteral("qd_decimal('abs', %1, %2, %3)")
                .arg(QString::number(a[0].scale), QString::number(asText), exactSql(a[0]));
        };
        Expr r = sameNumberType(call(0), a[0]);
        r.exact = call(1);
        return done(r);
    }
    if (name == QLatin1String("isnull") && a.size() == 2 && a[0].scale >= 0 && !a[0].intBits) {
        // The type of the first argument: the replacement is converted to its places.
        return done(sameNumberType(QStringLiteral("ifnull(%1, qd_cast_num(%2, %3))")
                                       .arg(a[0].sql, exactSql(a[1]), QString::number(a[0].scale)),
                                   a[0]));
    }
    const auto m = simple.find(name);
    if (m == simple.end())
        fail(at, QStringLiteral("不支持的函数 %1").arg(name));
    arity(a, std::size_t(m->minArgs), std::size_t(m->maxArgs));
    const QString sql =
        QString::fromLatin1(m->target) + QLatin1Char('(') + sqlArgs() + QLatin1Char(')');
    if (m->type != VType::Unknown)
        return finish(sql, m->type);
    // One of the values: coalesce and iif the type of the values (not iif's condition), the
    // others (isnull, nullif, lag, first_value, ...) the type of the first argument.
    if (name == QLatin1String("coalesce") || name == QLatin1String("iif"))
        return done(
            choiceOf(sql, std::vector<Expr>(a.begin() + (name == QLatin1String("iif")), a.end())));
    Expr r = sameNumberType(sql, a[0]);
    r.declared = a[0].declared;
    return done(r);
}

}  // namespace Qd::Core::Db::Tsql::Internal

namespace Qd::Core::Db::Tsql {

std::optional<SqlType> parseTypeName(const QString& written) {
    SqlType t;
    t.name = written.toLower().remove(QLatin1Char(' '));
    QString base = t.name;
    QStringList args;
    const qsizetype open = base.indexOf(QLatin1Char('('));
    if (open >= 0) {
        if (!base.endsWith(QLatin1Char(')')))
            return std::nullopt;
        args = base.mid(open + 1, base.size() - open - 2).split(QLatin1Char(','));
        base = base.left(open);
    }
    static const QHash<QString, SqlType::Base> bases = {{"int", SqlType::Int},
                                                        {"integer", SqlType::Int},
                                                        {"bigint", SqlType::Int},
                                                        {"smallint", SqlType::Int},
                                                        {"tinyint", SqlType::Int},
                                                        {"bit", SqlType::Bit},
                                                        {"decimal", SqlType::Decimal},
                                                        {"numeric", SqlType::Decimal},
                                                        {"money", SqlType::Decimal},
                                                        {"smallmoney", SqlType::Decimal},
                                                        {"float", SqlType::Float},
                                                        {"real", SqlType::Float},
                                                        {"char", SqlType::Char},
                                                        {"varchar", SqlType::Char},
                                                        {"nchar", SqlType::Char},
                                                        {"nvarchar", SqlType::Char},
                                                        {"text", SqlType::Char},
                                                        {"ntext", SqlType::Char},
                                                        {"sysname", SqlType::Char},
                                                        {"uniqueidentifier", SqlType::Char},
                                                        {"datetime", SqlType::DateTime},
                                                        {"smalldatetime", SqlType::DateTime},
                                                        {"datetime2", SqlType::DateTime},
                                                        {"date", SqlType::Date},
                                                        {"binary", SqlType::Binary},
                                                        {"varbinary", SqlType::Binary},
                                                        {"image", SqlType::Binary},
                                                        {"blob", SqlType::Binary}};
    const auto b = bases.find(base);
    if (b == bases.end())
        return std::nullopt;
    t.base = *b;
    if (t.base == SqlType::Decimal) {
        t.scale = base == QLatin1String("money") || base == QLatin1String("smallmoney") ? 4 : 0;
        t.precision = base == QLatin1String("money")        ? 19
                      : base == QLatin1String("smallmoney") ? 10
                                                            : 18;
    }
    if (!args.isEmpty()) {
        bool ok = true;
        if (args[0] == QLatin1String("max")) {
            t.length = 0;
        } else {
            const int n = args[0].toInt(&ok);
            if (!ok)
                return std::nullopt;
            if (t.base == SqlType::Char)
                t.length = n;
            if (t.base == SqlType::Decimal)
                t.precision = n;
        }
        if (args.size() > 1 && t.base == SqlType::Decimal) {
            t.scale = args[1].toInt(&ok);
            if (!ok)
                return std::nullopt;
        }
    } else if (t.base == SqlType::Char &&
               (base == QLatin1String("char") || base == QLatin1String("varchar") ||
                base == QLatin1String("nchar") || base == QLatin1String("nvarchar"))) {
        t.length = 1;  // the server's default length for a declared variable
    }
    if (base == QLatin1String("uniqueidentifier"))
        t.length = 36;
    if (base == QLatin1String("sysname"))
        t.length = 128;
    return t;
}

}  // namespace Qd::Core::Db::Tsql
