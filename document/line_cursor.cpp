// Counting bytes and line ends of a stretch of text quickly: for line numbers
// of places far apart in a large file, and for looking at a text as a whole.
#include "line_cursor.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvale {

namespace {

#if defined(__SSE2__)
// Counts up to one a byte, sixteen bytes at a time: each byte of a sum grows
// by one a round at most, so the sums are added up every 255 rounds, before
// any byte can overflow.
class ByteSums {
public:
    // matches: each byte 0xFF where a byte counts, 0 where not.
    void add(__m128i matches) {
        sums_ = _mm_sub_epi8(sums_, matches);
        if (++rounds_ == 255)
            flush();
    }
    std::size_t total() {
        flush();
        return count_;
    }

private:
    void flush() {
        const __m128i halves = _mm_sad_epu8(sums_, _mm_setzero_si128());
        count_ +=
            std::size_t(_mm_cvtsi128_si32(halves)) + std::size_t(_mm_extract_epi16(halves, 4));
        sums_ = _mm_setzero_si128();
        rounds_ = 0;
    }

    __m128i sums_ = _mm_setzero_si128();
    int rounds_ = 0;
    std::size_t count_ = 0;
};

__m128i load(const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
#endif

} // namespace

std::size_t countByte(std::string_view text, char c) {
    std::size_t i = 0;
    std::size_t count = 0;
#if defined(__SSE2__)
    ByteSums sums;
    for (const __m128i wanted = _mm_set1_epi8(c); i + 16 <= text.size(); i += 16)
        sums.add(_mm_cmpeq_epi8(load(text.data() + i), wanted));
    count = sums.total();
#endif
    for (; i < text.size(); ++i)
        count += text[i] == c;
    return count;
}

std::size_t countLineBreaks(std::string_view text) {
    std::size_t i = 0;
    std::size_t count = 0;
#if defined(__SSE2__)
    // A CR counts when the byte after it is no LF; that byte is read with it,
    // so the last sixteen go the slow way.
    ByteSums sums;
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 17 <= text.size(); i += 16) {
        const __m128i bytes = load(text.data() + i);
        sums.add(_mm_cmpeq_epi8(bytes, lf));
        sums.add(_mm_andnot_si128(_mm_cmpeq_epi8(load(text.data() + i + 1), lf),
                                  _mm_cmpeq_epi8(bytes, cr)));
    }
    count = sums.total();
#endif
    for (; i < text.size(); ++i)
        count +=
            text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    return count;
}

} // namespace torvale
