// Table definitions: T-SQL column types, identity, defaults and constraints as the embedded
// database declares them. Declared type names are kept (the loader types fields from them);
// text columns compare without regard to case, as the server's default collation does.
#include "db/DataServices.h"
#include "db/tsql/TsqlTranslator.h"

namespace Qd::Core::Db::Tsql::Internal {

namespace {
// The type as the embedded database declares it.
QString declaredType(const SqlType& t) {
    QString name = t.name;
    name.replace(QLatin1String("(max)"), QString());
    if (name == QLatin1String("uniqueidentifier"))
        return QStringLiteral("varchar(36)");
    return name;
}
// The first table a view's query reads from (its last name part: "dbo.t" is t): the table to
// change instead of the view.
QString viewBaseTable(const QString& definition) {
    std::vector<Token> tokens;
    for (const Token& t : tokenize(definition))
        if (t.kind != Token::Space && t.kind != Token::Comment)
            tokens.push_back(t);
    auto text = [&](std::size_t k) {
        return QStringView(definition).mid(tokens[k].offset, tokens[k].length);
    };
    for (std::size_t k = 0; k + 1 < tokens.size(); ++k) {
        if (tokens[k].kind != Token::Word ||
            text(k).compare(QLatin1String("from"), Qt::CaseInsensitive) != 0)
            continue;
        QString name;
        for (std::size_t j = k + 1; j < tokens.size(); j += 2) {
            if (tokens[j].kind == Token::Quoted)
                name = unquote(definition, tokens[j]);
            else if (tokens[j].kind == Token::Word)
                name = text(j).toString();
            if (j + 1 >= tokens.size() || text(j + 1) != QLatin1String("."))
                break;
        }
        return name;
    }
    return QString();
}
// A table name as the translator writes it ("t", or "a b" quoted), without its quotes.
QString plainName(QString table) {
    return table.remove(QLatin1Char('"'));
}
}  // namespace

void Translator::checkViewTarget(int begin, int end) {
    const QString first = lower(begin);
    int at = begin + 1;
    if (first == QLatin1String("create")) {
        if (isWord(at, QLatin1StringView("view")) && at + 1 < end)
            m_localViews.insert(lower(at + 1).remove(QLatin1Char('"')),
                                viewBaseTable(source(begin, end)));
        return;
    }
    if (first == QLatin1String("insert") || first == QLatin1String("delete")) {
        if (isWord(at, QLatin1StringView(first == QLatin1String("insert") ? "into" : "from")))
            ++at;
    } else if (first != QLatin1String("update")) {
        return;
    }
    if (at >= end || (tok(at).kind != Token::Word && tok(at).kind != Token::Quoted))
        return;
    int last = at;  // the name itself, after any schema prefix
    while (isOp(last + 1, QLatin1StringView(".")) && last + 2 < end)
        last += 2;
    const QString name =
        tok(last).kind == Token::Quoted ? unquote(m_text, tok(last)) : text(last).toString();
    QString base = m_localViews.value(name.toLower());
    if (!m_localViews.contains(name.toLower())) {
        const std::optional<QString> definition = m_schema.viewDefinition(name);
        if (!definition)
            return;
        base = viewBaseTable(*definition);
    }
    static const QHash<QString, QString> rewrites = {{"insert", "insert into %1 ..."},
                                                     {"update", "update %1 set ..."},
                                                     {"delete", "delete from %1 where ..."}};
    fail(last,
         QStringLiteral("不能通过视图 %1 修改数据（视图是只读的），请直接修改基表：%2")
             .arg(name, rewrites.value(first).arg(base.isEmpty() ? QStringLiteral("基表") : base)));
}

QString Translator::columnDefinition(const QString& table, int& i, int end, bool* isIdentity,
                                     QString* nameOut, SqlType* typeOut) {
    if (tok(i).kind != Token::Word && tok(i).kind != Token::Quoted)
        fail(i, QStringLiteral("这里应是列名"));
    const QString name =
        tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString();
    ++i;
    const SqlType type = parseType(i, end);
    if (nameOut)
        *nameOut = name;
    if (typeOut)
        *typeOut = type;
    QString def = sqlName(name) + QLatin1Char(' ') + declaredType(type);
    bool identity = false;
    bool primary = false;
    QString rest;
    while (i < end && !isOp(i, QLatin1StringView(",")) && !isOp(i, QLatin1StringView(")"))) {
        const QString w = lower(i);
        if (w == QLatin1String("identity")) {
            identity = true;
            ++i;
            if (isOp(i, QLatin1StringView("(")))
                i = matchingParen(i, end) + 1;
        } else if (w == QLatin1String("primary") && isWord(i + 1, QLatin1StringView("key"))) {
            primary = true;
            i += 2;
            if (isWord(i, QLatin1StringView("clustered")) ||
                isWord(i, QLatin1StringView("nonclustered")))
                ++i;
        } else if (w == QLatin1String("not") && isWord(i + 1, QLatin1StringView("null"))) {
            rest += QStringLiteral(" not null");
            i += 2;
        } else if (w == QLatin1String("null")) {
            ++i;
        } else if (w == QLatin1String("unique")) {
            rest += QStringLiteral(" unique");
            ++i;
            if (isWord(i, QLatin1StringView("clustered")) ||
                isWord(i, QLatin1StringView("nonclustered")))
                ++i;
        } else if (w == QLatin1String("default")) {
            ++i;
            rest += QStringLiteral(" default (") + parseStandalone(i, end).sql + QLatin1Char(')');
        } else if (w == QLatin1String("constraint")) {
            i += 2;  // the constraint's name; what follows is read on its own
        } else if (w == QLatin1String("collate")) {
            i += 2;
        } else if (w == QLatin1String("check")) {
            ++i;
            if (!isOp(i, QLatin1StringView("(")))
                fail(i, QStringLiteral("check 后应是 ("));
            const int close = matchingParen(i, end);
            ++i;
            rest += QStringLiteral(" check (") + parseStandalone(i, close).sql + QLatin1Char(')');
            i = close + 1;
        } else if (w == QLatin1String("references")) {
            ++i;
            rest += QStringLiteral(" references ") + tableRef(i, end);
            if (isOp(i, QLatin1StringView("("))) {
                const int close = matchingParen(i, end);
                rest += QLatin1Char('(') + source(i + 1, close) + QLatin1Char(')');
                i = close + 1;
            }
        } else {
            fail(i, QStringLiteral("不支持的列属性"));
        }
    }
    if (isIdentity)
        *isIdentity = identity;
    if (identity) {
        if (!type.isNumber())
            fail(i - 1, QStringLiteral("identity 列必须是整数类型"));
        // The embedded database numbers rows itself only in its integer primary key.
        return sqlName(name) + QStringLiteral(" integer primary key autoincrement") + rest;
    }
    if (primary)
        def += QStringLiteral(" primary key");
    if (type.isText())  // case and trailing blanks do not count, as on the server
        def += QStringLiteral(" collate ") + QLatin1String(kTextCollation);
    // A value the column cannot hold fails as on the server instead of being stored.
    if (type.isText() && type.length > 0)
        def += QStringLiteral(" check (qd_fits_length(%1, %2, %3, %4))")
                   .arg(sqlName(name), QString::number(type.length), quotedSql(table),
                        quotedSql(name));
    if (type.base == SqlType::Decimal)
        def +=
            QStringLiteral(" check (qd_decimal_check(%1, %2, %3) is %1)")
                .arg(sqlName(name), QString::number(type.precision), QString::number(type.scale));
    return def + rest;
}

QString Translator::translateCreateTable(int begin, int end) {
    int i = begin + 2;
    const bool temp = text(i).startsWith(QLatin1Char('#'));
    const QString table = tableRef(i, end);
    if (!isOp(i, QLatin1StringView("(")))
        fail(i, QStringLiteral("create table 后应是列定义"));
    const int close = matchingParen(i, end);
    ++i;
    QStringList defs;
    QStringList constraints;
    QStringList identityColumns;
    QHash<QString, SqlType> columns;
    QStringList names;  // in their order
    while (i < close) {
        QString w = lower(i);
        if (w == QLatin1String("constraint")) {
            i += 2;
            w = lower(i);
        }
        if (w == QLatin1String("primary") || w == QLatin1String("unique")) {
            const bool primary = w == QLatin1String("primary");
            i += primary ? 2 : 1;
            if (isWord(i, QLatin1StringView("clustered")) ||
                isWord(i, QLatin1StringView("nonclustered")))
                ++i;
            if (!isOp(i, QLatin1StringView("(")))
                fail(i, QStringLiteral("约束的列表应以 ( 开始"));
            const int c = matchingParen(i, close);
            QStringList cols;
            for (int k = i + 1; k < c; ++k) {
                if (tok(k).kind == Token::Word && !isReserved(lower(k)))
                    cols << sqlName(text(k).toString());
                else if (tok(k).kind == Token::Quoted)
                    cols << sqlName(unquote(m_text, tok(k)));
            }
            i = c + 1;
            // A primary key on the identity column is already declared with it.
            if (!(primary && cols.size() == 1 &&
                  identityColumns.contains(cols[0], Qt::CaseInsensitive)))
                constraints << (primary && identityColumns.isEmpty()
                                    ? QStringLiteral("primary key (")
                                    : QStringLiteral("unique (")) +
                                   cols.join(QStringLiteral(", ")) + QLatin1Char(')');
        } else if (w == QLatin1String("foreign") || w == QLatin1String("check")) {
            // Kept out: the embedded database does not enforce them the server's way anyway.
            int depth = 0;
            while (i < close && !(depth == 0 && isOp(i, QLatin1StringView(",")))) {
                if (isOp(i, QLatin1StringView("(")))
                    ++depth;
                else if (isOp(i, QLatin1StringView(")")))
                    --depth;
                ++i;
            }
        } else {
            bool identity = false;
            QString name;
            SqlType type;
            defs << columnDefinition(plainName(table), i, close, &identity, &name, &type);
            columns.insert(name.toLower(), type);
            names << name;
            if (identity)
                identityColumns << sqlName(name);
        }
        if (isOp(i, QLatin1StringView(",")))
            ++i;
        else if (i != close)
            fail(i, QStringLiteral("列定义之间应以 , 分隔"));
    }
    if (identityColumns.size() > 1)
        fail(begin, QStringLiteral("一个表只能有一个 identity 列"));
    i = close + 1;
    if (isWord(i, QLatin1StringView("on")))  // filegroup
        i += 2;
    if (isWord(i, QLatin1StringView("textimage_on")))
        i += 2;
    if (i < end)
        fail(i, QStringLiteral("create table 语句结尾有多余内容"));
    m_localTables.insert(plainName(table).toLower(), columns);
    m_localColumnNames.insert(plainName(table).toLower(), names);
    return (temp ? QStringLiteral("create temp table ") : QStringLiteral("create table ")) + table +
           QStringLiteral(" (") + (defs + constraints).join(QStringLiteral(", ")) +
           QLatin1Char(')');
}

QString Translator::translateAlterTable(int begin, int end) {
    int i = begin + 2;
    const QString table = tableRef(i, end);
    // The statements after this one see the table with the column added or dropped (a table
    // whose columns are not known, made by select ... into, stays unknown).
    const QString key = plainName(table).toLower();
    if (!m_localTables.contains(key)) {
        const QStringList names = m_schema.columnNames(key);
        for (const QString& name : names)
            m_localTables[key].insert(name.toLower(),
                                      m_schema.columnType(key, name).value_or(SqlType{}));
        if (!names.isEmpty())
            m_localColumnNames.insert(key, names);
    }
    const bool known = m_localTables.contains(key);
    if (isWord(i, QLatin1StringView("add"))) {
        ++i;
        if (isWord(i, QLatin1StringView("column")))
            ++i;
        QString name;
        SqlType type;
        const QString def = columnDefinition(plainName(table), i, end, nullptr, &name, &type);
        if (i != end)
            fail(i, QStringLiteral("alter table 一次只能添加一列"));
        if (known) {
            m_localTables[key].insert(name.toLower(), type);
            m_localColumnNames[key] << name;
        }
        return QStringLiteral("alter table %1 add column %2").arg(table, def);
    }
    if (isWord(i, QLatin1StringView("drop")) && isWord(i + 1, QLatin1StringView("column"))) {
        i += 2;
        const QString column =
            tok(i).kind == Token::Quoted ? unquote(m_text, tok(i)) : text(i).toString();
        if (i + 1 != end)
            fail(i, QStringLiteral("alter table 一次只能删除一列"));
        if (known) {
            m_localTables[key].remove(column.toLower());
            m_localColumnNames[key].removeIf(
                [&](const QString& n) { return n.compare(column, Qt::CaseInsensitive) == 0; });
        }
        return QStringLiteral("alter table %1 drop column %2").arg(table, sqlName(column));
    }
    fail(i, QStringLiteral("只支持 alter table ... add / drop column"));
}

}  // namespace Qd::Core::Db::Tsql::Internal
