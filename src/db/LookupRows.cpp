#include "db/LookupRows.h"

#include <QHash>

namespace Qd::Core::Db {

namespace {

QHash<const RecordSet*, LookupRows*>& registry() {
    static QHash<const RecordSet*, LookupRows*> rows;
    return rows;
}

std::vector<int> fieldsOf(const RecordSet& rs, const QStringList& names) {
    std::vector<int> fields;
    for (const QString& name : names) {
        const int f = rs.fieldIndex(name.trimmed());
        if (f >= 0 && std::find(fields.begin(), fields.end(), f) == fields.end())
            fields.push_back(f);
    }
    return fields;
}

}  // namespace

LookupRows* lookupRowsOf(const RecordSet* rs) {
    return rs ? registry().value(rs, nullptr) : nullptr;
}

void setLookupRows(const RecordSet* rs, LookupRows* rows) {
    if (rows)
        registry().insert(rs, rows);
    else
        registry().remove(rs);
}

std::vector<int> matchingRows(const RecordSet& rs, const std::vector<int>& order,
                              const QString& text, const QStringList& prefixFields,
                              const QStringList& containFields, int limit) {
    std::vector<int> found;
    if (text.isEmpty() || !rs.active())
        return found;
    const std::vector<int> prefix = fieldsOf(rs, prefixFields);
    const std::vector<int> contain = fieldsOf(rs, containFields);
    for (const int pos : order) {
        if (int(found.size()) >= limit)
            break;
        const std::uint32_t row = rs.rowAt(pos);
        const auto matches = [&] {
            for (int f : prefix)
                if (rs.textAt(row, f).startsWith(text, Qt::CaseInsensitive))
                    return true;
            for (int f : contain)
                if (rs.textAt(row, f).contains(text, Qt::CaseInsensitive))
                    return true;
            return false;
        };
        if (matches())
            found.push_back(pos);
    }
    return found;
}

}  // namespace Qd::Core::Db
