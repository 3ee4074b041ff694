// Finding and changing runs of lines of a forum file the installer's way,
// and writing out the result.
#include "install_file.h"

#include "install_hashes.h"

#include <algorithm>
#include <bit>
#include <functional>

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

} // namespace

InstallFile::InstallFile(std::string_view bytes, std::shared_ptr<const void> owner)
    : store_(std::make_shared<Store>()) {
    Store& store = *store_;
    store.bytes = bytes;
    store.owner = std::move(owner);
    store.raws = perlLines(bytes);
    std::vector<Line> lines;
    lines.reserve(store.raws.size());
    for (std::size_t i = 0; i < store.raws.size(); ++i) {
        const std::string_view whole = store.raws[i];
        lines.push_back(lineOf(store.keyOf(withoutLf(whole)), whole, std::int32_t(i)));
    }
    insertLines(0, lines);
    // The whole file went through the memory for splits: not kept for later.
    splitLines_ = {};
    splitHashes_ = {};
    splitParts_ = {};
}

InstallFile::Line InstallFile::lineOf(std::string_view key, std::string_view whole,
                                      std::int32_t origin) {
    static_assert(sizeof(Line) == 16);
    const bool lf = whole.ends_with('\n');
    const bool cr = key.size() + (lf ? 1 : 0) != whole.size();
    return {key.data(), std::uint32_t(key.size()), 0, cr, origin, !lf};
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
    while (b + 1 < counts_.size() && line >= counts_[b])
        line -= counts_[b++];
    return {b, line};
}

std::vector<std::string_view> InstallFile::keys() const {
    std::vector<std::string_view> out;
    out.reserve(count_);
    for (const auto& block : blocks_)
        for (const Line& line : block->lines)
            out.push_back(line.key());
    return out;
}

InstallFile::Snapshot InstallFile::snapshot() const {
    Snapshot out;
    out.keys.reserve(count_);
    out.origins.reserve(count_);
    for (const auto& block : blocks_)
        for (const Line& line : block->lines) {
            out.keys.push_back(line.key());
            out.origins.push_back(std::max(line.origin, -1));
        }
    out.keeps = store_;
    return out;
}

const InstallFile::Line& InstallFile::lineAt(std::size_t line) const {
    const Place at = locate(line);
    return block(at.block).lines[at.index];
}

// The hashes of the run first, then its bytes: a line as common as "}" starts
// many runs that part further on.
bool InstallFile::matchesAt(Place at, std::span<const std::string_view> search,
                            std::span<const std::uint64_t> hashes) const {
    const Place start = at;
    for (std::size_t j = 0; j < search.size(); ++j, ++at.index) {
        while (at.index == block(at.block).lines.size()) {
            if (++at.block == blocks_.size())
                return false;
            at.index = 0;
        }
        if (block(at.block).hashes[at.index] != hashes[j])
            return false;
    }
    at = start;
    for (std::size_t j = 0; j < search.size(); ++j, ++at.index) {
        while (at.index == block(at.block).lines.size())
            ++at.block, at.index = 0;
        if (block(at.block).lines[at.index].key() != search[j])
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
        const Block& here = block(b);
        const Summary& summary = here.summary;
        if (!(summary.filter[word] & bit))
            continue;
        for (; counted < b; ++counted)
            before += counts_[counted];
        // The tags first, sixteen at a time: the block's hashes are further
        // off in memory.
        const std::size_t n = here.hashes.size();
        for (std::size_t i = 0; i < n; i += 16) {
            for (unsigned same = sameTags(summary.tags.data() + i, tag, n - i); same;
                 same &= same - 1) {
                const std::size_t at = i + unsigned(std::countr_zero(same));
                if (here.hashes[at] != first || !matchesAt({b, at}, search, hashes))
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
    // A line without carriage returns is written the same stripped or not.
    const bool fromClean = from <= block.crFrom;
    std::size_t i = fromClean ? std::max<std::size_t>(from, block.crFrom) : from;
    for (; i < to && block.withCr; ++i) {
        Line& line = block.lines[i];
        if (holdsCr(line)) {
            --block.withCr;
            --withCr_;
        }
        line.bare = 1;
    }
    if (fromClean)
        block.crFrom = std::max(block.crFrom, std::uint32_t(i));
    return block.withCr == 0;
}

void InstallFile::strip(std::size_t line) {
    // A line without carriage returns is written the same either way.
    const Place at = locate(line);
    if (holdsCr(block(at.block).lines[at.index]))
        stripIn(own(at.block), at.index, at.index + 1);
}

void InstallFile::stripBefore(std::size_t end) {
    // Files without carriage returns, nearly all of them, have nothing to strip.
    for (std::size_t b = 0; withCr_ && b < blocks_.size() && end > 0; ++b) {
        const std::size_t n = std::min<std::size_t>(end, counts_[b]);
        if (block(b).withCr && n > block(b).crFrom)
            stripIn(own(b), 0, n);
        end -= n;
    }
}

std::string_view InstallFile::Store::keep(std::string_view line) {
    char* at = chunks.room(line.size());
    std::copy(line.begin(), line.end(), at);
    return {at, line.size()};
}

std::string_view InstallFile::Store::keepKey(std::string_view line) {
    char* at = chunks.room(line.size());
    const char* end = std::remove_copy(line.begin(), line.end(), at, '\r');
    chunks.giveBack(std::size_t(at + line.size() - end)); // the carriage returns' room
    return {at, std::size_t(end - at)};
}

std::string_view InstallFile::Store::keyOf(std::string_view bare) {
    if (const std::optional<std::string_view> key = keyInPlace(bare))
        return *key;
    return keepKey(bare);
}

InstallFile::Line InstallFile::adopt(std::string_view line, const Lasting& lasting) {
    Store& store = *store_;
    const std::less_equal<const char*> notAfter;
    const std::string_view bytes = lasting.bytes;
    const bool lasts = !bytes.empty() && notAfter(bytes.data(), line.data()) &&
                       notAfter(line.data() + line.size(), bytes.data() + bytes.size());
    if (lasts) {
        // A key in place needs no entry: the line runs on from it.
        if (const std::optional<std::string_view> key =
                keyInPlace(withoutLf(line), lasting.crsOnlyBeforeLfs))
            return lineOf(*key, line, kWholeAtKey);
    }
    const std::string_view whole = lasts ? line : store.keep(line);
    store.added.push_back(whole);
    return lineOf(store.keyOf(withoutLf(whole)), whole, ~std::int32_t(store.added.size() - 1));
}

void InstallFile::insert(std::size_t at, std::span<const std::string_view> lines,
                         Lasting lasting) {
    std::vector<Line>& adopted = adopted_;
    adopted.clear();
    for (const std::string_view line : lines)
        adopted.push_back(adopt(line, lasting));
    insertLines(at, adopted);
    adopted.clear(); // copies of the file need not copy them
}

void InstallFile::replace(std::size_t at, std::size_t count,
                          std::span<const std::string_view> lines, Lasting lasting) {
    // A line's output without making it: its bytes, or for a stripped line
    // its key and line feed.
    const auto writes = [this](std::size_t n, std::string_view text) {
        const Line& line = lineAt(n);
        const std::string_view whole = raw(line);
        if (!line.bare)
            return whole == text;
        const bool lf = whole.ends_with('\n');
        return text.size() == std::size_t(line.size) + (lf ? 1 : 0) && text.starts_with(line.key()) &&
               (!lf || text.back() == '\n');
    };
    std::size_t head = 0;
    while (head < count && head < lines.size() && writes(at + head, lines[head]))
        ++head;
    std::size_t tail = 0;
    while (tail < count - head && tail < lines.size() - head &&
           writes(at + count - 1 - tail, lines[lines.size() - 1 - tail]))
        ++tail;
    erase(at + head, count - head - tail);
    insert(at + head, lines.subspan(head, lines.size() - head - tail), lasting);
}

bool InstallFile::changed() const {
    const std::string_view bytes = store_->bytes;
    std::size_t n = 0;
    std::size_t at = 0;
    for (const auto& block : blocks_)
        for (const Line& line : block->lines) {
            if (line.origin != std::int32_t(n++))
                return true;
            const std::string out = output(line);
            if (bytes.substr(at, out.size()) != out)
                return true;
            at += out.size();
        }
    return at != bytes.size();
}

std::string InstallFile::text() const {
    std::string out;
    out.reserve(store_->bytes.size() + store_->bytes.size() / 8);
    for (const auto& block : blocks_)
        for (const Line& line : block->lines) {
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

bool InstallFile::textEmpty() const {
    // A line writes nothing when it has no key, no line feed, and no
    // carriage return it is still written with.
    for (const auto& block : blocks_)
        for (const Line& line : block->lines)
            if (line.size != 0 || !line.noLf || holdsCr(line))
                return false;
    return true;
}

bool InstallFile::readsBackAsIs() const {
    if (noLf_ == 0)
        return true;
    // Only the last line may lack its line feed, and it is not empty.
    return noLf_ == 1 && count_ > 0 && lacksLf(lineAt(count_ - 1)) &&
           !output(lineAt(count_ - 1)).empty();
}

std::int64_t InstallFile::originOf(std::size_t line) const {
    return lineAt(line).origin >= 0 ? lineAt(line).origin : -1;
}

} // namespace torvale
