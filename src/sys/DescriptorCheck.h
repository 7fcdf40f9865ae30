#pragma once

// Checking a module's descriptor against the framework's JSON Schemas (docs/schemas/, built
// into the library): for qdsql --check-descriptor and the tests of the demo's modules.

#include <QJsonValue>
#include <QStringList>

namespace Qd::Core::Sys {

// What a descriptor is checked as: a schema file's root ("form", "columns", "bill", "report",
// "params") or one of its definitions ("form:CategorisedList", "bill:SimpleBill", ...).
// The kind a window class reads its plug-in row's descriptor as (docs/schemas/README.md): the
// framework's classes, and those a module registered; empty for any other.
QString descriptorKindOf(const QString& formClass);
// A module's window class reads its descriptor as `kind` (a class derived from a framework
// window reads what its base reads).
void registerDescriptorKind(const QString& formClass, const QString& kind);

// A descriptor's likely kind when none is named: an array of columns, a bill (it has "data"), a
// report (bands of columns), else a list or grid form.
QString guessDescriptorKind(const QJsonValue& descriptor);

struct DescriptorCheck {
    QString schema;        // what it was checked against: "form.schema.json#/definitions/Grid"
    QStringList problems;  // "<path>: <rule>" each; empty when it holds to the schema
    QString error;         // the kind is unknown or its schema cannot be read
};

DescriptorCheck checkDescriptor(const QJsonValue& descriptor, const QString& kind);

}  // namespace Qd::Core::Sys
