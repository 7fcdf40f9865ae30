#pragma once

// Internal to the expression language: its tokens, the tokenizer and the parsed tree.
// Expression.cpp evaluates the tree, ExpressionParser.cpp builds it.

#include <QString>
#include <QStringView>
#include <QVariant>
#include <memory>
#include <vector>

#include "print/engine/Expression.h"

namespace Qd::Print::Internal {

enum class TokenKind {
    End,
    Illegal,  // a character no token starts with, or an unterminated string or reference
    Number,
    String,      // 'text' or "text"; the token spans the quotes
    Identifier,  // letters (Chinese included), digits, _ and a trailing #
    Reference,   // [ ... ]; the token spans the brackets
    Plus,
    Minus,
    Star,
    Slash,
    Percent,
    LParen,
    RParen,
    Comma,
    Dot,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
};

struct Token {
    TokenKind kind;
    int offset;  // in UTF-16 units of the expression text
    int length;
};

// Splits `text` into tokens; never throws. The last token is End, unless an Illegal one ends
// the list early.
std::vector<Token> tokenize(QStringView text);

// Index just past the "]" that closes the "[" at `i`, or -1. Quoted text inside is skipped and
// inner brackets nest.
int referenceEnd(QStringView text, int i);

// The text of a quoted literal token with its doubled quotes made single.
QString unquote(QStringView quoted);

enum class Special { PageNumber, TotalPages, LineNumber, Date, Time };
enum class AggregateKind { Sum, Count, Avg, Min, Max };

struct Node;
using NodePtr = std::shared_ptr<Node>;

enum class Op { Add, Sub, Mul, Divide, IntDiv, Mod, Eq, Ne, Lt, Le, Gt, Ge, And, Or, Neg, Not };

// One node of a parsed expression. Aggregate nodes carry their running state, so a tree
// belongs to one Expression; copies clone it.
struct Node {
    enum class Kind { Literal, Field, Variable, Special, Unary, Binary, Call, Aggregate };

    Kind kind = Kind::Literal;
    int position = 0;  // of the token the node starts at
    QVariant value;    // Literal
    QString name;      // Field: the dataset; Variable; Call: the name as written
    QString field;     // Field
    // Field: the slot the context with serial `slotOf` gave it (see IExpressionContext).
    mutable quint64 slotOf = 0;
    mutable int slot = -1;
    Special special = Special::Date;
    Op op = Op::Add;  // Unary, Binary
    std::vector<NodePtr> args;

    AggregateKind aggregate = AggregateKind::Sum;
    QVariant total;    // SUM / AVG: the running total, integral while every value was
    qint64 count = 0;  // COUNT(): rows; COUNT(x) and AVG: values that were not null
    QVariant extreme;  // MIN / MAX: the value so far, null before the first

    NodePtr clone() const;
};

// Parses a whole expression; throws ExpressionError with positions in `text`.
NodePtr parseExpression(const QString& text);

}  // namespace Qd::Print::Internal

namespace Qd::Print {
// The tree behind an Expression.
struct Expression::Node {
    Internal::NodePtr root;
};
}  // namespace Qd::Print
