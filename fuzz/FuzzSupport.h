#pragma once

// What every fuzz target shares: the application the windows' pieces need, a prompter that
// answers every question without a modal loop, and the input as text.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace Qd::Fuzz {

// Makes the offscreen application, a temporary program home (trace, caches) and the silent
// prompter, once per process.
void initOnce();

// Deletes the objects handed to deleteLater while an input ran: no event loop runs between
// inputs, so a widget target calls this at its end or its memory grows with every input.
void dropDeferred();

// The input bytes as UTF-8 text (invalid sequences become replacement characters, as they do
// when a file is read).
QString text(const std::uint8_t* data, std::size_t size);

// Reads the input from the front as a fuzzed data provider would: small numbers and the rest.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    std::uint8_t byte();  // 0 when none are left
    std::int64_t int64();
    // Up to `max` bytes as UTF-8 text.
    QString text(std::size_t max);

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

}  // namespace Qd::Fuzz
