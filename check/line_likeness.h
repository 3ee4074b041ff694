// How alike two lines of code are, for finding where a search text went: the
// lines' normal forms, their words and their pairs of bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvale::likeness {

// Each byte's class and lower case, looked up: an index is made of every
// byte of a file, and a load costs less than the comparisons.
struct ByteTable {
    std::array<std::uint8_t, 256> kind{}; // 1 blank, 2 part of a word
    std::array<char, 256> lower{};
};
inline constexpr ByteTable kBytes = [] {
    ByteTable t;
    for (int i = 0; i < 256; ++i) {
        const char c = char(i);
        t.kind[std::size_t(i)] = std::uint8_t((c == ' ' || c == '\t') |
                                              ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                               c == '_')
                                                  << 1);
        t.lower[std::size_t(i)] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    return t;
}();

inline bool blank(char c) {
    return kBytes.kind[std::uint8_t(c)] & 1;
}
inline char lower(char c) {
    return kBytes.lower[std::uint8_t(c)];
}
inline bool word(char c) {
    return kBytes.kind[std::uint8_t(c)] & 2;
}

// What the comparison keeps of a line: no blanks or tabs, one letter case.
std::string normal(std::string_view line);
std::uint64_t hashOf(std::string_view s);
std::string_view rtrim(std::string_view s);
std::string lowered(std::string_view s);
std::string unblanked(std::string_view s);

// Calls f with the hash of each word of three letters or more of a line,
// its underscores left out: YaBB's later versions renamed LoadUser to
// load_user and $usernameCC to $username_cc, and the word must still be found.
template <typename F>
void forEachWord(std::string_view normalLine, F&& f) {
    for (std::size_t i = 0; i < normalLine.size();) {
        if (!word(normalLine[i])) {
            ++i;
            continue;
        }
        std::uint64_t h = 1469598103934665603ull; // as hashOf, over the letters but '_'
        std::size_t letters = 0;
        for (; i < normalLine.size() && word(normalLine[i]); ++i)
            if (normalLine[i] != '_') {
                h = (h ^ std::uint8_t(normalLine[i])) * 1099511628211ull;
                ++letters;
            }
        if (letters >= 3)
            f(h);
    }
}
// A line's words, each once, sorted.
std::vector<std::uint64_t> wordsOf(std::string_view normalLine);

// The pairs of neighbouring bytes of a line, sorted, for the Dice coefficient.
std::vector<std::uint16_t> bigramsOf(std::string_view s);
// The same written to out, room for kMostPairs; returns how many.
constexpr std::size_t kMostPairs = 399;
std::size_t bigramsInto(std::string_view s, std::uint16_t* out);
using Pairs = std::span<const std::uint16_t>;
// Pairs of bytes made for a search and kept: in chunks that never move, made
// without an allocation each.
class PairChunks {
public:
    // Of a, or of a and b joined (only as much as the pairs take in).
    Pairs of(std::string_view a, std::string_view b = {});

private:
    std::vector<std::unique_ptr<std::uint16_t[]>> chunks_;
    std::size_t used_ = 0; // of the last chunk
    std::string joined_;
};
double dice(Pairs a, Pairs b);
// dice(a, b) when it comes to floor; else 0, told as soon as the pairs not yet
// compared can no longer make up for those that differed.
double dice(Pairs a, Pairs b, double floor);
// How much of part's pairs stand in whole (1 for a part without pairs): where
// two lines were made one, each must be found in it, not just the longer.
double contained(Pairs part, Pairs whole);

// The pairs of bytes hashed into a set of 512 bits: a quick, rough likeness.
using Bits = std::array<std::uint64_t, 8>;
Bits bitsOf(std::string_view s);
int ones(const Bits& b);
// The bits set in both.
int common(const Bits& a, const Bits& b);

} // namespace torvale::likeness
