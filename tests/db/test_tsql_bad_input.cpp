// Input a module author would not write by hand but a program might generate: a batch of a
// megabyte, a statement with thousands of parameters. Each gives an answer or a clear error,
// never a crash; the sizes bound the time, not a clock.
#include <gtest/gtest.h>

#include "TsqlMemoryDb.h"
#include "db/tsql/TsqlBatch.h"

using Qd::Core::Db::DbError;
using Qd::Core::Db::Params;

namespace {

constexpr int kMegabyte = 1 << 20;

// The first value of the batch's first row, or the error's message after "error: ".
QString outcome(TsqlMemoryDb& db, const QString& batch, const Params& params = {}) {
    try {
        const auto rows = db.values(batch, params);
        return rows.empty() || rows[0].isEmpty() ? QStringLiteral("no row") : rows[0][0].toString();
    } catch (const DbError& e) {
        return QStringLiteral("error: ") + e.message();
    }
}

}  // namespace

TEST(TsqlBadInput, AMegabyteBatchOfStatementsRunsWhole) {
    TsqlMemoryDb db;
    QString batch = QStringLiteral("create table t (k int, s varchar(40))\n");
    int rows = 0;
    while (batch.size() < kMegabyte) {
        batch += QStringLiteral("insert into t values (%1, 'row %1 of a long generated batch')\n")
                     .arg(++rows);
    }
    batch += QStringLiteral("select count(*), sum(k) from t");
    const auto result = db.values(batch);
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0][0].toLongLong(), rows);
    EXPECT_EQ(result[0][1].toLongLong(), qint64(rows) * (rows + 1) / 2);
}

TEST(TsqlBadInput, AMegabyteStatementGivesAnAnswerOrAClearError) {
    TsqlMemoryDb db;
    // One literal of a megabyte, in a select and through a variable.
    const QString text(kMegabyte, QLatin1Char('x'));
    EXPECT_EQ(outcome(db, QStringLiteral("select len('%1')").arg(text)),
              QString::number(kMegabyte));
    EXPECT_EQ(
        outcome(db,
                QStringLiteral("declare @s varchar(max) = '%1' select len(@s + 'y')").arg(text)),
        QString::number(kMegabyte + 1));
    // A list of values that long in one in (...).
    QString list = QStringLiteral("0");
    int n = 0;
    while (list.size() < kMegabyte)
        list += QStringLiteral(", %1").arg(++n);
    EXPECT_EQ(outcome(db, QStringLiteral("select count(*) from (select %1 as v) x where v in (%2)")
                              .arg(n)
                              .arg(list)),
              QStringLiteral("1"));
    // A megabyte of "or" is deeper than the embedded database parses: an error that says so.
    QString ors = QStringLiteral("1 = 0");
    while (ors.size() < kMegabyte)
        ors += QStringLiteral(" or 1 = 0");
    EXPECT_TRUE(outcome(db, QStringLiteral("select count(*) where ") + ors)
                    .startsWith(QStringLiteral("error: 第 1 行：语句太复杂")));
}

TEST(TsqlBadInput, TwoThousandParametersGiveAnAnswer) {
    TsqlMemoryDb db;
    const int n = 2000;
    Params params;
    QStringList names;
    qint64 sum = 0;
    for (int k = 1; k <= n; ++k) {
        params.push_back({QStringLiteral("p%1").arg(k), k * 3});
        names << QStringLiteral(":p%1").arg(k);
        sum += k * 3;
    }
    QString table = QStringLiteral("create table t (k int)\n");
    for (int k = 1; k <= 3 * n; ++k)
        table += QStringLiteral("insert into t values (%1)\n").arg(k);
    db.values(table);
    EXPECT_EQ(outcome(db,
                      QStringLiteral("select sum(k) from t where k in (%1)")
                          .arg(names.join(QStringLiteral(", "))),
                      params),
              QString::number(sum));
    // As many variables, each bound as a parameter of the one statement that reads them all.
    QString batch;
    QStringList vars;
    for (int k = 1; k <= n; ++k) {
        batch += QStringLiteral("declare @v%1 int = %1\n").arg(k);
        vars << QStringLiteral("@v%1").arg(k);
    }
    batch += QStringLiteral("select count(*) from (select 2000 as v) x where v in (%1)")
                 .arg(vars.join(QStringLiteral(", ")));
    EXPECT_EQ(outcome(db, batch), QStringLiteral("1"));
    // A sum of them all is an expression two thousand deep: an error that says so.
    EXPECT_TRUE(
        outcome(db, QStringLiteral("select %1").arg(names.join(QStringLiteral(" + "))), params)
            .startsWith(QStringLiteral("error: 第 1 行：语句太复杂")));
}

// A refused construct is found while the batch is translated, before any of it runs: the
// statements before it, DDL and a committed transaction included, change nothing.
TEST(TsqlBadInput, ABatchWithARefusedConstructChangesNothing) {
    TsqlMemoryDb db;
    db.values(
        QStringLiteral("create table k (id int, name varchar(20))\n"
                       "insert into k values (1, 'a')\n"
                       "create view kv as select id from k"));
    const QString before = QStringLiteral(
        "create table made (x int)\n"
        "insert into k values (2, 'b')\n"
        "update k set name = 'changed'\n"
        "begin tran\n"
        "delete from k where id = 1\n"
        "commit\n");
    const QStringList refused = {
        QStringLiteral("merge k using made m on k.id = m.x when matched then delete"),
        QStringLiteral("exec some_procedure 1"),
        QStringLiteral("delete from kv where id = 1"),
        QStringLiteral(
            "select * from k a join k b on a.id = b.id pivot (max(id) for name in ([a])) p"),
    };
    for (const QString& last : refused) {
        try {
            db.values(before + last);
            ADD_FAILURE() << "accepted: " << last.toStdString();
        } catch (const Qd::Core::Db::Tsql::TsqlError& e) {
            EXPECT_EQ(e.line(), 7) << e.message().toStdString();
        }
        EXPECT_EQ(outcome(db, QStringLiteral("select count(*) from k where id = 1 and name = 'a'")),
                  QStringLiteral("1"));
        EXPECT_EQ(outcome(db, QStringLiteral("select count(*) from k")), QStringLiteral("1"));
        EXPECT_EQ(outcome(db, QStringLiteral("select object_id('made')")), QString());
        EXPECT_EQ(db.session->tranCount(), 0);
    }
}
