// Recursive common table expressions keep the server's limit on their depth. The embedded
// database would follow a recursion that never ends until memory runs out; the server stops
// it at 100 levels (or at "option (maxrecursion n)", 0 for none) with error 530. So the rows
// carry their level in a column of ours, the recursive member's rows one more than the row
// they come from, checked by qd_recursion_level; a second expression under the written name
// shows the columns without it (so the columns need names: the list after the name, or the
// anchor's aliases and columns):
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
    if (columns.isEmpty())
        for (const SourceColumn& c : selectListColumns(open, close))
            columns << sqlName(c.name);
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
