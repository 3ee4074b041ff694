// Texts split into lines as Perl reads them, and a line's key: what the
// installer compares of it.
#include "install_file.h"

#include "document/memory_hints.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <future>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvale {

namespace {

// The line feeds in n bytes at p; with crsApart, whether a carriage return
// stands anywhere but right before a line feed is told there too, in the
// same pass over the bytes.
std::size_t lineFeeds(const char* p, std::size_t n, bool* crsApart = nullptr) {
    std::size_t count = 0, i = 0;
    bool apart = false;
#if defined(__SSE2__)
    // Each byte of a register counts the line feeds in its column, for up to
    // 255 rows of sixteen bytes; then the columns are summed.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    __m128i lone = _mm_setzero_si128(); // carriage returns not before a line feed
    while (i + 17 <= n) {
        __m128i columns = _mm_setzero_si128();
        for (int row = 0; row < 255 && i + 17 <= n; ++row, i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            columns = _mm_sub_epi8(columns, _mm_cmpeq_epi8(v, lf));
            if (crsApart) {
                const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
                lone = _mm_or_si128(lone, _mm_andnot_si128(_mm_cmpeq_epi8(next, lf),
                                                           _mm_cmpeq_epi8(v, cr)));
            }
        }
        const __m128i sums = _mm_sad_epu8(columns, _mm_setzero_si128());
        count += std::size_t(_mm_cvtsi128_si32(sums)) + std::size_t(_mm_extract_epi16(sums, 4));
    }
    apart = _mm_movemask_epi8(lone) != 0;
#endif
    for (; i < n; ++i) {
        count += p[i] == '\n';
        apart |= p[i] == '\r' && (i + 1 == n || p[i + 1] != '\n');
    }
    if (crsApart)
        *crsApart = apart;
    return count;
}

// Each line of the n bytes at p handed to take, in order.
template <class Take>
void split(const char* p, std::size_t n, Take take) {
    std::size_t start = 0, i = 0;
#if defined(__SSE2__)
    // Sixty-four bytes looked at at once: a mod of 32 MiB has a million
    // lines, and a call to find each line's end cost more than the line.
    const __m128i lf = _mm_set1_epi8('\n');
    const auto feeds = [&lf](const char* at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))));
    };
    for (; i + 64 <= n; i += 64) {
        const std::uint64_t block = feeds(p + i) | feeds(p + i + 16) << 16 |
                                    feeds(p + i + 32) << 32 | feeds(p + i + 48) << 48;
        for (std::uint64_t mask = block; mask; mask &= mask - 1) {
            const std::size_t end = i + unsigned(std::countr_zero(mask)) + 1;
            take(std::string_view(p + start, end - start));
            start = end;
        }
    }
#endif
    for (; i < n; ++i)
        if (p[i] == '\n') {
            take(std::string_view(p + start, i + 1 - start));
            start = i + 1;
        }
    if (start < n)
        take(std::string_view(p + start, n - start));
}

// Room for count lines, its memory marked for huge pages before the lines
// are written: a vector doubling its way to a million lines maps fresh
// memory each time, and the faults on it cost more than counting them first.
void makeRoom(std::vector<std::string_view>& lines, std::size_t count) {
    lines.reserve(count);
    adviseHugePages(lines.data(), lines.capacity() * sizeof(std::string_view));
}

} // namespace

std::vector<std::string_view> perlLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    makeRoom(lines, lineFeeds(p, n) + 1);
    split(p, n, [&lines](std::string_view line) { lines.push_back(line); });
    return lines;
}

bool crsOnlyBeforeLfs(std::string_view bytes) {
    bool apart = false;
    lineFeeds(bytes.data(), bytes.size(), &apart);
    return !apart;
}

std::vector<std::string_view> perlLinesInParallel(std::string_view bytes, bool* crsOnlyBeforeLf) {
    // Below this, a thread costs more than it spares.
    constexpr std::size_t kWorthIt = std::size_t(4) << 20;
    const std::size_t lf = bytes.size() < kWorthIt ? std::string_view::npos
                                                   : bytes.find('\n', bytes.size() / 2);
    if (lf == std::string_view::npos) {
        if (crsOnlyBeforeLf)
            *crsOnlyBeforeLf = crsOnlyBeforeLfs(bytes);
        return perlLines(bytes);
    }
    // Split after a line feed: the halves' lines are the text's.
    const std::string_view head = bytes.substr(0, lf + 1);
    const std::string_view tail = bytes.substr(lf + 1);
    const bool ask = crsOnlyBeforeLf != nullptr;
    bool headApart = false, tailApart = false;
    auto tailCount = std::async(std::launch::async, [tail, ask, &tailApart] {
        return lineFeeds(tail.data(), tail.size(), ask ? &tailApart : nullptr) + 1;
    });
    const std::size_t headCount = lineFeeds(head.data(), head.size(), ask ? &headApart : nullptr);
    std::vector<std::string_view> lines;
    // Each thread writes its lines in place, which needs them made first.
    makeRoom(lines, headCount + tailCount.get());
    if (ask) // the head ends with a line feed: no pair of bytes spans the halves
        *crsOnlyBeforeLf = !headApart && !tailApart;
    lines.resize(lines.capacity());
    std::string_view* const tailStart = lines.data() + headCount;
    auto tailEnd = std::async(std::launch::async, [tail, tailStart] {
        std::string_view* out = tailStart;
        split(tail.data(), tail.size(), [&out](std::string_view line) { *out++ = line; });
        return out;
    });
    std::string_view* out = lines.data();
    split(head.data(), head.size(), [&out](std::string_view line) { *out++ = line; });
    lines.resize(std::size_t(tailEnd.get() - lines.data()));
    return lines;
}

void appendKey(std::string& to, std::string_view line) {
    line = withoutLf(line);
    // The pieces between carriage returns, each in one copy.
    for (std::size_t start = 0; start < line.size();) {
        const std::size_t cr = std::min(line.find('\r', start), line.size());
        to.append(line.substr(start, cr - start));
        start = cr + 1;
    }
}

std::string lineKey(std::string_view line) {
    std::string key;
    key.reserve(line.size());
    appendKey(key, line);
    return key;
}

std::vector<std::string_view> installerLines(std::string_view text,
                                             std::deque<std::string>& storage) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        std::string_view line = text.substr(start, lf == std::string_view::npos ? text.size() - start
                                                                                : lf - start);
        if (line.find('\r') != std::string_view::npos)
            line = storage.emplace_back(lineKey(line));
        lines.push_back(line);
        if (lf == std::string_view::npos)
            return lines;
        start = lf + 1;
    }
}

} // namespace torvale
