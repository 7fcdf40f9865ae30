#include "sys/DescriptorCheck.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include "base/JsonSchema.h"

namespace Qd::Core::Sys {

namespace {

const QStringList kSchemaFiles = {QStringLiteral("form"), QStringLiteral("columns"),
                                  QStringLiteral("bill"), QStringLiteral("report"),
                                  QStringLiteral("params")};

QJsonValue schemaFile(const QString& name) {
    QFile file(QStringLiteral(":/qd/schemas/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonValue(QJsonValue::Undefined);
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    return doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(QJsonValue::Undefined);
}

}  // namespace

namespace {

// Window classes and the descriptor kind each reads.
QHash<QString, QString>& descriptorKinds() {
    static QHash<QString, QString> kinds = {
        {QStringLiteral("TSingleBasicRibbonForm"), QStringLiteral("form:SingleList")},
        {QStringLiteral("TMultiBasicRibbonForm"), QStringLiteral("form:CategorisedList")},
        {QStringLiteral("TGridRibbonForm"), QStringLiteral("form:Grid")},
        {QStringLiteral("TSampleBillEditRibbonForm"), QStringLiteral("bill:SimpleBill")},
        {QStringLiteral("TBaseBillEditRibbonForm"), QStringLiteral("bill")},
        {QStringLiteral("TBaseReportForm"), QStringLiteral("form:NoKeys")},
        {QStringLiteral("TAlidayusmsSendMutilForm"), QStringLiteral("form:NoKeys")},
        {QStringLiteral("Tdatacheckupform"), QStringLiteral("form:NoKeys")},
    };
    return kinds;
}

}  // namespace

QString descriptorKindOf(const QString& formClass) {
    return descriptorKinds().value(formClass);
}

void registerDescriptorKind(const QString& formClass, const QString& kind) {
    descriptorKinds().insert(formClass, kind);
}

QString guessDescriptorKind(const QJsonValue& descriptor) {
    if (descriptor.isArray())
        return QStringLiteral("columns");
    const QJsonObject o = descriptor.toObject();
    if (o.contains(QStringLiteral("data")))
        return QStringLiteral("bill");
    if (o.value(QStringLiteral("columns")).isArray() && !o.contains(QStringLiteral("tablename")))
        return QStringLiteral("report");
    return QStringLiteral("form");
}

DescriptorCheck checkDescriptor(const QJsonValue& descriptor, const QString& kind) {
    DescriptorCheck out;
    const QString file = kind.section(QLatin1Char(':'), 0, 0);
    const QString definition = kind.section(QLatin1Char(':'), 1);
    if (!kSchemaFiles.contains(file)) {
        out.error = QStringLiteral("没有“%1”这种描述（可用：%2，或其中的定义，如 form:Grid）")
                        .arg(kind, kSchemaFiles.join(QStringLiteral("、")));
        return out;
    }
    out.schema = file + QStringLiteral(".schema.json");
    if (!definition.isEmpty())
        out.schema += QStringLiteral("#/definitions/") + definition;
    const auto schema = JsonSchema::read(QJsonObject{{QStringLiteral("$ref"), out.schema}},
                                         &out.error, &schemaFile);
    if (!schema) {
        out.error = QStringLiteral("无法读取模式 %1：%2").arg(out.schema, out.error);
        return out;
    }
    out.problems = schema->check(descriptor);
    return out;
}

}  // namespace Qd::Core::Sys
