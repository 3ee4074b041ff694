// Finding and changing runs of lines of a forum file the installer's way,
// and writing out the result.
#include "install_file.h"

#include "install_hashes.h"

#include "document/line_cursor.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvale {

using namespace install;

namespace {

// text without its carriage returns, in storage when it holds any but at its end.
std::string_view withoutCr(std::string_view text, std::deque<std::string>& storage) {
    std::string_view trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\r')
        trimmed.remove_suffix(1);
    if (trimmed.find('\r') == std::string_view::npos)
        return trimmed;
    std::string& kept = storage.emplace_back();
    for (const char c : trimmed)
        if (c != '\r')
            kept.push_back(c);
    return kept;
}

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

// Calls line(start, end) for each line of text as split at its line feeds,
// the last one without a line feed too; a carriage return before a line feed
// stays in the line. Stops, returning false, at a carriage return that no
// line feed follows.
template <class Line>
bool eachLine(std::string_view text, Line&& line) {
    const std::size_t size = text.size();
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; i += 64) {
        auto [lf, cr] = breakBits(text.data() + i, size - i, i);
        std::uint64_t followed = lf >> 1;
        if (i + 64 < size && text[i + 64] == '\n')
            followed |= std::uint64_t(1) << 63;
        if (cr & ~followed)
            return false;
        for (; lf; lf &= lf - 1) {
            const std::size_t end = i + std::size_t(std::countr_zero(lf));
            line(start, end);
            start = end + 1;
        }
    }
    if (start < size)
        line(start, size);
    return true;
}

} // namespace

void installerLines(std::string_view text, std::deque<std::string>& storage,
                    std::vector<std::string_view>& lines) {
    lines.clear();
    if (text == "\n" || text == "\r\n")
        return; // only the final line break, which is ignored
    // Texts read from a mod or typed hold carriage returns only before line
    // feeds: then the lines are the text's own bytes, and carriage returns
    // elsewhere are the rare case that needs a copy without them.
    const bool plain = eachLine(text, [&](std::size_t start, std::size_t end) {
        lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r')));
    });
    if (plain)
        return;
    lines.clear();
    std::string& kept = storage.emplace_back();
    for (const char c : text)
        if (c != '\r')
            kept.push_back(c);
    std::deque<std::string> none;
    installerLines(kept, none, lines);
}

std::vector<std::string_view> installerLines(std::string_view text,
                                             std::deque<std::string>& storage) {
    std::vector<std::string_view> lines;
    installerLines(text, storage, lines);
    return lines;
}

InstallFile::InstallFile(std::string_view bytes) : bytes_(bytes) {
    // Files whose carriage returns all end lines, as nearly all do, need no
    // look for one inside each line.
    const bool plain = eachLine(bytes, [&](std::size_t start, std::size_t end) {
        const std::string_view raw = bytes.substr(start, end - start);
        raws_.push_back(raw);
        original_.push_back({raw.data(), std::uint32_t(raw.size() - raw.ends_with('\r')),
                             std::int32_t(original_.size())});
    });
    for (std::size_t start = 0; !plain && start < bytes.size();) {
        if (start == 0) {
            original_.clear();
            raws_.clear();
        }
        const std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        const std::string_view raw = bytes.substr(start, end - start);
        const std::string_view key = withoutCr(raw, keys_);
        raws_.push_back(raw);
        original_.push_back({key.data(), std::uint32_t(key.size()), std::int32_t(original_.size())});
        start = end + 1;
    }
    finalBreak_ = bytes.empty() || bytes.back() == '\n';
    // The first line's ending, when it has one.
    if (!original_.empty() && raws_.front().ends_with('\r') &&
        (original_.size() > 1 || finalBreak_))
        addedEnding_ = "\r\n";
    for (std::size_t at = 0; at < original_.size(); at += kBlockLines) {
        Block& block = blocks_.emplace_back();
        block.makeRoom();
        const std::size_t end = std::min(original_.size(), at + kBlockLines);
        block.lines.assign(original_.begin() + std::ptrdiff_t(at),
                           original_.begin() + std::ptrdiff_t(end));
        block.hashes.reserve(block.lines.size());
        for (const Line& line : block.lines)
            block.hashes.push_back(hashOf(line.key()));
    }
    summaries_.resize(blocks_.size());
    for (std::size_t b = 0; b < blocks_.size(); ++b)
        refilter(b);
    count_ = original_.size();
}

// The block and index of a line; the end of the last block for the line after
// the last.
InstallFile::Place InstallFile::locate(std::size_t line) const {
    std::size_t b = 0;
    while (b + 1 < blocks_.size() && line >= blocks_[b].lines.size())
        line -= blocks_[b++].lines.size();
    return {b, line};
}

const InstallFile::Line& InstallFile::lineAt(std::size_t line) const {
    const Place at = locate(line);
    return blocks_[at.block].lines[at.index];
}

std::size_t InstallFile::byteOffset(std::size_t line) const {
    return std::size_t(raw(lineAt(line)).data() - bytes_.data());
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

void InstallFile::apply(Change change, std::size_t line, std::size_t count,
                        std::span<const std::string_view> lines) {
    switch (change) {
    case Change::AddBefore:
        insert(line, lines);
        return;
    case Change::AddAfter:
        insert(line + count, lines);
        return;
    case Change::Replace: {
        // Lines that the replacement keeps at its start and end stay the
        // file's own, so that the diff shows only what changes.
        std::vector<std::string_view>& found = replaced_;
        found.clear();
        Place at = locate(line);
        for (std::size_t k = 0; k < count; ++k, ++at.index) {
            while (at.index == blocks_[at.block].lines.size())
                ++at.block, at.index = 0;
            found.push_back(blocks_[at.block].lines[at.index].key());
        }
        std::size_t head = 0;
        while (head < count && head < lines.size() && found[head] == lines[head])
            ++head;
        std::size_t tail = 0;
        while (tail < count - head && tail < lines.size() - head &&
               found[count - 1 - tail] == lines[lines.size() - 1 - tail])
            ++tail;
        erase(line + head, count - head - tail);
        insert(line + head, lines.subspan(head, lines.size() - head - tail));
        return;
    }
    }
}

std::vector<InstallFile::Line> InstallFile::allLines() const {
    std::vector<Line> lines;
    lines.reserve(count_);
    for (const Block& block : blocks_)
        lines.insert(lines.end(), block.lines.begin(), block.lines.end());
    return lines;
}

std::string_view InstallFile::ending(const Line& line, bool last) const {
    if (last && !finalBreak_)
        return {};
    return line.origin < 0 ? addedEnding_ : std::string_view("\n");
}

bool InstallFile::changed() const {
    if (count_ == original_.size() && std::ranges::none_of(blocks_, [](const Block& block) {
            return std::ranges::any_of(block.lines, [](const Line& l) { return l.origin < 0; });
        }))
        return false;
    // The text compared with the bytes as it would be written.
    std::size_t at = 0;
    std::size_t n = 0;
    const auto same = [&](std::string_view piece) {
        if (bytes_.substr(at, piece.size()) != piece)
            return false;
        at += piece.size();
        return true;
    };
    for (const Block& block : blocks_)
        for (const Line& line : block.lines)
            if (!same(raw(line)) || !same(ending(line, ++n == count_)))
                return true;
    return at != bytes_.size();
}

std::string InstallFile::text() const {
    std::string out;
    out.reserve(bytes_.size() + bytes_.size() / 8);
    std::size_t n = 0;
    for (const Block& block : blocks_)
        for (const Line& line : block.lines)
            out.append(raw(line)).append(ending(line, ++n == count_));
    return out;
}

} // namespace torvale
