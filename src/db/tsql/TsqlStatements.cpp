// Queries and data changes: select (top, into, assignment and alias forms), insert, update,
// delete, truncate, drop, create index / view, and table references with their hints.
#include <QRegularExpression>

#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

QString rewriteFor(const QString& word) {
    static const QHash<QString, QString> rewrites = {
        {"apply", "：请改写为 join 一个派生表（先 group by 关联列），或在选择列表中用相关子查询"},
        {"pivot",
         "：pivot 只能紧跟 from 后的一个表或派生表，有 join 时请把 join 放进派生表 "
         "(select ... from a join b on ...) 别名"},
        {"unpivot",
         "：unpivot 只能紧跟 from 后的一个表或派生表，有 join 时请把 join 放进派生表 "
         "(select ... from a join b on ...) 别名"},
        {"merge", "：请改写为 update ... from ... join 加 insert ... where not exists (...)"},
        {"output",
         "：output 只能用在 insert、update、delete 语句本身（不在 with 之后或子查询中）；"
         "否则请改后在同一批中 select 这些行（新行的键用 scope_identity()）"},
        {"for", "：for xml / json 请改为返回行，由程序组装"},
        {"option", "：请去掉查询提示 option (...)"},
        {"fetch", "：分页请写 order by ... offset n rows fetch next m rows only"},
        {"offset", "：offset 只能跟在 order by 之后"},
        {"top", "：top 只能紧跟在 select（或 distinct）之后"}};
    return rewrites.value(word);
}

namespace {
const QSet<QString>& tableHints() {
    static const QSet<QString> hints = {
        "nolock",       "readpast", "readuncommitted", "updlock",
        "rowlock",      "holdlock", "tablock",         "tablockx",
        "xlock",        "paglock",  "readcommitted",   "repeatableread",
        "serializable", "nowait",   "index",           "forceseek"};
    return hints;
}
}  // namespace

QString Translator::tableRef(int& i, int end) {
    if (i >= end)
        fail(i, QStringLiteral("这里应是表名"));
    if (tok(i).kind == Token::Variable) {
        const QString name = text(i).mid(1).toString().toLower();
        if (!m_tableVars.contains(name))
            fail(i, QStringLiteral("必须先声明表变量 @%1").arg(name));
        ++i;
        return m_tableVars.value(name);
    }
    QStringList parts;
    for (;;) {
        if (tok(i).kind == Token::Quoted)
            parts << unquote(m_text, tok(i));
        else if (tok(i).kind == Token::Word && (parts.isEmpty() || !isReserved(lower(i))))
            parts << text(i).toString();
        else
            fail(i, QStringLiteral("这里应是表名"));
        ++i;
        if (!isOp(i, QLatin1StringView(".")))
            break;
        ++i;
        while (isOp(i, QLatin1StringView(".")))  // database..table
            ++i;
    }
    if (!m_recursiveName.isEmpty() &&
        parts.last().compare(m_recursiveName, Qt::CaseInsensitive) == 0) {
        // The recursive member's own reference reads the rows that carry their level.
        const QString levelled = sqlName(QStringLiteral("_qd_rc_") + m_recursiveName);
        return aliasAt(i, end) >= 0 ? levelled
                                    : levelled + QStringLiteral(" as ") + sqlName(parts.last());
    }
    return sqlName(parts.last());
}

std::optional<SqlType> Translator::columnTypeIn(const QString& table, const QString& column) const {
    const auto cte = m_cteColumns.find(table);
    if (cte != m_cteColumns.end())
        return typeOfColumn(*cte, column);
    const auto local = m_localTables.find(table);
    if (local == m_localTables.end())
        return m_schema.columnType(table, column);
    const auto c = local->find(column);
    return c == local->end() ? std::nullopt : std::optional<SqlType>(*c);
}

// The alias after a table name, if any ("t1", "as t1"); a name followed by '(' stays for the
// caller (a column list, or an old-style hint).
void Translator::tableAlias(int& i, int end, QString& out) {
    const int k = aliasAt(i, end);
    if (k < 0)
        return;
    appendSql(out,
              sqlName(tok(k).kind == Token::Quoted ? unquote(m_text, tok(k)) : text(k).toString()));
    i = k + 1;
}

int Translator::aliasAt(int i, int end) const {
    int k = i;
    const bool as = isWord(k, QLatin1StringView("as"));
    if (as)
        ++k;
    if (k < end &&
        (tok(k).kind == Token::Quoted || (tok(k).kind == Token::Word && !isReserved(lower(k)))) &&
        !(isOp(k + 1, QLatin1StringView("(")) && !as && !tableHints().contains(lower(k + 2))))
        return k;
    return -1;
}

TableScope Translator::scanTables(int begin, int end) const {
    TableScope scope;
    auto readName = [&](int& j) -> QString {
        if (tok(j).kind == Token::Variable) {
            const QString v = text(j++).mid(1).toString().toLower();
            return m_tableVars.value(v).toLower();
        }
        QString last;
        while (tok(j).kind == Token::Word || tok(j).kind == Token::Quoted) {
            last = tok(j).kind == Token::Quoted ? unquote(m_text, tok(j)) : text(j).toString();
            ++j;
            if (!isOp(j, QLatin1StringView(".")))
                break;
            while (isOp(j, QLatin1StringView(".")))
                ++j;
        }
        return last.toLower();
    };
    for (int k = begin; k < end; ++k) {
        const QString w = lower(k);
        const bool direct =
            k == begin && (w == QLatin1String("delete") || w == QLatin1String("insert")) &&
            !isWord(k + 1, QLatin1StringView("from")) && !isWord(k + 1, QLatin1StringView("into"));
        if (!direct && w != QLatin1String("from") && w != QLatin1String("join") &&
            w != QLatin1String("update") && w != QLatin1String("into"))
            continue;
        int j = k + 1;
        for (;;) {
            QString name;
            const int open = j;
            if (isOp(j, QLatin1StringView("("))) {
                int depth = 0;
                for (; j < end; ++j) {
                    if (isOp(j, QLatin1StringView("(")))
                        ++depth;
                    else if (isOp(j, QLatin1StringView(")")) && --depth == 0)
                        break;
                }
                ++j;
            } else {
                name = readName(j);
                if (name.isEmpty())
                    break;
                scope.tables << name;
                scope.aliases.insert(name, name);
            }
            if (isWord(j, QLatin1StringView("as")))
                ++j;
            if (tok(j).kind == Token::Word && !isReserved(lower(j))) {
                if (!name.isEmpty())
                    scope.aliases.insert(lower(j), name);
                else if (isWord(open + 1, QLatin1StringView("select")))
                    scope.derived.insert(lower(j), open);
                ++j;
            }
            if (isWord(j, QLatin1StringView("with")) && isOp(j + 1, QLatin1StringView("("))) {
                while (j < end && !isOp(j, QLatin1StringView(")")))
                    ++j;
                ++j;
            }
            if (w == QLatin1String("from") && isOp(j, QLatin1StringView(","))) {
                ++j;
                continue;
            }
            break;
        }
    }
    return scope;
}

// The from clause of "update t set ... from ..." or "delete t from ...", that names the rows
// to change by a join: its token, or -1 when the statement has none.
int Translator::ownFromClause(int begin, int end) const {
    const bool update = isWord(begin, QLatin1StringView("update"));
    int depth = 0;
    bool afterSet = false;
    for (int k = begin + 1; k < end; ++k) {
        if (isOp(k, QLatin1StringView("(")))
            ++depth;
        else if (isOp(k, QLatin1StringView(")")))
            --depth;
        else if (depth == 0 && isWord(k, QLatin1StringView("set")))
            afterSet = true;
        else if (depth == 0 && isWord(k, QLatin1StringView("from")) &&
                 (update ? afterSet : k > begin + 1))
            return k;
    }
    return -1;
}

// The target of an update or delete with its own from clause; tok(i) is its name. The target
// is a table of the from clause, by its alias or its name; a target the clause does not name is
// joined to it, as the server does. `rowid` is the target row's key inside the clause.
Translator::JoinTarget Translator::joinTarget(int& i, int from, int end) {
    JoinTarget t;
    const int at = i;
    const QString written = tableRef(i, end);
    const QString key = tok(at).kind == Token::Variable
                            ? written.toLower()
                            : (tok(i - 1).kind == Token::Quoted ? unquote(m_text, tok(i - 1))
                                                                : text(i - 1).toString())
                                  .toLower();
    t.from = translateStatement(from, end, nullptr, nullptr);
    const TableScope inFrom = scanTables(from, end);
    if (inFrom.aliases.contains(key)) {
        t.table = sqlName(inFrom.aliases.value(key));
    } else {
        t.table = written;
        t.from = QStringLiteral("from ") + written + QStringLiteral(", ") +
                 t.from.mid(int(sizeof("from")));
    }
    t.rowid = written + QStringLiteral(".rowid");
    t.key = inFrom.aliases.value(key, key);
    return t;
}

// update x set a = e, ... from t x join u on ... [where ...]: each row of the target is given the
// values its join row computes, through a derived table keyed by the target's rowid (the
// embedded database's own update ... from cannot see the target inside the join).
QString Translator::translateUpdateFrom(int begin, int from, int end) {
    int i = begin + 1;
    if (isWord(i, QLatin1StringView("top")))
        fail(i, QStringLiteral("不支持 update top ... from，请在 where 中用子查询限定行"));
    const JoinTarget target = joinTarget(i, from, end);
    if (!isWord(i, QLatin1StringView("set")))
        fail(i, QStringLiteral("这里应是 set"));
    ++i;
    const TableScope scope = scanTables(begin, end);
    QStringList sets, values;
    while (i < from) {
        if (isOp(i + 1, QLatin1StringView(".")))
            i += 2;  // x.col: the target's own column
        if (tok(i).kind != Token::Word && tok(i).kind != Token::Quoted)
            fail(i, QStringLiteral("这里应是要更新的列名"));
        const QString column =
            tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString();
        if (!isOp(i + 1, QLatin1StringView("=")))
            fail(i + 1, QStringLiteral("这里应是 ="));
        i += 2;
        const QString value = QStringLiteral("_qd_v%1").arg(sets.size() + 1);
        const int at = i;
        const Expr e = parseExpr(i, from, scope);
        values << storedValue(e, columnTypeIn(target.key, column.toLower()), at, i) +
                      QStringLiteral(" as ") + value;
        sets << sqlName(column) + QStringLiteral(" = _qd_from.") + value;
        if (isOp(i, QLatin1StringView(",")))
            ++i;
        else if (i != from)
            fail(i, QStringLiteral("set 列表有误"));
    }
    if (sets.isEmpty())
        fail(i, QStringLiteral("set 后应是要更新的列"));
    return QStringLiteral(
               "update %1 as _qd_target set %2 from (select %3 as _qd_rowid, %4 %5) as "
               "_qd_from where _qd_target.rowid = _qd_from._qd_rowid")
        .arg(target.table, sets.join(QStringLiteral(", ")), target.rowid,
             values.join(QStringLiteral(", ")), target.from);
}

// delete [from] x from t x join u on ... [where ...]: the target rows the join keeps, by rowid.
QString Translator::translateDeleteFrom(int begin, int from, int end) {
    int i = begin + 1;
    if (isWord(i, QLatin1StringView("from")))
        ++i;
    if (isWord(i, QLatin1StringView("top")))
        fail(i, QStringLiteral("不支持 delete top ... from，请在 where 中用子查询限定行"));
    const JoinTarget target = joinTarget(i, from, end);
    if (i != from)
        fail(i, QStringLiteral("delete 的目标表后应是 from"));
    return QStringLiteral("delete from %1 where rowid in (select %2 %3)")
        .arg(target.table, target.rowid, target.from);
}

// "with name [(column, ...)] as (select ...)[, ...]" before the statement that uses them;
// tok(i) is "with". A recursive one (union all referring to itself) needs no other word.
QString Translator::commonTableExpressions(int& i, int end) {
    QString out = QStringLiteral("with");
    const int limit = maxRecursion(i, end);
    ++i;
    for (;;) {
        if (tok(i).kind != Token::Word && tok(i).kind != Token::Quoted)
            fail(i, QStringLiteral("with 后应是公用表表达式的名称"));
        const QString name =
            tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString();
        QStringList columns;
        ++i;
        if (isOp(i, QLatin1StringView("("))) {
            const int close = matchingParen(i, end);
            for (int k = i + 1; k < close; ++k) {
                if (tok(k).kind == Token::Word || tok(k).kind == Token::Quoted)
                    columns << sqlName(tok(k).kind == Token::Quoted ? unquote(m_text, tok(k))
                                                                    : text(k).toString());
                else if (!isOp(k, QLatin1StringView(",")))
                    fail(k, QStringLiteral("列名列表有误"));
            }
            i = close + 1;
        }
        if (!isWord(i, QLatin1StringView("as")) || !isOp(i + 1, QLatin1StringView("(")) ||
            !isWord(i + 2, QLatin1StringView("select")))
            fail(i, QStringLiteral("这里应是 as (select ...)"));
        const int open = i + 1;
        const int close = matchingParen(open, end);
        m_cteColumns.insert(name.toLower(), queryColumns(open, columns));
        if (selfReference(name, open + 1, close) >= 0) {
            appendSql(out, recursiveCte(name, columns, open, close, limit));
            i = close + 1;
        } else {
            appendSql(out, sqlName(name));
            if (!columns.isEmpty())
                appendSql(out,
                          QLatin1Char('(') + columns.join(QStringLiteral(", ")) + QLatin1Char(')'));
            appendSql(out, QStringLiteral("as"));
            ++i;
            appendSql(out, translateSubquery(i, i));
        }
        if (!isOp(i, QLatin1StringView(",")))
            return out;
        out += QLatin1Char(',');
        ++i;
    }
}

// The count of "top n", "top (expression)" or "top @n"; tok(i) is "top".
QString Translator::topCount(int& i, int end, const TableScope& scope) {
    ++i;
    if (isOp(i, QLatin1StringView("("))) {
        const int close = matchingParen(i, end);
        ++i;
        const QString n = parseExpr(i, close, scope).sql;
        if (i != close)
            fail(i, QStringLiteral("top (...) 有误"));
        i = close + 1;
        return n;
    }
    if (tok(i).kind != Token::Number && tok(i).kind != Token::Variable)
        fail(i, QStringLiteral("top 后应是数字"));
    return parsePrimary(i, end, scope).sql;
}

// cross apply / outer apply (select [top n] items from table [alias] [where ...] [order by ...]) x:
// the embedded database has no lateral join, so the applied query becomes a join to the table's
// rows (x, with the items as its columns) on the rowids the correlated query picks:
//   [left] join (select a.rowid as _qd_rowid, items from table a) x
//     on x._qd_rowid in (select a.rowid from table a where ... order by ... limit n)
// tok(i) is "cross" or "outer". Aggregates, distinct, group by and joins inside are refused.
QString Translator::applyJoin(int& i, int end, const TableScope& scope) {
    const bool outer = isWord(i, QLatin1StringView("outer"));
    const int at = i + 1;
    i += 2;
    auto refuse = [&](int k) {
        fail(k,
             QStringLiteral("apply 只支持单表、无聚合的派生表 (select [top n] 列 from 表 where ... "
                            "order by ...)") +
                 rewriteFor(QStringLiteral("apply")));
    };
    if (!isOp(i, QLatin1StringView("(")) || !isWord(i + 1, QLatin1StringView("select")))
        refuse(at);
    const int close = matchingParen(i, end);
    i += 2;
    const QString limit =
        isWord(i, QLatin1StringView("top")) ? topCount(i, close, scope) : QString();
    if (isWord(i, QLatin1StringView("distinct")) || isWord(i, QLatin1StringView("top")))
        refuse(i);
    static const QSet<QString> aggregates = {"count", "sum",       "avg",       "min",
                                             "max",   "count_big", "string_agg"};
    QStringList items;
    while (i < close && !isWord(i, QLatin1StringView("from"))) {
        const int itemStart = i;
        for (int k = i; k < close && !isWord(k, QLatin1StringView("from")); ++k)
            if (tok(k).kind == Token::Word && aggregates.contains(lower(k)) &&
                isOp(k + 1, QLatin1StringView("(")))
                refuse(k);
        QString item;
        if ((tok(i).kind == Token::Word || tok(i).kind == Token::Quoted) &&
            isOp(i + 1, QLatin1StringView("=")) && !isReserved(lower(i))) {
            const QString alias =
                tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString();
            i += 2;
            item = parseExpr(i, close, scope).sql + QStringLiteral(" as ") + sqlName(alias);
        } else {
            item = parseExpr(i, close, scope).sql;
            if (isWord(i, QLatin1StringView("as")))
                ++i;
            if (tok(i).kind == Token::Quoted ||
                (tok(i).kind == Token::Word && !isReserved(lower(i)))) {
                item += QStringLiteral(" as ") + sqlName(tok(i).kind == Token::Quoted
                                                             ? unquote(m_text, tok(i))
                                                             : text(i).toString());
                ++i;
            }
        }
        if (i == itemStart)
            refuse(i);
        items << item;
        if (isOp(i, QLatin1StringView(",")))
            ++i;
        else if (!isWord(i, QLatin1StringView("from")))
            refuse(i);
    }
    if (!isWord(i, QLatin1StringView("from")))
        refuse(i);
    ++i;
    QString source = tableRef(i, close);
    QString name;
    tableAlias(i, close, name);
    const QString row = name.isEmpty() ? source : name;
    if (!name.isEmpty())
        source += QLatin1Char(' ') + name;
    QString pick = QStringLiteral("select %1.rowid from %2").arg(row, source);
    if (isWord(i, QLatin1StringView("where"))) {
        ++i;
        pick += QStringLiteral(" where ") + parseExpr(i, close, scope).sql;
    }
    if (isWord(i, QLatin1StringView("order")))
        pick += QLatin1Char(' ') + orderBy(i, close, scope);
    if (i != close)
        refuse(i);
    if (!limit.isEmpty())
        pick += QStringLiteral(" limit ") + limit;
    i = close + 1;
    if (isWord(i, QLatin1StringView("as")))
        ++i;
    if (tok(i).kind != Token::Word && tok(i).kind != Token::Quoted)
        fail(i, QStringLiteral("apply 的派生表需要别名"));
    const QString alias =
        sqlName(tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString());
    ++i;
    return QStringLiteral(
               "%1join (select %2.rowid as _qd_rowid, %3 from %4) %5 on %5._qd_rowid "
               "in (%6)")
        .arg(outer ? QStringLiteral("left ") : QString(), row, items.join(QStringLiteral(", ")),
             source, alias, pick);
}

// "offset n row[s] [fetch first|next m row[s] only]"; tok(i) is "offset".
QString Translator::offsetFetch(int& i, int end, const TableScope& scope) {
    ++i;
    const QString skip = parseExpr(i, end, scope).sql;
    auto rowWord = [&] {
        if (!isWord(i, QLatin1StringView("row")) && !isWord(i, QLatin1StringView("rows")))
            fail(i, QStringLiteral("这里应是 rows"));
        ++i;
    };
    rowWord();
    QString take = QStringLiteral("-1");
    if (isWord(i, QLatin1StringView("fetch"))) {
        ++i;
        if (!isWord(i, QLatin1StringView("first")) && !isWord(i, QLatin1StringView("next")))
            fail(i, QStringLiteral("fetch 后应是 next 或 first"));
        ++i;
        take = parseExpr(i, end, scope).sql;
        rowWord();
        if (!isWord(i, QLatin1StringView("only")))
            fail(i, QStringLiteral("这里应是 only"));
        ++i;
    }
    return QStringLiteral("limit %1 offset %2").arg(take, skip);
}

// The limit of "top n", "top n percent" (rounded up, over the rows the query gives) and
// "top n with ties" (the rows ranked n or better by the query's order by). `out` is the query
// translated so far; fromPos / orderPos are where its from and order by start.
QString Translator::topLimit(const QString& out, const QString& n, bool percent, int withTiesAt,
                             qsizetype fromPos, qsizetype orderPos,
                             const QHash<QString, QString>& aliases) const {
    if (percent)
        return QStringLiteral(
                   "(select cast(x as integer) + (x > cast(x as integer)) from "
                   "(select count(*) * (%1) / 100.0 as x from (%2)))")
            .arg(n, out);
    if (withTiesAt < 0)
        return n;
    if (orderPos < 0)
        fail(withTiesAt, QStringLiteral("top ... with ties 必须有 order by"));
    const QString from = fromPos < 0 ? QString() : out.mid(fromPos, orderPos - fromPos);
    QString keys = out.mid(orderPos).trimmed().mid(qsizetype(sizeof("order by")));
    static const QRegularExpression position(QStringLiteral("(^|,)\\s*\\d+(\\s+desc)?\\s*(,|$)"));
    if (position.match(keys).hasMatch())
        fail(withTiesAt,
             QStringLiteral("top ... with ties 的 order by 请写列名或表达式，不要写列序号"));
    // The ranking runs over the from clause, where the select list's aliases do not exist: an
    // alias in the order by stands for its expression there.
    for (auto a = aliases.begin(); a != aliases.end(); ++a)
        keys.replace(QRegularExpression(QStringLiteral("(?<![\\w.\"])%1(?![\\w\"])")
                                            .arg(QRegularExpression::escape(a.key())),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::UseUnicodePropertiesOption),
                     QLatin1Char('(') + a.value() + QLatin1Char(')'));
    return QStringLiteral(
               "(select count(*) from (select rank() over (order by %1) as _qd_rank %2) "
               "where _qd_rank <= (%3))")
        .arg(keys, from.trimmed(), n);
}

QString Translator::translateSubquery(int open, int& i) {
    const int close = matchingParen(open, size());
    const QString inner = translateStatement(open + 1, close, nullptr, nullptr);
    i = close + 1;
    return QLatin1Char('(') + inner + QLatin1Char(')');
}

QString Translator::translateStatement(int begin, int end, QStringList* targets,
                                       bool* returnsRows) {
    const QString first = lower(begin);
    if (returnsRows)
        *returnsRows = false;
    if (targets) {
        m_columnTypes.clear();
        m_cteColumns.clear();  // a statement's with names nothing beyond it
        m_output = OutputClause();
    }

    if (first == QLatin1String("create")) {
        if (isWord(begin + 1, QLatin1StringView("table")))
            return translateCreateTable(begin, end);
        int k = begin + 1;
        if (isWord(k, QLatin1StringView("unique")))
            ++k;
        if (isWord(k, QLatin1StringView("clustered")) ||
            isWord(k, QLatin1StringView("nonclustered")))
            ++k;
        if (!isWord(k, QLatin1StringView("index")) && !isWord(k, QLatin1StringView("view")))
            fail(begin + 1, QStringLiteral("不支持的 create 语句"));
    }
    if (first == QLatin1String("alter")) {
        if (!isWord(begin + 1, QLatin1StringView("table")))
            fail(begin + 1, QStringLiteral("只支持 alter table"));
        return translateAlterTable(begin, end);
    }
    if (first == QLatin1String("truncate")) {
        if (!isWord(begin + 1, QLatin1StringView("table")))
            fail(begin + 1, QStringLiteral("truncate 后应是 table"));
        int i = begin + 2;
        const QString table = tableRef(i, end);
        if (i != end)
            fail(i, QStringLiteral("truncate table 只能有一个表名"));
        return QStringLiteral("delete from ") + table;
    }
    if (first == QLatin1String("drop")) {
        const QString what = lower(begin + 1);
        int i = begin + 2;
        QString sql = QStringLiteral("drop ") + what;
        if (isWord(i, QLatin1StringView("if")) && isWord(i + 1, QLatin1StringView("exists"))) {
            sql += QStringLiteral(" if exists");
            i += 2;
        }
        if (what == QLatin1String("index")) {
            // "drop index table.ix" and "drop index ix on table" both name the index.
            QString last;
            while (tok(i).kind == Token::Word || tok(i).kind == Token::Quoted) {
                last = tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString();
                ++i;
                if (!isOp(i, QLatin1StringView(".")))
                    break;
                ++i;
            }
            if (isWord(i, QLatin1StringView("on"))) {
                ++i;
                tableRef(i, end);
            }
            if (last.isEmpty() || i != end)
                fail(i, QStringLiteral("drop index 语法有误"));
            return sql + QLatin1Char(' ') + sqlName(last);
        }
        if (what != QLatin1String("table") && what != QLatin1String("view"))
            fail(begin + 1, QStringLiteral("不支持的 drop 语句"));
        sql += QLatin1Char(' ') + tableRef(i, end);
        if (i != end)
            fail(i, QStringLiteral("一条 drop 语句只能删除一个对象"));
        return sql;
    }

    checkViewTarget(begin, end);
    const bool changesData = first == QLatin1String("insert") || first == QLatin1String("update") ||
                             first == QLatin1String("delete");
    if (targets && changesData)
        m_output = outputClause(begin, end);
    if (first == QLatin1String("update") || first == QLatin1String("delete")) {
        const int from = ownFromClause(begin, end);
        if (from >= 0 && targets && m_output.begin >= 0)
            fail(m_output.begin,
                 QStringLiteral("output 不能与 update / delete ... from 同用：请在 where "
                                "中用子查询限定要改的行"));
        if (from >= 0)
            return first == QLatin1String("update") ? translateUpdateFrom(begin, from, end)
                                                    : translateDeleteFrom(begin, from, end);
    }

    const TableScope scope = scanTables(begin, end);
    QString out;
    QString limit;  // from top, appended at the end of this query level
    bool topPercent = false;
    int withTiesAt = -1;                    // the token of "with ties"
    QString offset;                         // from offset ... fetch: "limit m offset n"
    qsizetype fromPos = -1, orderPos = -1;  // where this level's from / order by start in out
    qsizetype itemPos = -1;                 // where the current select-list item starts in out
    QHash<QString, QString> aliases;        // select-list alias (lower case) -> its expression
    QString intoTable;                      // select ... into
    int depth = 0;                          // plain parentheses opened by this level
    bool inSelectList = false;
    bool itemStart = false;
    bool expectTable = false;
    bool inFrom = false;
    int sourceTok = -1;        // the table source met last: its first token,
    qsizetype sourcePos = -1;  // and where its translation starts in out
    int items = 0;
    QStringList itemTypes;                     // the type of each select-list item, where known
    QList<std::pair<int, QString>> starItems;  // "*" / "q.*" items: their place, the qualifier
    bool typingItems = targets != nullptr;     // the statement's own first select list
    const bool isUpdate = first == QLatin1String("update");
    // Values written into decimal and money columns are converted to them: the types of an
    // insert's columns by position, and the table an update changes.
    QList<std::optional<SqlType>> stored;
    if (targets && (first == QLatin1String("insert") || first == QLatin1String("with")))
        stored = insertTypes(begin, end);
    const auto storedAt = [&](int column) {
        return column >= 0 && column < stored.size() ? stored[column] : std::nullopt;
    };
    bool valueRows = false;   // past the "values" of such an insert
    bool valueStart = false;  // at a value of one of its rows,
    int valueColumn = -1;     // the one written into this column
    int selectColumn = -1;    // the same for an item of its select list; -1 after a "*"
    QString updated;
    if (isUpdate && isName(begin + 1)) {
        int k = begin + 1;
        tableRef(k, end);
        updated = tableKey(begin + 1, k);
    }
    // A column of ours for this level's select list (a recursive expression's level), put
    // before the clause that ends the list.
    QString extraItem = std::exchange(m_extraItem, QString());
    const auto endSelectList = [&] {
        if (extraItem.isEmpty())
            return;
        appendSql(out, QStringLiteral(","));
        appendSql(out, extraItem);
        extraItem.clear();
    };

    int i = begin;
    while (i < end) {
        if (targets && i == m_output.begin) {
            i = m_output.end;  // translated by withOutput
            continue;
        }
        if (valueStart) {
            valueStart = false;
            if (!isWord(i, QLatin1StringView("default"))) {
                const int at = i;
                const Expr e = parseExpr(i, end, scope);
                appendSql(out, storedValue(e, storedAt(valueColumn), at, i));
                continue;
            }
        }
        const Token& t = tok(i);
        if (t.kind == Token::Op) {
            const QString op = text(i).toString();
            if (op == QLatin1String("(") && valueRows && depth == 0) {
                ++depth;  // a row of values
                appendSql(out, op);
                ++i;
                valueColumn = 0;
                valueStart = true;
                continue;
            }
            if (op == QLatin1String("(") && opensExpression(i, begin, end)) {
                // "(a + b) / 5", "(c) not in (1, 2)": the expression parser takes the whole.
            } else if (op == QLatin1String("(")) {
                if (isWord(i + 1, QLatin1StringView("select")) ||
                    isWord(i + 1, QLatin1StringView("with"))) {
                    if (expectTable) {
                        sourceTok = i;
                        sourcePos = out.size();
                    }
                    appendSql(out, translateSubquery(i, i));
                    expectTable = false;
                    itemStart = false;
                    continue;
                }
                if (tok(i + 1).kind == Token::Word && tableHints().contains(lower(i + 1)) &&
                    isOp(i + 2, QLatin1StringView(")"))) {
                    i += 3;  // old-style hint: t (nolock)
                    continue;
                }
                ++depth;
                appendSql(out, op);
                ++i;
                continue;
            }
            if (op == QLatin1String(")")) {
                if (--depth < 0)
                    fail(i, QStringLiteral("多余的 )"));
                appendSql(out, op);
                ++i;
                continue;
            }
            if (op == QLatin1String(",")) {
                appendSql(out, op);
                ++i;
                if (valueRows && depth == 1) {
                    ++valueColumn;
                    valueStart = true;
                }
                if (inSelectList && depth == 0) {
                    itemStart = true;
                    itemPos = out.size();
                }
                if (inFrom && depth == 0)
                    expectTable = true;
                continue;
            }
            if (op == QLatin1String(";")) {
                ++i;
                continue;
            }
        }

        if (t.kind == Token::Word) {
            const QString w = lower(i);
            if (w == QLatin1String("with") && i == begin) {
                appendSql(out, commonTableExpressions(i, end));
                continue;
            }
            if (w == QLatin1String("select")) {
                if (!limit.isEmpty())
                    fail(i, QStringLiteral("top 不能与 union 等复合查询同用"));
                appendSql(out, w);
                ++i;
                if (isWord(i, QLatin1StringView("distinct")) || isWord(i, QLatin1StringView("all")))
                    appendSql(out, lower(i++));
                if (isWord(i, QLatin1StringView("top"))) {
                    limit = topCount(i, end, scope);
                    if (isWord(i, QLatin1StringView("percent"))) {
                        topPercent = true;
                        ++i;
                    }
                    if (isWord(i, QLatin1StringView("with")) &&
                        isWord(i + 1, QLatin1StringView("ties"))) {
                        if (topPercent)
                            fail(i, QStringLiteral(
                                        "不支持 top ... percent with ties，请用 rank() 改写"));
                        withTiesAt = i;
                        i += 2;
                    }
                }
                if (depth == 0) {
                    inSelectList = true;
                    itemStart = true;
                    itemPos = out.size();
                    selectColumn = stored.isEmpty() ? -1 : 0;
                }
                continue;
            }
            if (w == QLatin1String("into") && inSelectList && depth == 0) {
                ++i;
                const bool temp = text(i).startsWith(QLatin1Char('#'));
                intoTable = (temp ? QStringLiteral("create temp table ")
                                  : QStringLiteral("create table ")) +
                            tableRef(i, end) + QStringLiteral(" as");
                continue;
            }
            if (w == QLatin1String("into") || w == QLatin1String("join") ||
                (w == QLatin1String("update") && i == begin)) {
                appendSql(out, w);
                ++i;
                expectTable = true;
                continue;
            }
            if ((w == QLatin1String("insert") || w == QLatin1String("delete")) && i == begin) {
                appendSql(out, w);
                ++i;
                const QLatin1StringView next(w == QLatin1String("insert") ? "into" : "from");
                if (!isWord(i, next)) {
                    appendSql(out, QString(next));
                    expectTable = true;
                }
                continue;
            }
            if (w == QLatin1String("from")) {
                if (depth == 0) {
                    endSelectList();
                    inSelectList = false;
                    typingItems = false;
                    if (fromPos < 0)
                        fromPos = out.size();
                }
                appendSql(out, w);
                ++i;
                expectTable = true;
                inFrom = depth == 0;
                continue;
            }
            if (w == QLatin1String("where") || w == QLatin1String("group") ||
                w == QLatin1String("order") || w == QLatin1String("having") ||
                w == QLatin1String("on")) {
                if (depth == 0) {
                    endSelectList();
                    inFrom = false;
                    inSelectList = false;
                    typingItems = false;
                    if (w == QLatin1String("order"))
                        orderPos = out.size();
                    if (w == QLatin1String("where") && targets && changesData)
                        m_output.wherePos = out.size();
                }
            }
            if (w == QLatin1String("offset") && depth == 0) {
                if (!limit.isEmpty())
                    fail(i, QStringLiteral("top 不能与 offset 同用"));
                offset = offsetFetch(i, end, scope);
                continue;
            }
            if ((w == QLatin1String("cross") || w == QLatin1String("outer")) &&
                isWord(i + 1, QLatin1StringView("apply")) && depth == 0) {
                appendSql(out, applyJoin(i, end, scope));
                continue;
            }
            if (w == QLatin1String("union") || w == QLatin1String("except") ||
                w == QLatin1String("intersect")) {
                if (!limit.isEmpty())
                    fail(i, QStringLiteral("top 不能与 union 等复合查询同用"));
                inFrom = false;
                typingItems = false;
            }
            if (w == QLatin1String("with") && isOp(i + 1, QLatin1StringView("("))) {
                i = matchingParen(i + 1, end) + 1;  // table hints
                continue;
            }
            if (w == QLatin1String("clustered") || w == QLatin1String("nonclustered")) {
                ++i;
                continue;
            }
            if (w == QLatin1String("collate")) {
                i += 2;
                continue;
            }
            if (w == QLatin1String("set") && isUpdate) {
                appendSql(out, w);
                ++i;
                if (depth == 0 && !updated.isEmpty())
                    appendSql(out, setList(i, end, updated, scope));
                continue;
            }
            if (w == QLatin1String("values") && depth == 0 && !stored.isEmpty())
                valueRows = true;
            if (w == QLatin1String("option") && depth == 0 && skipQueryOption(i, end) > i) {
                i = skipQueryOption(i, end);  // its limit was taken with the expressions
                continue;
            }
            if ((w == QLatin1String("pivot") || w == QLatin1String("unpivot")) && depth == 0 &&
                inFrom && sourceTok >= 0) {
                const QString sourceSql = out.mid(sourcePos).trimmed();
                out.truncate(sourcePos);
                appendSql(out, pivotTable(sourceTok, sourceSql, i, end));
                continue;
            }
            if (w == QLatin1String("for") || w == QLatin1String("option") ||
                w == QLatin1String("output") || w == QLatin1String("pivot") ||
                w == QLatin1String("unpivot") || w == QLatin1String("apply") ||
                w == QLatin1String("offset") || w == QLatin1String("fetch") ||
                w == QLatin1String("merge") || w == QLatin1String("top"))
                fail(i, QStringLiteral("不支持的 T-SQL 子句 %1").arg(w) + rewriteFor(w));
            if (expectTable && !isReserved(w)) {
                sourceTok = i;
                sourcePos = out.size();
                appendSql(out, tableRef(i, end));
                tableAlias(i, end, out);
                expectTable = false;
                continue;
            }
            if (w == QLatin1String("on") && first == QLatin1String("create")) {
                appendSql(out, w);
                ++i;
                expectTable = true;
                continue;
            }
            if (w == QLatin1String("as") && inSelectList && depth == 0 &&
                (tok(i + 1).kind == Token::Word || tok(i + 1).kind == Token::Quoted)) {
                const QString alias =
                    sqlName(tok(i + 1).kind == Token::Quoted ? unquote(m_text, tok(i + 1))
                                                             : text(i + 1).toString());
                aliases.insert(alias.toLower(), out.mid(itemPos).trimmed());
                appendSql(out, w);
                appendSql(out, alias);
                i += 2;
                continue;
            }
            if (isReserved(w) && !startsExpression(w) &&
                !((w == QLatin1String("left") || w == QLatin1String("right")) &&
                  isOp(i + 1, QLatin1StringView("(")))) {
                appendSql(out, w);
                ++i;
                continue;
            }
        }

        if (expectTable && (t.kind == Token::Variable || t.kind == Token::Quoted)) {
            sourceTok = i;
            sourcePos = out.size();
            appendSql(out, tableRef(i, end));
            tableAlias(i, end, out);
            expectTable = false;
            continue;
        }
        if (inSelectList && itemStart && depth == 0 && isOp(i + 1, QLatin1StringView("=")) &&
            !isOp(i + 2, QLatin1StringView("="))) {
            if (t.kind == Token::Variable) {
                if (!targets)
                    fail(i, QStringLiteral("子查询中不能给变量赋值"));
                variableParam(i);  // must be declared
                *targets << text(i).mid(1).toString().toLower();
                i += 2;
                appendSql(out, parseExpr(i, end, scope).sql);
                itemStart = false;
                ++items;
                continue;
            }
            if (t.kind == Token::Word || t.kind == Token::Quoted || t.kind == Token::String) {
                // The alias form "name = expression".
                const QString alias =
                    t.kind == Token::Word ? text(i).toString() : unquote(m_text, t);
                i += 2;
                const int at = i;
                const Expr e = parseExpr(i, end, scope);
                const QString value = storedValue(e, storedAt(selectColumn), at, i);
                if (selectColumn >= 0)
                    ++selectColumn;
                aliases.insert(sqlName(alias).toLower(), value);
                appendSql(out, value + QStringLiteral(" as ") + sqlName(alias));
                itemStart = false;
                ++items;
                if (typingItems)
                    itemTypes << resultTypeOf(e);
                continue;
            }
        }
        const bool wasItemStart = itemStart && inSelectList && depth == 0;
        if (inSelectList && !itemStart && depth == 0 &&
            (t.kind == Token::Quoted || (t.kind == Token::Word && !isReserved(lower(i))))) {
            // "expression alias"
            const QString alias =
                sqlName(t.kind == Token::Quoted ? unquote(m_text, t) : text(i).toString());
            aliases.insert(alias.toLower(), out.mid(itemPos).trimmed());
            appendSql(out, alias);
            ++i;
            continue;
        }
        const int at = i;
        const Expr e = parseExpr(i, end, scope);
        if (wasItemStart && selectColumn >= 0) {
            const bool star = e.sql == QLatin1String("*") || e.sql.endsWith(QLatin1String(".*"));
            appendSql(out, star ? e.sql : storedValue(e, storedAt(selectColumn), at, i));
            selectColumn = star ? -1 : selectColumn + 1;  // a star's columns are not counted
        } else {
            appendSql(out, e.sql);
        }
        if (wasItemStart) {
            ++items;
            if (typingItems && isOp(i - 1, QLatin1StringView("*")) && i - at <= 3)
                starItems.push_back(
                    {int(itemTypes.size()), i - at == 3 ? nameText(at) : QString()});
            if (typingItems)
                itemTypes << resultTypeOf(e);
        }
        itemStart = false;
    }
    endSelectList();
    if (targets && returnsRows) {
        // "*" and "q.*" stand for the columns of their sources (from the last, so that the
        // positions of the ones before stay).
        for (auto s = starItems.crbegin(); s != starItems.crend(); ++s) {
            const std::optional<QStringList> types = starTypes(begin, end, s->second);
            if (!types)
                break;  // the types no longer line up with the columns: decltype alone
            itemTypes.remove(s->first);
            for (qsizetype k = types->size(); k-- > 0;)
                itemTypes.insert(s->first, types->at(k));
        }
        m_columnTypes = itemTypes;
    }

    if (depth > 0)
        fail(end, QStringLiteral("括号没有闭合"));
    if (targets && !targets->isEmpty() && targets->size() != items)
        fail(begin, QStringLiteral("给变量赋值的 select 不能同时返回数据"));
    if (!limit.isEmpty())
        appendSql(out, QStringLiteral("limit ") + topLimit(out, limit, topPercent, withTiesAt,
                                                           fromPos, orderPos, aliases));
    appendSql(out, offset);
    if (!intoTable.isEmpty())
        return intoTable + QLatin1Char(' ') + out;
    if (returnsRows && (!targets || targets->isEmpty())) {
        if (first == QLatin1String("select")) {
            *returnsRows = true;
        } else if (first == QLatin1String("with")) {
            *returnsRows = true;
            for (int k = begin; k < end; ++k)
                if (isWord(k, QLatin1StringView("insert")) ||
                    isWord(k, QLatin1StringView("update")) ||
                    isWord(k, QLatin1StringView("delete")))
                    *returnsRows = false;
        }
    }
    return out;
}

}  // namespace Qd::Core::Db::Tsql::Internal
