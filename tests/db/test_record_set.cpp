// The record set: typed fields, cursor, states and events, change log.
#include <gtest/gtest.h>

#include <QStringList>

#include "base/EAbort.h"
#include "db/RecordSet.h"
#include "support/Rows.h"

using namespace Qd::Core::Db;
using Qd::Test::put;

namespace {

// id, code, name, qty, price, active, made, photo
RecordSet makeGoods() {
    RecordSet rs;
    rs.addField("id", FieldType::Integer);
    rs.addField("code", FieldType::Text, 20);
    rs.addField("name", FieldType::Text, 50);
    rs.addField("qty", FieldType::BigInt);
    rs.addField("price", FieldType::Currency);
    rs.addField("active", FieldType::Boolean);
    rs.addField("made", FieldType::DateTime);
    rs.addField("ratio", FieldType::Float);
    rs.createDataSet();
    const QStringList names = {"苹果", "香蕉", "橙子"};
    for (int i = 0; i < names.size(); ++i) {
        put(rs, &RecordSet::append,
            {{"id", i + 1},
             {"code", QStringLiteral("A%1").arg(i + 1, 4, 10, QLatin1Char('0'))},
             {"name", names[i]},
             {"qty", 10 * (i + 1)},
             {"price", 1.5 + i}});
    }
    rs.mergeChangeLog();
    rs.first();
    return rs;
}

// All values of the records in order, one string per record, for one-line assertions.
QStringList rows(RecordSet& rs, const QString& field) {
    return Qd::Test::rowTexts(rs, {field});
}

// Records every event of a record set by name.
struct EventLog {
    QStringList events;
    explicit EventLog(RecordSet& rs) {
        auto rec = [this](const char* name) {
            return [this, name](RecordSet&) { events << QString::fromLatin1(name); };
        };
        rs.beforeInsert = rec("beforeInsert");
        rs.afterInsert = rec("afterInsert");
        rs.beforeEdit = rec("beforeEdit");
        rs.afterEdit = rec("afterEdit");
        rs.beforePost = rec("beforePost");
        rs.afterPost = rec("afterPost");
        rs.beforeCancel = rec("beforeCancel");
        rs.afterCancel = rec("afterCancel");
        rs.beforeDelete = rec("beforeDelete");
        rs.afterDelete = rec("afterDelete");
        rs.beforeScroll = rec("beforeScroll");
        rs.afterScroll = rec("afterScroll");
        rs.onDataChange = [this](RecordSet& r, int f) {
            events << (f < 0 ? QStringLiteral("change") : "change:" + r.fieldDef(f).name);
        };
    }
    QString take() {
        const QString s = events.join(',');
        events.clear();
        return s;
    }
};

}  // namespace

TEST(RecordSetStates, EventsFireInOrderThroughAppendEditPostCancelDelete) {
    RecordSet rs = makeGoods();
    EventLog log(rs);

    rs.append();
    EXPECT_EQ(rs.state(), DataSetState::Insert);
    EXPECT_EQ(log.take(), "beforeInsert,beforeScroll,afterInsert,afterScroll,change");
    rs.field("name").setValue(QStringLiteral("梨"));
    EXPECT_EQ(log.take(), "change:name");
    rs.post();
    EXPECT_EQ(log.take(), "beforePost,afterPost");
    EXPECT_EQ(rs.state(), DataSetState::Browse);

    rs.edit();
    EXPECT_EQ(log.take(), "beforeEdit,afterEdit");
    rs.cancel();
    EXPECT_EQ(log.take(), "beforeCancel,afterCancel,change");

    rs.deleteRecord();
    EXPECT_EQ(log.take(), "beforeDelete,beforeScroll,afterDelete,afterScroll,change");
    EXPECT_EQ(rs.recordCount(), 3);
}

TEST(RecordSetStates, AbortInBeforePostKeepsTheEditAndRequiredFieldsAreNamed) {
    RecordSet rs = makeGoods();
    rs.beforePost = [](RecordSet& r) {
        if (r.field("name").asString().isEmpty())
            Qd::Core::Sys::Abort();
    };
    rs.append();
    rs.field("code").setValue("X1");
    EXPECT_THROW(rs.post(), Qd::Core::Sys::EAbort);
    EXPECT_EQ(rs.state(), DataSetState::Insert);
    EXPECT_EQ(rs.field("code").asString(), "X1");
    EXPECT_EQ(rs.changeCount(), 0);

    rs.beforePost = nullptr;
    rs.fieldDef(rs.fieldIndex("qty")).required = true;
    try {
        rs.post();
        FAIL() << "a NULL required field was posted";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains("qty")) << e.message().toStdString();
    }
    rs.field("qty").setValue(1);
    rs.post();
    EXPECT_EQ(rs.changeCount(), 1);
}

TEST(RecordSetStates, LeavingAModifiedRecordPostsItAndAnUntouchedInsertIsDropped) {
    RecordSet rs = makeGoods();
    rs.edit();
    rs.field("qty").setValue(99);
    rs.next();  // posts
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_EQ(rs.changeCount(), 1);

    rs.append();  // nothing typed
    rs.first();   // cancelled, not posted
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.changeCount(), 1);
}

TEST(RecordSetStates, InsertPlacesBeforeCurrentAndCancelReturnsToIt) {
    RecordSet rs = makeGoods();
    rs.moveTo(1);
    rs.insert();
    EXPECT_EQ(rs.recNo(), 1);
    rs.field("code").setValue("NEW");
    rs.post();
    EXPECT_EQ(rows(rs, "code"), QStringList({"A0001", "NEW", "A0002", "A0003"}));

    rs.moveTo(2);
    rs.append();
    rs.cancel();
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_EQ(rs.recordCount(), 4);
}

TEST(RecordSetStates, WritesNeedEditStateAndReadOnlyRefusesChanges) {
    RecordSet rs = makeGoods();
    EXPECT_THROW(rs.field("qty").setValue(1), DbError);
    rs.setReadOnly(true);
    EXPECT_THROW(rs.edit(), DbError);
    EXPECT_THROW(rs.append(), DbError);
    EXPECT_THROW(rs.deleteRecord(), DbError);
    rs.setReadOnly(false);
    put(rs, &RecordSet::edit, {{"qty", 1}});
    EXPECT_EQ(rs.field("qty").asInteger(), 1);

    // Edit on an empty record set appends.
    RecordSet empty;
    empty.addField("id", FieldType::Integer);
    empty.createDataSet();
    EXPECT_TRUE(empty.eof() && empty.bof() && empty.isEmpty());
    empty.edit();
    EXPECT_EQ(empty.state(), DataSetState::Insert);
}

TEST(RecordSetCursor, WalksForwardAndBackWithEofAndBof) {
    RecordSet rs = makeGoods();
    QStringList seen;
    for (rs.first(); !rs.eof(); rs.next())
        seen << rs.field("name").asString();
    EXPECT_EQ(seen, QStringList({"苹果", "香蕉", "橙子"}));
    EXPECT_EQ(rs.recNo(), 2);  // stays on the last record

    seen.clear();
    for (rs.last(); !rs.bof(); rs.prior())
        seen << rs.field("code").asString();
    EXPECT_EQ(seen, QStringList({"A0003", "A0002", "A0001"}));

    rs.moveTo(100);
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_TRUE(rs.eof());
}

TEST(RecordSetCursor, LocateAndBookmarks) {
    RecordSet rs = makeGoods();
    EXPECT_TRUE(rs.locate("name", QStringLiteral("橙子")));
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_TRUE(rs.locate("code", "a0002", true));
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_FALSE(rs.locate("code", "a0002"));  // case matters by default
    EXPECT_EQ(rs.recNo(), 1);                  // and a miss does not move
    EXPECT_TRUE(rs.locate("name", QStringLiteral("香"), false, true));
    EXPECT_TRUE(rs.locate("qty", 30));
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_TRUE(rs.locate("qty", "20"));
    EXPECT_TRUE(rs.locate(QStringList{"code", "price"}, QVariantList{"A0001", 1.5}));
    EXPECT_EQ(rs.recNo(), 0);
    EXPECT_THROW(rs.locate("nosuch", 1), DbError);

    rs.moveTo(2);
    const Bookmark b = rs.bookmark();
    rs.first();
    put(rs, &RecordSet::insert, {{"code", "B"}});
    rs.gotoBookmark(b);
    EXPECT_EQ(rs.field("name").asString(), QStringLiteral("橙子"));
    rs.deleteRecord();
    EXPECT_FALSE(rs.bookmarkValid(b));
    EXPECT_THROW(rs.gotoBookmark(b), DbError);
}

struct TypedCase {
    const char* name;
    FieldType type;
    QVariant in;
    QVariant out;  // value() afterwards
    const char* text;
};

class RecordSetTypes : public ::testing::TestWithParam<TypedCase> {};

TEST_P(RecordSetTypes, ValuesKeepTheirTypeAndText) {
    const TypedCase& c = GetParam();
    RecordSet rs;
    rs.addField("f", c.type);
    rs.createDataSet();
    put(rs, &RecordSet::append, {{"f", c.in}});
    EXPECT_EQ(rs.field("f").value(), c.out);
    EXPECT_EQ(rs.field("f").asString(), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    All, RecordSetTypes,
    ::testing::Values(
        TypedCase{"int", FieldType::Integer, 42, 42, "42"},
        TypedCase{"intFromText", FieldType::Integer, " -7 ", -7, "-7"},
        TypedCase{"bigint", FieldType::BigInt, qlonglong(9000000000LL), qlonglong(9000000000LL),
                  "9000000000"},
        TypedCase{"float", FieldType::Float, 0.1 + 0.2, 0.1 + 0.2, "0.30000000000000004"},
        TypedCase{"currencyExact", FieldType::Currency, 0.1 + 0.2, 0.3, "0.3"},
        TypedCase{"currencyFromText", FieldType::Currency, "1234.5678", 1234.5678, "1234.5678"},
        TypedCase{"currencyNegative", FieldType::Currency, -0.05, -0.05, "-0.05"},
        TypedCase{"bool", FieldType::Boolean, true, true, "True"},
        TypedCase{"boolFromText", FieldType::Boolean, "false", false, "False"},
        TypedCase{"text", FieldType::Text, QStringLiteral("北京市朝阳区'\"x"),
                  QStringLiteral("北京市朝阳区'\"x"), "北京市朝阳区'\"x"},
        TypedCase{"datetime", FieldType::DateTime,
                  QDateTime(QDate(2024, 1, 5), QTime(23, 59, 1, 250)),
                  QDateTime(QDate(2024, 1, 5), QTime(23, 59, 1, 250)), "2024-01-05 23:59:01.250"},
        TypedCase{"datetimeFromText", FieldType::DateTime, "2024-02-29 08:00",
                  QDateTime(QDate(2024, 2, 29), QTime(8, 0)), "2024-02-29 08:00:00"},
        TypedCase{"date", FieldType::DateTime, QDate(1999, 12, 31),
                  QDateTime(QDate(1999, 12, 31), QTime(0, 0)), "1999-12-31 00:00:00"},
        TypedCase{"blob", FieldType::Blob, QByteArray("\x00\x01\xff", 3),
                  QByteArray("\x00\x01\xff", 3), "AAH/"},
        TypedCase{"emptyTextClearsNumber", FieldType::Integer, "", QVariant(), ""},
        TypedCase{"null", FieldType::Text, QVariant(), QVariant(), ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordSetTypes, BadValuesNameTheFieldAndLeaveTheOldValue) {
    RecordSet rs = makeGoods();
    rs.edit();
    for (const auto& [field, value] :
         std::vector<std::pair<QString, QVariant>>{{"id", "abc"},
                                                   {"id", qlonglong(1) << 40},
                                                   {"id", 1.5},
                                                   {"made", "2024-13-01"},
                                                   {"active", "maybe"},
                                                   {"ratio", "x"},
                                                   {"price", "¥5"}}) {
        try {
            rs.field(field).setValue(value);
            ADD_FAILURE() << field.toStdString() << " accepted " << value.toString().toStdString();
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains('"' + field + '"')) << e.message().toStdString();
        }
    }
    EXPECT_EQ(rs.field("id").asInteger(), 1);
    EXPECT_THROW(rs.field("nosuch"), DbError);
}

TEST(RecordSetChangeLog, KeepsOriginalAndCurrentPerChangedRow) {
    RecordSet rs = makeGoods();
    put(rs, &RecordSet::edit, {{"name", QStringLiteral("青苹果")}});
    rs.edit();  // a second edit of the same row keeps the first original
    rs.field("qty").setValue(11);
    rs.post();
    rs.next();
    rs.edit();  // an edit that changes nothing is not a change
    rs.field("qty").setValue(20);
    rs.post();

    ASSERT_EQ(rs.changeCount(), 1);
    const RowChange c = rs.changes()[0];
    EXPECT_EQ(c.kind, ChangeKind::Modified);
    const int name = rs.fieldIndex("name");
    EXPECT_EQ(rs.textAt(c.original, name), QStringLiteral("苹果"));
    EXPECT_EQ(rs.textAt(c.row, name), QStringLiteral("青苹果"));
    EXPECT_EQ(rs.intAt(c.original, rs.fieldIndex("qty")), 10);
}

TEST(RecordSetChangeLog, InsertThenDeleteLeavesNothingAndModifyThenDeleteKeepsTheOriginal) {
    RecordSet rs = makeGoods();
    put(rs, &RecordSet::append, {{"code", "TMP"}});
    put(rs, &RecordSet::edit, {{"name", "x"}});
    ASSERT_EQ(rs.changeCount(), 1);
    EXPECT_EQ(rs.changes()[0].kind, ChangeKind::Inserted);
    rs.deleteRecord();
    EXPECT_EQ(rs.changeCount(), 0);

    rs.first();
    put(rs, &RecordSet::edit, {{"code", "CHANGED"}});
    rs.deleteRecord();
    ASSERT_EQ(rs.changeCount(), 1);
    const RowChange c = rs.changes()[0];
    EXPECT_EQ(c.kind, ChangeKind::Deleted);
    EXPECT_EQ(rs.textAt(c.original, rs.fieldIndex("code")), "A0001");

    // With the log off nothing is recorded.
    rs.setLogChanges(false);
    put(rs, &RecordSet::edit, {{"qty", 5}});
    rs.deleteRecord();
    EXPECT_EQ(rs.changeCount(), 1);
}

TEST(RecordSetChangeLog, CancelUpdatesRestoresRowsOrderAndValues) {
    RecordSet rs = makeGoods();
    const QStringList before = rows(rs, "name");
    rs.moveTo(1);
    put(rs, &RecordSet::edit, {{"name", QStringLiteral("芭蕉")}});
    rs.first();
    rs.deleteRecord();
    rs.moveTo(1);
    put(rs, &RecordSet::insert, {{"name", QStringLiteral("新")}});
    rs.last();
    rs.deleteRecord();
    EXPECT_EQ(rs.changeCount(), 4);

    rs.cancelUpdates();
    EXPECT_EQ(rows(rs, "name"), before);
    EXPECT_EQ(rs.changeCount(), 0);

    rs.first();
    put(rs, &RecordSet::edit, {{"name", "kept"}});
    rs.mergeChangeLog();
    rs.cancelUpdates();
    EXPECT_EQ(rs.field("name").asString(), "kept");
}

TEST(RecordSetStructure, CloneStructureCopiesFieldsWithoutRows) {
    RecordSet rs = makeGoods();
    rs.fieldDef(1).displayLabel = QStringLiteral("编号");
    RecordSet copy;
    copy.cloneStructure(rs);
    EXPECT_FALSE(copy.active());
    EXPECT_EQ(copy.fieldNames(), rs.fieldNames());
    EXPECT_EQ(copy.fieldDef(1).label(), QStringLiteral("编号"));
    copy.createDataSet();
    EXPECT_TRUE(copy.isEmpty());
    EXPECT_EQ(copy.fieldIndex("PRICE"), 4);  // names are case-insensitive
}

TEST(RecordSetStructure, SetDataKeepsEventsAndReplacesRows) {
    RecordSet rs = makeGoods();
    int opened = 0;
    rs.afterOpen = [&](RecordSet&) { ++opened; };
    RecordSet packet;
    packet.addField("k", FieldType::Text);
    const std::uint32_t r = packet.loadRow();
    packet.setTextAt(r, 0, "甲", 3);
    rs.setData(std::move(packet));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(rs.fieldNames(), QStringList({"k"}));
    EXPECT_EQ(rs.field("k").asString(), QStringLiteral("甲"));
    EXPECT_EQ(rs.changeCount(), 0);
}

// Rows loaded to the end of their storage: a changed row's original and an appended row need
// storage the record set takes over with the packet's rows.
TEST(RecordSetStructure, SetDataRowsCanGrowPastTheLoadedStorage) {
    RecordSet packet;
    packet.addField("k", FieldType::Text);
    for (int i = 0; i < 256; ++i) {
        const QByteArray k = QByteArray::number(i);
        packet.setTextAt(packet.loadRow(), 0, k.constData(), std::size_t(k.size()));
    }
    RecordSet rs;
    rs.setData(std::move(packet));
    rs.last();
    put(rs, &RecordSet::edit, {{"k", "改"}});
    put(rs, &RecordSet::append, {{"k", "新"}});
    ASSERT_EQ(rs.changeCount(), 2);
    EXPECT_EQ(rs.textAt(rs.changes()[0].original, 0), QStringLiteral("255"));
    EXPECT_EQ(rs.textAt(rs.rowAt(255), 0), QStringLiteral("改"));
    EXPECT_EQ(rs.textAt(rs.rowAt(256), 0), QStringLiteral("新"));
}

TEST(RecordSetStructure, RetypeWhileLoadingConvertsLoadedValues) {
    RecordSet rs;
    rs.addField("v", FieldType::Integer);
    rs.setIntAt(rs.loadRow(), 0, 3);
    rs.loadRow();  // NULL
    rs.retypeField(0, FieldType::Float);
    rs.setFloatAt(rs.loadRow(), 0, 2.5);
    rs.retypeField(0, FieldType::Text);
    rs.setTextAt(rs.loadRow(), 0, "x", 1);
    rs.open();
    EXPECT_EQ(rows(rs, "v"), QStringList({"3", "", "2.5", "x"}));
    EXPECT_TRUE(rs.isNullAt(rs.rowAt(1), 0));
}

TEST(RecordSetCursor, SortKeepsTheCurrentRecordAndIsStable) {
    RecordSet rs = makeGoods();
    rs.last();
    rs.append();
    rs.field("code").setValue("A0000");
    rs.field("qty").setValue(20);
    rs.post();  // qty 10, 20, 30, 20 (the new one last)
    rs.moveTo(1);
    rs.sortBy({{rs.fieldIndex("qty"), true}});
    EXPECT_EQ(rows(rs, "code"), QStringList({"A0003", "A0002", "A0000", "A0001"}));
    EXPECT_EQ(rs.field("code").asString(), "A0002");
    rs.sortBy({{rs.fieldIndex("name")}, {rs.fieldIndex("code")}});
    EXPECT_EQ(rows(rs, "code").first(), "A0000");  // its name is NULL: NULLs first
    EXPECT_THROW(rs.sortBy({{99}}), DbError);
}

// Appending a packet's rows at once: values by field name, the rows counted as loaded.
TEST(RecordSetAppendRows, CopiesByNameConvertsAndKeepsTheLogCursorAndEventsOutOfIt) {
    RecordSet goods = makeGoods();
    RecordSet rs;
    rs.addField("NAME", FieldType::Text);      // names match case-insensitively
    rs.addField("price", FieldType::Float);    // currency in the packet: converted
    rs.addField("note", FieldType::Text);      // not in the packet: NULL
    rs.addField("made", FieldType::DateTime);  // NULL in the packet: stays NULL
    rs.createDataSet();
    put(rs, &RecordSet::append, {{"name", QStringLiteral("已有")}});
    rs.mergeChangeLog();
    EventLog log(rs);

    rs.appendRows(goods, {goods.rowAt(2), goods.rowAt(0)});
    EXPECT_EQ(rows(rs, "name"), QStringList({"已有", "橙子", "苹果"}));
    EXPECT_EQ(rs.floatAt(rs.rowAt(1), 1), 3.5);
    EXPECT_TRUE(rs.isNullAt(rs.rowAt(1), 2));
    EXPECT_TRUE(rs.isNullAt(rs.rowAt(2), 3));
    EXPECT_EQ(rs.recNo(), 0);
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_TRUE(log.events.isEmpty()) << log.events.join(',').toStdString();
    EXPECT_EQ(rs.changeCount(), 0);
    rs.cancelUpdates();  // loaded rows are not undone
    EXPECT_EQ(rs.recordCount(), 3);

    // Edits of an appended row are logged like those of any loaded row
    rs.last();
    put(rs, &RecordSet::edit, {{"name", QStringLiteral("苹果2")}});
    ASSERT_EQ(rs.changeCount(), 1);
    EXPECT_EQ(rs.changes()[0].kind, ChangeKind::Modified);
    EXPECT_EQ(rs.textAt(rs.changes()[0].original, 0), QStringLiteral("苹果"));
}

TEST(RecordSetAppendRows, AValueThatDoesNotConvertAppendsNothingAndAnEmptySetComesToRowOne) {
    RecordSet goods = makeGoods();
    RecordSet rs;
    rs.addField("id", FieldType::Integer);
    rs.addField("name", FieldType::Integer);  // Chinese names are no numbers
    rs.createDataSet();
    EXPECT_THROW(rs.appendRows(goods, {goods.rowAt(0), goods.rowAt(1)}), DbError);
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_EQ(rs.recNo(), -1);
    rs.append();  // takes none of the values copied before the failure
    rs.field("id").setValue(7);
    rs.post();
    EXPECT_TRUE(rs.field("name").isNull());

    RecordSet ids;
    ids.addField("id", FieldType::Integer);
    ids.createDataSet();
    ids.appendRows(goods, {goods.rowAt(1), goods.rowAt(2)});
    EXPECT_EQ(rows(ids, "id"), QStringList({"2", "3"}));
    EXPECT_EQ(ids.recNo(), 0);
    EXPECT_FALSE(ids.eof());
    EXPECT_EQ(ids.field("id").asInteger(), 2);
    // A later append goes after them, on storage of its own
    put(ids, &RecordSet::append, {{"id", 9}});
    EXPECT_EQ(rows(ids, "id"), QStringList({"2", "3", "9"}));
}
