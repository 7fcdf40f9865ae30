// Build-time generator of the pinyin initials table behind HZtoPY.
//
// Reads the Unihan readings file (decompressed) on standard input and writes a C++ source on
// standard output that defines Qd::Core::Sys::pinyinInitial (sys/PinyinTable.h). Each ideograph
// with a kMandarin reading gets the initial of that field's first value, which Unihan gives as
// the customary reading in the mainland; the letter is upper-cased and stripped of its tone
// mark.
//
// The table is a list of segments (first code point, length, offset) over one string of
// initials, '_' standing for a code point without a reading. A new segment starts wherever the
// gap between two readings is wider than kMaxGap, so sparse stretches of the supplementary
// planes cost nothing. The string is written in chunks of kChunk characters, well below the
// literal lengths that compilers are required to accept.
//
// Exits non-zero, writing nothing, when the input looks wrong (no readings, an unknown letter).
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char32_t kMaxGap = 64;
constexpr std::size_t kChunk = 4000;
// Unihan 15 has about 41 000 kMandarin readings; far fewer means a truncated or foreign input.
constexpr std::size_t kMinReadings = 20000;

// The first code point of a UTF-8 text; 0 when it is empty or malformed.
char32_t firstCodePoint(const std::string& s) {
    if (s.empty())
        return 0;
    const auto b0 = static_cast<unsigned char>(s[0]);
    int extra = 0;
    char32_t cp = 0;
    if (b0 < 0x80)
        return b0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < static_cast<std::size_t>(extra) + 1)
        return 0;
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return cp;
}

// The upper-case initial of a pinyin syllable as Unihan writes it (tone marks on the vowel,
// syllabic m and n included); 0 for anything else.
char initialOf(const std::string& syllable) {
    const char32_t cp = firstCodePoint(syllable);
    if (cp >= U'a' && cp <= U'z')
        return static_cast<char>(cp - U'a' + U'A');
    // Vowels with their tone marks (and ê, ü), syllabic m and n.
    struct Marked {
        std::u32string_view forms;
        char letter;
    };
    constexpr Marked kMarked[] = {{U"āáǎà", 'A'}, {U"ēéěèê", 'E'},     {U"īíǐì", 'I'},
                                  {U"ōóǒò", 'O'}, {U"ūúǔùüǖǘǚǜ", 'U'}, {U"ḿ", 'M'},
                                  {U"ńňǹ", 'N'}};
    for (const auto& m : kMarked) {
        if (m.forms.find(cp) != std::u32string_view::npos)
            return m.letter;
    }
    return 0;
}

// "U+4E00" -> 0x4E00; 0 when the text is not a code point.
char32_t parseCodePoint(const std::string& s) {
    if (s.size() < 3 || s[0] != 'U' || s[1] != '+')
        return 0;
    char32_t cp = 0;
    for (std::size_t i = 2; i < s.size(); ++i) {
        const char c = s[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            return 0;
        cp = cp * 16 + digit;
        if (cp > 0x10FFFF)
            return 0;
    }
    return cp;
}

struct Segment {
    char32_t first = 0;
    std::size_t count = 0;
    std::size_t offset = 0;
};

}  // namespace

int main() {
    std::map<char32_t, char> initials;
    std::string line;
    std::size_t lineNo = 0;
    while (std::getline(std::cin, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        if (line.back() == '\r')
            line.pop_back();
        const auto tab1 = line.find('\t');
        if (tab1 == std::string::npos)
            continue;
        const auto tab2 = line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos || line.compare(tab1 + 1, tab2 - tab1 - 1, "kMandarin") != 0)
            continue;
        const char32_t cp = parseCodePoint(line.substr(0, tab1));
        std::string value = line.substr(tab2 + 1);
        value = value.substr(0, value.find(' '));
        const char letter = initialOf(value);
        if (cp == 0 || letter == 0) {
            std::cerr << "gen_pinyin: line " << lineNo << ": cannot read \"" << line << "\"\n";
            return 1;
        }
        initials[cp] = letter;
    }
    if (initials.size() < kMinReadings) {
        std::cerr << "gen_pinyin: only " << initials.size()
                  << " kMandarin readings on input; expected the Unihan readings file\n";
        return 1;
    }

    std::vector<Segment> segments;
    std::string all;
    char32_t last = 0;
    for (const auto& [cp, letter] : initials) {
        if (segments.empty() || cp - last > kMaxGap) {
            segments.push_back({cp, 0, all.size()});
        } else {
            for (char32_t gap = last + 1; gap < cp; ++gap) {
                all += '_';
                ++segments.back().count;
            }
        }
        all += letter;
        ++segments.back().count;
        last = cp;
    }

    std::ostringstream out;
    out << "// Generated by gen_pinyin from the Unihan readings (kMandarin); do not edit.\n"
        << "// " << initials.size() << " readings in " << segments.size() << " segments.\n"
        << "#include \"sys/PinyinTable.h\"\n\n"
        << "#include <algorithm>\n#include <cstddef>\n#include <iterator>\n\n"
        << "namespace Qd::Core::Sys {\n\nnamespace {\n\n"
        << "struct Segment {\n    char32_t first;\n    unsigned count;\n    unsigned "
           "offset;\n};\n\n"
        << "constexpr std::size_t kChunk = " << kChunk << ";\n\n"
        << "constexpr Segment kSegments[] = {\n";
    for (const auto& s : segments) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "    {0x%05X, %zu, %zu},\n", static_cast<unsigned>(s.first),
                      s.count, s.offset);
        out << buf;
    }
    out << "};\n\n";
    const std::size_t chunks = (all.size() + kChunk - 1) / kChunk;
    for (std::size_t c = 0; c < chunks; ++c) {
        out << "constexpr char kInitials" << c << "[] =\n";
        const std::string part = all.substr(c * kChunk, kChunk);
        for (std::size_t i = 0; i < part.size(); i += 100)
            out << "    \"" << part.substr(i, 100) << "\"\n";
        out << "    ;\n";
    }
    out << "\nconstexpr const char* kInitials[] = {\n";
    for (std::size_t c = 0; c < chunks; ++c)
        out << "    kInitials" << c << ",\n";
    out << "};\n\n}  // namespace\n\n"
        << "char pinyinInitial(char32_t cp) {\n"
        << "    const auto next = std::upper_bound(\n"
        << "        std::begin(kSegments), std::end(kSegments), cp,\n"
        << "        [](char32_t v, const Segment& s) { return v < s.first; });\n"
        << "    if (next == std::begin(kSegments))\n"
        << "        return 0;\n"
        << "    const Segment& s = *(next - 1);\n"
        << "    if (cp - s.first >= s.count)\n"
        << "        return 0;\n"
        << "    const std::size_t at = s.offset + (cp - s.first);\n"
        << "    const char letter = kInitials[at / kChunk][at % kChunk];\n"
        << "    return letter == '_' ? 0 : letter;\n"
        << "}\n\n}  // namespace Qd::Core::Sys\n";
    std::cout << out.str();
    return std::cout.good() ? 0 : 1;
}
