// The descriptors' schema checker: the draft-07 test suite of the schema language (Debian's
// json-schema-test-suite) for every keyword it understands, and the paths and rules it reports.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "base/JsonSchema.h"

using Qd::Core::Sys::JsonSchema;

namespace {

const char kSuite[] = "/usr/share/json-schema-test-suite/tests/draft7";

QJsonValue parse(const char* json) {
    return QJsonDocument::fromJson(QByteArray("[") + json + "]").array().at(0);
}

// A schema group of the suite that leans on what descriptors never use: schemas fetched from
// the web, a base address changed by $id.
bool outsideOurUse(const QJsonValue& schema) {
    const QByteArray text = QJsonDocument::fromVariant(schema.toVariant()).toJson();
    return text.contains("\"$id\"") || text.contains("http://") || text.contains("https://");
}

TEST(JsonSchemaSuite, EveryCaseOfTheKeywordsWeReadComesOutAsTheLanguageSays) {
    const QStringList files = {"type",
                               "enum",
                               "const",
                               "properties",
                               "required",
                               "additionalProperties",
                               "patternProperties",
                               "propertyNames",
                               "minProperties",
                               "maxProperties",
                               "items",
                               "additionalItems",
                               "contains",
                               "minItems",
                               "maxItems",
                               "uniqueItems",
                               "minLength",
                               "maxLength",
                               "pattern",
                               "minimum",
                               "maximum",
                               "exclusiveMinimum",
                               "exclusiveMaximum",
                               "multipleOf",
                               "anyOf",
                               "oneOf",
                               "allOf",
                               "not",
                               "if-then-else",
                               "ref",
                               "definitions",
                               "boolean_schema",
                               "default"};
    int cases = 0;
    for (const QString& name : files) {
        QFile file(QStringLiteral("%1/%2.json").arg(QLatin1String(kSuite), name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly))
            << file.fileName().toStdString() << " (Debian package json-schema-test-suite)";
        for (const QJsonValue& group : QJsonDocument::fromJson(file.readAll()).array()) {
            const QJsonObject g = group.toObject();
            const std::string where =
                name.toStdString() + ": " + g.value("description").toString().toStdString();
            if (outsideOurUse(g.value("schema")))
                continue;
            QString error;
            const auto schema = JsonSchema::read(g.value("schema"), &error);
            // The one keyword the suite uses beside ours here: "dependencies" in definitions.json
            // (the meta-schema); a schema that holds it is refused, never half-checked.
            if (!schema) {
                EXPECT_TRUE(error.contains("不支持的关键字"))
                    << where << " " << error.toStdString();
                continue;
            }
            for (const QJsonValue& test : g.value("tests").toArray()) {
                const QJsonObject t = test.toObject();
                const bool valid = schema->check(t.value("data")).isEmpty();
                EXPECT_EQ(valid, t.value("valid").toBool())
                    << where << " / " << t.value("description").toString().toStdString();
                ++cases;
            }
        }
    }
    EXPECT_GE(cases, 370);  // the suite's cases for these keywords, all but the web's
}

TEST(JsonSchema, ReportsThePathAndTheRuleOfEachBreak) {
    QString error;
    const auto schema = JsonSchema::read(parse(R"json({
        "type": "object", "required": ["mainsql"], "additionalProperties": false,
        "properties": {
          "mainsql": {"type": "string", "minLength": 1},
          "columns": {"type": "array", "items": {"$ref": "#/definitions/column"}}},
        "definitions": {"column": {"type": "object", "required": ["fieldname"],
          "properties": {"fieldname": {"type": "string"},
                         "width": {"type": ["string", "integer"], "pattern": "^[0-9]+$"},
                         "type": {"enum": ["money", "date"]}}}}})json"),
                                         &error);
    ASSERT_TRUE(schema) << error.toStdString();
    EXPECT_TRUE(schema
                    ->check(parse(R"json({"mainsql": "select 1",
        "columns": [{"fieldname": "a", "width": "70"}, {"fieldname": "b", "width": 80}]})json"))
                    .isEmpty());
    const QStringList broken = schema->check(parse(R"json({"mainsql": "", "sort": "x",
        "columns": [{"width": "7a"}, {"fieldname": "b", "width": 1.5, "type": "text"}]})json"));
    // Keys in their order in the document (as read: by name), each break where it stands.
    EXPECT_EQ(broken.join('\n').toStdString(),
              "$.columns[0]: 缺少必需的键 \"fieldname\"\n"
              "$.columns[0].width: 应匹配 ^[0-9]+$\n"
              "$.columns[1].type: 值应为以下之一：[\"money\",\"date\"]\n"
              "$.columns[1].width: 类型应为 string 或 integer（实为 number）\n"
              "$.mainsql: 长度至少为 1\n"
              "$.sort: 不允许的键 \"sort\"");
}

TEST(JsonSchema, ASchemaWithAnUnknownKeywordOrADanglingReferenceIsRefused) {
    QString error;
    EXPECT_FALSE(
        JsonSchema::read(parse(R"json({"properties": {"a": {"formt": "date"}}})json"), &error));
    EXPECT_EQ(error.toStdString(), "#/properties/a: 不支持的关键字 \"formt\"");
    EXPECT_FALSE(
        JsonSchema::read(parse(R"json({"items": {"$ref": "#/definitions/x"}})json"), &error));
    EXPECT_EQ(error.toStdString(), "#/items: 引用 \"#/definitions/x\" 找不到");
    // A reference into a schema file beside it.
    const auto loader = [](const QString& name) {
        return name == "params.schema.json"
                   ? parse(R"json({"definitions": {"param": {"required": ["name"]}}})json")
                   : QJsonValue(QJsonValue::Undefined);
    };
    const auto schema = JsonSchema::read(
        parse(R"json({"items": {"$ref": "params.schema.json#/definitions/param"}})json"), &error,
        loader);
    ASSERT_TRUE(schema) << error.toStdString();
    EXPECT_EQ(schema->check(parse(R"json([{"name": "bt"}, {"title": "x"}])json")),
              QStringList{"$[1]: 缺少必需的键 \"name\""});
}

}  // namespace
