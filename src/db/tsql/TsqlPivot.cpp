// pivot and unpivot: the embedded database has neither, so the table source and the operator
// after it become one derived table. A pivot groups by every source column but the aggregated
// one and the one whose values name the new columns; each new column aggregates, per group, the
// rows holding its value. An unpivot gives one row per source row and listed column whose value
// is not NULL.
#include "db/DataServices.h"
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

namespace {

// Under this name the columns of a pivot's source are typed while its aggregate is translated,
// so that the aggregate keeps its type rules (avg of ints is an int, decimal sums are exact).
const QString kPivotSource = QStringLiteral("_qd_pivot_source");

// A declared type standing for what the translator knows of an expression's type: the type it
// declares (a cast, a column), else one guessed from its kind.
SqlType sqlTypeOf(const Expr& e) {
    if (!e.declared.isEmpty())
        if (const std::optional<SqlType> t = parseTypeName(e.declared))
            return *t;
    QString name = resultTypeOf(e);  // money, decimal(38,s)
    if (e.intBits)
        name = e.intBits == 64 ? QStringLiteral("bigint") : QStringLiteral("int");
    else if (name.isEmpty() && e.type == VType::Text)
        name = QStringLiteral("nvarchar");
    else if (name.isEmpty() && e.type == VType::Time)
        name = QStringLiteral("datetime");
    SqlType t = parseTypeName(name).value_or(SqlType{});
    t.guessed = true;
    return t;
}

// A value of a pivot's in list ([A], [2024]) as a literal to compare the pivot column with: a
// number where the column is not text (an int column holding 2024 must meet 2024, not '2024').
QString pivotLiteral(const QString& value, const SqlType& columnType) {
    bool number = false;
    value.toDouble(&number);
    return number && !columnType.isText() && !columnType.isTime() ? value : quotedSql(value);
}

}  // namespace

QStringList Translator::tableColumnNames(const QString& table) const {
    return m_localTables.contains(table) ? m_localColumnNames.value(table)
                                         : m_schema.columnNames(table);
}

QList<Translator::SourceColumn> Translator::sourceColumns(int source, int end) {
    if (isOp(source, QLatin1StringView("(")))
        return selectListColumns(source, matchingParen(source, end));
    int k = source;
    tableRef(k, end);
    const QString table = tableKey(source, k);
    const QStringList names = tableColumnNames(table);
    if (names.isEmpty())
        fail(source, QStringLiteral("不知道表 %1 的列：请改用列出列名的派生表 (select 列, ... from "
                                    "表) 别名")
                         .arg(text(k - 1)));
    QList<SourceColumn> columns;
    for (const QString& name : names)
        columns.push_back({name, columnTypeIn(table, name.toLower()).value_or(SqlType{})});
    return columns;
}

// The columns a derived table's select list gives, with the types of their expressions:
// "x", "t.x", "e as x", "e x", "x = e", and "*" / "t.*" of tables whose columns are known.
QList<Translator::SourceColumn> Translator::selectListColumns(int open, int close, bool named) {
    int k = open + 1;
    if (!isWord(k, QLatin1StringView("select")))
        fail(k, QStringLiteral("派生表应以 select 开始"));
    ++k;
    if (isWord(k, QLatin1StringView("distinct")) || isWord(k, QLatin1StringView("all")))
        ++k;
    if (isWord(k, QLatin1StringView("top"))) {
        ++k;
        k = isOp(k, QLatin1StringView("(")) ? matchingParen(k, close) + 1 : k + 1;
        if (isWord(k, QLatin1StringView("percent")))
            ++k;
        if (isWord(k, QLatin1StringView("with")) && isWord(k + 1, QLatin1StringView("ties")))
            k += 2;
    }
    static const QSet<QString> listEnds = {"from",  "into",  "where",  "group",    "having",
                                           "order", "union", "except", "intersect"};
    // Where the item (or with `commas` false, the clause) starting at tok(from) ends at this
    // level: the next clause word, comma or `close`.
    auto clauseEnd = [&](int from, bool commas = true) {
        int depth = 0;
        for (; from < close; ++from) {
            if (isOp(from, QLatin1StringView("(")))
                ++depth;
            else if (isOp(from, QLatin1StringView(")")))
                --depth;
            else if (depth == 0 && ((commas && isOp(from, QLatin1StringView(","))) ||
                                    listEnds.contains(lower(from))))
                return from;
        }
        return close;
    };
    const TableScope inner = scanTables(open + 1, close);
    QList<SourceColumn> columns;
    for (;;) {
        const int a = k;
        const int b = clauseEnd(k);
        int exprBegin = a, exprEnd = b;
        QString name;
        if (b - a >= 3 && isName(a) && isOp(a + 1, QLatin1StringView("="))) {
            name = nameText(a);
            exprBegin = a + 2;
        } else if (b - a >= 2 && isName(b - 1) && !isOp(b - 2, QLatin1StringView("."))) {
            name = nameText(b - 1);
            exprEnd = isWord(b - 2, QLatin1StringView("as")) ? b - 2 : b - 1;
        } else if (isOp(b - 1, QLatin1StringView("*"))) {
            // The tables of this level's from clause, or the one named before ".*".
            const int from = clauseEnd(b, false);
            QStringList tables = scanTables(from, clauseEnd(from + 1, false)).tables;
            if (b - a >= 3) {
                const QString q = nameText(b - 3).toLower();
                tables = {inner.aliases.value(q, q)};
            }
            if (tables.isEmpty())
                fail(b - 1, QStringLiteral("派生表中的 * 没有可展开的表：请列出列名"));
            for (const QString& table : tables) {
                if (const auto cte = m_cteColumns.constFind(table); cte != m_cteColumns.cend()) {
                    columns += *cte;
                    continue;
                }
                const QStringList names = tableColumnNames(table);
                if (names.isEmpty())
                    fail(b - 1,
                         QStringLiteral("不知道表 %1 的列，派生表中的 * 无法展开：请列出列名")
                             .arg(table));
                for (const QString& n : names)
                    columns.push_back({n, columnTypeIn(table, n.toLower()).value_or(SqlType{})});
            }
        } else if (isName(b - 1)) {
            name = nameText(b - 1);  // x or t.x
        } else if (named) {
            fail(a, QStringLiteral("查询的第 %1 列没有名称：请写 表达式 as 列名")
                        .arg(columns.size() + 1));
        } else {
            name = QStringLiteral("_qd_column%1").arg(columns.size() + 1);
        }
        if (!name.isEmpty()) {
            int p = exprBegin;
            columns.push_back({name, sqlTypeOf(parseExpr(p, exprEnd, inner))});
        }
        if (!isOp(b, QLatin1StringView(",")))
            return columns;
        k = b + 1;
    }
}

QString Translator::pivotTable(int source, const QString& sourceSql, int& i, int end) {
    const bool unpivot = isWord(i, QLatin1StringView("unpivot"));
    const QString what = lower(i);
    if (!isWord(source - 1, QLatin1StringView("from")))
        fail(i, QStringLiteral("不支持的 T-SQL 子句 %1").arg(what) + rewriteFor(what));
    const QList<SourceColumn> columns = sourceColumns(source, end);
    auto column = [&](int t) -> int {  // the source column named at tok(t)
        if (isName(t))
            for (int c = 0; c < columns.size(); ++c)
                if (columns[c].name.compare(nameText(t), Qt::CaseInsensitive) == 0)
                    return c;
        fail(t, QStringLiteral("%1 的源中没有这一列").arg(what));
    };
    auto expectWord = [&](QLatin1StringView w) {
        if (!isWord(i, w))
            fail(i, QStringLiteral("这里应是 %1").arg(w));
        ++i;
    };
    // "in (a, b, ...)": the names listed, as written.
    auto inList = [&](int close) {
        expectWord(QLatin1StringView("in"));
        if (!isOp(i, QLatin1StringView("(")))
            fail(i, QStringLiteral("in 后应是 ("));
        const int listClose = matchingParen(i, close);
        QList<int> at;
        for (++i; i < listClose; ++i) {
            if (!isName(i) && tok(i).kind != Token::Number)
                fail(i, QStringLiteral("in 列表中应是 [值] 或列名"));
            at << i++;
            if (i != listClose && !isOp(i, QLatin1StringView(",")))
                fail(i, QStringLiteral("in 列表有误"));
        }
        if (at.isEmpty())
            fail(i, QStringLiteral("in 列表不能为空"));
        i = listClose + 1;
        return at;
    };

    ++i;
    if (!isOp(i, QLatin1StringView("(")))
        fail(i, QStringLiteral("%1 后应是 (").arg(what));
    const int close = matchingParen(i, end);
    ++i;
    QString body;
    if (!unpivot) {
        // aggregate(value column) for pivot column in ([v1], [v2], ...)
        static const QSet<QString> aggregates = {"count", "count_big", "sum", "avg", "min", "max"};
        const int aggAt = i;
        if (!aggregates.contains(lower(i)) || !isOp(i + 1, QLatin1StringView("(")) ||
            !isOp(i + 3, QLatin1StringView(")")))
            fail(i, QStringLiteral("pivot 的聚合应是 sum、count、avg、min 或 max(源中的一列)"));
        const int value = column(i + 2);
        i += 4;
        expectWord(QLatin1StringView("for"));
        const int pivot = column(i++);
        const QList<int> values = inList(close);
        if (i != close)
            fail(i, QStringLiteral("pivot (...) 有误"));

        QHash<QString, SqlType> types;
        for (const SourceColumn& c : columns)
            types.insert(c.name.toLower(), c.type);
        m_localTables.insert(kPivotSource, types);
        TableScope scope;
        scope.tables << kPivotSource;
        int k = aggAt;
        const Expr agg = parseExpr(k, aggAt + 4, scope);
        k = aggAt + 2;
        const QString arg = parseExpr(k, aggAt + 3, scope).sql;
        m_localTables.remove(kPivotSource);
        // The aggregate's argument, to be replaced by the value of the cell's rows only.
        qsizetype argAt = -1;
        for (qsizetype p = agg.sql.indexOf(QLatin1Char('(') + arg); p >= 0 && argAt < 0;
             p = agg.sql.indexOf(QLatin1Char('(') + arg, p + 1)) {
            const QChar next =
                p + 1 + arg.size() < agg.sql.size() ? agg.sql.at(p + 1 + arg.size()) : QChar();
            if (next == QLatin1Char(')') || next == QLatin1Char(','))
                argAt = p + 1;
        }
        if (argAt < 0)
            fail(aggAt, QStringLiteral("pivot 的聚合应是 sum、count、avg、min 或 max(源中的一列)"));

        QStringList groups;
        for (int c = 0; c < columns.size(); ++c)
            if (c != value && c != pivot)
                groups << sqlName(columns[c].name);
        QStringList items = groups;
        for (int v : values) {
            const QString name = nameText(v);
            QString cell = agg.sql;
            cell.replace(argAt, arg.size(),
                         joinSql({QStringLiteral("case when"), sqlName(columns[pivot].name),
                                  QStringLiteral("="), pivotLiteral(name, columns[pivot].type),
                                  QStringLiteral("then"), arg, QStringLiteral("end")}));
            items << cell + QStringLiteral(" as ") + sqlName(name);
        }
        body = QStringLiteral("select %1 from %2").arg(items.join(QStringLiteral(", ")), sourceSql);
        if (!groups.isEmpty())
            body += QStringLiteral(" group by ") + groups.join(QStringLiteral(", "));
    } else {
        // value column for name column in (c1, c2, ...)
        if (!isName(i))
            fail(i, QStringLiteral("unpivot 后应是值列的名称"));
        const QString valueName = sqlName(nameText(i++));
        expectWord(QLatin1StringView("for"));
        if (!isName(i))
            fail(i, QStringLiteral("for 后应是列名列的名称"));
        const QString nameName = sqlName(nameText(i++));
        const QList<int> listed = inList(close);
        if (i != close)
            fail(i, QStringLiteral("unpivot (...) 有误"));
        QList<int> listedColumns;
        QStringList cases, picks;
        for (int n = 0; n < listed.size(); ++n) {
            listedColumns << column(listed[n]);
            cases << QStringLiteral("when %1 then %2")
                         .arg(n + 1)
                         .arg(sqlName(columns[listedColumns.last()].name));
            picks << (n == 0 ? QStringLiteral("select %1 as _qd_n, %2 as _qd_name")
                             : QStringLiteral("select %1, %2"))
                         .arg(QString::number(n + 1), quotedSql(nameText(listed[n])));
        }
        QStringList items;
        for (int c = 0; c < columns.size(); ++c)
            if (!listedColumns.contains(c))
                items << sqlName(columns[c].name);
        items << QStringLiteral("_qd_u._qd_name as ") + nameName
              << QStringLiteral("case _qd_u._qd_n %1 end as %2")
                     .arg(cases.join(QLatin1Char(' ')), valueName);
        // The listed columns' values row by row (the source outside, the names inside).
        body = QStringLiteral(
                   "select * from (select %1 from %2 cross join (%3) as _qd_u) where %4 is not "
                   "null")
                   .arg(items.join(QStringLiteral(", ")), sourceSql,
                        picks.join(QStringLiteral(" union all ")), valueName);
    }
    i = close + 1;
    if (isWord(i, QLatin1StringView("as")))
        ++i;
    if (!isName(i))
        fail(i, QStringLiteral("%1 需要别名").arg(what));
    return QLatin1Char('(') + body + QStringLiteral(") as ") + sqlName(nameText(i++));
}

}  // namespace Qd::Core::Db::Tsql::Internal
