#pragma once

// A table of 10^6 goods lines with a column of every type the data layer converts, in a
// database of its own made once per run: the large reads of the data services' benchmarks.

#include "BenchDatabase.h"
#include "RawSqlite.h"

namespace Qd::Bench {

inline constexpr int kGoodsLines = 1000000;

// `lines`: id int, code nvarchar(20), name nvarchar(40) (Chinese), qty int, price
// decimal(18,2), amount float, made datetime, ok bit. Checkpointed after its load, so that every
// reader reads the database file alone, none through the log.
inline BenchDatabase& goodsLines() {
    static BenchDatabase base = [] {
        BenchDatabase b;
        b.db->exec(QStringLiteral(
            "create table lines (id int primary key, code nvarchar(20), name nvarchar(40), "
            "qty int, price decimal(18,2), amount float, made datetime, ok bit)"));
        exec(b.db->handle(),
             "with recursive n(i) as (select 1 union all select i+1 from n where i<1000000)"
             " insert into lines select i, 'SP' || i, '商品名称' || (i % 5000), i % 1000,"
             " (i % 10000) / 100.0, i * 1.25,"
             " printf('2026-%02d-%02d %02d:30:00', 1 + i % 12, 1 + i % 28, i % 24), i % 2 from n");
        exec(b.db->handle(), "pragma wal_checkpoint(truncate)");
        return b;
    }();
    return base;
}

}  // namespace Qd::Bench
