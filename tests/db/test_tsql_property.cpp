// Properties of the translator over generated expressions: whatever the spacing, the unary signs
// and the parentheses, an integer expression run through the translator gives the value C++
// computes with the server's rules (division truncates toward zero, '%' takes the dividend's
// sign), in the select list and in a filter alike.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "TsqlMemoryDb.h"

using namespace Qd::Core::Db;

namespace {

constexpr qint64 kColumnValue = 7;  // the value of column c in the one-row table t

// An expression as tokens, and its value.
struct Generated {
    QStringList tokens;
    qint64 value = 0;
    bool isBinary = false;  // a binary operation at the top: grouped before a unary sign applies
};

class ExpressionGenerator {
public:
    explicit ExpressionGenerator(quint32 seed) : m_rng(seed) {}

    Generated expression(int depth) {
        for (;;) {
            std::optional<Generated> g = tryExpression(depth);
            if (g && std::llabs(g->value) < 1000000)
                return *g;
        }
    }

    // The tokens joined as an author might write them: sometimes with blanks, sometimes without,
    // but never "--" or "/*", which T-SQL itself reads as comments.
    QString spell(const QStringList& tokens) {
        QString out;
        for (const QString& t : tokens) {
            if (!out.isEmpty()) {
                const QChar a = out.back(), b = t.front();
                const bool mustSpace =
                    (a == QLatin1Char('-') && b == QLatin1Char('-')) ||
                    (a == QLatin1Char('/') && b == QLatin1Char('*')) ||
                    (a == QLatin1Char('*') && b == QLatin1Char('/')) ||
                    ((a.isLetterOrNumber() || a == QLatin1Char('_')) && b.isLetterOrNumber());
                if (mustSpace || m_rng.bounded(2) == 0)
                    out += QLatin1Char(' ');
            }
            out += t;
        }
        return out;
    }

private:
    std::optional<Generated> tryExpression(int depth) {
        const int pick = depth <= 0 ? int(m_rng.bounded(3)) : int(m_rng.bounded(9));
        switch (pick) {
            case 0:  // a literal (negative numbers come from the unary minus)
            {
                const qint64 v = m_rng.bounded(10);
                return Generated{{QString::number(v)}, v};
            }
            case 1:
                return Generated{{QStringLiteral("c")}, kColumnValue};
            case 2:
                return Generated{{QStringLiteral("("), QStringLiteral("c"), QStringLiteral(")")},
                                 kColumnValue};
            case 3:
            case 4: {  // unary minus or plus, often stacked
                const bool minus = m_rng.bounded(4) != 0;
                Generated g = expression(depth - 1);
                if (g.isBinary) {
                    g.tokens.prepend(QStringLiteral("("));
                    g.tokens.append(QStringLiteral(")"));
                    g.isBinary = false;
                }
                g.tokens.prepend(minus ? QStringLiteral("-") : QStringLiteral("+"));
                if (minus)
                    g.value = -g.value;
                return g;
            }
            case 5: {
                Generated g = expression(depth - 1);
                g.tokens.prepend(QStringLiteral("("));
                g.tokens.append(QStringLiteral(")"));
                g.isBinary = false;
                return g;
            }
            default:
                return binary(depth);
        }
    }

    // Operands of a binary operator are primaries or unary forms, or parenthesised, so the value
    // computed here follows the same grouping as the text.
    std::optional<Generated> binary(int depth) {
        static const char* const ops[] = {"+", "-", "*", "/", "%"};
        const QString op = QString::fromLatin1(ops[m_rng.bounded(5)]);
        Generated l = expression(depth - 1), r = expression(depth - 1);
        auto group = [](Generated& g) {
            g.tokens.prepend(QStringLiteral("("));
            g.tokens.append(QStringLiteral(")"));
        };
        group(l);
        if (m_rng.bounded(3) != 0 || r.tokens.size() > 2)
            group(r);
        Generated out;
        out.isBinary = true;
        out.tokens = l.tokens + QStringList{op} + r.tokens;
        if (op == QLatin1String("+"))
            out.value = l.value + r.value;
        else if (op == QLatin1String("-"))
            out.value = l.value - r.value;
        else if (op == QLatin1String("*"))
            out.value = l.value * r.value;
        else if (r.value == 0)
            return std::nullopt;
        else if (op == QLatin1String("/"))
            out.value = l.value / r.value;  // C++ truncates toward zero, as the server does
        else
            out.value = l.value % r.value;
        return out;
    }

    QRandomGenerator m_rng;
};

struct MemoryDb : TsqlMemoryDb {
    MemoryDb() {
        session->run(
            QStringLiteral("create table t (c int) insert into t values (%1)").arg(kColumnValue),
            {});
    }
    // The single value of the first result set as text, or the error's message.
    std::string value(const QString& batch) {
        std::vector<QVariantList> rows;
        try {
            rows = values(batch);
        } catch (const DbError& e) {
            return e.message().toStdString();
        }
        if (rows.size() != 1)
            return std::to_string(rows.size()) + " rows";
        return rows.front().value(0).toString().toStdString();
    }
};

}  // namespace

TEST(TsqlExpressionProperty, GeneratedIntegerExpressionsKeepTheirValue) {
    ExpressionGenerator gen(20261205);
    MemoryDb db;
    auto number = [](qint64 v) { return QString::number(v).toStdString(); };
    for (int round = 0; round < 1500; ++round) {
        const Generated g = gen.expression(4);
        const QString expr = gen.spell(g.tokens);
        SCOPED_TRACE(expr.toStdString());
        // In the select list, before a from that a stray comment would swallow.
        ASSERT_EQ(db.value(QStringLiteral("select ") + expr + QStringLiteral(" from t")),
                  number(g.value));
        // In a filter, on both sides of the comparison, before more conditions.
        const qint64 bound = g.value - qint64(round % 3) + 1;  // below, at or above the value
        const QString twice = gen.spell(
            {QStringLiteral("-"), QStringLiteral("-"), QString::number(bound)});  // "- -5" is 5
        ASSERT_EQ(db.value(QStringLiteral("select count(*) from t where ") + expr +
                           QStringLiteral(" >= ") + twice + QStringLiteral(" and c = 7 or 1 = 0")),
                  number(g.value >= bound ? 1 : 0));
        ASSERT_EQ(
            db.value(QStringLiteral("select count(*) from t where - ") + QString::number(bound) +
                     QStringLiteral(" < - (") + expr + QStringLiteral(") and c = 7")),
            number(-bound < -g.value ? 1 : 0));
    }
}

// Text columns compare as the server compares (case and trailing blanks do not count) through
// their collation, so an index on such a column still serves equality and order.
TEST(TsqlTextCollation, AnIndexedTextColumnIsSearchedAndSortedThroughItsIndex) {
    MemoryDb db;
    db.session->run(QStringLiteral("create table goods (code varchar(20), name nvarchar(20)) "
                                   "create index ix_goods_code on goods (code) "
                                   "insert into goods values ('A1  ', 'x') "
                                   "insert into goods values ('a2', 'y')"),
                    {});
    const QStringList sql = db.session->explain(
        QStringLiteral("select name from goods where code = 'a1' order by code"));
    ASSERT_EQ(sql.size(), 1);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.db, ("explain query plan " + sql[0]).toUtf8().constData(), -1,
                                 &st, nullptr),
              SQLITE_OK);
    QString plan;
    while (sqlite3_step(st) == SQLITE_ROW)
        plan += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 3))) +
                QLatin1Char('\n');
    sqlite3_finalize(st);
    EXPECT_TRUE(plan.contains(QLatin1String("USING INDEX ix_goods_code (code=?)")))
        << plan.toStdString();
    EXPECT_FALSE(plan.contains(QLatin1String("TEMP B-TREE"))) << plan.toStdString();
    EXPECT_EQ(db.value(QStringLiteral("select name from goods where code = 'a1' order by code")),
              "x");
}

// Parentheses, signs and nots nested ten thousand deep give an answer or a clear error, never a
// stack overflow; parentheses that only wrap are kept once.
TEST(TsqlExpressionProperty, DeepNestingGivesAnAnswerOrAClearError) {
    MemoryDb db;
    const int n = 10000;
    const QString open(n, QLatin1Char('(')), close(n, QLatin1Char(')'));
    EXPECT_EQ(db.value(QStringLiteral("select ") + open + QStringLiteral("c") + close +
                       QStringLiteral(" - - 1 from t")),
              "8");
    EXPECT_EQ(db.value(QStringLiteral("select count(*) from t where ") + open +
                       QStringLiteral("c > 1") + close + QStringLiteral(" and c < 8")),
              "1");
    QString signs;
    for (int k = 0; k < n; ++k)
        signs += QStringLiteral("- ");
    EXPECT_EQ(db.value(QStringLiteral("select ") + signs + QStringLiteral("c from t")), "7");
    EXPECT_EQ(db.value(QStringLiteral("select count(*) from t where ") +
                       QStringLiteral("not ").repeated(n + 1) + QStringLiteral("c = 7")),
              "0");
    EXPECT_NE(db.value(QStringLiteral("select 1 + ") + QStringLiteral("(1 + ").repeated(n) +
                       QStringLiteral("1") + close)
                  .find("表达式嵌套太深"),
              std::string::npos);
}
