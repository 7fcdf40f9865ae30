// The print expressions a template author types: any text either parses or fails with an
// ExpressionError; a parsed expression evaluates (aggregates fed a few rows) to a value or an
// ExpressionError. The same text as a text template with [expressions] inside likewise.
#include "FuzzSupport.h"
#include "print/engine/Expression.h"

using namespace Qd::Print;

namespace {

// Knows every field and variable: numbers and texts chosen by the name, so that both kinds
// meet every operator and function. Functions it does not know.
class Context : public IExpressionContext {
public:
    std::optional<QVariant> field(const QString&, const QString& name) const override {
        return value(name);
    }
    std::optional<QVariant> variable(const QString& name) const override { return value(name); }
    std::optional<QVariant> callFunction(const QString&, const QVariantList&) override {
        return std::nullopt;
    }
    int pageNumber() const override { return 1; }
    int totalPages() const override { return 2; }
    int lineNumber() const override { return m_line; }
    int m_line = 1;

private:
    QVariant value(const QString& name) const {
        switch (name.size() % 4) {
            case 0:
                return 12.5 * m_line;
            case 1:
                return QStringLiteral("北京 %1").arg(m_line);
            case 2:
                return qlonglong(m_line) - 2;
            default:
                return QVariant();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Qd::Fuzz::initOnce();
    const QString text = Qd::Fuzz::text(data, size);
    Context context;
    try {
        Expression e = Expression::parse(text);
        for (context.m_line = 1; context.m_line <= 3; ++context.m_line)
            e.accumulate(context);
        (void)e.evaluate(context);
        e.resetAggregates();
        (void)e.evaluate(context);
    } catch (const ExpressionError&) {
    }
    try {
        const TextTemplate t = TextTemplate::parse(text);
        (void)t.evaluate(context);
        (void)t.evaluate(context, QStringLiteral("#,##0.00"));
    } catch (const ExpressionError&) {
    }
    return 0;
}
