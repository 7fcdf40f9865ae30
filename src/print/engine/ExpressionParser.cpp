// The tokenizer and the precedence-climbing parser of the expression language.
#include "print/engine/ExpressionTree.h"

#include <QScopeGuard>

namespace Qd::Print::Internal {

namespace {

bool isIdentifierStart(QChar c) {
    return c.isLetter() || c == u'_' || c.isSurrogate();
}

bool isIdentifierPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'#' || c.isSurrogate();
}

// Index just past the quoted literal that starts at `i`, or -1 when it is not closed.
int skipQuoted(QStringView text, int i) {
    const QChar quote = text[i];
    for (++i; i < text.size(); ++i) {
        if (text[i] != quote)
            continue;
        if (i + 1 < text.size() && text[i + 1] == quote)
            ++i;  // a doubled quote stands for one
        else
            return i + 1;
    }
    return -1;
}

}  // namespace

int referenceEnd(QStringView text, int i) {
    int depth = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'\'' || c == u'"') {
            i = skipQuoted(text, i);
            if (i < 0)
                return -1;
            continue;
        }
        if (c == u'[')
            ++depth;
        else if (c == u']' && --depth == 0)
            return i + 1;
        ++i;
    }
    return -1;
}

std::vector<Token> tokenize(QStringView text) {
    std::vector<Token> tokens;
    const int n = int(text.size());
    int i = 0;
    auto push = [&](TokenKind kind, int length) {
        tokens.push_back({kind, i, length});
        i += length;
    };
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        auto next = [&](int k) { return i + k < n ? text[i + k] : QChar(); };
        if (c.isDigit() && c.unicode() < 128) {
            int j = i;
            auto digits = [&] {
                while (j < n && text[j].unicode() < 128 && text[j].isDigit())
                    ++j;
            };
            digits();
            if (j + 1 < n && text[j] == u'.' && text[j + 1].isDigit()) {
                ++j;
                digits();
            }
            if (j < n && (text[j] == u'e' || text[j] == u'E')) {
                int k = j + 1;
                if (k < n && (text[k] == u'+' || text[k] == u'-'))
                    ++k;
                if (k < n && text[k].isDigit()) {
                    j = k;
                    digits();
                }
            }
            push(TokenKind::Number, j - i);
        } else if (c == u'\'' || c == u'"') {
            const int end = skipQuoted(text, i);
            if (end < 0) {
                push(TokenKind::Illegal, n - i);
                return tokens;
            }
            push(TokenKind::String, end - i);
        } else if (c == u'[') {
            const int end = referenceEnd(text, i);
            if (end < 0) {
                push(TokenKind::Illegal, n - i);
                return tokens;
            }
            push(TokenKind::Reference, end - i);
        } else if (isIdentifierStart(c)) {
            int j = i + 1;
            while (j < n && isIdentifierPart(text[j]))
                ++j;
            push(TokenKind::Identifier, j - i);
        } else if (c == u'<' && next(1) == u'>') {
            push(TokenKind::NotEqual, 2);
        } else if (c == u'<' && next(1) == u'=') {
            push(TokenKind::LessEqual, 2);
        } else if (c == u'>' && next(1) == u'=') {
            push(TokenKind::GreaterEqual, 2);
        } else if (c == u'!' && next(1) == u'=') {
            push(TokenKind::NotEqual, 2);
        } else {
            TokenKind kind;
            switch (c.unicode()) {
                case '+':
                    kind = TokenKind::Plus;
                    break;
                case '-':
                    kind = TokenKind::Minus;
                    break;
                case '*':
                    kind = TokenKind::Star;
                    break;
                case '/':
                    kind = TokenKind::Slash;
                    break;
                case '%':
                    kind = TokenKind::Percent;
                    break;
                case '(':
                    kind = TokenKind::LParen;
                    break;
                case ')':
                    kind = TokenKind::RParen;
                    break;
                case ',':
                    kind = TokenKind::Comma;
                    break;
                case '.':
                    kind = TokenKind::Dot;
                    break;
                case '=':
                    kind = TokenKind::Equal;
                    break;
                case '<':
                    kind = TokenKind::Less;
                    break;
                case '>':
                    kind = TokenKind::Greater;
                    break;
                default:
                    push(TokenKind::Illegal, 1);
                    return tokens;
            }
            push(kind, 1);
        }
    }
    tokens.push_back({TokenKind::End, n, 0});
    return tokens;
}

QString unquote(QStringView quoted) {
    const QChar quote = quoted.front();
    QString doubled(2, quote);
    return quoted.mid(1, quoted.size() - 2).toString().replace(doubled, QString(quote));
}

namespace {

class Parser {
public:
    explicit Parser(const QString& text) : m_text(text), m_tokens(tokenize(text)) {}

    NodePtr parseAll() {
        if (m_tokens.front().kind == TokenKind::End)
            fail(m_tokens.front(), QStringLiteral("表达式为空"));
        NodePtr node = parseBinary(1);
        if (peek().kind != TokenKind::End)
            fail(peek(), QStringLiteral("多余的内容"));
        return node;
    }

private:
    const Token& peek(int k = 0) const {
        const size_t at = std::min(m_pos + size_t(k), m_tokens.size() - 1);
        return m_tokens[at];
    }
    const Token& take() {
        const Token& t = m_tokens[m_pos];
        if (m_pos + 1 < m_tokens.size())
            ++m_pos;
        return t;
    }
    QString textOf(const Token& t) const { return m_text.mid(t.offset, t.length); }
    bool isWord(const Token& t, QLatin1StringView word) const {
        return t.kind == TokenKind::Identifier &&
               QStringView(m_text).mid(t.offset, t.length).compare(word, Qt::CaseInsensitive) == 0;
    }

    [[noreturn]] void fail(const Token& t, const QString& what) const {
        if (t.kind == TokenKind::End)
            throw ExpressionError(what + QStringLiteral("（表达式意外结束）"), m_text, t.offset);
        if (t.kind == TokenKind::Illegal) {
            const QChar c = m_text[t.offset];
            const QString why = c == u'\'' || c == u'"' ? QStringLiteral("字符串没有结束")
                                : c == u'['             ? QStringLiteral("[ 没有对应的 ]")
                                                        : QStringLiteral("无法识别的字符");
            throw ExpressionError(why, m_text, t.offset);
        }
        throw ExpressionError(what, m_text, t.offset);
    }
    void expect(TokenKind kind, const QString& what) {
        if (peek().kind != kind)
            fail(peek(), what);
        take();
    }

    // Binding strength of the binary operator at `t`, 0 when it is none. Comparisons bind
    // looser than arithmetic and tighter than and / or, so `a > 1 and b < 2` needs no brackets.
    int precedence(const Token& t, Op& op) const {
        switch (t.kind) {
            case TokenKind::Equal:
                op = Op::Eq;
                return 3;
            case TokenKind::NotEqual:
                op = Op::Ne;
                return 3;
            case TokenKind::Less:
                op = Op::Lt;
                return 3;
            case TokenKind::LessEqual:
                op = Op::Le;
                return 3;
            case TokenKind::Greater:
                op = Op::Gt;
                return 3;
            case TokenKind::GreaterEqual:
                op = Op::Ge;
                return 3;
            case TokenKind::Plus:
                op = Op::Add;
                return 4;
            case TokenKind::Minus:
                op = Op::Sub;
                return 4;
            case TokenKind::Star:
                op = Op::Mul;
                return 5;
            case TokenKind::Slash:
                op = Op::Divide;
                return 5;
            case TokenKind::Percent:
                op = Op::Mod;
                return 5;
            default:
                break;
        }
        if (isWord(t, QLatin1StringView("or"))) {
            op = Op::Or;
            return 1;
        }
        if (isWord(t, QLatin1StringView("and"))) {
            op = Op::And;
            return 2;
        }
        if (isWord(t, QLatin1StringView("div"))) {
            op = Op::IntDiv;
            return 5;
        }
        if (isWord(t, QLatin1StringView("mod"))) {
            op = Op::Mod;
            return 5;
        }
        return 0;
    }

    NodePtr parseBinary(int minPrecedence) {
        NodePtr left = parseUnary();
        for (;;) {
            Op op;
            const int p = precedence(peek(), op);
            if (p == 0 || p < minPrecedence)
                return left;
            const int at = take().offset;
            auto node = std::make_shared<Node>();
            node->kind = Node::Kind::Binary;
            node->op = op;
            node->position = at;
            node->args = {left, parseBinary(p + 1)};
            left = node;
        }
    }

    NodePtr parseUnary() {
        const Token& t = peek();
        // Every nesting (brackets, a function's arguments, signs) passes here: a limit keeps a
        // hostile expression from running the parser, and later the evaluation, out of stack.
        if (m_depth > kMaxDepth)
            fail(t, QStringLiteral("表达式嵌套太深（超过 %1 层）").arg(kMaxDepth));
        ++m_depth;
        const auto leave = qScopeGuard([this] { --m_depth; });
        Op op;
        int operandPrecedence;
        if (t.kind == TokenKind::Minus) {
            op = Op::Neg;
            operandPrecedence = 6;
        } else if (t.kind == TokenKind::Plus) {
            take();
            return parseUnary();
        } else if (isWord(t, QLatin1StringView("not"))) {
            op = Op::Not;
            operandPrecedence = 3;  // not a = b is not (a = b)
        } else {
            return parsePrimary();
        }
        auto node = std::make_shared<Node>();
        node->kind = Node::Kind::Unary;
        node->op = op;
        node->position = take().offset;
        node->args = {operandPrecedence == 6 ? parseUnary() : parseBinary(operandPrecedence)};
        return node;
    }

    NodePtr literal(const QVariant& value, int position) {
        auto node = std::make_shared<Node>();
        node->value = value;
        node->position = position;
        return node;
    }

    NodePtr parsePrimary() {
        const Token t = take();
        switch (t.kind) {
            case TokenKind::Number: {
                const QString digits = textOf(t);
                bool ok = false;
                const qint64 whole = digits.toLongLong(&ok);
                return literal(ok ? QVariant(whole) : QVariant(digits.toDouble()), t.offset);
            }
            case TokenKind::String:
                return literal(unquote(QStringView(m_text).mid(t.offset, t.length)), t.offset);
            case TokenKind::LParen: {
                NodePtr inner = parseBinary(1);
                expect(TokenKind::RParen, QStringLiteral("缺少 )"));
                return inner;
            }
            case TokenKind::Reference:
                return reference(t.offset + 1, t.length - 2);
            case TokenKind::Identifier:
                return identifier(t);
            default:
                fail(t, QStringLiteral("这里应是一个值"));
        }
    }

    NodePtr identifier(const Token& t) {
        const QString name = textOf(t);
        static const QStringList reserved{"and", "or", "not", "div", "mod"};
        if (reserved.contains(name, Qt::CaseInsensitive))
            fail(t, QStringLiteral("这里应是一个值"));
        if (peek().kind == TokenKind::LParen)
            return call(t, name);
        if (peek().kind == TokenKind::Dot) {
            take();
            const Token f = take();
            if (f.kind != TokenKind::String && f.kind != TokenKind::Identifier)
                fail(f, QStringLiteral("数据集名后应是字段名"));
            auto node = std::make_shared<Node>();
            node->kind = Node::Kind::Field;
            node->position = t.offset;
            node->name = name;
            node->field = f.kind == TokenKind::String
                              ? unquote(QStringView(m_text).mid(f.offset, f.length))
                              : textOf(f);
            return node;
        }
        if (name.compare(QLatin1StringView("true"), Qt::CaseInsensitive) == 0)
            return literal(true, t.offset);
        if (name.compare(QLatin1StringView("false"), Qt::CaseInsensitive) == 0)
            return literal(false, t.offset);
        if (name.compare(QLatin1StringView("now"), Qt::CaseInsensitive) == 0)
            return call(t, name);
        return named(name, t.offset);
    }

    // A special value ([Page#], [Date], ...) or a variable.
    NodePtr named(const QString& name, int position) {
        struct SpecialName {
            QLatin1StringView name;
            Special special;
        };
        static const SpecialName specials[] = {
            {QLatin1StringView("Page#"), Special::PageNumber},
            {QLatin1StringView("TotalPages#"), Special::TotalPages},
            {QLatin1StringView("Line#"), Special::LineNumber},
            {QLatin1StringView("Date"), Special::Date},
            {QLatin1StringView("Time"), Special::Time},
        };
        auto node = std::make_shared<Node>();
        node->position = position;
        for (const auto& s : specials) {
            if (name.compare(s.name, Qt::CaseInsensitive) == 0) {
                node->kind = Node::Kind::Special;
                node->special = s.special;
                return node;
            }
        }
        node->kind = Node::Kind::Variable;
        node->name = name;
        return node;
    }

    // The inside of [ ... ]: dataset."field", a special name, or a variable name.
    NodePtr reference(int offset, int length) {
        const QString inside = m_text.mid(offset, length);
        const QString trimmed = inside.trimmed();
        const int position = offset - 1;
        if (trimmed.isEmpty())
            throw ExpressionError(QStringLiteral("[] 中缺少名称"), m_text, position);
        for (int dot = int(trimmed.indexOf(u'.')); dot > 0;
             dot = int(trimmed.indexOf(u'.', dot + 1))) {
            const QString quoted = trimmed.mid(dot + 1).trimmed();
            if (quoted.startsWith(u'"') && skipQuoted(quoted, 0) == quoted.size()) {
                auto node = std::make_shared<Node>();
                node->kind = Node::Kind::Field;
                node->position = position;
                node->name = trimmed.left(dot).trimmed();
                node->field = unquote(quoted);
                return node;
            }
        }
        return named(trimmed, position);
    }

    NodePtr call(const Token& t, const QString& name) {
        struct AggregateName {
            QLatin1StringView name;
            AggregateKind kind;
        };
        static const AggregateName aggregates[] = {
            {QLatin1StringView("SUM"), AggregateKind::Sum},
            {QLatin1StringView("COUNT"), AggregateKind::Count},
            {QLatin1StringView("AVG"), AggregateKind::Avg},
            {QLatin1StringView("MIN"), AggregateKind::Min},
            {QLatin1StringView("MAX"), AggregateKind::Max},
        };
        auto node = std::make_shared<Node>();
        node->kind = Node::Kind::Call;
        node->position = t.offset;
        node->name = name;
        for (const auto& a : aggregates) {
            if (name.compare(a.name, Qt::CaseInsensitive) == 0) {
                if (m_inAggregate)
                    fail(t, QStringLiteral("合计函数 %1 不能嵌套在另一个合计函数中").arg(name));
                node->kind = Node::Kind::Aggregate;
                node->aggregate = a.kind;
            }
        }
        if (peek().kind != TokenKind::LParen)
            return node;  // Now without brackets
        take();
        const bool aggregate = node->kind == Node::Kind::Aggregate;
        m_inAggregate = m_inAggregate || aggregate;
        if (peek().kind != TokenKind::RParen) {
            for (;;) {
                node->args.push_back(parseBinary(1));
                if (peek().kind != TokenKind::Comma)
                    break;
                take();
            }
        }
        expect(TokenKind::RParen, QStringLiteral("函数 %1 的参数后缺少 )").arg(name));
        if (aggregate) {
            m_inAggregate = false;
            const bool countRows = node->aggregate == AggregateKind::Count && node->args.empty();
            if (!countRows && node->args.size() != 1)
                throw ExpressionError(QStringLiteral("合计函数 %1 需要一个参数").arg(name), m_text,
                                      t.offset);
        }
        return node;
    }

    const QString& m_text;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    bool m_inAggregate = false;
    static constexpr int kMaxDepth = 200;
    int m_depth = 0;
};

}  // namespace

NodePtr parseExpression(const QString& text) {
    return Parser(text).parseAll();
}

NodePtr Node::clone() const {
    auto copy = std::make_shared<Node>(*this);
    for (auto& arg : copy->args)
        arg = arg->clone();
    return copy;
}

}  // namespace Qd::Print::Internal
