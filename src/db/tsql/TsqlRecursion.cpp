// Recursive common table expressions keep the server's limit on their depth. The embedded
// database would follow a recursion that never ends until memory runs out; the server stops
// it at 100 levels (or at "option (maxrecursion n)", 0 for none) with error 530. So the rows
// carry their level in a column of ours, the recursive member's rows one more than the row
// they come from, checked by qd_recursion_level; a second expression under the written name
// shows the columns without it:
//
//   with c (id, parent) as (select id, parent from t where parent is null
//                           union all select t.id, t.parent from t join c on t.parent = c.id)
// becomes
//   with "_qd_rc_c"(id, parent, _qd_level) as (
//          select id, parent, 0 from t where parent is null
//          union all select t.id, t.parent, qd_recursion_level(c._qd_level + 1, 100)
//                    from t join "_qd_rc_c" as c on t.parent = c.id),
//        c(id, parent) as (select id, parent from "_qd_rc_c")
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

namespace {
constexpr int kDefaultMaxRecursion = 100;
constexpr int kLargestMaxRecursion = 32767;
}  // namespace

QString Translator::recursiveCte(const QString& name, QStringList columns, int open, int close,
                                 int limit) {
    if (columns.isEmpty()) {
        const std::optional<QStringList> names = selectItemNames(open + 2, close);
        if (!names)
            fail(open + 1,
                 QStringLiteral("递归公用表表达式 %1 的列名无法从第一个查询得出：请写出列名"
                                "列表 with %1 (列1, 列2, ...) as (...)")
                     .arg(name));
        columns = *names;
    }
    const QString levelled = sqlName(QStringLiteral("_qd_rc_") + name);
    QString body;
    for (int member = open + 1; member < close;) {
        const int next = outsideParens(
            member, close, [&](int k) { return isWord(k, QLatin1StringView("union")); });
        const int self = selfReference(name, member, next);
        if (self < 0) {
            m_extraItem = QStringLiteral("0");
        } else {
            const int alias = aliasAt(self + 1, next);
            const QString row = alias < 0                          ? name
                                : tok(alias).kind == Token::Quoted ? unquote(m_text, tok(alias))
                                                                   : text(alias).toString();
            m_extraItem = QStringLiteral("qd_recursion_level(%1._qd_level + 1, %2)")
                              .arg(sqlName(row))
                              .arg(limit);
            m_recursiveName = name;
        }
        appendSql(body, translateStatement(member, next, nullptr, nullptr));
        m_recursiveName.clear();
        m_extraItem.clear();
        member = next;
        if (member < close) {  // union [all]
            appendSql(body, lower(member++));
            if (isWord(member, QLatin1StringView("all")))
                appendSql(body, lower(member++));
        }
    }
    const QString list = columns.join(QStringLiteral(", "));
    return QStringLiteral("%1(%2, _qd_level) as (%3), %4(%2) as (select %2 from %1)")
        .arg(levelled, list, body, sqlName(name));
}

// The token where the expression's body reads itself (after from or join), or -1.
int Translator::selfReference(const QString& name, int begin, int end) const {
    for (int k = begin + 1; k < end; ++k) {
        if (tok(k).kind != Token::Word && tok(k).kind != Token::Quoted)
            continue;
        const QString word =
            tok(k).kind == Token::Quoted ? unquote(m_text, tok(k)) : text(k).toString();
        if (word.compare(name, Qt::CaseInsensitive) == 0 &&
            (isWord(k - 1, QLatin1StringView("from")) || isWord(k - 1, QLatin1StringView("join"))))
            return k;
    }
    return -1;
}

// The names of the columns of "select items from ..." starting at tok(begin) (after select),
// as the server names them: the alias ("x as a", "x a", "a = x"), a column's own name ("t.id"
// is id), a table's columns for "*" over one table. nullopt when an item has no name.
std::optional<QStringList> Translator::selectItemNames(int begin, int end) const {
    int i = begin;
    if (isWord(i, QLatin1StringView("distinct")) || isWord(i, QLatin1StringView("all")))
        ++i;
    QStringList names;
    const auto nameAt = [&](int k) {
        return sqlName(tok(k).kind == Token::Quoted || tok(k).kind == Token::String
                           ? unquote(m_text, tok(k))
                           : text(k).toString());
    };
    while (i < end) {
        const int last = outsideParens(i, end, [&](int k) {  // the item is tokens [i, last)
            return isOp(k, QLatin1StringView(",")) || isWord(k, QLatin1StringView("from")) ||
                   isWord(k, QLatin1StringView("union"));
        });
        if (last == i)
            return std::nullopt;
        const bool named = tok(last - 1).kind == Token::Word || tok(last - 1).kind == Token::Quoted;
        if (isOp(last - 1, QLatin1StringView("*"))) {
            // "*" or "t.*" over a from clause of one table
            int k = outsideParens(last, end,
                                  [&](int t) { return isWord(t, QLatin1StringView("from")); });
            if (k++ >= end)
                return std::nullopt;
            QString table;
            while (tok(k).kind == Token::Word || tok(k).kind == Token::Quoted) {
                table = tok(k).kind == Token::Quoted ? unquote(m_text, tok(k)) : text(k).toString();
                if (!isOp(++k, QLatin1StringView(".")))
                    break;
                ++k;
            }
            const int alias = aliasAt(k, end);
            const int after = alias < 0 ? k : alias + 1;
            if (isWord(after, QLatin1StringView("join")) || isOp(after, QLatin1StringView(",")) ||
                isWord(after + 1, QLatin1StringView("join")))
                return std::nullopt;
            const QStringList columns = schema().columnNames(table);
            if (columns.isEmpty())
                return std::nullopt;
            for (const QString& c : columns)
                names << sqlName(c);
        } else if (last - i >= 3 && isOp(i + 1, QLatin1StringView("=")) &&
                   (tok(i).kind == Token::Word || tok(i).kind == Token::Quoted ||
                    tok(i).kind == Token::String)) {
            names << nameAt(i);  // a = x
        } else if (last - i == 1 && named) {
            names << nameAt(i);  // a column
        } else if (named || tok(last - 1).kind == Token::String) {
            // "t.a", "x as a", "x a"; a lone word after an operator is a column of the
            // expression, not a name ("x + a")
            if (tok(last - 2).kind == Token::Op && !isOp(last - 2, QLatin1StringView(".")) &&
                !isOp(last - 2, QLatin1StringView(")")))
                return std::nullopt;
            names << nameAt(last - 1);
        } else {
            return std::nullopt;
        }
        if (!isOp(last, QLatin1StringView(",")))
            break;
        i = last + 1;
    }
    return names;
}

int Translator::maxRecursion(int begin, int end) const {
    const int option = outsideParens(begin, end, [&](int k) {
        return isWord(k, QLatin1StringView("option")) && skipQueryOption(k, end) > k;
    });
    return option < end ? text(option + 3).toInt() : kDefaultMaxRecursion;
}

int Translator::outsideParens(int begin, int end, const std::function<bool(int)>& stop) const {
    int depth = 0;
    for (int k = begin; k < end; ++k) {
        if (isOp(k, QLatin1StringView("(")))
            ++depth;
        else if (isOp(k, QLatin1StringView(")")))
            --depth;
        else if (depth == 0 && stop(k))
            return k;
    }
    return end;
}

// "option (maxrecursion n)" at tok(i): the token after it; i for any other option.
int Translator::skipQueryOption(int i, int end) const {
    if (!isOp(i + 1, QLatin1StringView("(")) || !isWord(i + 2, QLatin1StringView("maxrecursion")) ||
        tok(i + 3).kind != Token::Number || !isOp(i + 4, QLatin1StringView(")")) || i + 4 >= end)
        return i;
    bool ok = false;
    const int n = text(i + 3).toInt(&ok);
    if (!ok || n < 0 || n > kLargestMaxRecursion)
        fail(i + 3, QStringLiteral("maxrecursion 的值应在 0 到 %1 之间").arg(kLargestMaxRecursion));
    return i + 5;
}

}  // namespace Qd::Core::Db::Tsql::Internal
