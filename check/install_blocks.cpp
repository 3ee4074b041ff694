// The blocks of an InstallFile as lines come and go: lines put in and taken
// out, blocks split and dropped, and each block's filter kept up.
#include "install_file.h"

#include "install_hashes.h"

#include <algorithm>
#include <cstring>

namespace torvale {

using namespace install;

InstallFile::Block& InstallFile::own(std::size_t b) {
    static_assert(kMostLines == 2 * kBlockLines && kMostLines / 8 == kFilterWords);
    std::shared_ptr<Block>& shared = blocks_[b];
    if (shared.use_count() > 1) {
        const Block& from = *shared;
        auto copy = newBlock();
        copy->summary.filter = from.summary.filter;
        std::memcpy(copy->summary.tags.data(), from.summary.tags.data(), from.lines.size());
        copy->summary.stale = from.summary.stale;
        copy->lines = from.lines;
        copy->hashes = from.hashes;
        copy->withCr = from.withCr;
        copy->crFrom = from.crFrom;
        shared = std::move(copy);
    }
    return *shared;
}

// Each line of block b, and each with the line after it, which for its last
// line stands in the next block. Worked on in locals: stores of tags, being
// bytes, would otherwise make the compiler load everything again each line.
void InstallFile::refilter(std::size_t b) {
    Block& changing = own(b);
    const std::uint64_t* h = changing.hashes.data();
    const std::size_t n = changing.hashes.size();
    Filter filter{};
    std::array<std::uint8_t, kMostLines> tags;
    for (std::size_t i = 0; i < n; ++i) {
        tags[i] = tagOf(h[i]);
        note(filter, h[i]);
        if (i + 1 < n)
            note(filter, pairOf(h[i], h[i + 1]));
    }
    if (n && b + 1 < blocks_.size())
        note(filter, pairOf(h[n - 1], block(b + 1).hashes[0]));
    Summary& summary = changing.summary;
    summary.filter = filter;
    std::memcpy(summary.tags.data(), tags.data(), n);
    summary.stale = 0;
}

// After the lines from..to of block b were put in, or removed lines of it
// had stood before from (to == from): the tags from there on, which moved,
// and the lines and the pairs of lines that are new. Bits of what went stay
// behind and cost only a needless look into the block now and then, until
// there are enough of them to filter the block anew.
void InstallFile::noteChange(std::size_t b, std::size_t from, std::size_t to, std::size_t removed) {
    Block& changing = own(b);
    const std::uint64_t* h = changing.hashes.data();
    const std::size_t n = changing.hashes.size();
    Summary& summary = changing.summary;
    summary.stale += std::uint32_t(2 * removed + 1);
    if (summary.stale > kBlockLines) {
        refilter(b);
    } else {
        // The tags after the change moved with their lines.
        std::uint8_t* tags = summary.tags.data();
        std::memmove(tags + to, tags + from + removed, n - to);
        for (std::size_t i = from; i < to; ++i)
            tags[i] = tagOf(h[i]);
        // The filter where it stands: copying it costs more than the few
        // bits that a change sets.
        Filter& filter = summary.filter;
        for (std::size_t i = from; i < to; ++i)
            note(filter, h[i]);
        for (std::size_t i = from ? from - 1 : 0; i < to && i + 1 < n; ++i)
            note(filter, pairOf(h[i], h[i + 1]));
        if (to == n && n && b + 1 < blocks_.size())
            note(filter, pairOf(h[n - 1], block(b + 1).hashes[0]));
    }
    if (from == 0)
        noteJoin(b);
}

// The pair of the last line of the block before b and the first of b.
void InstallFile::noteJoin(std::size_t b) {
    if (b == 0 || b >= blocks_.size())
        return;
    const std::uint64_t pair = pairOf(block(b - 1).hashes.back(), block(b).hashes[0]);
    const std::size_t word = wordOf(pair);
    const std::uint64_t bit = std::uint64_t(1) << (pair & 63);
    // Copied only when the bit is new to it.
    if (!(block(b - 1).summary.filter[word] & bit))
        note(own(b - 1).summary.filter, pair);
}

void InstallFile::insertLines(std::size_t at, const std::vector<Line>& added) {
    if (added.empty())
        return;
    if (blocks_.empty()) {
        blocks_.push_back(newBlock());
        counts_.push_back(0);
    }
    const Place place = locate(at);
    std::size_t firstCr = added.size();
    std::uint32_t withCr = 0;
    for (std::size_t k = 0; k < added.size(); ++k) {
        if (holdsCr(added[k])) {
            ++withCr;
            firstCr = std::min(firstCr, k);
        }
        noLf_ += lacksLf(added[k]);
    }
    withCr_ += withCr;
    count_ += added.size();
    Block& block = own(place.block);
    if (block.lines.size() + added.size() < kMostLines) {
        // The hashes made in their place: a vector of their own for each
        // step cost an allocation.
        std::uint64_t* hashes = block.hashes.open(place.index, added.size());
        for (std::size_t k = 0; k < added.size(); ++k)
            hashes[k] = hashOf(added[k].key());
        block.lines.insert(place.index, added.data(), added.size());
        counts_[place.block] += std::uint32_t(added.size());
        block.withCr += withCr;
        // The lines after those put in move on with them.
        if (place.index <= block.crFrom)
            block.crFrom = firstCr < added.size() ? std::uint32_t(place.index + firstCr)
                                                  : block.crFrom + std::uint32_t(added.size());
        noteChange(place.block, place.index, place.index + added.size(), 0);
        return;
    }
    // Too many for the block: its lines and those put in, split into blocks
    // of the usual size.
    // In the file's own memory for it: a large mod splits blocks by the
    // ten thousand.
    std::vector<Line>& lines = splitLines_;
    lines.assign(block.lines.begin(), block.lines.begin() + place.index);
    lines.insert(lines.end(), added.begin(), added.end());
    lines.insert(lines.end(), block.lines.begin() + place.index, block.lines.end());
    // The block's own lines keep their hashes.
    std::vector<std::uint64_t>& hashes = splitHashes_;
    hashes.assign(block.hashes.begin(), block.hashes.begin() + place.index);
    for (const Line& line : added)
        hashes.push_back(hashOf(line.key()));
    hashes.insert(hashes.end(), block.hashes.begin() + place.index, block.hashes.end());
    std::vector<std::shared_ptr<Block>>& parts = splitParts_;
    parts.clear();
    for (std::size_t from = 0; from < lines.size(); from += kBlockLines) {
        Block& part = *parts.emplace_back(newBlock());
        const std::size_t n = std::min(lines.size() - from, kBlockLines);
        part.lines.assign(lines.data() + from, n);
        part.hashes.assign(hashes.data() + from, n);
        part.crFrom = std::uint32_t(n);
        for (std::size_t k = 0; k < n; ++k) {
            if (holdsCr(part.lines[k])) {
                ++part.withCr;
                part.crFrom = std::min(part.crFrom, std::uint32_t(k));
            }
        }
    }
    lines.clear(); // copies of the file then copy nothing of them
    hashes.clear();
    counts_.insert(counts_.begin() + std::ptrdiff_t(place.block) + 1, parts.size() - 1, 0);
    for (std::size_t b = 0; b < parts.size(); ++b)
        counts_[place.block + b] = std::uint32_t(parts[b]->lines.size());
    const auto where = blocks_.begin() + std::ptrdiff_t(place.block);
    *where = std::move(parts.front());
    blocks_.insert(where + 1, std::make_move_iterator(parts.begin() + 1),
                   std::make_move_iterator(parts.end()));
    const std::size_t made = parts.size();
    parts.clear();
    for (std::size_t b = 0; b < made; ++b)
        refilter(place.block + b);
    noteJoin(place.block);
}

void InstallFile::erase(std::size_t at, std::size_t count) {
    if (count == 0)
        return;
    Place place = locate(at);
    count_ -= count;
    while (count > 0) {
        Block& block = own(place.block);
        const std::size_t take = std::min(count, block.lines.size() - place.index);
        const auto from = std::ptrdiff_t(place.index);
        const auto to = std::ptrdiff_t(place.index + take);
        for (auto l = block.lines.begin() + from; l != block.lines.begin() + to; ++l) {
            if (block.withCr && holdsCr(*l)) {
                --block.withCr;
                --withCr_;
            }
            noLf_ -= lacksLf(*l);
        }
        if (place.index < block.crFrom)
            block.crFrom = block.crFrom >= place.index + take ? block.crFrom - std::uint32_t(take)
                                                             : std::uint32_t(place.index);
        block.lines.erase(place.index, take);
        block.hashes.erase(place.index, take);
        counts_[place.block] -= std::uint32_t(take);
        count -= take;
        if (block.lines.empty()) {
            blocks_.erase(blocks_.begin() + std::ptrdiff_t(place.block));
            counts_.erase(counts_.begin() + std::ptrdiff_t(place.block));
        } else {
            noteChange(place.block, place.index, place.index, take);
            ++place.block;
        }
        place.index = 0;
    }
    // Where a block went, its neighbours meet.
    noteJoin(place.block);
}

} // namespace torvale
