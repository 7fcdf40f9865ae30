#pragma once

// What every fuzz target shares: the application the windows' pieces need, a prompter that
// answers every question without a modal loop, and the input as text.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace Qd::Core::Ui {
class GridView;
}

namespace Qd::Fuzz {

// Makes the offscreen application, a temporary program home (trace, caches) and the silent
// prompter, once per process.
void initOnce();

// Runs one input of a target that works with widgets: initOnce, `check`, then the events it
// posted (queued calls, deleteLater) are delivered as the event loop would. No event loop runs
// between inputs: without this they would pile up, and the memory grow with every input.
int runWithWidgets(void (*check)(const std::uint8_t*, std::size_t), const std::uint8_t* data,
                   std::size_t size);

// A grid view that is never shown, over a record set of three rows with a text, a currency,
// a date and a Boolean field ("code", "name", "price", "made", "active"). Made on first use
// and kept: making a view costs more than the parsing fuzzed.
Core::Ui::GridView& gridView();

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
