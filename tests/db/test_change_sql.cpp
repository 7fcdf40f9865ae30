// A record set's change log turned into SQL (GetUpDataSQLList) and the literals it writes.
#include <gtest/gtest.h>

#include "support/Rows.h"
#include "support/TestEnv.h"

using namespace Qd::Core::Db;

namespace {

class DataServicesChangeSql : public Qd::Test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        prompts().acceptAllMessages(true);
        ASSERT_TRUE(db().execSQL(
            "create table goods(id integer primary key, code varchar(20) not null unique,"
            " name nvarchar(50), qty int, price money, made datetime, note text, photo blob);"
            "insert into goods values(1, 'A1', N'苹果', 10, 2.5, '2024-01-01 08:00:00', N'备注',"
            " 0x00ff);"
            "insert into goods values(2, 'A2', N'香蕉', 20, 3.75, NULL, NULL, NULL);"
            "insert into goods values(3, 'A3', N'橙子', 30, 1.2345, '2024-03-01 12:30:45.678',"
            " 'x', NULL)"));
    }

    static RecordSet load() {
        RecordSet rs;
        EXPECT_TRUE(dataServices().openDataToCDS(rs, "select * from goods order by id"));
        return rs;
    }
    static QStringList sqlOf(const RecordSet& rs, const QStringList& ignored = {}) {
        QStringList sql;
        GetUpDataSQLList("goods", "id", ignored, rs, sql, 0);
        return sql;
    }
    static bool save(const RecordSet& rs) { return dataServices().execSQL(sqlOf(rs).join(";\n")); }
    static QStringList rowsOf(const char* sql) {
        RecordSet rs;
        EXPECT_TRUE(dataServices().openDataToCDS(rs, sql));
        return rows(rs);
    }
    // Every record as one line, for whole-table comparisons.
    static QStringList rows(const RecordSet& rs) {
        QStringList out;
        for (int pos = 0; pos < rs.recordCount(); ++pos) {
            const std::uint32_t row = rs.rowAt(pos);
            QStringList cells;
            for (int f = 0; f < rs.fieldCount(); ++f) {
                if (rs.isNullAt(row, f))
                    cells << "NULL";
                else if (rs.fieldDef(f).type == FieldType::Blob)
                    cells << rs.valueAt(row, f).toByteArray().toHex();
                else
                    cells << rs.textAt(row, f);
            }
            out << cells.join('|');
        }
        return out;
    }
};

TEST_F(DataServicesChangeSql, EditsInsertsAndDeletesSavedAndReloadedMatchTheRecordSet) {
    RecordSet rs = load();
    rs.moveTo(0);
    Qd::Test::put(rs, &RecordSet::edit,
                  {{"name", QStringLiteral("王五's \"店\"")},
                   {"price", 9.9999},
                   {"made", QDateTime(QDate(2025, 5, 6), QTime(7, 8, 9, 10))},
                   {"photo", QByteArray("\0\1\0", 3)}});
    rs.moveTo(1);
    rs.edit();
    rs.field("note").setValue(QStringLiteral("新备注"));  // NULL -> value
    rs.field("qty").clear();                              // value -> NULL
    rs.post();
    rs.moveTo(2);
    rs.deleteRecord();
    Qd::Test::put(rs, &RecordSet::append,
                  {{"id", 10},
                   {"code", "B1"},
                   {"name", QStringLiteral("新'品")},
                   {"price", 0.1},
                   {"photo", QByteArray("")}});

    const QStringList sql = sqlOf(rs);
    EXPECT_EQ(sql.size(), 4);
    ASSERT_TRUE(save(rs));
    EXPECT_EQ(rows(load()), rows(rs));
    EXPECT_TRUE(prompts().asked().empty());
}

// What callers rely on: an empty list means nothing changed, so they skip their after-save
// steps; any changed row, even one changed only where nothing is written, gives one statement.
TEST_F(DataServicesChangeSql, OnlyChangedColumnsAreWrittenAndIgnoredFieldsNever) {
    RecordSet rs = load();
    const QString name = rs.field("name").asString();
    Qd::Test::put(rs, &RecordSet::edit, {{"name", "临时"}});
    rs.edit();
    rs.field("name").setValue(name);  // back to what is stored
    rs.post();
    EXPECT_TRUE(sqlOf(rs).isEmpty());

    Qd::Test::put(rs, &RecordSet::edit, {{"qty", 11}, {"note", QStringLiteral("改")}});
    EXPECT_EQ(sqlOf(rs, {"", " NOTE"}), QStringList{"update goods set qty=11 where id=1"});
    // Changed only in ignored columns: a statement that writes nothing, not an empty list.
    const QStringList untouched = sqlOf(rs, {"note", "Qty"});
    EXPECT_EQ(untouched, QStringList{"update goods set code=code where id=1"});
    const QStringList before = rows(load());
    ASSERT_TRUE(db().execSQL(untouched.join(";\n")));
    EXPECT_EQ(rows(load()), before);

    RecordSet fresh = load();
    Qd::Test::put(fresh, &RecordSet::append,
                  {{"id", 20}, {"code", "C1"}, {"note", QStringLiteral("不存")}});
    const QStringList insert = sqlOf(fresh, {"NOTE"});
    ASSERT_EQ(insert.size(), 1);
    ASSERT_TRUE(db().execSQL(insert.first()));
    EXPECT_TRUE(db().query("select note from goods where id=20").field(0).isNull());
}

TEST_F(DataServicesChangeSql, AFailedSaveCommitsNothingAndKeepsTheChangeLogForAnotherTry) {
    RecordSet rs = load();
    Qd::Test::put(rs, &RecordSet::edit, {{"name", "改名"}});
    rs.append();
    rs.field("id").setValue(11);
    rs.field("code").setValue("A2");  // taken
    rs.post();
    const int changes = rs.changeCount();

    EXPECT_FALSE(save(rs));
    ASSERT_EQ(prompts().asked().size(), 1u);
    EXPECT_TRUE(prompts().last().text.contains("UNIQUE"));
    EXPECT_EQ(rs.changeCount(), changes);
    EXPECT_EQ(load().field("name").asString(), QStringLiteral("苹果"));

    Qd::Test::put(rs, &RecordSet::edit, {{"code", "A9"}});
    ASSERT_TRUE(save(rs));
    rs.mergeChangeLog();
    EXPECT_EQ(rows(load()), rows(rs));
}

TEST_F(DataServicesChangeSql, LiteralsReadBackAsTheValuesTheyWrite) {
    const QVariant values[] = {QStringLiteral("O'Brien 张 -- /* */"),
                               -7,
                               (qlonglong(1) << 53) + 1,
                               0.1 + 0.2,
                               1e6,
                               -0.000001,
                               1.5e300,
                               true,
                               QByteArray("\0\xff\x10", 3),
                               QByteArray(),
                               QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58, 7)),
                               QVariant()};
    for (const QVariant& v : values) {
        const QString literal = sqlLiteral(v);
        SCOPED_TRACE(literal.toStdString());
        RecordSet rs = db().query("select " + literal + " as v");
        const Field f = rs.field("v");
        switch (v.typeId()) {
            case QMetaType::QString:
                EXPECT_TRUE(literal.startsWith("N'"));
                EXPECT_EQ(f.asString(), v.toString());
                break;
            case QMetaType::Double:
                EXPECT_EQ(f.asFloat(), v.toDouble());
                if (std::abs(v.toDouble()) < 1e15) {
                    EXPECT_FALSE(literal.contains('e'));
                }
                break;
            case QMetaType::QByteArray:
                EXPECT_TRUE(literal.startsWith("0x"));
                EXPECT_FALSE(f.isNull());
                EXPECT_EQ(f.asBytes(), v.toByteArray());
                break;
            case QMetaType::QDateTime:
                EXPECT_EQ(parseDateTime(f.asString()), v.toDateTime());
                break;
            case QMetaType::UnknownType:
                EXPECT_TRUE(f.isNull());
                break;
            default:
                EXPECT_EQ(f.asLargeInt(), v.toLongLong());
        }
    }
    EXPECT_EQ(quoteSql("it's ''"), QStringLiteral("it''s ''''"));
}

}  // namespace

// A save that raises the row's version writes only over the version it read; when another
// client saved in between, the whole batch fails and changes nothing.
TEST_F(DataServicesChangeSql, AnUpdateRaisingTheVersionIsWrittenOnlyOverTheVersionItRead) {
    ASSERT_TRUE(
        db().execSQL("create table bills(id int primary key, version int, note text);"
                     "insert into bills values(1, 5, 'a'); insert into bills values(2, 1, 'b')"));
    RecordSet rs;
    ASSERT_TRUE(dataServices().openDataToCDS(rs, "select * from bills order by id"));
    Qd::Test::put(rs, &RecordSet::edit, {{"version", 6}, {"note", QStringLiteral("mine")}});
    rs.next();
    rs.edit();
    rs.field("note").setValue(QStringLiteral("only the note"));  // version unchanged: no guard
    rs.post();
    QStringList sql;
    GetUpDataSQLList("bills", "id", {}, rs, sql, 0);
    ASSERT_EQ(sql.size(), 3);
    EXPECT_EQ(sql[0], "update bills set version=6, note=N'mine' where id=1 and version=5");
    EXPECT_TRUE(sql[1].startsWith("if @@rowcount=0 raiserror(N'当前数据状态已改变"));
    EXPECT_EQ(sql[2], "update bills set note=N'only the note' where id=2");

    // Another client saved row 1 meanwhile (version 6): nothing of this batch is stored.
    ASSERT_TRUE(db().execSQL("update bills set version = 6, note = 'theirs' where id = 1"));
    prompts().clear();
    EXPECT_FALSE(dataServices().execSQL(sql.join("\r\n")));
    ASSERT_EQ(prompts().messages().size(), 1);
    EXPECT_TRUE(prompts().last().text.contains("当前数据状态已改变，请刷新数据后请重试."));
    EXPECT_EQ(rowsOf("select note, version from bills order by id"),
              QStringList({"theirs|6", "b|1"}));

    // Over the version it read, the batch stores.
    ASSERT_TRUE(db().execSQL("update bills set version = 5 where id = 1"));
    EXPECT_TRUE(dataServices().execSQL(sql.join("\r\n")));
    EXPECT_EQ(rowsOf("select note, version from bills order by id"),
              QStringList({"mine|6", "only the note|1"}));
}
