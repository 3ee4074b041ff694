// The lines of a text as the reader sees them: split at CR LF, lone CR and lone
// LF, and a NUL ends the text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvale {

// Walks the lines of a text; a line end at the very end adds no empty line. It
// keeps the next CR and LF it has found, so that a text of many lone CRs is not
// searched again for an LF at every line.
class LineCursor {
public:
    explicit LineCursor(std::string_view text)
        : text_(text), lf_(find(0, '\n')), cr_(find(0, '\r')) {}

    bool next(std::string_view& line) {
        const std::size_t size = text_.size();
        if (pos_ >= size)
            return false;
        if (lf_ < pos_)
            lf_ = find(pos_, '\n');
        if (cr_ < pos_)
            cr_ = find(pos_, '\r');
        std::size_t end;
        std::size_t after;
        if (cr_ < lf_) {
            end = cr_;
            after = cr_ + 1 == lf_ ? lf_ + 1 : cr_ + 1;
        } else if (lf_ < size) {
            end = lf_;
            after = lf_ + 1;
        } else {
            end = size;
            after = size;
        }
        line = text_.substr(pos_, end - pos_);
        pos_ = after;
        return true;
    }

private:
    std::size_t find(std::size_t from, char c) const {
        const void* hit = std::memchr(text_.data() + from, c, text_.size() - from);
        return hit ? std::size_t(static_cast<const char*>(hit) - text_.data()) : text_.size();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lf_;
    std::size_t cr_;
};

// The number, counted from 1, of the line that starts at offset (or holds it):
// one more than the line ends before it, CR LF counting as one.
inline std::size_t lineNumberAt(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
}

// How often c stands in text.
std::size_t countByte(std::string_view text, char c);

// How many line ends text holds: CR LF, a lone CR and a lone LF count one
// each, and a CR at the very end counts as a lone one. Sixteen bytes at a time
// where the processor can.
std::size_t countLineBreaks(std::string_view text);

// The line feeds and carriage returns among the 64 bytes at p (the first
// count of them, when fewer are left), one bit a byte. Walking the bits finds
// the line ends of a text of short lines in one pass, without a call a line.
// The before bytes ahead of p may be read too, which spares a byte loop over
// the last few bytes of a text.
struct BreakBits {
    std::uint64_t lf = 0;
    std::uint64_t cr = 0;
};

inline BreakBits breakBits(const char* p, std::size_t count, std::size_t before = 0) {
    BreakBits bits;
    count = std::min<std::size_t>(count, 64);
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    // Signed: the last sixteen bytes may start before p.
    const auto at = [&](std::ptrdiff_t from) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
        return std::pair{unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf))),
                         unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)))};
    };
    for (; i + 16 <= count; i += 16) {
        const auto [l, c] = at(std::ptrdiff_t(i));
        bits.lf |= std::uint64_t(l) << i;
        bits.cr |= std::uint64_t(c) << i;
    }
    if (i < count && before + count >= 16) {
        // The last sixteen bytes, shifted to leave out those already seen.
        const auto [l, c] = at(std::ptrdiff_t(count) - 16);
        const std::size_t seen = 16 - (count - i);
        bits.lf |= std::uint64_t(l >> seen) << i;
        bits.cr |= std::uint64_t(c >> seen) << i;
        return bits;
    }
#endif
    for (; i < count; ++i) {
        bits.lf |= std::uint64_t(p[i] == '\n') << i;
        bits.cr |= std::uint64_t(p[i] == '\r') << i;
    }
    return bits;
}

// The text up to its first NUL.
inline std::string_view untilNul(std::string_view text) {
    const void* nul = std::memchr(text.data(), '\0', text.size());
    return nul ? text.substr(0, std::size_t(static_cast<const char*>(nul) - text.data())) : text;
}

} // namespace torvale
