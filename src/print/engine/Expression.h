#pragma once

// The expression language of the report engine. No dependency on the framework's forms: the
// engine reaches data, variables and functions only through an expression context.
//
//   [表头数据."billno"]          a field of the current row of a named dataset
//   [company]                    a variable (its value is itself an expression)
//   'it''s' + "x"                 string literals (doubled quotes), concatenation with +
//   1 + 2 * (3 - 4) / 5, -x, %   arithmetic
//   =, <>, <, >, <=, >=, and, or, not
//   IIF(c, a, b), FormatFloat('#,##0.00', x), FormatDateTime('yyyy-mm-dd', d), Copy, Length, ...
//   MoneyCn(x)                   user functions, answered by the context
//   SUM(expr) COUNT() AVG(expr) MIN(expr) MAX(expr)   aggregates over the rows of a band
//   [Page#] [TotalPages#] [Date] [Time] [Line#]

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace Qd::Print {

// An error in an expression: its text and the position near which it is (0-based, in UTF-16
// units; what() shows it 1-based).
class ExpressionError : public std::runtime_error {
public:
    ExpressionError(const QString& message, const QString& expression, int position);
    const QString& message() const { return m_message; }
    const QString& expression() const { return m_expression; }
    int position() const { return m_position; }

private:
    QString m_message;
    QString m_expression;
    int m_position;
};

// What an expression may read while a report runs. Answers nullopt for what it does not know,
// which makes the expression fail with an error naming it.
class IExpressionContext {
public:
    IExpressionContext();
    IExpressionContext(const IExpressionContext&);
    IExpressionContext& operator=(const IExpressionContext&) { return *this; }
    virtual ~IExpressionContext() = default;
    virtual std::optional<QVariant> field(const QString& dataset, const QString& field) const = 0;
    // A context that can find a field once and then read it by its place answers a slot (0 or
    // more) for it here and the field's value in the current row from fieldAt; a field in an
    // expression asks once per context. -1: the field is read by name every time.
    virtual int fieldSlot(const QString& dataset, const QString& field) const;
    virtual QVariant fieldAt(int slot) const;
    // Tells contexts apart for the slots expressions remember; no two contexts share one.
    quint64 serial() const { return m_serial; }
    virtual std::optional<QVariant> variable(const QString& name) const = 0;
    virtual std::optional<QVariant> callFunction(const QString& name, const QVariantList& args) = 0;
    virtual int pageNumber() const = 0;
    virtual int totalPages() const = 0;
    virtual int lineNumber() const = 0;  // the row number within the current data band

private:
    quint64 m_serial;
};

// A parsed expression; cheap to evaluate again and again.
class Expression {
public:
    // Throws ExpressionError on a syntax error.
    static Expression parse(const QString& text);
    Expression();
    ~Expression();
    Expression(const Expression&);
    Expression& operator=(const Expression&);
    Expression(Expression&&) noexcept;
    Expression& operator=(Expression&&) noexcept;

    // Throws ExpressionError naming what is unknown or cannot be computed (division by zero,
    // a field or variable the context does not have, a bad argument).
    QVariant evaluate(IExpressionContext& context) const;

    // Aggregates inside the expression, in order of appearance. The engine feeds every row of
    // the band they belong to into `accumulate`, and calls `reset` where a group or page
    // starts again; `evaluate` then reads their values.
    int aggregateCount() const;
    void accumulate(IExpressionContext& context);
    void resetAggregates();

    QString text() const;

private:
    struct Node;
    std::shared_ptr<Node> m_root;
    QString m_text;
};

// A text with embedded expressions in square brackets: "合计：[SUM([明细."je"])] 元".
// Brackets inside an expression nest; an unmatched "[" is an error.
class TextTemplate {
public:
    static TextTemplate parse(const QString& text);
    // The text with every embedded expression replaced by its value, formatted by `format`
    // (see formatValue) when given.
    QString evaluate(IExpressionContext& context, const QString& format = QString()) const;
    std::vector<Expression*> expressions();  // for the engine's aggregate bookkeeping

private:
    struct Part {
        QString literal;
        std::shared_ptr<Expression> expression;
    };
    std::vector<Part> m_parts;
};

// Hash keys for finding the values that `=` holds equal to a value without comparing each
// pair. `=` is not transitive (7 = '7' and 7 = '7.0', but '7' <> '7.0'), so no single key per
// value can do: a = b exactly when one of equalityKeys(a).filed is among equalityKeys(b).sought.
// One or two keys in each.
struct EqualityKeys {
    QStringList filed;
    QStringList sought;
};
EqualityKeys equalityKeys(const QVariant& value);

// Formats a value for display: numbers by a picture like "#,##0.00" or "0.##", or printf-like
// "%.2f", "%10.2n" (n groups thousands), "%d"; dates and times by a pattern such as
// "yyyy-mm-dd hh:nn:ss" (the engine's date letters); text as it is, unless it reads as a number
// and the format is a number's. Empty format: the value's plain text.
QString formatValue(const QVariant& value, const QString& format);

// The amount in Chinese capital numerals, as printed bills spell it.
QString MoneyCn(double mmje);
QString MoneyCn_2(double Money);

}  // namespace Qd::Print
