// merge: the embedded database has none, so a merge runs as steps. The first decides, from the
// rows as they are before the merge, which clause acts on each target and source row and
// computes the values that clause writes (a temp table of decisions); the next fails as the
// server does when a target row would be acted on twice; then one delete, one update per update
// clause and one insert per insert clause apply the decisions. No step sees another's changes:
// an update cannot make a row matched for an insert clause, an inserted row is never updated.
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

namespace {

const QString kDecisions = QStringLiteral("_qd_merge");

struct MergeClause {
    enum Match { Matched, NotMatchedByTarget, NotMatchedBySource };
    enum Action { Update, Delete, Insert };
    Match match;
    Action action;
    QString condition;    // translated, or empty
    QStringList columns;  // set / insert columns
    QStringList values;   // their translated values
};

}  // namespace

std::unique_ptr<Node> Translator::translateMerge(int begin, int end) {
    auto expectWord = [&](int& k, QLatin1StringView w) {
        if (!isWord(k, w))
            fail(k, QStringLiteral("这里应是 %1").arg(w));
        ++k;
    };
    auto alias = [&](int& k) {  // [as] name, or empty
        if (isWord(k, QLatin1StringView("as")))
            ++k;
        const bool clauseWord = isWord(k, QLatin1StringView("using")) ||
                                isWord(k, QLatin1StringView("on")) ||
                                isWord(k, QLatin1StringView("when"));
        return isName(k) && !clauseWord ? sqlName(nameText(k++)) : QString();
    };

    int i = begin + 1;
    if (isWord(i, QLatin1StringView("top")))
        fail(i, QStringLiteral("不支持 merge top (n)：请在 using 的派生表中限定行"));
    if (isWord(i, QLatin1StringView("into")))
        ++i;
    TableScope scope;
    const int targetAt = i;
    const QString target = tableRef(i, end);
    const QString targetTable = tableKey(targetAt, i);
    if (isWord(i, QLatin1StringView("with")) && isOp(i + 1, QLatin1StringView("(")))
        i = matchingParen(i + 1, end) + 1;  // table hints
    const QString targetAlias = alias(i);
    const QString t = targetAlias.isEmpty() ? target : targetAlias;
    scope.tables << targetTable;
    scope.aliases.insert(targetTable, targetTable);
    if (!targetAlias.isEmpty())
        scope.aliases.insert(targetAlias.toLower(), targetTable);

    expectWord(i, QLatin1StringView("using"));
    QString source;
    if (isOp(i, QLatin1StringView("(")) && isWord(i + 1, QLatin1StringView("values"))) {
        // (values (...), (...)) as s (a, b): rows of literals with their column names.
        const int close = matchingParen(i, end);
        QStringList rows;
        for (int k = i + 2; k < close;) {
            if (!isOp(k, QLatin1StringView("(")))
                fail(k, QStringLiteral("values 后应是 (...)"));
            const int rowClose = matchingParen(k, close);
            QStringList row;
            for (++k; k < rowClose;) {
                row << parseExpr(k, rowClose, scope).sql;
                if (isOp(k, QLatin1StringView(",")))
                    ++k;
            }
            rows << QLatin1Char('(') + row.join(QStringLiteral(", ")) + QLatin1Char(')');
            k = rowClose + 1;
            if (isOp(k, QLatin1StringView(",")))
                ++k;
        }
        i = close + 1;
        const QString name = alias(i);
        if (name.isEmpty() || !isOp(i, QLatin1StringView("(")))
            fail(i, QStringLiteral("using (values ...) 需要别名和列名：as s (a, b)"));
        const int namesClose = matchingParen(i, end);
        QStringList columns;
        for (int k = i + 1; k < namesClose; ++k)
            if (isName(k))
                columns << QStringLiteral("column%1 as %2")
                               .arg(QString::number(columns.size() + 1), sqlName(nameText(k)));
        i = namesClose + 1;
        source =
            QStringLiteral("(select %1 from (values %2)) as %3")
                .arg(columns.join(QStringLiteral(", ")), rows.join(QStringLiteral(", ")), name);
    } else if (isOp(i, QLatin1StringView("("))) {
        source = translateSubquery(i, i);
        const QString name = alias(i);
        if (name.isEmpty())
            fail(i, QStringLiteral("using 的派生表需要别名"));
        source += QStringLiteral(" as ") + name;
    } else {
        const int sourceAt = i;
        source = tableRef(i, end);
        const QString sourceTable = tableKey(sourceAt, i);
        const QString name = alias(i);
        scope.tables << sourceTable;
        scope.aliases.insert(sourceTable, sourceTable);
        if (!name.isEmpty()) {
            scope.aliases.insert(name.toLower(), sourceTable);
            source += QStringLiteral(" as ") + name;
        }
    }

    expectWord(i, QLatin1StringView("on"));
    const QString on = parseExpr(i, end, scope).sql;

    QList<MergeClause> clauses;
    while (isWord(i, QLatin1StringView("when"))) {
        MergeClause c;
        ++i;
        if (isWord(i, QLatin1StringView("matched"))) {
            c.match = MergeClause::Matched;
            ++i;
        } else {
            expectWord(i, QLatin1StringView("not"));
            expectWord(i, QLatin1StringView("matched"));
            c.match = MergeClause::NotMatchedByTarget;
            if (isWord(i, QLatin1StringView("by"))) {
                ++i;
                if (isWord(i, QLatin1StringView("source")))
                    c.match = MergeClause::NotMatchedBySource;
                else if (!isWord(i, QLatin1StringView("target")))
                    fail(i, QStringLiteral("by 后应是 target 或 source"));
                ++i;
            }
        }
        if (isWord(i, QLatin1StringView("and"))) {
            ++i;
            c.condition = parseExpr(i, end, scope).sql;
        }
        expectWord(i, QLatin1StringView("then"));
        if (c.match == MergeClause::NotMatchedByTarget) {
            expectWord(i, QLatin1StringView("insert"));
            c.action = MergeClause::Insert;
            QStringList names;
            if (isOp(i, QLatin1StringView("("))) {
                const int close = matchingParen(i, end);
                for (int k = i + 1; k < close; ++k)
                    if (isName(k)) {
                        names << nameText(k);
                        c.columns << sqlName(names.last());
                    }
                i = close + 1;
            }
            expectWord(i, QLatin1StringView("values"));
            if (!isOp(i, QLatin1StringView("(")))
                fail(i, QStringLiteral("values 后应是 (...)"));
            const int close = matchingParen(i, end);
            const QList<std::optional<SqlType>> types = storedTypes(targetTable, names);
            for (++i; i < close;) {
                const std::optional<SqlType> type =
                    c.values.size() < types.size() ? types[c.values.size()] : std::nullopt;
                const int at = i;
                const Expr value = parseExpr(i, close, scope);
                c.values << storedValue(value, type, at, i);
                if (isOp(i, QLatin1StringView(",")))
                    ++i;
                else if (i != close)
                    fail(i, QStringLiteral("values 列表有误"));
            }
            i = close + 1;
        } else if (isWord(i, QLatin1StringView("delete"))) {
            c.action = MergeClause::Delete;
            ++i;
        } else {
            expectWord(i, QLatin1StringView("update"));
            expectWord(i, QLatin1StringView("set"));
            c.action = MergeClause::Update;
            for (;;) {
                if (isOp(i + 1, QLatin1StringView(".")))
                    i += 2;  // t.col: the target's own column
                if (!isName(i) || !isOp(i + 1, QLatin1StringView("=")))
                    fail(i, QStringLiteral("这里应是 列 = 值"));
                c.columns << sqlName(nameText(i));
                const std::optional<SqlType> type =
                    columnTypeIn(targetTable, nameText(i).toLower());
                i += 2;
                const int at = i;
                const Expr value = parseExpr(i, end, scope);
                c.values << storedValue(value, type, at, i);
                if (!isOp(i, QLatin1StringView(",")))
                    break;
                ++i;
            }
        }
        clauses << c;
    }
    if (isWord(i, QLatin1StringView("output")))
        fail(i, QStringLiteral("不支持 merge 的 output：请把要返回的行先写入表变量，或分成 update "
                               "和 insert 两条语句加 output"));
    if (i != end)
        fail(i, QStringLiteral("merge 语句有误，这里应是 when 子句或 ;"));
    if (clauses.isEmpty())
        fail(end, QStringLiteral("merge 至少需要一个 when 子句"));

    // The clause that acts on a row: the first whose match and condition hold (NULL is false).
    auto choice = [&](bool bySource) {
        QStringList whens;
        for (int k = 0; k < clauses.size(); ++k) {
            const MergeClause& c = clauses[k];
            if ((c.match == MergeClause::NotMatchedBySource) != bySource)
                continue;
            QStringList conds;
            if (!bySource)
                conds << t + (c.match == MergeClause::Matched ? QStringLiteral(".rowid is not null")
                                                              : QStringLiteral(".rowid is null"));
            if (!c.condition.isEmpty())
                conds << QLatin1Char('(') + c.condition + QLatin1Char(')');
            whens << QStringLiteral("when %1 then %2")
                         .arg(conds.isEmpty() ? QStringLiteral("1")
                                              : conds.join(QStringLiteral(" and ")),
                              QString::number(k + 1));
        }
        return whens.isEmpty() ? QString()
                               : QStringLiteral("case ") + whens.join(QLatin1Char(' ')) +
                                     QStringLiteral(" end");
    };
    // Each clause's values in columns of their own, computed only for the rows it acts on.
    auto decision = [&](bool bySource, const QString& from) {
        const QString chosen = choice(bySource);
        if (chosen.isEmpty())
            return QString();
        QStringList items = {t + QStringLiteral(".rowid as _qd_rowid"),
                             chosen + QStringLiteral(" as _qd_clause")};
        for (int k = 0; k < clauses.size(); ++k)
            for (int v = 0; v < clauses[k].values.size(); ++v)
                items << ((clauses[k].match == MergeClause::NotMatchedBySource) == bySource
                              ? QStringLiteral("case %1 when %2 then %3 end")
                                    .arg(chosen, QString::number(k + 1), clauses[k].values[v])
                              : QStringLiteral("null")) +
                             QStringLiteral(" as _qd_c%1_%2").arg(k + 1).arg(v + 1);
        return QStringLiteral("select ") + items.join(QStringLiteral(", ")) + QLatin1Char(' ') +
               from;
    };
    const QString targetAs =
        targetAlias.isEmpty() ? target : target + QStringLiteral(" as ") + targetAlias;
    QStringList parts;
    const QString byTarget =
        decision(false, QStringLiteral("from %1 left join %2 on %3").arg(source, targetAs, on));
    if (!byTarget.isEmpty())
        parts << byTarget;
    const QString bySource =
        decision(true, QStringLiteral("from %1 where not exists (select 1 from %2 where %3)")
                           .arg(targetAs, source, on));
    if (!bySource.isEmpty())
        parts << bySource;

    auto n = std::make_unique<Node>();
    n->kind = Node::Steps;
    auto step = [&](const QString& sql, bool helper) {
        n->children.push_back(statementStep(*n, sql, helper));
    };
    step(QStringLiteral("drop table if exists temp.") + kDecisions, true);
    step(QStringLiteral("create temp table %1 as select * from (%2) where _qd_clause is not null")
             .arg(kDecisions, parts.join(QStringLiteral(" union all "))),
         true);
    step(QStringLiteral("select qd_merge_once(count(*)) from temp.%1 where _qd_rowid is not null "
                        "group by _qd_rowid")
             .arg(kDecisions),
         true);
    QStringList deletes;
    for (int k = 0; k < clauses.size(); ++k)
        if (clauses[k].action == MergeClause::Delete)
            deletes << QString::number(k + 1);
    if (!deletes.isEmpty())
        step(QStringLiteral("delete from %1 where rowid in (select _qd_rowid from temp.%2 where "
                            "_qd_clause in (%3))")
                 .arg(target, kDecisions, deletes.join(QStringLiteral(", "))),
             false);
    for (int k = 0; k < clauses.size(); ++k) {
        const MergeClause& c = clauses[k];
        QStringList values;
        for (int v = 0; v < c.values.size(); ++v)
            values << QStringLiteral("_qd_c%1_%2").arg(k + 1).arg(v + 1);
        if (c.action == MergeClause::Update) {
            QStringList sets;
            for (int v = 0; v < c.columns.size(); ++v)
                sets << c.columns[v] + QStringLiteral(" = _qd_m.") + values[v];
            step(QStringLiteral("update %1 as _qd_target set %2 from temp.%3 as _qd_m where "
                                "_qd_m._qd_rowid = _qd_target.rowid and _qd_m._qd_clause = %4")
                     .arg(target, sets.join(QStringLiteral(", ")), kDecisions,
                          QString::number(k + 1)),
                 false);
        } else if (c.action == MergeClause::Insert) {
            const QString columns = c.columns.isEmpty() ? QString()
                                                        : QStringLiteral(" (") +
                                                              c.columns.join(QStringLiteral(", ")) +
                                                              QLatin1Char(')');
            step(QStringLiteral("insert into %1%2 select %3 from temp.%4 where _qd_clause = %5")
                     .arg(target, columns, values.join(QStringLiteral(", ")), kDecisions,
                          QString::number(k + 1)),
                 false);
        }
    }
    step(QStringLiteral("drop table temp.") + kDecisions, true);
    return n;
}

}  // namespace Qd::Core::Db::Tsql::Internal
