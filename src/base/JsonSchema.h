#pragma once

// JSON Schema (draft-07) for the framework's descriptors: the schemas in docs/schemas/ and the
// check of a module's descriptor against them (qdsql --check-descriptor, the tests).

#include <QJsonValue>
#include <QStringList>
#include <functional>
#include <memory>

namespace Qd::Core::Sys {

// A schema and what it refers to. The keywords understood: type, enum, const, properties,
// required, additionalProperties, patternProperties, propertyNames, minProperties,
// maxProperties, items (one schema or a list), additionalItems, contains, minItems, maxItems,
// uniqueItems, minLength, maxLength, pattern, minimum, maximum, exclusiveMinimum,
// exclusiveMaximum, multipleOf, anyOf, oneOf, allOf, not, if / then / else, $ref (inside the
// schema, "#/definitions/Name", or into a schema file beside it, "other.schema.json#/..."),
// definitions; and the annotations title, description, default, examples, $schema, $id,
// $comment. A schema using any other keyword is refused when it is read, so that no rule is
// ever silently skipped.
class JsonSchema {
public:
    // Another schema file by name ("columns.schema.json"), for $ref across files; an undefined
    // value when there is none.
    using Loader = std::function<QJsonValue(const QString& name)>;

    // Reads `schema`; nullptr and `error` (naming the keyword and where it stands) when it holds
    // something this reader does not understand, or a $ref that leads nowhere.
    static std::unique_ptr<JsonSchema> read(const QJsonValue& schema, QString* error,
                                            Loader loader = {});
    ~JsonSchema();

    // The rules `document` breaks, each "<path>: <rule>" ("$.columns[3].width: 类型应为 string"),
    // at most `limit` of them; empty when it holds to the schema.
    QStringList check(const QJsonValue& document, int limit = 50) const;

private:
    JsonSchema();
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace Qd::Core::Sys
