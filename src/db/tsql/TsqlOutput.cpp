// output on insert, update and delete: the changed rows back to the caller, or into a table.
// The embedded database's "returning" gives the new values of an inserted or updated row and
// the old values of a deleted one; the old values of an updated row come from a snapshot of
// the rows the update changes, taken just before it.
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

namespace {

// The snapshot of the rows an update with deleted.x changes, keyed by their rowid.
const QString kSnapshot = QStringLiteral("_qd_old");

const QString kSupported = QStringLiteral(
    "output 只支持 inserted.列、deleted.列、inserted.*、deleted.*（可带别名）和 into "
    "表：表达式请在 "
    "select 中对这些列计算");

}  // namespace

std::unique_ptr<Node> statementStep(const Node& statement, const QString& sql, bool helper) {
    auto n = std::make_unique<Node>();
    n->kind = Node::Sql;
    n->line = statement.line;
    n->source = statement.source;
    n->sql = sql;
    n->helper = helper;
    return n;
}

Translator::OutputClause Translator::outputClause(int begin, int end) const {
    static const QSet<QString> clauseEnds = {"values", "select", "default", "where", "from"};
    OutputClause clause;
    int depth = 0;
    for (int k = begin + 1; k < end; ++k) {
        if (isOp(k, QLatin1StringView("(")))
            ++depth;
        else if (isOp(k, QLatin1StringView(")")))
            --depth;
        else if (depth == 0 && isWord(k, QLatin1StringView("output"))) {
            clause.begin = k;
            break;
        }
    }
    if (clause.begin < 0)
        return clause;
    int k = clause.begin + 1;
    for (depth = 0; k < end; ++k) {
        if (isOp(k, QLatin1StringView("(")))
            ++depth;
        else if (isOp(k, QLatin1StringView(")")))
            --depth;
        else if (depth == 0 && clauseEnds.contains(lower(k)))
            break;
        else if (depth == 0 && isWord(k, QLatin1StringView("into"))) {
            // "into @t" or "into #t (a, b)": the clause ends after the table's column list.
            for (++k; k < end && !clauseEnds.contains(lower(k)); ++k)
                if (isOp(k, QLatin1StringView("(")))
                    k = matchingParen(k, end);
            break;
        }
    }
    clause.end = k;
    return clause;
}

std::unique_ptr<Node> Translator::withOutput(std::unique_ptr<Node> n, int begin, int end) {
    const OutputClause clause = m_output;
    m_output = OutputClause();
    const QString kind = lower(begin);
    const bool update = kind == QLatin1String("update");
    int t = begin + 1;
    if (isWord(t, QLatin1StringView("into")) || isWord(t, QLatin1StringView("from")))
        ++t;
    if (isWord(t, QLatin1StringView("top")))
        fail(t, QStringLiteral("output 不能与 top 同用：请在 where 中用子查询限定要改的行"));
    int afterTable = t;
    const QString table = tableRef(afterTable, end);
    const QList<SourceColumn> columns = sourceColumns(t, end);

    // The items: inserted.x / deleted.x / inserted.* / deleted.*, each with an optional alias.
    struct Item {
        bool deleted;
        int column;  // into columns
        QString alias;
    };
    QList<Item> items;
    int i = clause.begin + 1;
    for (;;) {
        const bool deleted = isWord(i, QLatin1StringView("deleted"));
        if ((!deleted && !isWord(i, QLatin1StringView("inserted"))) ||
            !isOp(i + 1, QLatin1StringView(".")))
            fail(i, kSupported);
        if (deleted && kind == QLatin1String("insert"))
            fail(i, QStringLiteral("insert 的 output 只有 inserted"));
        if (!deleted && kind == QLatin1String("delete"))
            fail(i, QStringLiteral("delete 的 output 只有 deleted"));
        i += 2;
        if (isOp(i, QLatin1StringView("*"))) {
            for (int c = 0; c < columns.size(); ++c)
                items.push_back({deleted, c, QString()});
            ++i;
        } else {
            int column = -1;
            for (int c = 0; c < columns.size() && isName(i); ++c)
                if (columns[c].name.compare(nameText(i), Qt::CaseInsensitive) == 0)
                    column = c;
            if (column < 0)
                fail(i, QStringLiteral("表 %1 中没有这一列").arg(table));
            ++i;
            QString alias;
            if (isWord(i, QLatin1StringView("as")))
                ++i;
            if (isName(i))
                alias = nameText(i++);
            items.push_back({deleted, column, alias});
        }
        if (!isOp(i, QLatin1StringView(",")))
            break;
        ++i;
    }
    QString into;
    if (isWord(i, QLatin1StringView("into"))) {
        ++i;
        const int intoAt = i;
        into = QStringLiteral("insert into ") + tableRef(i, clause.end);
        const QString intoTable = tableKey(intoAt, i);
        QStringList names;
        if (isOp(i, QLatin1StringView("("))) {
            const int close = matchingParen(i, clause.end);
            QStringList written;
            for (++i; i < close; ++i)
                if (isName(i))
                    names << nameText(i);
                else if (!isOp(i, QLatin1StringView(",")))
                    fail(i, QStringLiteral("列名列表有误"));
            for (const QString& name : std::as_const(names))
                written << sqlName(name);
            into += QStringLiteral(" (") + written.join(QStringLiteral(", ")) + QLatin1Char(')');
            i = close + 1;
        }
        // One parameter for each item, converted as the column it goes into stores it.
        const QList<std::optional<SqlType>> types = storedTypes(intoTable, names);
        QStringList values;
        for (qsizetype k = 0; k < items.size(); ++k)
            values << storedValue({QStringLiteral("?%1").arg(k + 1)},
                                  k < types.size() ? types[k] : std::nullopt);
        into += QStringLiteral(" values (") + values.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    if (i != clause.end)
        fail(i, kSupported);

    // Each item as the server names it: the column's name, or its alias.
    QStringList returning, types, snapshot;
    for (const Item& item : items) {
        const QString column = sqlName(columns[item.column].name);
        const QString name = sqlName(item.alias.isEmpty() ? columns[item.column].name : item.alias);
        types << columns[item.column].type.name;
        if (item.deleted && update) {
            if (!snapshot.contains(column))
                snapshot << column;
            returning << QStringLiteral(
                             "(select %1.%2 from temp.%1 where %1._qd_rowid = %3.rowid) "
                             "as %4")
                             .arg(kSnapshot, column, table, name);
        } else {
            returning << (name == column ? column : column + QStringLiteral(" as ") + name);
        }
    }
    n->outputInto = into;
    n->returnsRows = into.isEmpty();
    n->changesData = true;
    n->columnTypes = types;
    if (snapshot.isEmpty()) {
        n->sql += QStringLiteral(" returning ") + returning.join(QStringLiteral(", "));
        return n;
    }

    // update ... output deleted.x: the rows the where clause picks, with their old values,
    // then the update of exactly those rows.
    const QString where = clause.wherePos < 0 ? QString() : n->sql.mid(clause.wherePos);
    const QString set = clause.wherePos < 0 ? n->sql : n->sql.left(clause.wherePos);
    auto steps = std::make_unique<Node>();
    steps->kind = Node::Steps;
    steps->line = n->line;
    steps->source = n->source;
    steps->children.push_back(
        statementStep(*n, QStringLiteral("drop table if exists temp.") + kSnapshot, true));
    steps->children.push_back(statementStep(
        *n,
        joinSql({QStringLiteral("create temp table %1 as select rowid as _qd_rowid, %2 "
                                "from %3")
                     .arg(kSnapshot, snapshot.join(QStringLiteral(", ")), table),
                 where.trimmed()}),
        true));
    auto changed = statementStep(
        *n,
        joinSql({set.trimmed(),
                 QStringLiteral("where rowid in (select _qd_rowid from temp.%1) returning %2")
                     .arg(kSnapshot, returning.join(QStringLiteral(", ")))}),
        false);
    changed->returnsRows = n->returnsRows;
    changed->changesData = true;
    changed->outputInto = into;
    changed->columnTypes = types;
    steps->children.push_back(std::move(changed));
    steps->children.push_back(
        statementStep(*n, QStringLiteral("drop table temp.") + kSnapshot, true));
    return steps;
}

}  // namespace Qd::Core::Db::Tsql::Internal
