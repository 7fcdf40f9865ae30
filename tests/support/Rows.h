#pragma once
// Record sets as text, for one-line assertions over whole tables, and UTF-8 literals.
#include <QStringList>
#include <QVariant>
#include <initializer_list>
#include <utility>

#include "db/RecordSet.h"

namespace Qd::Test {

// A UTF-8 literal as a QString.
inline QString S(const char* text) {
    return QString::fromUtf8(text);
}

// Every record in order: the named fields (every field when none are named) joined by
// `separator`; a NULL shows as `null` when one is given, else as its text.
inline QStringList rowTexts(const Core::Db::RecordSet& rs, const QStringList& fields = {},
                            const QString& separator = QStringLiteral("|"),
                            const QString& null = QString()) {
    QList<int> indexes;
    for (const QString& f : fields)
        indexes << rs.fieldIndex(f);
    if (fields.isEmpty())
        for (int f = 0; f < rs.fieldCount(); ++f)
            indexes << f;
    QStringList out;
    for (int pos = 0; pos < rs.recordCount(); ++pos) {
        QStringList cells;
        for (int f : indexes)
            cells << (!null.isNull() && rs.isNullAt(rs.rowAt(pos), f)
                          ? null
                          : rs.textAt(rs.rowAt(pos), f));
        out << cells.join(separator);
    }
    return out;
}

// Appends, inserts or edits the current record (`how`), sets the fields' values and posts.
inline void put(Core::Db::RecordSet& rs, void (Core::Db::RecordSet::*how)(),
                std::initializer_list<std::pair<const char*, QVariant>> values) {
    (rs.*how)();
    for (const auto& [field, value] : values)
        rs.field(QString::fromUtf8(field)).setValue(value);
    rs.post();
}

}  // namespace Qd::Test
