// sum and avg over decimal and money columns are exact to the last place: a million values, some
// negative, against the sum of the same values counted in integer units in C++.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "TsqlMemoryDb.h"
#include "db/tsql/TsqlDecimal.h"

using namespace Qd::Core::Db;

namespace {

constexpr qint64 kRows = 1000000;

// The value of row x in units of the column's last place, as the setup's SQL computes it.
qint64 unitsOfRow(qint64 x, qint64 modulus, qint64 offset) {
    return (x * 7919) % modulus - offset;
}

// The decimal text of units at `places`, and its average over kRows rounded half away from zero.
QString unitsText(qint64 units, int places) {
    const bool negative = units < 0;
    QString digits = QString::number(negative ? -units : units).rightJustified(places + 1, '0');
    digits.insert(digits.size() - places, QLatin1Char('.'));
    return negative ? QLatin1Char('-') + digits : digits;
}

qint64 averageUnits(qint64 sumUnits, qint64 count, qint64 factor) {
    const qint64 total = sumUnits * factor;
    qint64 q = total / count;
    const qint64 r = total % count;
    if (std::llabs(r) * 2 >= count)
        q += total < 0 ? -1 : 1;
    return q;
}

TEST(TsqlDecimals, SumAndAvgOfAMillionValuesAreExact) {
    TsqlMemoryDb db;
    ASSERT_EQ(
        sqlite3_exec(db.db, "create table t (d decimal(18,2), p money)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db.db,
                           "with recursive n(x) as (select 1 union all select x + 1 from n where "
                           "x < 1000000) insert into t select ((x * 7919) % 100000 - 30000) / "
                           "100.0, ((x * 7919) % 10000000 - 3000000) / 10000.0 from n",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    qint64 cents = 0, moneyUnits = 0;
    for (qint64 x = 1; x <= kRows; ++x) {
        cents += unitsOfRow(x, 100000, 30000);
        moneyUnits += unitsOfRow(x, 10000000, 3000000);
    }

    const auto rows = db.values(QStringLiteral("select sum(d), avg(d), sum(p), avg(p) from t"));
    ASSERT_EQ(rows.size(), 1u);
    const QVariantList& r = rows[0];
    // Exact: the nearest double to the decimal value, nothing lost in a million additions.
    EXPECT_EQ(r[0].toDouble(), unitsText(cents, 2).toDouble()) << unitsText(cents, 2).toStdString();
    EXPECT_EQ(r[1].toDouble(), unitsText(averageUnits(cents, kRows, 10000), 6).toDouble());
    EXPECT_EQ(r[2].toDouble(), unitsText(moneyUnits, 4).toDouble());
    EXPECT_EQ(r[3].toDouble(), unitsText(averageUnits(moneyUnits, kRows, 1), 4).toDouble());
}

// A decimal result goes back to the database as the double nearest to it: the quick division
// must agree with reading the decimal's text for every size of units and scale.
TEST(TsqlDecimals, DoubleOfADecimalIsTheNearest) {
    using namespace Qd::Core::Db::Tsql;
    QRandomGenerator rng(20261206);
    for (int k = 0; k < 200000; ++k) {
        const int bits = 1 + int(rng.bounded(62));
        const qint64 magnitude = qint64(rng.generate64() >> (64 - bits));
        const Decimal d{k % 2 ? magnitude : -magnitude, int(rng.bounded(25))};
        ASSERT_EQ(decimalToDouble(d), decimalText(d).toDouble()) << decimalText(d).toStdString();
    }
}

}  // namespace
