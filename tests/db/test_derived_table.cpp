// A select statement taken apart so that it reads as a derived table: its outer ORDER BY taken
// off by the lexer and named by the derived table's columns, or the reason it cannot be.
#include <gtest/gtest.h>

#include "db/tsql/TsqlDerivedTable.h"

using namespace Qd::Core::Db::Tsql;

namespace {

struct SplitCase {
    const char* sql;
    const char* body;     // "" when refused
    const char* orderBy;  // as written
    const char* columns;  // result columns, ";" between
    const char* outside;  // the order by outside; "!" when it cannot be placed
};

class SplitOrderBy : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitOrderBy, TakesOffTheOuterOrderByAndNamesItOutside) {
    const SplitCase& c = GetParam();
    const DerivedSelect parts = splitOuterOrderBy(QString::fromUtf8(c.sql));
    ASSERT_TRUE(parts.refusal.isEmpty()) << parts.refusal.toStdString();
    EXPECT_EQ(parts.body, QString::fromUtf8(c.body));
    EXPECT_EQ(parts.orderBy, QString::fromUtf8(c.orderBy));
    QString refusal;
    const QString outside = orderByOutside(
        parts, QString::fromUtf8(c.columns).split(u';', Qt::SkipEmptyParts), &refusal);
    if (QLatin1String(c.outside) == QLatin1String("!")) {
        EXPECT_FALSE(refusal.isEmpty()) << outside.toStdString();
    } else {
        EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
        EXPECT_EQ(outside, QString::fromUtf8(c.outside));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Statements, SplitOrderBy,
    ::testing::Values(
        SplitCase{"select id, code from t order by code", "select id, code from t", "code",
                  "id;code", "[code]"},
        // desc, several keys, a closing semicolon and a comment after it
        SplitCase{"select id, code, name from t where x = 1 order by name desc, code; -- end",
                  "select id, code, name from t where x = 1", "name desc, code", "id;code;name",
                  "[name] desc , [code]"},
        // qualified: the select list's item gives the result name, an alias too
        SplitCase{"select t1.id, t1.code, c.name as cname from t t1 join c on c.id = t1.p1 "
                  "order by t1.code, c.name desc",
                  "select t1.id, t1.code, c.name as cname from t t1 join c on c.id = t1.p1",
                  "t1.code, c.name desc", "id;code;cname", "[code] , [cname] desc"},
        // qualified through a star, when the result has that name once
        SplitCase{"select t1.*, c.name as cname from t t1 join c on c.id = t1.p1 order by t1.code",
                  "select t1.*, c.name as cname from t t1 join c on c.id = t1.p1", "t1.code",
                  "id;code;name;cname", "[code]"},
        // an expression over result columns; a position
        SplitCase{"select id, code, name from t order by len(name) desc, 2",
                  "select id, code, name from t", "len(name) desc, 2", "id;code;name",
                  "len ( [name] ) desc , [code]"},
        SplitCase{"select id, code, name from t order by case when code like 'A%' then 0 else 1 "
                  "end, cast(code as int)",
                  "select id, code, name from t",
                  "case when code like 'A%' then 0 else 1 end, cast(code as int)", "id;code;name",
                  "case when [code] like 'A%' then 0 else 1 end , cast ( [code] as int )"},
        // an order by inside parentheses (a window, a subquery) is not the outer one
        SplitCase{"select id, (select top 1 x from u order by x) as x, row_number() over (order "
                  "by id) as n from t",
                  "select id, (select top 1 x from u order by x) as x, row_number() over (order "
                  "by id) as n from t",
                  "", "id;x;n", ""},
        // names the result lacks cannot be placed: the caller loads whole
        SplitCase{"select id, code from t order by isort", "select id, code from t", "isort",
                  "id;code", "!"},
        SplitCase{"select t1.id, c.code from t t1 join c on c.id = t1.p1 order by t1.code",
                  "select t1.id, c.code from t t1 join c on c.id = t1.p1", "t1.code", "id;code",
                  "!"},
        SplitCase{"select id, code from t order by 3", "select id, code from t", "3", "id;code",
                  "!"}));

TEST(SplitOrderByRefuses, WhatCannotBeReadAsADerivedTable) {
    const char* refused[] = {
        "select id from a union select id from b order by id",
        "select id from a union all select id from b",
        "with c as (select id from a) select id from c order by id",
        "select top 10 id from a order by id",
        "select id into #x from a",
        "select id from a order by id offset 5 rows",
        "select id, count(*) from a group by id",          // a column without a name
        "select a.id, b.id from a join b on a.id = b.id",  // two columns of one name
        "select id from a\nselect id from b",
        "update a set x = 1",
        "select id from a where (x = 1",
    };
    for (const char* sql : refused)
        EXPECT_FALSE(splitOuterOrderBy(QString::fromUtf8(sql)).refusal.isEmpty()) << sql;
    // The place for top: after select, and after distinct
    const QString plain = QStringLiteral("select id from a");
    EXPECT_EQ(splitOuterOrderBy(plain).topAt, 6);
    const QString distinct = QStringLiteral("select distinct id from a");
    EXPECT_EQ(distinct.left(splitOuterOrderBy(distinct).topAt), "select distinct");
    EXPECT_EQ(bracketed("a]b"), "[a]]b]");
}

}  // namespace
