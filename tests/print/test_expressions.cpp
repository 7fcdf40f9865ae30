// The report expression language: values and operators, references, built-in and context
// functions, aggregates over band rows, errors with positions, text templates and formatting.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QMap>

#include "print/engine/Expression.h"

using namespace Qd::Print;

namespace {

// Datasets as lists of rows; `row` is the current row of every dataset.
class FakeContext : public IExpressionContext {
public:
    QMap<QString, QList<QVariantMap>> datasets;
    QMap<QString, QVariant> variables;
    int row = 0;
    int page = 2;
    int pages = 5;

    std::optional<QVariant> field(const QString& dataset, const QString& name) const override {
        const auto rows = datasets.value(dataset);
        if (row >= rows.size() || !rows[row].contains(name))
            return std::nullopt;
        return rows[row].value(name);
    }
    std::optional<QVariant> variable(const QString& name) const override {
        if (!variables.contains(name))
            return std::nullopt;
        return variables.value(name);
    }
    std::optional<QVariant> callFunction(const QString& name, const QVariantList& args) override {
        if (name.compare(QLatin1StringView("MoneyCn"), Qt::CaseInsensitive) == 0)
            return MoneyCn(args.value(0).toDouble());
        if (name == QLatin1StringView("Twice"))
            return args.value(0).toLongLong() * 2;
        return std::nullopt;
    }
    int pageNumber() const override { return page; }
    int totalPages() const override { return pages; }
    int lineNumber() const override { return row + 1; }
};

FakeContext billContext() {
    FakeContext c;
    c.datasets[QStringLiteral("表头数据")] = {
        {{"billno", "XS0001"}, {"rq", QDate(2024, 3, 9)}, {"kh", QStringLiteral("张三")}}};
    c.datasets[QStringLiteral("明细数据")] = {
        {{"je", 12.5}, {"sl", 2}, {"mc", QStringLiteral("苹果")}},
        {{"je", 7.25}, {"sl", 3}, {"mc", QStringLiteral("香蕉")}},
        {{"je", QVariant()}, {"sl", 1}, {"mc", QStringLiteral("梨")}},
        {{"je", 0.25}, {"sl", 4}, {"mc", QStringLiteral("桃")}},
    };
    c.variables[QStringLiteral("公司名称")] = QStringLiteral("'上海''鼎新''总店'");
    c.variables[QStringLiteral("税率")] = QStringLiteral("0.25");
    c.variables[QStringLiteral("含税")] = QStringLiteral("[明细数据.\"je\"] * (1 + [税率])");
    c.variables[QStringLiteral("页数")] = 7;
    c.variables[QStringLiteral("空")] = QString();
    c.variables[QStringLiteral("自己")] = QStringLiteral("[自己] + 1");
    return c;
}

// The value with its kind, so that 3 and 3.0 and '3' differ: "int 3", "double 3.5".
QString shown(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::LongLong:
            return QStringLiteral("int ") + v.toString();
        case QMetaType::Double:
            return QStringLiteral("double ") + formatValue(v, {});
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QMetaType::QString:
            return QStringLiteral("'%1'").arg(v.toString());
        case QMetaType::QDateTime:
            return v.toDateTime().toString(Qt::ISODate);
        default:
            return v.isValid() ? QStringLiteral("?") + v.toString() : QStringLiteral("null");
    }
}

struct EvalCase {
    const char* expression;
    const char* expected;
};

void expectValues(const std::initializer_list<EvalCase>& cases,
                  FakeContext context = billContext()) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        try {
            EXPECT_EQ(shown(Expression::parse(QString::fromUtf8(c.expression)).evaluate(context)),
                      QString::fromUtf8(c.expected));
        } catch (const ExpressionError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

struct ErrorCase {
    const char* expression;
    int position;         // UTF-16 units
    const char* message;  // a part of the message
};

void expectErrors(const std::initializer_list<ErrorCase>& cases) {
    FakeContext context = billContext();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        const QString text = QString::fromUtf8(c.expression);
        try {
            const QVariant v = Expression::parse(text).evaluate(context);
            ADD_FAILURE() << "no error, got " << shown(v).toStdString();
        } catch (const ExpressionError& e) {
            EXPECT_EQ(e.position(), c.position) << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.message))) << e.what();
        }
    }
}

TEST(Expressions, ArithmeticKeepsWholeNumbersWhole) {
    expectValues({
        {"1 + 2 * 3", "int 7"},
        {"10 - 4 - 3", "int 3"},
        {"7 / 2", "double 3.5"},
        {"2 * 3.5", "double 7"},
        {"7 div 2", "int 3"},
        {"7 mod 3", "int 1"},
        {"7.5 % 2", "double 1.5"},
        {"-2 * 3", "int -6"},
        {"1.5e3 + 1", "double 1501"},
        {"9223372036854775807 + 1", "double 9223372036854776000"},
        {"0.1 + 0.2", "double 0.30000000000000004"},
        {"'3' * 2", "int 6"},
    });
}

TEST(Expressions, TextConcatenationAndQuotes) {
    expectValues({
        {"'it''s' + \"x\"", "'it'sx'"},
        {"\"say \"\"hi\"\"\"", "'say \"hi\"'"},
        {"'a' + 1", "'a1'"},
        {"1 + 2 + 'a'", "'3a'"},
        {"'a' + 1 + 2", "'a12'"},
        {"'单号：' + [表头数据.\"billno\"]", "'单号：XS0001'"},
        {"'x' + [明细数据.\"je\"]", "'x12.5'"},
    });
}

TEST(Expressions, ComparisonsAndLogic) {
    expectValues({
        {"1 < 2", "true"},
        {"3 <> 3", "false"},
        {"'abc' < 'abd'", "true"},
        {"'b' > 'abc'", "true"},
        {"'10' = 10", "true"},
        {"'x' = 10", "false"},
        {"1 < 2 and 3 > 4", "false"},
        {"not 1 = 2", "true"},
        {"not (1 = 1) or true", "true"},
        {"false and 1 / 0 = 1", "false"},
        {"true or 1 / 0 = 1", "true"},
        {"[表头数据.\"rq\"] > [Date] - 100000", "true"},
    });
}

TEST(Expressions, EqualityKeysFindExactlyWhatEqualsFinds) {
    const QVariantList values = {QVariant(),  0,    7,  7.0,   7.5,  "7",    "7.0",
                                 " 7",        "07", "", "abc", true, "True", QDate(2024, 1, 1),
                                 "2024-01-01"};
    FakeContext context;
    const Expression equals = Expression::parse(QStringLiteral("[v.\"a\"] = [v.\"b\"]"));
    for (const QVariant& a : values) {
        for (const QVariant& b : values) {
            context.datasets[QStringLiteral("v")] = {{{"a", a}, {"b", b}}};
            bool equal = false;
            try {
                equal = equals.evaluate(context).toBool();
            } catch (const ExpressionError&) {  // a number and a logical value: never equal
            }
            const QStringList filed = equalityKeys(a).filed;
            const QStringList sought = equalityKeys(b).sought;
            const bool found = std::any_of(filed.begin(), filed.end(),
                                           [&](const QString& k) { return sought.contains(k); });
            EXPECT_EQ(found, equal) << shown(a).toStdString() << " = " << shown(b).toStdString();
        }
    }
}

TEST(Expressions, References) {
    expectValues({
        {"[表头数据.\"billno\"]", "'XS0001'"},
        {"表头数据.\"kh\"", "'张三'"},
        {"[表头数据.\"rq\"]", "2024-03-09T00:00:00"},
        {"[明细数据.\"sl\"] * 10", "int 20"},
        {"[公司名称]", "'上海'鼎新'总店'"},
        {"公司名称", "'上海'鼎新'总店'"},
        {"[含税]", "double 15.625"},
        {"[页数] + 1", "int 8"},
        {"[空]", "''"},
        {"[Page#]", "int 2"},
        {"[totalpages#]", "int 5"},
        {"[Line#]", "int 1"},
    });
}

// A context that hands out slots: columns in its own order, which differs between contexts.
class SlotContext : public FakeContext {
public:
    explicit SlotContext(QStringList columns) : m_columns(std::move(columns)) {}
    int fieldSlot(const QString& dataset, const QString& name) const override {
        ++lookups;
        return dataset == QStringLiteral("d") ? int(m_columns.indexOf(name)) : -1;
    }
    QVariant fieldAt(int slot) const override { return m_columns[slot] + QString::number(row); }
    mutable int lookups = 0;

private:
    QStringList m_columns;
};

TEST(Expressions, AFieldIsFoundOnceForAContextAndReadByItsSlotOnEveryRow) {
    const Expression e = Expression::parse(QStringLiteral("[d.\"b\"] + [d.\"a\"]"));
    SlotContext first({"a", "b"}), second({"b", "x", "a"});
    for (int row = 0; row < 3; ++row) {
        first.row = second.row = row;
        EXPECT_EQ(e.evaluate(first).toString(), QStringLiteral("b%1a%1").arg(row));
        EXPECT_EQ(e.evaluate(second).toString(), QStringLiteral("b%1a%1").arg(row));
    }
    first.lookups = 0;
    for (int row = 0; row < 3; ++row) {
        first.row = row;
        EXPECT_EQ(e.evaluate(first).toString(), QStringLiteral("b%1a%1").arg(row));
    }
    EXPECT_EQ(first.lookups, 2);  // once per field node, not per row
    // A copy of a context is another context: it finds the fields again.
    SlotContext copy = first;
    copy.lookups = 0;
    EXPECT_EQ(e.evaluate(copy).toString(), QStringLiteral("b2a2"));
    EXPECT_EQ(copy.lookups, 2);
}

TEST(Expressions, BuiltInFunctions) {
    expectValues({
        {"IIF(1 > 2, 'a', 'b')", "'b'"},
        {"iif(true, 1, 1 / 0)", "int 1"},
        {"Copy('上海鼎新总店', 3, 2)", "'鼎新'"},
        {"Copy('abc', 0, 2)", "'ab'"},
        {"Copy('abc', 2, 10)", "'bc'"},
        {"Copy('abc', 5, 1)", "''"},
        {"Length('上海ab')", "int 4"},
        {"Trim('  a b  ')", "'a b'"},
        {"UpperCase('abc') + LOWERCASE('DEF')", "'ABCdef'"},
        {"FormatFloat('#,##0.00', 1234567.891)", "'1,234,567.89'"},
        {"FormatDateTime('yyyy年mm月dd日', [表头数据.\"rq\"])", "'2024年03月09日'"},
        {"IntToStr(42) + FloatToStr(2.5)", "'422.5'"},
        {"StrToInt(' 12 ') + StrToFloat('0.5')", "double 12.5"},
        {"Round(2.5)", "int 3"},
        {"Round(-2.5)", "int -3"},
        {"Round(1.005, 2)", "double 1.01"},
        {"Round(1234.5678, -2)", "int 1200"},
        {"Round(7, 2)", "int 7"},
        {"Abs(-3) + Abs(-0.5)", "double 3.5"},
        {"Date = [Date]", "true"},
        {"Length(FormatDateTime('hh:nn:ss', Now)) = 8", "true"},
        {"MoneyCn(1234.56)", "'壹仟贰佰叁拾肆元伍角陆分'"},
        {"moneycn([明细数据.\"je\"])", "'壹拾贰元伍角整'"},
        {"Twice(21)", "int 42"},
    });
}

TEST(Expressions, NullsAreZeroOrEmpty) {
    FakeContext context = billContext();
    context.row = 2;  // je is null
    expectValues(
        {
            {"[明细数据.\"je\"]", "null"},
            {"[明细数据.\"je\"] + 1", "int 1"},
            {"'[' + [明细数据.\"je\"] + ']'", "'[]'"},
            {"[明细数据.\"je\"] = 0", "true"},
            {"[Line#]", "int 3"},
        },
        context);
}

TEST(Expressions, Errors) {
    expectErrors({
        // syntax, positions in UTF-16 units
        {"", 0, "为空"},
        {"1 +", 3, "意外结束"},
        {"(1 + 2", 6, "缺少 )"},
        {"1 2", 2, "多余"},
        {"'abc", 0, "字符串没有结束"},
        {"[明细数据.\"je\"] + [税率", 14, "没有对应的 ]"},
        {"1 + @", 4, "无法识别"},
        {"and 1", 0, "应是一个值"},
        {"SUM(SUM(1))", 4, "嵌套"},
        {"SUM()", 0, "需要一个参数"},
        // evaluation
        {"1 / 0", 2, "除数为零"},
        {"[明细数据.\"sl\"] / ([明细数据.\"sl\"] - 2)", 12, "除数为零"},
        {"'单价' + Foo(1)", 7, "Foo"},
        {"[明细数据.\"价格\"]", 0, "明细数据.\"价格\""},
        {"[没有] + 1", 0, "没有变量 没有"},
        {"[自己]", 0, "自己 引用了自身"},
        {"'a' * 2", 4, "不是数值"},
        {"IIF(1, 2)", 0, "IIF"},
        {"StrToInt('1.5')", 0, "不是整数"},
        {"1 < true", 2, "无法比较"},
        {"Date() + 2 + Date()", 11, "两个日期不能相加"},  // once ran out of stack
    });
    // Nesting that ran the parser out of stack: refused at the bracket past the limit, while
    // the limit itself still parses and evaluates.
    const std::string deep = std::string(200, '(') + "1" + std::string(200, ')');
    FakeContext context = billContext();
    EXPECT_EQ(Expression::parse(QString::fromStdString(deep)).evaluate(context).toInt(), 1);
    const std::string deeper = "(" + deep + ")", signs = std::string(300, '-') + "1";
    expectErrors({{deeper.c_str(), 201, "嵌套太深"}, {signs.c_str(), 201, "嵌套太深"}});
}

// A variable's own expression fails: the error carries that expression and names the variable.
TEST(Expressions, ErrorInsideAVariable) {
    FakeContext context = billContext();
    context.variables[QStringLiteral("坏")] = QStringLiteral("1 + 'x' * 2");
    try {
        Expression::parse(QStringLiteral("[坏]")).evaluate(context);
        FAIL();
    } catch (const ExpressionError& e) {
        EXPECT_EQ(e.expression(), QStringLiteral("1 + 'x' * 2"));
        EXPECT_EQ(e.position(), 8);
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("变量 坏"))) << e.what();
    }
}

// Feeds every detail row, as a data band does.
QString aggregated(Expression& e, FakeContext& context) {
    for (context.row = 0; context.row < context.datasets[QStringLiteral("明细数据")].size();
         ++context.row)
        e.accumulate(context);
    return shown(e.evaluate(context));
}

TEST(Aggregates, OverTheRowsOfABand) {
    const EvalCase cases[] = {
        {"SUM([明细数据.\"sl\"])", "int 10"},
        {"SUM([明细数据.\"je\"])", "double 20"},
        {"COUNT()", "int 4"},
        {"COUNT([明细数据.\"je\"])", "int 3"},
        {"AVG([明细数据.\"je\"])", "double 6.666666666666667"},
        {"MIN([明细数据.\"je\"])", "double 0.25"},
        {"MAX([明细数据.\"mc\"])", "'香蕉'"},
        {"sum([明细数据.\"sl\"] * [明细数据.\"je\"])", "double 47.75"},
        {"SUM(IIF([明细数据.\"sl\"] > 2, 1, 0))", "int 2"},
        {"'合计' + SUM([明细数据.\"sl\"]) + '件'", "'合计10件'"},
        {"SUM([明细数据.\"sl\"]) / COUNT()", "double 2.5"},
        {"MAX([明细数据.\"sl\"]) - MIN([明细数据.\"sl\"])", "int 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        FakeContext context = billContext();
        Expression e = Expression::parse(QString::fromUtf8(c.expression));
        EXPECT_EQ(aggregated(e, context), QString::fromUtf8(c.expected));
    }
}

TEST(Aggregates, BeforeAnyRow) {
    expectValues({
        {"SUM([明细数据.\"je\"])", "int 0"},
        {"COUNT()", "int 0"},
        {"AVG([明细数据.\"je\"])", "int 0"},
        {"MIN([明细数据.\"je\"])", "null"},
        {"MAX([明细数据.\"je\"])", "null"},
    });
}

// Each occurrence keeps its own total, a reset starts them all again, and a copy of an
// expression does not share totals with the original.
TEST(Aggregates, StateBelongsToEachOccurrence) {
    FakeContext context = billContext();
    Expression e = Expression::parse(QStringLiteral("SUM([Line#]) * 100 + SUM(1)"));
    EXPECT_EQ(e.aggregateCount(), 2);
    EXPECT_EQ(aggregated(e, context), QStringLiteral("int 1004"));

    Expression copy = e;
    e.resetAggregates();
    EXPECT_EQ(shown(e.evaluate(context)), QStringLiteral("int 0"));
    EXPECT_EQ(shown(copy.evaluate(context)), QStringLiteral("int 1004"));
    context.row = 0;
    e.accumulate(context);
    EXPECT_EQ(shown(e.evaluate(context)), QStringLiteral("int 101"));
    EXPECT_EQ(shown(copy.evaluate(context)), QStringLiteral("int 1004"));
}

TEST(Aggregates, AVariableMayNotHoldOne) {
    FakeContext context = billContext();
    context.variables[QStringLiteral("合计")] = QStringLiteral("SUM(1)");
    EXPECT_THROW(Expression::parse(QStringLiteral("[合计]")).evaluate(context), ExpressionError);
}

struct TemplateCase {
    const char* text;
    const char* format;
    const char* expected;
};

TEST(TextTemplates, EmbeddedExpressions) {
    const TemplateCase cases[] = {
        {"单号：[表头数据.\"billno\"]", "", "单号：XS0001"},
        {"[公司名称] 销售单", "", "上海'鼎新'总店 销售单"},
        {"第 [Page#] 页 / 共 [TotalPages#] 页", "", "第 2 页 / 共 5 页"},
        {"金额：[明细数据.\"je\"] 元", "#,##0.00", "金额：12.50 元"},
        {"[IIF([明细数据.\"sl\"] > 1, '多', '少')]", "", "多"},
        {"[Copy('a]b', 1, 3)]", "", "a]b"},
        {"[[明细数据.\"sl\"] + 1]件", "", "3件"},
        {"没有表达式", "", "没有表达式"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FakeContext context = billContext();
        EXPECT_EQ(TextTemplate::parse(QString::fromUtf8(c.text))
                      .evaluate(context, QString::fromUtf8(c.format)),
                  QString::fromUtf8(c.expected));
    }
}

TEST(TextTemplates, AggregatesAreReachable) {
    FakeContext context = billContext();
    TextTemplate t = TextTemplate::parse(QStringLiteral("合计：[SUM([明细数据.\"je\"])] 元"));
    ASSERT_EQ(t.expressions().size(), 1u);
    for (context.row = 0; context.row < 4; ++context.row)
        t.expressions().front()->accumulate(context);
    EXPECT_EQ(t.evaluate(context, QStringLiteral("0.00")), QStringLiteral("合计：20.00 元"));
}

TEST(TextTemplates, ErrorsPointIntoTheText) {
    const struct {
        const char* text;
        int position;
    } cases[] = {
        {"合计：[SUM([明细数据.\"je\"]) 元", 3},
        {"合计：[1 +] 元", 7},
        {"[a] [", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            TextTemplate::parse(QString::fromUtf8(c.text));
            ADD_FAILURE() << "no error";
        } catch (const ExpressionError& e) {
            EXPECT_EQ(e.expression(), QString::fromUtf8(c.text));
            EXPECT_EQ(e.position(), c.position) << e.what();
        }
    }
}

struct FormatCase {
    QVariant value;
    const char* format;
    const char* expected;
};

TEST(FormatValue, Numbers) {
    const FormatCase cases[] = {
        {1234567.891, "#,##0.00", "1,234,567.89"},
        {-1234.5, "#,##0.00", "-1,234.50"},
        {-0.001, "0.00", "0.00"},
        {2.675, "0.00", "2.68"},
        {1.005, "0.00", "1.01"},
        {2.5, "0", "3"},
        {1234.5, "#,##0.##", "1,234.5"},
        {1234.0, "#,##0.##", "1,234"},
        {0.456, "#.##", ".46"},
        {qint64(42), "000", "042"},
        {12.5, "¥#,##0.00元", "¥12.50元"},
        {QStringLiteral("12.345"), "0.00", "12.35"},
        {QStringLiteral("苹果"), "0.00", "苹果"},
        {1234.5, "%.2n", "1,234.50"},
        {3.14159, "%8.3f", "   3.142"},
        {qint64(7), "", "7"},
        {7.0, "", "7"},
        {1.0 / 3.0, "", "0.3333333333333333"},
        {QVariant(), "0.00", ""},
        {true, "", "True"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format + (" " + c.value.toString()).toStdString());
        EXPECT_EQ(formatValue(c.value, QString::fromUtf8(c.format)), QString::fromUtf8(c.expected));
    }
}

TEST(FormatValue, DatesAndTimes) {
    const QDateTime moment(QDate(2024, 3, 9), QTime(8, 5, 7, 42));
    const FormatCase cases[] = {
        {moment, "yyyy-mm-dd hh:nn:ss", "2024-03-09 08:05:07"},
        {moment, "YYYY/M/D H:N", "2024/3/9 8:5"},
        {moment, "yy年mm月dd日", "24年03月09日"},
        {moment, "hh:nn:ss.zzz", "08:05:07.042"},
        {moment, "'mm:' mm", "mm: 03"},
        {QTime(23, 59, 1), "hh:nn", "23:59"},
        {moment, "", "2024-03-09 08:05:07"},
        {QDate(2024, 3, 9), "", "2024-03-09"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(formatValue(c.value, QString::fromUtf8(c.format)), QString::fromUtf8(c.expected));
    }
}

}  // namespace
