#include "db/ColumnStore.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace Qd::Core::Db::Internal {

namespace {
// Free segments by size, one pool per thread (a record set belongs to the thread that made it,
// so no lock is needed). Segment sizes are few: flags, values of each storage, text blocks.
struct Pool {
    std::vector<std::pair<std::size_t, std::vector<void*>>> free;  // size -> segments
    std::size_t retained = 0;
    static constexpr std::size_t kLimit = std::size_t(512) << 20;

    std::vector<void*>& of(std::size_t bytes) {
        for (auto& [size, list] : free)
            if (size == bytes)
                return list;
        free.emplace_back(bytes, std::vector<void*>());
        return free.back().second;
    }
    ~Pool() {
        for (auto& [size, list] : free)
            for (void* seg : list)
                ::operator delete(seg);
    }
};

Pool& pool() {
    thread_local Pool p;
    return p;
}

// Only the regular sizes are kept: an odd-sized block (a large blob) goes back at once.
bool pooledSize(std::size_t bytes) {
    return bytes <= Column::kBlockSize;
}
}  // namespace

void* SegmentPool::take(std::size_t bytes) {
    if (pooledSize(bytes)) {
        std::vector<void*>& list = pool().of(bytes);
        if (!list.empty()) {
            void* seg = list.back();
            list.pop_back();
            pool().retained -= bytes;
            return seg;
        }
    }
    return ::operator new(bytes);
}

void SegmentPool::give(void* segment, std::size_t bytes) {
    Pool& p = pool();
    if (pooledSize(bytes) && p.retained + bytes <= Pool::kLimit) {
        p.of(bytes).push_back(segment);
        p.retained += bytes;
        return;
    }
    ::operator delete(segment);
}

std::size_t SegmentPool::retained() {
    return pool().retained;
}

Column::~Column() {
    release();
}

Column::Column(Column&& other) noexcept
    : m_type(other.m_type),
      m_storage(other.m_storage),
      m_flags(std::move(other.m_flags)),
      m_values(std::move(other.m_values)),
      m_blocks(std::move(other.m_blocks)),
      m_blockCapacity(std::move(other.m_blockCapacity)),
      m_blockBytes(std::exchange(other.m_blockBytes, 0)),
      m_tail(std::exchange(other.m_tail, {})) {
    other.m_flags.clear();
    other.m_values.clear();
    other.m_blocks.clear();
    other.m_blockCapacity.clear();
}

Column& Column::operator=(Column&& other) noexcept {
    if (this != &other) {
        release();
        m_type = other.m_type;
        m_storage = other.m_storage;
        m_flags = std::move(other.m_flags);
        m_values = std::move(other.m_values);
        m_blocks = std::move(other.m_blocks);
        m_blockCapacity = std::move(other.m_blockCapacity);
        m_blockBytes = std::exchange(other.m_blockBytes, 0);
        m_tail = std::exchange(other.m_tail, {});
        other.m_flags.clear();
        other.m_values.clear();
        other.m_blocks.clear();
        other.m_blockCapacity.clear();
    }
    return *this;
}

std::size_t Column::slotBytes() const {
    switch (m_storage) {
        case Storage::Ints:
            return sizeof(std::int64_t);
        case Storage::Reals:
            return sizeof(double);
        case Storage::Bytes:
            break;
    }
    return sizeof(Slice);
}

void Column::release() {
    for (std::uint8_t* f : m_flags)
        SegmentPool::give(f, kRows);
    for (void* v : m_values)
        SegmentPool::give(v, kRows * slotBytes());
    for (std::size_t i = 0; i < m_blocks.size(); ++i)
        SegmentPool::give(m_blocks[i], m_blockCapacity[i]);
    m_flags.clear();
    m_values.clear();
    m_blocks.clear();
    m_blockCapacity.clear();
    m_blockBytes = 0;
    m_tail = {};
}

void Column::resize(std::size_t n) {
    while (m_flags.size() * kRows < n) {
        auto* flags = static_cast<std::uint8_t*>(SegmentPool::take(kRows));
        std::memset(flags, 0, kRows);
        m_flags.push_back(flags);
        m_values.push_back(SegmentPool::take(kRows * slotBytes()));
    }
}

void Column::clear() {
    release();
}

void Column::startBlock(std::size_t len) {
    if (len > std::numeric_limits<std::uint32_t>::max())
        throw DbError(QStringLiteral("字段数据超过 4 GB，无法保存"));
    // A value larger than a block gets a block of its own size.
    const std::uint32_t capacity = std::max(kBlockSize, std::uint32_t(len));
    m_blocks.push_back(static_cast<char*>(SegmentPool::take(capacity)));
    m_blockCapacity.push_back(capacity);
    m_blockBytes += capacity;
    m_tail = {m_blocks.back(), std::uint32_t(m_blocks.size() - 1), 0, capacity};
}

void Column::copyFrom(std::uint32_t row, const Column& src, std::uint32_t from) {
    if (src.isNull(from)) {
        setNull(row);
        return;
    }
    switch (m_storage) {
        case Storage::Ints:
            setInt(row, src.intAt(from));
            break;
        case Storage::Reals:
            setReal(row, src.realAt(from));
            break;
        case Storage::Bytes: {
            // Blocks never move, so src may be this column.
            const std::string_view bytes = src.bytesAt(from);
            setBytes(row, bytes.data(), bytes.size());
            break;
        }
    }
}

std::size_t Column::bytes() const {
    return m_flags.size() * kRows * (1 + slotBytes()) + m_blockBytes;
}

namespace {
constexpr std::int64_t kMsPerDay = 86400000;

// Julian day number of a proleptic Gregorian date (valid for years after -4800).
std::int64_t julianDay(int y, int m, int d) {
    const int a = (14 - m) / 12;
    const std::int64_t yy = std::int64_t(y) + 4800 - a;
    const int mm = m + 12 * a - 3;
    return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

// The number of two decimal digits at p; over 99 when either is no digit.
unsigned twoDigits(const char* p) {
    const unsigned hi = unsigned(p[0]) - '0', lo = unsigned(p[1]) - '0';
    return hi > 9 || lo > 9 ? 100 : hi * 10 + lo;
}

// What follows the date: nothing, or " hh:mm", ":ss" and ".fff" (any number of fraction digits,
// the first three of them milliseconds); 'T' may stand for the space.
bool parseTimePart(std::string_view s, std::int64_t& ms) {
    std::size_t pos = 10;
    ms = 0;
    if (pos == s.size())
        return true;
    if ((s[pos] != ' ' && s[pos] != 'T') || s.size() < pos + 6 || s[pos + 3] != ':')
        return false;
    const unsigned h = twoDigits(s.data() + pos + 1), mi = twoDigits(s.data() + pos + 4);
    unsigned sec = 0, frac = 0;
    pos += 6;
    if (pos < s.size()) {
        if (s[pos] != ':' || s.size() < pos + 3)
            return false;
        sec = twoDigits(s.data() + pos + 1);
        pos += 3;
        if (pos < s.size()) {
            if (s[pos] != '.')
                return false;
            std::size_t n = 0;
            for (++pos; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos, ++n)
                if (n < 3)
                    frac = frac * 10 + unsigned(s[pos] - '0');
            if (n == 0 || pos != s.size())
                return false;
            for (; n < 3; ++n)
                frac *= 10;
        }
    }
    if (h > 23 || mi > 59 || sec > 59)
        return false;
    ms = ((h * 60 + mi) * 60 + sec) * 1000LL + frac;
    return true;
}
}  // namespace

std::int64_t dateTimeKey(const QDateTime& dt) {
    return dt.date().toJulianDay() * kMsPerDay + dt.time().msecsSinceStartOfDay();
}

std::pair<QDate, QTime> dateAndTimeFromKey(std::int64_t key) {
    std::int64_t day = key / kMsPerDay;
    std::int64_t ms = key % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    return {QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms))};
}

QDateTime dateTimeFromKey(std::int64_t key) {
    const auto [date, time] = dateAndTimeFromKey(key);
    return QDateTime(date, time);
}

bool DateTimeKeyParser::parse(std::string_view s, std::int64_t& key) {
    if (s.size() < 10 || s[4] != '-' || s[7] != '-')
        return false;
    const unsigned mo = twoDigits(s.data() + 5);
    if (mo < 1 || mo > 12)
        return false;
    Month& month = m_months[mo - 1];
    if (std::memcmp(s.data(), month.year, sizeof month.year) != 0 && !learn(s, mo, month))
        return false;
    const unsigned d = twoDigits(s.data() + 8);
    std::int64_t ms = 0;
    if (d < 1 || d > month.days || !parseTimePart(s, ms))
        return false;
    key = month.firstDayKey + (d - 1) * kMsPerDay + ms;
    return true;
}

bool DateTimeKeyParser::learn(std::string_view s, unsigned mo, Month& month) {
    const unsigned century = twoDigits(s.data()), year = twoDigits(s.data() + 2);
    const int y = int(century * 100 + year);
    if (century > 99 || year > 99 || y < 1)
        return false;
    static constexpr std::uint8_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    std::memcpy(month.year, s.data(), sizeof month.year);
    month.days = std::uint8_t(kDays[mo - 1] + (mo == 2 && leap ? 1 : 0));
    month.firstDayKey = julianDay(y, int(mo), 1) * kMsPerDay;
    return true;
}

bool parseDateTimeKey(std::string_view s, std::int64_t& key) {
    DateTimeKeyParser once;  // its months are only filled as they are met
    return once.parse(s, key);
}

}  // namespace Qd::Core::Db::Internal
