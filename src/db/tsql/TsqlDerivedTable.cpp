#include "db/tsql/TsqlDerivedTable.h"

#include <QSet>
#include <algorithm>

#include "db/tsql/TsqlLexer.h"

namespace Qd::Core::Db::Tsql {

namespace {

// The tokens that carry meaning (no blanks, no comments), each with its text.
struct Tok {
    Token token;
    QStringView text;
};

std::vector<Tok> significant(QStringView sql) {
    std::vector<Tok> out;
    for (const Token& t : tokenize(sql))
        if (t.kind != Token::Space && t.kind != Token::Comment)
            out.push_back({t, tokenText(sql, t)});
    return out;
}

bool isWord(const Tok& t, const char* word) {
    return t.token.kind == Token::Word &&
           t.text.compare(QLatin1StringView(word), Qt::CaseInsensitive) == 0;
}

bool isOp(const Tok& t, const char* op) {
    return t.token.kind == Token::Op && t.text == QLatin1StringView(op);
}

bool isName(const Tok& t) {
    return t.token.kind == Token::Word || t.token.kind == Token::Quoted;
}

QString nameOf(QStringView sql, const Tok& t) {
    return t.token.kind == Token::Quoted ? unquote(sql, t.token) : t.text.toString();
}

// Words that are never a column in an order by or a select list item's alias.
const QSet<QString>& keywords() {
    static const QSet<QString> words = {
        QStringLiteral("asc"),     QStringLiteral("desc"),    QStringLiteral("case"),
        QStringLiteral("when"),    QStringLiteral("then"),    QStringLiteral("else"),
        QStringLiteral("end"),     QStringLiteral("and"),     QStringLiteral("or"),
        QStringLiteral("not"),     QStringLiteral("null"),    QStringLiteral("is"),
        QStringLiteral("in"),      QStringLiteral("like"),    QStringLiteral("between"),
        QStringLiteral("escape"),  QStringLiteral("collate"), QStringLiteral("as"),
        QStringLiteral("from"),    QStringLiteral("select"),  QStringLiteral("exists"),
        QStringLiteral("distinct")};
    return words;
}

// Words that start another statement when met outside parentheses.
const QSet<QString>& statementWords() {
    static const QSet<QString> words = {
        QStringLiteral("select"), QStringLiteral("with"),   QStringLiteral("insert"),
        QStringLiteral("update"), QStringLiteral("delete"), QStringLiteral("declare"),
        QStringLiteral("set"),    QStringLiteral("if"),     QStringLiteral("exec"),
        QStringLiteral("while"),  QStringLiteral("begin"),  QStringLiteral("merge")};
    return words;
}

bool isKeyword(const Tok& t) {
    return t.token.kind == Token::Word && keywords().contains(t.text.toString().toLower());
}

// One select list item from its tokens [first, last).
SelectItem selectItem(QStringView sql, const std::vector<Tok>& tok, std::size_t first,
                      std::size_t last) {
    SelectItem item;
    const std::size_t n = last - first;
    const auto at = [&](std::size_t i) -> const Tok& { return tok[first + i]; };
    if (n == 1 && isOp(at(0), "*")) {
        item.star = true;
        return item;
    }
    if (n == 3 && isName(at(0)) && isOp(at(1), ".") && isOp(at(2), "*")) {
        item.star = true;
        item.qualifier = nameOf(sql, at(0));
        return item;
    }
    // alias = expression
    std::size_t exprEnd = n;
    if (n >= 3 && isName(at(0)) && isOp(at(1), "=")) {
        item.output = nameOf(sql, at(0));
        first += 2;
        exprEnd = n - 2;
    } else if (n >= 2 && (isName(at(n - 1)) || at(n - 1).token.kind == Token::String) &&
               !isKeyword(at(n - 1)) &&
               (isWord(at(n - 2), "as") || at(n - 2).token.kind != Token::Op ||
                isOp(at(n - 2), ")"))) {
        // expression [as] alias
        item.output = at(n - 1).token.kind == Token::String ? unquote(sql, at(n - 1).token)
                                                            : nameOf(sql, at(n - 1));
        exprEnd = isWord(at(n - 2), "as") ? n - 2 : n - 1;
    }
    if (exprEnd == 1 && isName(at(0))) {
        item.column = nameOf(sql, at(0));
    } else if (exprEnd == 3 && isName(at(0)) && isOp(at(1), ".") && isName(at(2))) {
        item.qualifier = nameOf(sql, at(0));
        item.column = nameOf(sql, at(2));
    }
    if (item.output.isEmpty())
        item.output = item.column;
    return item;
}

QString refuse(DerivedSelect& parts, const QString& why) {
    parts.refusal = why;
    return why;
}

}  // namespace

QString bracketed(const QString& name) {
    QString inner = name;
    inner.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + inner + QLatin1Char(']');
}

DerivedSelect splitOuterOrderBy(QStringView sql) {
    DerivedSelect parts;
    const std::vector<Tok> tok = significant(sql);
    if (tok.empty() || !isWord(tok[0], "select")) {
        refuse(parts, tok.size() && isWord(tok[0], "with")
                          ? QStringLiteral("公用表表达式（with）")
                          : QStringLiteral("不是单个 select 语句"));
        return parts;
    }
    std::size_t listStart = 1;
    if (listStart < tok.size() && (isWord(tok[1], "distinct") || isWord(tok[1], "all")))
        ++listStart;
    if (listStart < tok.size() && isWord(tok[listStart], "top")) {
        refuse(parts, QStringLiteral("外层有 top"));
        return parts;
    }
    parts.topAt = tok[listStart - 1].token.offset + tok[listStart - 1].token.length;

    std::size_t end = tok.size();  // past the statement (a closing ";" left out)
    std::size_t listEnd = 0;       // the outer "from", or the end
    std::size_t orderAt = 0;       // the outer "order"; 0 when none
    int depth = 0;
    for (std::size_t i = 0; i < tok.size(); ++i) {
        const Tok& t = tok[i];
        if (t.token.kind == Token::Illegal) {
            refuse(parts, QStringLiteral("无法解析"));
            return parts;
        }
        if (isOp(t, "(")) {
            ++depth;
            continue;
        }
        if (isOp(t, ")")) {
            --depth;
            continue;
        }
        if (depth > 0)
            continue;
        if (isOp(t, ";")) {
            if (i + 1 != tok.size()) {
                refuse(parts, QStringLiteral("多个语句"));
                return parts;
            }
            end = i;
        } else if (isWord(t, "union") || isWord(t, "except") || isWord(t, "intersect")) {
            refuse(parts, QStringLiteral("外层有 ") + t.text.toString().toLower());
            return parts;
        } else if (isWord(t, "into") || isWord(t, "offset") || isWord(t, "for") ||
                   isWord(t, "option")) {
            refuse(parts, QStringLiteral("外层有 ") + t.text.toString().toLower());
            return parts;
        } else if (isWord(t, "from") && !listEnd) {
            listEnd = i;
        } else if (isWord(t, "order") && i + 1 < tok.size() && isWord(tok[i + 1], "by")) {
            orderAt = i;
        } else if (i > 0 && statementWords().contains(t.text.toString().toLower()) &&
                   t.token.kind == Token::Word) {
            refuse(parts, QStringLiteral("多个语句"));
            return parts;
        }
    }
    if (depth != 0) {
        refuse(parts, QStringLiteral("括号不配对"));
        return parts;
    }
    if (!listEnd)
        listEnd = orderAt ? orderAt : end;

    QSet<QString> outputs;
    std::size_t itemStart = listStart;
    depth = 0;
    for (std::size_t i = listStart; i <= listEnd; ++i) {
        if (i < listEnd && isOp(tok[i], "("))
            ++depth;
        else if (i < listEnd && isOp(tok[i], ")"))
            --depth;
        if (i < listEnd && (depth > 0 || !isOp(tok[i], ",")))
            continue;
        if (i == itemStart) {
            refuse(parts, QStringLiteral("选择列表不完整"));
            return parts;
        }
        SelectItem item = selectItem(sql, tok, itemStart, i);
        if (!item.star && item.output.isEmpty()) {
            refuse(parts, QStringLiteral("选择列表中有没有名称的列"));
            return parts;
        }
        if (!item.star && outputs.contains(item.output.toLower())) {
            refuse(parts, QStringLiteral("选择列表中有重名的列 ") + item.output);
            return parts;
        }
        outputs.insert(item.output.toLower());
        parts.items.push_back(item);
        itemStart = i + 1;
    }

    const int bodyEnd =
        orderAt ? tok[orderAt].token.offset : tok[end - 1].token.offset + tok[end - 1].token.length;
    parts.body = sql.left(bodyEnd).trimmed().toString();
    if (orderAt) {
        const Tok& from = tok[orderAt + 1];
        const Tok& last = tok[end - 1];
        const int start = from.token.offset + from.token.length;
        parts.orderBy =
            sql.mid(start, last.token.offset + last.token.length - start).trimmed().toString();
    }
    return parts;
}

QString orderByOutside(const DerivedSelect& parts, const QStringList& columns, QString* refusal) {
    if (parts.orderBy.isEmpty())
        return QString();
    const QStringView text(parts.orderBy);
    const std::vector<Tok> tok = significant(text);
    const auto fail = [&](const QString& why) {
        *refusal = why;
        return QString();
    };
    const auto isColumn = [&](const QString& name) {
        return columns.contains(name, Qt::CaseInsensitive);
    };
    // The result column a qualified name reads: its select list item, else a star over it when
    // the result has one column of that name.
    const auto qualified = [&](const QString& q, const QString& c) -> QString {
        bool starred = false;
        for (const SelectItem& item : parts.items) {
            if (!item.star && item.qualifier.compare(q, Qt::CaseInsensitive) == 0 &&
                item.column.compare(c, Qt::CaseInsensitive) == 0)
                return item.output;
            starred =
                starred || (item.star && (item.qualifier.isEmpty() ||
                                          item.qualifier.compare(q, Qt::CaseInsensitive) == 0));
        }
        const auto same = [&](const QString& column) {
            return column.compare(c, Qt::CaseInsensitive) == 0;
        };
        if (starred && std::count_if(columns.begin(), columns.end(), same) == 1)
            return c;
        return QString();
    };

    QStringList out;
    bool itemStart = true;
    for (std::size_t i = 0; i < tok.size(); ++i) {
        const Tok& t = tok[i];
        const bool itemEnd = i + 1 == tok.size() || isOp(tok[i + 1], ",");
        if (itemStart && itemEnd && t.token.kind == Token::Number) {
            // order by 2: the second result column
            const int position = t.text.toInt();
            if (position < 1 || position > columns.size())
                return fail(QStringLiteral("order by 的列序号 %1 超出范围").arg(position));
            out << bracketed(columns[position - 1]);
            itemStart = false;
            continue;
        }
        itemStart = isOp(t, ",");
        const bool afterTypeWord =
            i > 0 && (isWord(tok[i - 1], "as") || isWord(tok[i - 1], "collate"));
        if (!isName(t) || isKeyword(t) || afterTypeWord ||
            (i + 1 < tok.size() && isOp(tok[i + 1], "("))) {
            out << t.text.toString();
            continue;
        }
        if (i + 2 < tok.size() && isOp(tok[i + 1], ".") && isName(tok[i + 2])) {
            const QString q = nameOf(text, t), c = nameOf(text, tok[i + 2]);
            const QString name = qualified(q, c);
            if (name.isEmpty())
                return fail(QStringLiteral("order by 的列 %1.%2 不在结果中").arg(q, c));
            out << bracketed(name);
            i += 2;
            continue;
        }
        const QString name = nameOf(text, t);
        if (!isColumn(name))
            return fail(QStringLiteral("order by 的列 %1 不在结果中").arg(name));
        out << bracketed(name);
    }
    return out.join(QLatin1Char(' '));
}

}  // namespace Qd::Core::Db::Tsql
