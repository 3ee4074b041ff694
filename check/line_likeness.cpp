// Normal forms, words and pairs of bytes of lines, and the Dice coefficient
// of two lines' pairs: the measures the nearest place is built on.
#include "line_likeness.h"

#include <algorithm>
#include <bit>

namespace torvale::likeness {

// What the comparison keeps of a line: no blanks or tabs, one letter case.
std::string normal(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (const char c : line)
        if (!blank(c))
            out.push_back(lower(c));
    return out;
}

std::uint64_t hashOf(std::string_view s) {
    std::uint64_t h = 1469598103934665603ull;
    for (const char c : s)
        h = (h ^ std::uint8_t(c)) * 1099511628211ull;
    return h;
}

std::string_view rtrim(std::string_view s) {
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

std::string unblanked(std::string_view s) {
    std::string out;
    for (const char c : s)
        if (!blank(c))
            out.push_back(c);
    return out;
}

// A line's words, each once, sorted.
std::vector<std::uint64_t> wordsOf(std::string_view normalLine) {
    std::vector<std::uint64_t> out;
    forEachWord(normalLine, [&](std::uint64_t w) { out.push_back(w); });
    std::ranges::sort(out);
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// The pairs of neighbouring bytes of a line, sorted, for the Dice coefficient.
std::vector<std::uint16_t> bigramsOf(std::string_view s) {
    std::vector<std::uint16_t> out(kMostPairs);
    out.resize(bigramsInto(s, out.data()));
    return out;
}

std::size_t bigramsInto(std::string_view s, std::uint16_t* out) {
    s = s.substr(0, kMostPairs + 1); // the start of a very long line says enough
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        out[n++] = std::uint16_t(std::uint8_t(s[i]) << 8 | std::uint8_t(s[i + 1]));
    std::sort(out, out + n);
    return n;
}

namespace {

// The pairs a and b have in common, without branches on the values, which no
// processor can foretell. Once the pairs left cannot make up need, it stops
// and tells a number below need: most lines a search line meets cannot.
std::size_t common(Pairs a, Pairs b, std::size_t need = 0) {
    std::size_t n = 0, i = 0, j = 0;
    const std::size_t na = a.size(), nb = b.size();
    while (i < na && j < nb) {
        for (int k = 0; k < 8 && i < na && j < nb; ++k) {
            const std::uint16_t x = a[i], y = b[j];
            n += x == y;
            i += x <= y;
            j += y <= x;
        }
        if (n + std::min(na - i, nb - j) < need)
            return n;
    }
    return n;
}

} // namespace

Pairs PairChunks::of(std::string_view a, std::string_view b) {
    constexpr std::size_t kChunk = std::size_t(1) << 15;
    if (chunks_.empty() || used_ + kMostPairs > kChunk) {
        chunks_.push_back(std::make_unique_for_overwrite<std::uint16_t[]>(kChunk));
        used_ = 0;
    }
    std::uint16_t* at = chunks_.back().get() + used_;
    std::size_t n = 0;
    if (b.empty()) {
        n = bigramsInto(a, at);
    } else {
        joined_.assign(a.substr(0, kMostPairs + 1));
        joined_.append(b.substr(0, kMostPairs + 1 - joined_.size()));
        n = bigramsInto(joined_, at);
    }
    used_ += n;
    return {at, n};
}

double dice(Pairs a, Pairs b) {
    return dice(a, b, 0);
}

double dice(Pairs a, Pairs b, double floor) {
    if (a.empty() || b.empty())
        return 0;
    const std::size_t total = a.size() + b.size();
    const auto of = [total](std::size_t common) { return 2.0 * double(common) / double(total); };
    // The fewest pairs in common that make floor, as the ratio works it out.
    std::size_t need = std::size_t(floor * double(total) / 2.0);
    while (need > 0 && of(need - 1) >= floor)
        --need;
    while (need <= total && of(need) < floor)
        ++need;
    const std::size_t n = common(a, b, need);
    return n < need ? 0 : of(n);
}

double contained(Pairs part, Pairs whole) {
    return part.empty() ? 1.0 : double(common(part, whole)) / double(part.size());
}

Bits bitsOf(std::string_view s) {
    Bits bits{};
    for (std::size_t i = 0; i + 1 < s.size() && i < 400; ++i) {
        const unsigned h = (unsigned(std::uint8_t(s[i])) * 31u + std::uint8_t(s[i + 1])) & 511u;
        bits[h >> 6] |= std::uint64_t(1) << (h & 63);
    }
    return bits;
}

namespace {

// By halves, quarters and bytes: the processors a Debian build is made for
// need not count bits in one instruction, and the library's call for it
// costs more than this.
int bitCount(std::uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
    return int((x * 0x0101010101010101ull) >> 56);
}

} // namespace

int ones(const Bits& b) {
    int n = 0;
    for (const std::uint64_t w : b)
        n += bitCount(w);
    return n;
}

int common(const Bits& a, const Bits& b) {
    int n = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        n += bitCount(a[k] & b[k]);
    return n;
}

} // namespace torvale::likeness
