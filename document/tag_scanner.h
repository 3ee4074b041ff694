// Finds the lines of a mod file that hold tags, 64 bytes at a time, and which
// tags each opens and closes. It knows nothing of blocks: the reader does.
#pragma once

#include "line_ends.h"
#include "mod_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The reader calls the scanner for every "<" and every tagged line of a file:
// it is as fast as it is because those calls melt into the reader's loop, so
// the hot functions are inlined even where the compiler would rather not.
namespace torvale {

// The tags that start on a line, as bits by tag number.
struct TagMasks {
    std::uint16_t open = 0;
    std::uint16_t close = 0;
};

// A line that holds at least one tag. Offsets fit 32 bits because the reader
// refuses longer texts, which keeps the index small for tag-heavy files.
struct TaggedLine {
    std::uint32_t start; // first byte of the line
    std::uint32_t next;  // first byte of the line after it
    TagMasks masks;
};

namespace tag_scan {

// Tags are ASCII; bytes above 127 lowercase to nothing ASCII in the code pages
// mod files are written in, so only A-Z need folding.
inline unsigned char lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// For each byte, the tag numbers (as bits) whose name starts with it in either
// case: one lookup settles most "<" of the HTML and Perl in a mod.
inline constexpr std::array<std::uint16_t, 256> kTagsByFirstLetter = [] {
    std::array<std::uint16_t, 256> tags{};
    for (int t = 0; t < kTagCount; ++t) {
        const auto c = static_cast<unsigned char>(openingTag(t)[1]);
        tags[c] |= std::uint16_t(1u << t);
        tags[c - 32] |= std::uint16_t(1u << t);
    }
    return tags;
}();

inline bool matchesAt(const char* p, const char* end, std::string_view tag) {
    if (std::size_t(end - p) < tag.size())
        return false;
    for (std::size_t i = 1; i < tag.size(); ++i)
        if (lower(static_cast<unsigned char>(p[i])) != static_cast<unsigned char>(tag[i]))
            return false;
    return true;
}

#if defined(__SSE2__)
// Each tag as 16 bytes to compare with, and which of them count.
struct TagPattern {
    alignas(16) char bytes[16];
    unsigned used;
};

inline constexpr std::array<TagPattern, 2 * kTagCount> kTagPatterns = [] {
    std::array<TagPattern, 2 * kTagCount> patterns{};
    for (std::size_t i = 0; i < ModTags.size(); ++i) {
        std::copy(ModTags[i].begin(), ModTags[i].end(), patterns[i].bytes);
        patterns[i].used = (1u << ModTags[i].size()) - 1;
    }
    return patterns;
}();
#endif

// Adds the tag that starts at p, if one does.
[[gnu::always_inline]] inline void addTagAt(const char* p, const char* end, TagMasks& masks) {
    if (end - p < 4) // "<id>" is the shortest tag
        return;
    const bool closing = p[1] == '/';
    unsigned candidates = kTagsByFirstLetter[static_cast<unsigned char>(p[closing ? 2 : 1])];
#if defined(__SSE2__)
    // Most "<" in a mod start tags: compare 16 bytes at once, folded to lower
    // case, when the text goes on that far. The longest tag has 14 bytes.
    if (candidates && end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                            _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
        const __m128i lowered = _mm_or_si128(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
        while (candidates) {
            const int t = std::countr_zero(candidates);
            candidates &= candidates - 1;
            const TagPattern& tag = kTagPatterns[std::size_t(2 * t + (closing ? 1 : 0))];
            const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(tag.bytes));
            const unsigned same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(lowered, bytes)));
            if ((same & tag.used) == tag.used)
                (closing ? masks.close : masks.open) |= std::uint16_t(1u << t);
        }
        return;
    }
#endif
    while (candidates) {
        const int t = std::countr_zero(candidates);
        candidates &= candidates - 1;
        if (closing && matchesAt(p, end, closingTag(t)))
            masks.close |= std::uint16_t(1u << t);
        else if (!closing && matchesAt(p, end, openingTag(t)))
            masks.open |= std::uint16_t(1u << t);
    }
}

// Which of the 64 bytes at p are "<", CR, LF and NUL, as bit masks.
struct ByteMasks {
    std::uint64_t less;
    std::uint64_t cr;
    std::uint64_t lf;
    std::uint64_t nul;
};

[[gnu::always_inline]] inline ByteMasks masksOf64(const char* p) {
    ByteMasks m{0, 0, 0, 0};
#if defined(__SSE2__)
    const __m128i less = _mm_set1_epi8('<');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const auto mask = [&v](__m128i c) {
            return std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, c))));
        };
        m.less |= mask(less) << (16 * k);
        m.cr |= mask(cr) << (16 * k);
        m.lf |= mask(lf) << (16 * k);
        m.nul |= mask(zero) << (16 * k);
    }
#else
    for (unsigned i = 0; i < 64; ++i) {
        m.less |= std::uint64_t(p[i] == '<') << i;
        m.cr |= std::uint64_t(p[i] == '\r') << i;
        m.lf |= std::uint64_t(p[i] == '\n') << i;
        m.nul |= std::uint64_t(p[i] == '\0') << i;
    }
#endif
    return m;
}

} // namespace tag_scan

// Finds the lines that hold tags, one after the other, as far as the reader
// needs them: the reader works right behind it, while the bytes are still in
// the cache. Lines break at CR LF, lone CR and lone LF, and a NUL ends the
// text. It also tracks whether every line end so far is CR LF (or, when asked
// to, a lone LF): then a run of whole lines is its own text, lines joined by
// that line end, and a block can point into the file instead of copying it.
template <LineEnds kTracked = LineEnds::CrLf> class TagScanner {
public:
    explicit TagScanner(std::string_view text) : text_(text), size_(text.size()) {}

    // The length of the text: up to its first NUL, once the scan has met it.
    // It is final when the scanner hands out the last tagged line.
    std::size_t size() const { return size_; }

    // The next tagged line, or false after the last one.
    [[gnu::always_inline]] inline bool next(TaggedLine& out) {
        for (;;) {
            while (less_) {
                const unsigned bit = unsigned(std::countr_zero(less_));
                less_ &= less_ - 1;
                if (onLess(bit, out))
                    return true;
            }
            if (scannedAll_) {
                if (!pending_)
                    return false;
                if (!endKnown_)
                    endLine(size_);
                pending_ = false;
                out = line_;
                return true;
            }
            nextBlock();
        }
    }

    // True when every line end before offset end is the tracked one. Asked
    // only about what the scan has passed; false for what lies further on.
    bool sameLineEndsBefore(std::size_t end) const {
        // Up to the last byte of the current block, which may be a CR whose LF
        // is in the next block.
        const std::size_t known = scannedAll_ ? size_ : block_ + kBlock - 1;
        return started_ && end <= known && end <= clean_;
    }

private:
    [[gnu::always_inline]] inline void nextBlock() {
        if (started_) {
            if (breaks_)
                lastBreak_ = block_ + 63 - unsigned(std::countl_zero(breaks_));
            block_ += kBlock;
        }
        started_ = true;
        tag_scan::ByteMasks m;
        std::uint64_t valid = ~std::uint64_t(0);
        if (block_ + kBlock <= size_) {
            m = tag_scan::masksOf64(text_.data() + block_);
        } else {
            char tail[kBlock] = {};
            std::memcpy(tail, text_.data() + block_, size_ - block_);
            valid = (std::uint64_t(1) << (size_ - block_)) - 1;
            m = tag_scan::masksOf64(tail);
        }
        // A NUL ends the text: nothing after it is read.
        if (m.nul & valid) {
            size_ = block_ + unsigned(std::countr_zero(m.nul & valid));
            valid = (std::uint64_t(1) << (size_ - block_)) - 1;
        }
        m.less &= valid;
        m.cr &= valid;
        m.lf &= valid;
        // CR LF: every LF follows a CR, and every CR is followed by an LF; the
        // last byte of a block is checked with the next one. LF: no CR at all.
        constexpr bool lf = kTracked == LineEnds::Lf;
        const std::uint64_t mismatch = lf ? m.cr : (((m.cr << 1) | carry_) & valid) ^ m.lf;
        if (mismatch && clean_ == kAll) {
            // A lone LF here, or a lone CR just before; or, with LF, a CR here.
            const std::size_t at = block_ + unsigned(std::countr_zero(mismatch));
            clean_ = lf ? at : at > 0 ? at - 1 : 0;
        }
        carry_ = m.cr >> 63;
        less_ = m.less;
        breaks_ = m.cr | m.lf;
        if (pending_ && !endKnown_ && breaks_)
            endLine(block_ + unsigned(std::countr_zero(breaks_)));
        if (block_ + kBlock >= size_) {
            scannedAll_ = true;
            // A CR as the last byte of the text is followed by nothing.
            if (size_ > block_ && (m.cr >> (size_ - block_ - 1) & 1))
                clean_ = std::min(clean_, size_ - 1);
        }
    }

    // The pending tagged line ends at the line break at end (or the text's end).
    [[gnu::always_inline]] inline void endLine(std::size_t end) {
        std::size_t next = end;
        if (next < size_)
            next += text_[next] == '\r' && next + 1 < size_ && text_[next + 1] == '\n' ? 2 : 1;
        line_.next = std::uint32_t(next);
        endKnown_ = true;
    }

    // Handles a "<" at bit of the current block; true when that completes the
    // tagged line before it, which is then in out.
    [[gnu::always_inline]] inline bool onLess(unsigned bit, TaggedLine& out) {
        const std::size_t pos = block_ + bit;
        TagMasks masks;
        tag_scan::addTagAt(text_.data() + pos, text_.data() + size_, masks);
        if (!masks.open && !masks.close)
            return false;
        if (pending_ && (!endKnown_ || pos < line_.next)) {
            line_.masks.open |= masks.open;
            line_.masks.close |= masks.close;
            return false;
        }
        const bool completed = pending_;
        if (completed)
            out = line_;
        // The line's ends are the line breaks around the tag, from the masks.
        const std::uint64_t before = breaks_ & ((std::uint64_t(1) << bit) - 1);
        const std::size_t start = before ? block_ + 64 - unsigned(std::countl_zero(before))
                                         : (lastBreak_ == kAll ? 0 : lastBreak_ + 1);
        line_ = {std::uint32_t(start), 0, masks};
        pending_ = true;
        endKnown_ = false;
        const std::uint64_t after = bit == 63 ? 0 : breaks_ & ~((std::uint64_t(2) << bit) - 1);
        if (after)
            endLine(block_ + unsigned(std::countr_zero(after)));
        return completed;
    }

    static constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t kBlock = 64;
    std::string_view text_;
    std::size_t size_;
    std::size_t block_ = 0;
    bool started_ = false;
    bool scannedAll_ = false;
    std::uint64_t less_ = 0;
    std::uint64_t breaks_ = 0;
    std::uint64_t carry_ = 0;
    // The last line break before the current block.
    std::size_t lastBreak_ = kAll;
    // Every line end before this offset is the tracked one (as far as scanned).
    std::size_t clean_ = kAll;
    bool pending_ = false;
    bool endKnown_ = false;
    TaggedLine line_{};
};

// The tagged lines from the reader's place on, pulled from the scanner as the
// reader's look-ahead reaches them. Usually a block or two; all the rest of the
// file only when a block closes at its very end.
template <class Scanner> class TaggedLines {
public:
    explicit TaggedLines(Scanner& scanner) : scanner_(scanner) {}

    // Tagged line number k (counted from the start), or nullptr past the last.
    const TaggedLine* at(std::size_t k) {
        while (k >= first_ + (window_.size() - head_)) {
            TaggedLine line;
            if (!scanner_.next(line))
                return nullptr;
            window_.push_back(line);
        }
        return &window_[head_ + (k - first_)];
    }

    // Lines before number k are not needed any more.
    void dropBefore(std::size_t k) {
        const std::size_t drop = std::min(k > first_ ? k - first_ : 0, window_.size() - head_);
        head_ += drop;
        first_ += drop;
        // The lines dropped are let go of now and then, all at once: a
        // vector with a moving start indexes faster than a deque.
        if (head_ >= 64 && head_ * 2 >= window_.size()) {
            window_.erase(window_.begin(), window_.begin() + std::ptrdiff_t(head_));
            head_ = 0;
        }
    }

private:
    Scanner& scanner_;
    std::vector<TaggedLine> window_; // from head_ on
    std::size_t head_ = 0;
    std::size_t first_ = 0; // the number of window_[head_]
};

} // namespace torvale
