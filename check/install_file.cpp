// Finding and changing runs of lines of a forum file the installer's way,
// and writing out the result.
#include "install_file.h"

#include "install_hashes.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvale {

using namespace install;

namespace {

// Which of the 16 tags at p (only the first count of them when fewer) are tag,
// as bits. The 16 bytes are there to read.
unsigned sameTags(const std::uint8_t* p, std::uint8_t tag, std::size_t count) {
    unsigned same = 0;
#if defined(__SSE2__)
    const __m128i tags = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(tags, _mm_set1_epi8(char(tag)))));
#else
    for (unsigned i = 0; i < 16; ++i)
        same |= unsigned(p[i] == tag) << i;
#endif
    return count < 16 ? same & ((1u << count) - 1) : same;
}

std::string_view withoutLf(std::string_view line) {
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    return line;
}

} // namespace

std::string lineKey(std::string_view line) {
    line = withoutLf(line);
    std::string key;
    key.reserve(line.size());
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t cr = std::min(line.find('\r', at), line.size());
        key.append(line.substr(at, cr - at));
        at = cr + 1;
    }
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
        if (line.find('\r') != std::string_view::npos) {
            std::string& kept = storage.emplace_back();
            for (const char c : line)
                if (c != '\r')
                    kept.push_back(c);
            line = kept;
        }
        lines.push_back(line);
        if (lf == std::string_view::npos)
            return lines;
        start = lf + 1;
    }
}

InstallFile::InstallFile(std::string_view bytes) : bytes_(bytes) {
    std::vector<Line> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const void* lf = std::memchr(bytes.data() + start, '\n', bytes.size() - start);
        const std::size_t end =
            lf ? std::size_t(static_cast<const char*>(lf) - bytes.data()) + 1 : bytes.size();
        raws_.push_back(bytes.substr(start, end - start));
        start = end;
    }
    lines.reserve(raws_.size());
    for (std::size_t i = 0; i < raws_.size(); ++i) {
        const std::string_view bare = withoutLf(raws_[i]);
        std::string_view key = bare;
        // A CR LF line's key is in the bytes; only other carriage returns need a copy.
        const std::size_t cr = bare.find('\r');
        if (cr + 1 == bare.size())
            key = bare.substr(0, cr);
        else if (cr != std::string_view::npos)
            key = keys_.emplace_back(lineKey(bare));
        lines.push_back({key.data(), std::uint32_t(key.size()), 0, std::int32_t(i)});
    }
    insertLines(0, lines);
}

bool InstallFile::holdsCr(const Line& line) const {
    return !line.bare && withoutLf(raw(line)).size() != line.size;
}

std::string InstallFile::output(const Line& line) const {
    const std::string_view whole = raw(line);
    if (!line.bare)
        return std::string(whole);
    std::string out(line.key());
    if (whole.ends_with('\n'))
        out.push_back('\n');
    return out;
}

// The block and index of a line; the end of the last block for the line after
// the last.
InstallFile::Place InstallFile::locate(std::size_t line) const {
    std::size_t b = 0;
    while (b + 1 < blocks_.size() && line >= blocks_[b].lines.size())
        line -= blocks_[b++].lines.size();
    return {b, line};
}

std::vector<std::string_view> InstallFile::keys() const {
    std::vector<std::string_view> out;
    out.reserve(count_);
    for (const Block& block : blocks_)
        for (const Line& line : block.lines)
            out.push_back(line.key());
    return out;
}

const InstallFile::Line& InstallFile::lineAt(std::size_t line) const {
    const Place at = locate(line);
    return blocks_[at.block].lines[at.index];
}

// The hashes of the run first, then its bytes: a line as common as "}" starts
// many runs that part further on.
bool InstallFile::matchesAt(Place at, std::span<const std::string_view> search,
                            std::span<const std::uint64_t> hashes) const {
    const Place start = at;
    for (std::size_t j = 0; j < search.size(); ++j, ++at.index) {
        while (at.index == blocks_[at.block].lines.size()) {
            if (++at.block == blocks_.size())
                return false;
            at.index = 0;
        }
        if (blocks_[at.block].hashes[at.index] != hashes[j])
            return false;
    }
    at = start;
    for (std::size_t j = 0; j < search.size(); ++j, ++at.index) {
        while (at.index == blocks_[at.block].lines.size())
            ++at.block, at.index = 0;
        if (blocks_[at.block].lines[at.index].key() != search[j])
            return false;
    }
    return true;
}

std::optional<InstallFile::Found>
InstallFile::find(std::span<const std::string_view> search) const {
    if (search.empty() || search.size() > count_)
        return std::nullopt;
    std::vector<std::uint64_t>& hashes = searchHashes_;
    hashes.resize(search.size());
    std::ranges::transform(search, hashes.begin(), hashOf);
    const std::uint64_t first = hashes[0];
    // The filters know each two lines in a row.
    const std::uint64_t key = search.size() > 1 ? pairOf(hashes[0], hashes[1]) : first;
    std::optional<Found> found;
    const std::uint8_t tag = tagOf(first);
    // The key's bit, the same in every block's filter.
    const std::size_t word = wordOf(key);
    const std::uint64_t bit = std::uint64_t(1) << (key & 63);
    // The lines in the blocks before, counted only for blocks that are
    // looked into: the sweep itself then reads one word of each summary.
    std::size_t before = 0;
    std::size_t counted = 0;
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const Summary& summary = summaries_[b];
        if (!(summary.filter[word] & bit))
            continue;
        for (; counted < b; ++counted)
            before += summaries_[counted].count;
        // The tags first, sixteen at a time: the block's hashes are far off
        // in memory.
        const std::size_t n = blocks_[b].hashes.size();
        for (std::size_t i = 0; i < n; i += 16) {
            for (unsigned same = sameTags(summary.tags.data() + i, tag, n - i); same;
                 same &= same - 1) {
                const std::size_t at = i + unsigned(std::countr_zero(same));
                if (blocks_[b].hashes[at] != first || !matchesAt({b, at}, search, hashes))
                    continue;
                if (found) {
                    found->again = before + at;
                    return found;
                }
                found = Found{before + at, std::string_view::npos};
            }
        }
    }
    return found;
}

bool InstallFile::stripIn(Block& block, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && block.withCr; ++i) {
        Line& line = block.lines[i];
        if (holdsCr(line)) {
            --block.withCr;
            --withCr_;
        }
        line.bare = 1;
    }
    return block.withCr == 0;
}

void InstallFile::strip(std::size_t line) {
    const Place at = locate(line);
    Block& block = blocks_[at.block];
    if (block.withCr)
        stripIn(block, at.index, at.index + 1);
    else
        block.lines[at.index].bare = 1;
}

void InstallFile::stripBefore(std::size_t end) {
    // Files without carriage returns, nearly all of them, have nothing to strip.
    for (std::size_t b = 0; withCr_ && b < blocks_.size() && end > 0; ++b) {
        Block& block = blocks_[b];
        const std::size_t n = std::min(end, block.lines.size());
        if (block.withCr)
            stripIn(block, 0, n);
        end -= n;
    }
}

InstallFile::Line InstallFile::adopt(std::string_view line) {
    const std::string_view whole = copies_.emplace_back(line);
    added_.push_back(whole);
    const std::string_view bare = withoutLf(whole);
    std::string_view key = bare;
    if (bare.find('\r') != std::string_view::npos)
        key = keys_.emplace_back(lineKey(bare));
    return {key.data(), std::uint32_t(key.size()), 0, ~std::int32_t(added_.size() - 1)};
}

void InstallFile::insert(std::size_t at, std::span<const std::string_view> lines) {
    std::vector<Line> adopted;
    adopted.reserve(lines.size());
    for (const std::string_view line : lines)
        adopted.push_back(adopt(line));
    insertLines(at, adopted);
}

void InstallFile::replace(std::size_t at, std::size_t count,
                          std::span<const std::string_view> lines) {
    std::size_t head = 0;
    while (head < count && head < lines.size() && output(at + head) == lines[head])
        ++head;
    std::size_t tail = 0;
    while (tail < count - head && tail < lines.size() - head &&
           output(at + count - 1 - tail) == lines[lines.size() - 1 - tail])
        ++tail;
    erase(at + head, count - head - tail);
    insert(at + head, lines.subspan(head, lines.size() - head - tail));
}

bool InstallFile::changed() const {
    std::size_t n = 0;
    std::size_t at = 0;
    for (const Block& block : blocks_)
        for (const Line& line : block.lines) {
            if (line.origin != std::int32_t(n++))
                return true;
            const std::string out = output(line);
            if (bytes_.substr(at, out.size()) != out)
                return true;
            at += out.size();
        }
    return at != bytes_.size();
}

std::string InstallFile::text() const {
    std::string out;
    out.reserve(bytes_.size() + bytes_.size() / 8);
    for (const Block& block : blocks_)
        for (const Line& line : block.lines) {
            // As output() writes it, without a string of its own for each line.
            if (!line.bare) {
                out.append(raw(line));
                continue;
            }
            out.append(line.key());
            if (raw(line).ends_with('\n'))
                out.push_back('\n');
        }
    return out;
}

std::int64_t InstallFile::originOf(std::size_t line) const {
    return lineAt(line).origin >= 0 ? lineAt(line).origin : -1;
}

} // namespace torvale
