#pragma once

#include <QHashFunctions>
#include <QString>
#include <QVariant>
#include <cstdint>

#include "db/RecordSet.h"

namespace Qd::Core::Db {

// A key as lookups find rows by it: of a numeric or boolean field by its number (5, 5.0, "5"
// and " 5 " are one key; true is 1), of a date-time field by its time as the data layer writes
// it, of any other field by its text. Cells ask for their lookup rows on every paint, so keys
// are compared and hashed as they are, never through a text made for each question.
class LookupKey {
public:
    LookupKey() = default;  // null: no key
    // `value` as a key of a field of `type`; null when it is null or cannot be such a key.
    LookupKey(FieldType type, const QVariant& value);
    // The key stored in `field` of `row`; null for a NULL.
    static LookupKey at(const RecordSet& rs, std::uint32_t row, int field);

    bool isNull() const { return m_kind == Kind::Null; }
    // The key to bind in a query: a number or a text.
    QVariant value() const;
    // The key as text (whole numbers without a fraction), as stored where keys are kept as text.
    QString text() const;

    friend bool operator==(const LookupKey& a, const LookupKey& b) noexcept {
        return a.m_kind == b.m_kind &&
               (a.m_kind == Kind::Number ? a.m_number == b.m_number : a.m_text == b.m_text);
    }
    friend size_t qHash(const LookupKey& k, size_t seed = 0) noexcept {
        return k.m_kind == Kind::Number ? qHash(k.m_number, seed) : qHash(k.m_text, seed);
    }

private:
    static LookupKey ofNumber(double d);
    static LookupKey ofText(QString s);

    enum class Kind : std::uint8_t { Null, Number, Text };
    Kind m_kind = Kind::Null;
    double m_number = 0;
    QString m_text;
};

}  // namespace Qd::Core::Db
