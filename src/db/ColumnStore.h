#pragma once

// Internal to the record set: the typed storage of one field over all physical rows.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
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

// A money amount as that count: std::llround(v * kCurrencyScale), written out so that it is
// inlined (the load rounds every value of a money column).
inline std::int64_t currencyUnits(double v) {
    const double scaled = v * double(kCurrencyScale);
    if (!(std::fabs(scaled) < 0x1p62))  // out of range, or NaN: as llround does
        return std::llround(scaled);
    auto whole = std::int64_t(scaled);           // toward zero
    const double rest = scaled - double(whole);  // exact
    if (rest >= 0.5)
        ++whole;
    else if (rest <= -0.5)
        --whole;
    return whole;
}

// Where a text or blob value lies in its column's arena: a block and a place in it.
struct Slice {
    std::uint32_t block = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// Storage comes in fixed-size segments that are recycled between record sets: a list that is
// loaded again and again (every save reloads it) reuses memory that is already mapped, instead
// of faulting in fresh pages for every value. Freed segments are kept, per thread (no locks),
// up to a limit.
class SegmentPool {
public:
    static void* take(std::size_t bytes);
    static void give(void* segment, std::size_t bytes);
    // Bytes held for reuse right now.
    static std::size_t retained();
};

// One field's values, in segments of kRows rows. Ints hold Integer, BigInt, Boolean, Currency
// (scaled) and DateTime (milliseconds since the start of julian day 0, local time); Reals hold
// Float; Bytes hold text as UTF-8 and blobs, appended to blocks that never move, so that
// loading a million values copies each once (an overwritten value leaves its old bytes behind
// until the record set is loaded again). A flag byte per row says whether it has a value.
class Column {
public:
    static constexpr unsigned kShift = 8;  // small enough that a one-row query stays cheap
    static constexpr std::uint32_t kRows = 1u << kShift;
    static constexpr std::uint32_t kMask = kRows - 1;
    static constexpr std::uint32_t kBlockSize = 64u * 1024;

    explicit Column(FieldType type) : m_type(type), m_storage(storageOf(type)) {}
    ~Column();
    Column(Column&& other) noexcept;
    Column& operator=(Column&& other) noexcept;
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;

    FieldType type() const { return m_type; }
    Storage storage() const { return m_storage; }

    // Makes room for at least n rows; rows added are NULL.
    void resize(std::size_t n);
    void clear();

    bool isNull(std::uint32_t row) const { return flag(row) == 0; }
    void setNull(std::uint32_t row) { flag(row) = 0; }
    std::int64_t intAt(std::uint32_t row) const { return slot<std::int64_t>(row); }
    double realAt(std::uint32_t row) const { return slot<double>(row); }
    std::string_view bytesAt(std::uint32_t row) const {
        const Slice& s = slot<Slice>(row);
        return s.length ? std::string_view(m_blocks[s.block] + s.offset, s.length)
                        : std::string_view();
    }

    void setInt(std::uint32_t row, std::int64_t v) {
        slot<std::int64_t>(row) = v;
        flag(row) = 1;
    }
    void setReal(std::uint32_t row, double v) {
        slot<double>(row) = v;
        flag(row) = 1;
    }
    void setBytes(std::uint32_t row, const char* data, std::size_t len) {
        slot<Slice>(row) = appendBytes(data, len);
        flag(row) = 1;
    }
    // Copies the bytes to the column's arena, where they stay until the column is cleared: the
    // slice to store for them. Values that fit the current block (nearly all) are copied inline,
    // as a call to memcpy per short text costs more than the copy.
    Slice appendBytes(const char* data, std::size_t len) {
        if (len > m_tail.room)
            startBlock(len);
        const auto n = std::uint32_t(len);
        copyBytes(m_tail.at, data, n);
        const Slice slice{m_tail.block, m_tail.used, n};
        m_tail.at += n;
        m_tail.used += n;
        m_tail.room -= n;
        return slice;
    }
    // The segments holding `row`'s block, for a loader that writes a block's rows one after the
    // other: its values and flags are at [row & kMask]. Valid until the column is resized
    // smaller, cleared or replaced.
    void* valuesOf(std::uint32_t row) const { return m_values[row >> kShift]; }
    std::uint8_t* flagsOf(std::uint32_t row) const { return m_flags[row >> kShift]; }
    // Copies the value of `from` of `src` (same type) into `row`.
    void copyFrom(std::uint32_t row, const Column& src, std::uint32_t from);

    std::size_t bytes() const;

private:
    std::size_t slotBytes() const;
    // A new block for the arena, with room for at least `len` bytes.
    void startBlock(std::size_t len);
    // memcpy for short lengths, as two overlapping fixed-size copies the compiler inlines.
    static void copyBytes(char* to, const char* from, std::uint32_t n) {
        if (n > 32) {
            std::memcpy(to, from, n);
        } else if (n >= 16) {
            std::memcpy(to, from, 16);
            std::memcpy(to + n - 16, from + n - 16, 16);
        } else if (n >= 8) {
            std::memcpy(to, from, 8);
            std::memcpy(to + n - 8, from + n - 8, 8);
        } else if (n >= 4) {
            std::memcpy(to, from, 4);
            std::memcpy(to + n - 4, from + n - 4, 4);
        } else {
            for (std::uint32_t i = 0; i < n; ++i)
                to[i] = from[i];
        }
    }
    template <typename T>
    T& slot(std::uint32_t row) const {
        return static_cast<T*>(m_values[row >> kShift])[row & kMask];
    }
    std::uint8_t& flag(std::uint32_t row) const { return m_flags[row >> kShift][row & kMask]; }
    void release();

    FieldType m_type;
    Storage m_storage;
    std::vector<std::uint8_t*> m_flags;  // segments of kRows flags, from the pool
    std::vector<void*> m_values;         // segments of kRows values, from the pool
    std::vector<char*> m_blocks;         // text and blob bytes
    std::vector<std::uint32_t> m_blockCapacity;
    std::size_t m_blockBytes = 0;
    // Where the next bytes go, in the last block. It could be worked out from the block lists,
    // but every text appended reads it: kept, it saves about 2% of a large load.
    struct Tail {
        char* at = nullptr;
        std::uint32_t block = 0;  // its index
        std::uint32_t used = 0;
        std::uint32_t room = 0;
    } m_tail;
};

// Date-times as stored: milliseconds since the start of julian day 0, without time zone.
std::int64_t dateTimeKey(const QDateTime& dt);
QDateTime dateTimeFromKey(std::int64_t key);
// The date and the time of day of a key, without the local-time work of a QDateTime.
std::pair<QDate, QTime> dateAndTimeFromKey(std::int64_t key);
// Parses the date-time forms of parseDateTime() straight from UTF-8 bytes; false on others.
bool parseDateTimeKey(std::string_view text, std::int64_t& key);

// parseDateTimeKey for a column's values one after the other. Each month's first day is
// remembered (by the month, with the year it was of), so that dates of months already seen
// are not worked out again: a day in such a month costs two digits and a compare.
class DateTimeKeyParser {
public:
    bool parse(std::string_view text, std::int64_t& key);

private:
    struct Month {
        char year[4] = {};  // the digits of the year it was computed for; none at first
        std::uint8_t days = 0;
        std::int64_t firstDayKey = 0;  // the key of the first day's midnight
    };
    // Fills `month` (mo of 1-12) for the year s starts with; false if that is no year.
    static bool learn(std::string_view s, unsigned mo, Month& month);

    Month m_months[12];
};

}  // namespace Qd::Core::Db::Internal
