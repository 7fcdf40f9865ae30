#pragma once

// Internal to the record set: the typed storage of one field over all physical rows.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/RecordSet.h"

namespace Qd::Core::Db::Internal {

// Where a field type keeps its values.
enum class Storage : std::uint8_t { Ints, Reals, Bytes };

constexpr Storage storageOf(FieldType t) {
    switch (t) {
        case FieldType::Float:
            return Storage::Reals;
        case FieldType::Text:
        case FieldType::Blob:
            return Storage::Bytes;
        default:
            return Storage::Ints;
    }
}

// Currency is kept as an integer count of 1/10000.
inline constexpr std::int64_t kCurrencyScale = 10000;

// A piece of a column's byte arena.
struct Slice {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// One field's values. Ints hold Integer, BigInt, Boolean, Currency (scaled) and DateTime
// (milliseconds since the start of julian day 0, local time); Reals hold Float; Bytes hold text
// as UTF-8 and blobs, appended to one arena (an overwritten value leaves its old bytes behind
// until the column is compacted by a reload).
class Column {
public:
    explicit Column(FieldType type) : m_type(type), m_storage(storageOf(type)) {}

    FieldType type() const { return m_type; }
    Storage storage() const { return m_storage; }
    std::size_t size() const { return m_null.size(); }

    void reserve(std::size_t n);
    void pushNull();
    void popBack();
    void clear();

    bool isNull(std::uint32_t row) const { return m_null[row]; }
    void setNull(std::uint32_t row) { m_null[row] = true; }
    std::int64_t intAt(std::uint32_t row) const { return m_ints[row]; }
    double realAt(std::uint32_t row) const { return m_reals[row]; }
    std::string_view bytesAt(std::uint32_t row) const {
        const Slice& s = m_slices[row];
        return {m_arena.data() + s.offset, s.length};
    }

    void setInt(std::uint32_t row, std::int64_t v) {
        m_ints[row] = v;
        m_null[row] = false;
    }
    void setReal(std::uint32_t row, double v) {
        m_reals[row] = v;
        m_null[row] = false;
    }
    void setBytes(std::uint32_t row, const char* data, std::size_t len);
    // Copies the value of `from` of `src` (same type) into `row`.
    void copyFrom(std::uint32_t row, const Column& src, std::uint32_t from);

    std::size_t bytes() const;

private:
    FieldType m_type;
    Storage m_storage;
    std::vector<bool> m_null;
    std::vector<std::int64_t> m_ints;
    std::vector<double> m_reals;
    std::vector<Slice> m_slices;
    std::string m_arena;
};

// Date-times as stored: milliseconds since the start of julian day 0, without time zone.
std::int64_t dateTimeKey(const QDateTime& dt);
QDateTime dateTimeFromKey(std::int64_t key);
// Parses the date-time forms of parseDateTime() straight from UTF-8 bytes; false on others.
bool parseDateTimeKey(std::string_view text, std::int64_t& key);

}  // namespace Qd::Core::Db::Internal
