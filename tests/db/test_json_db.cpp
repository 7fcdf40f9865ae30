// Record sets as JSON text (ClientDataSetToJSON) and the small JSON object model.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "db/DataServices.h"
#include "db/Json.h"
#include "support/Rows.h"

using namespace Qd::Core::Db;

namespace {

const QString kAwkward = QStringLiteral("苹果 \"红\" \\ 1\n2\t\x01");

RecordSet makeRows() {
    RecordSet rs;
    for (const auto& [name, type] :
         std::initializer_list<std::pair<const char*, FieldType>>{{"id", FieldType::Integer},
                                                                  {"name", FieldType::Text},
                                                                  {"price", FieldType::Currency},
                                                                  {"ok", FieldType::Boolean},
                                                                  {"made", FieldType::DateTime},
                                                                  {"note", FieldType::Text},
                                                                  {"ratio", FieldType::Float},
                                                                  {"photo", FieldType::Blob},
                                                                  {"big", FieldType::BigInt}})
        rs.addField(name, type);
    rs.createDataSet();
    Qd::Test::put(rs, &RecordSet::append,
                  {{"id", 1},
                   {"name", kAwkward},
                   {"price", 12.3456},
                   {"ok", true},
                   {"made", QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9, 500))},
                   {"ratio", 0.1},
                   {"photo", QByteArray("\0\xff", 2)},
                   {"big", qlonglong(1) << 40}});
    Qd::Test::put(rs, &RecordSet::append,
                  {{"id", 2},
                   {"name", QStringLiteral("香蕉")},
                   {"price", -3},
                   {"ok", false},
                   {"ratio", -1.5e-7}});
    return rs;
}

QJsonArray parse(const QString& text) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    EXPECT_TRUE(doc.isArray());
    return doc.array();
}

TEST(DataServicesJson, RowsBecomeObjectsKeyedInFieldOrderThatParseBack) {
    RecordSet rs = makeRows();
    const QString text = TJsonDB::ClientDataSetToJSON(rs, false);
    const QJsonArray rows = parse(text);
    ASSERT_EQ(rows.size(), 2);

    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first["id"].toInteger(), 1);
    EXPECT_EQ(first["name"].toString(), kAwkward);
    EXPECT_EQ(first["price"].toDouble(), 12.3456);
    EXPECT_TRUE(first["ok"].isBool() && first["ok"].toBool());
    EXPECT_EQ(first["made"].toString(), QStringLiteral("2024-05-06 07:08:09"));
    EXPECT_TRUE(first["note"].isNull());
    EXPECT_EQ(first["ratio"].toDouble(), 0.1);
    EXPECT_EQ(QByteArray::fromBase64(first["photo"].toString().toLatin1()),
              QByteArray("\0\xff", 2));
    EXPECT_EQ(first["big"].toInteger(), qint64(1) << 40);

    const QJsonObject second = rows[1].toObject();
    EXPECT_EQ(second["price"].toDouble(), -3.0);
    EXPECT_TRUE(second["ok"].isBool() && !second["ok"].toBool());
    EXPECT_TRUE(second["made"].isNull());
    EXPECT_EQ(second["ratio"].toDouble(), -1.5e-7);

    // Chinese stays readable, and keys come in field order.
    EXPECT_TRUE(text.contains(QStringLiteral("香蕉")));
    qsizetype at = 0;
    for (const QString& name : rs.fieldNames()) {
        const qsizetype next = text.indexOf('"' + name + "\":", at);
        ASSERT_GE(next, at) << name.toStdString();
        at = next;
    }
}

TEST(DataServicesJson, CurrentRowModeAndEmptyRecordSets) {
    RecordSet rs = makeRows();
    rs.moveTo(1);
    const QJsonArray current = parse(TJsonDB::ClientDataSetToJSON(rs, true));
    ASSERT_EQ(current.size(), 1);
    EXPECT_EQ(current[0].toObject()["id"].toInteger(), 2);

    rs.emptyDataSet();
    EXPECT_EQ(TJsonDB::ClientDataSetToJSON(rs, true), QStringLiteral("[]"));
    EXPECT_EQ(TJsonDB::ClientDataSetToJSON(rs, false), QStringLiteral("[]"));
    rs.close();
    EXPECT_EQ(TJsonDB::ClientDataSetToJSON(rs, false), QStringLiteral("[]"));
}

TEST(DataServicesJsonModel, ReadsValuesAsTextNestedAndWritesBack) {
    JObject o = SO(R"({"a":"x","n":12,"f":1.5,"b":true,"o":{"k":"v"},"arr":[{"k":1},"s"],)"
                   R"("cfg":"{\"x\":\"1\"}"})");
    ASSERT_FALSE(o.isNull());
    EXPECT_EQ(o.S("a"), "x");
    EXPECT_EQ(o.S("n"), "12");
    EXPECT_EQ(o.S("f"), "1.5");
    EXPECT_EQ(o.S("b"), "true");
    EXPECT_EQ(o.S("missing"), "");
    EXPECT_EQ(o.O("o").S("k"), "v");
    EXPECT_EQ(o.O("cfg").S("x"), "1");  // an object kept as a string value
    ASSERT_EQ(o.A("arr").Length(), 2);
    EXPECT_EQ(o.A("arr").GetO(0).S("k"), "1");
    EXPECT_EQ(o.A("arr").GetS(1), "s");

    o.PutS("新", QStringLiteral("值"));
    EXPECT_EQ(SO(o.AsJSon()).S("新"), QStringLiteral("值"));
    EXPECT_EQ(SO(o.AsJSon()).S("a"), "x");

    EXPECT_TRUE(SO("not json").isNull());
    EXPECT_TRUE(SO("[1]").isNull());
    EXPECT_TRUE(SA("{}").isNull());
    EXPECT_FALSE(SO("").isNull());
    EXPECT_EQ(SO("not json").S("a"), "");
}

// A field name outside the basic plane (a rare character, an emoji) beside names holding
// characters near its top (a fuzzer's find): every key is found, as module code reads a row by
// its field names.
TEST(DataServicesJsonModel, KeysOutsideTheBasicPlaneAreFound) {
    const QStringList names{QString::fromUcs4(U"\U000A1DC5"
                                              U"6"),
                            QString::fromUcs4(U"\uFFFD%\uFFFD\uFFFD"),
                            QString::fromUcs4(U"\uFFFD<\uFFFDr\uFFFD"),
                            QString::fromUcs4(U"\uFFFDLR\uFFFDT\u0005\uFFFD")};
    JObject written = SO("{}");
    for (int i = 0; i < names.size(); ++i)
        written.PutS(names[i], QString::number(i));
    const JObject o = SO(written.AsJSon());
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(o.S(names[i]), QString::number(i)) << i;
    EXPECT_TRUE(o.contains(names[0]));
    EXPECT_FALSE(o.contains(QStringLiteral("缺")));
}

}  // namespace
