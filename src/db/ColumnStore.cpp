#include "db/ColumnStore.h"

#include <QDate>
#include <QTime>
#include <limits>

namespace Qd::Core::Db::Internal {

void Column::reserve(std::size_t n) {
    m_null.reserve(n);
    switch (m_storage) {
        case Storage::Ints:
            m_ints.reserve(n);
            break;
        case Storage::Reals:
            m_reals.reserve(n);
            break;
        case Storage::Bytes:
            m_slices.reserve(n);
            break;
    }
}

void Column::pushNull() {
    m_null.push_back(true);
    switch (m_storage) {
        case Storage::Ints:
            m_ints.push_back(0);
            break;
        case Storage::Reals:
            m_reals.push_back(0.0);
            break;
        case Storage::Bytes:
            m_slices.push_back({});
            break;
    }
}

void Column::popBack() {
    m_null.pop_back();
    switch (m_storage) {
        case Storage::Ints:
            m_ints.pop_back();
            break;
        case Storage::Reals:
            m_reals.pop_back();
            break;
        case Storage::Bytes:
            m_slices.pop_back();
            break;
    }
}

void Column::clear() {
    m_null.clear();
    m_ints.clear();
    m_reals.clear();
    m_slices.clear();
    m_arena.clear();
}

void Column::setBytes(std::uint32_t row, const char* data, std::size_t len) {
    if (m_arena.size() + len > std::numeric_limits<std::uint32_t>::max())
        throw DbError(QStringLiteral("字段数据超过 4 GB，无法保存"));
    m_slices[row] = {std::uint32_t(m_arena.size()), std::uint32_t(len)};
    m_arena.append(data, len);
    m_null[row] = false;
}

void Column::copyFrom(std::uint32_t row, const Column& src, std::uint32_t from) {
    if (src.isNull(from)) {
        m_null[row] = true;
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
            // Copy through a temporary: src may be this column, and the arena may move.
            const std::string tmp(src.bytesAt(from));
            setBytes(row, tmp.data(), tmp.size());
            break;
        }
    }
}

std::size_t Column::bytes() const {
    return m_null.capacity() / 8 + m_ints.capacity() * sizeof(std::int64_t) +
           m_reals.capacity() * sizeof(double) + m_slices.capacity() * sizeof(Slice) +
           m_arena.capacity();
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

bool digits(std::string_view s, std::size_t pos, std::size_t n, int& out) {
    if (pos + n > s.size())
        return false;
    int v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}
}  // namespace

std::int64_t dateTimeKey(const QDateTime& dt) {
    return dt.date().toJulianDay() * kMsPerDay + dt.time().msecsSinceStartOfDay();
}

QDateTime dateTimeFromKey(std::int64_t key) {
    std::int64_t day = key / kMsPerDay;
    std::int64_t ms = key % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

bool parseDateTimeKey(std::string_view s, std::int64_t& key) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    if (!digits(s, 0, 4, y) || s.size() < 10 || s[4] != '-' || !digits(s, 5, 2, mo) ||
        s[7] != '-' || !digits(s, 8, 2, d))
        return false;
    std::size_t pos = 10;
    if (pos < s.size()) {
        if ((s[pos] != ' ' && s[pos] != 'T') || !digits(s, pos + 1, 2, h) || pos + 3 >= s.size() ||
            s[pos + 3] != ':' || !digits(s, pos + 4, 2, mi))
            return false;
        pos += 6;
        if (pos < s.size()) {
            if (s[pos] != ':' || !digits(s, pos + 1, 2, sec))
                return false;
            pos += 3;
            if (pos < s.size()) {
                if (s[pos] != '.')
                    return false;
                // Up to three fraction digits are milliseconds; more are cut.
                std::size_t n = 0;
                ++pos;
                while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
                    if (n < 3)
                        ms = ms * 10 + (s[pos] - '0');
                    ++n;
                    ++pos;
                }
                if (n == 0 || pos != s.size())
                    return false;
                for (; n < 3; ++n)
                    ms *= 10;
            }
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59)
        return false;
    if (!QDate::isValid(y, mo, d))
        return false;
    key = julianDay(y, mo, d) * kMsPerDay + ((h * 60 + mi) * 60 + sec) * 1000LL + ms;
    return true;
}

}  // namespace Qd::Core::Db::Internal
