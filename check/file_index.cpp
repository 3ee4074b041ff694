// A file's index for the nearest place search, each line's part of it looked
// up in a memo by the line's text before it is made.
#include "file_index.h"

#include "install_hashes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace torvale::place {

using namespace likeness;

namespace {

// The keys are hashes already: one multiply more mixes them into the slot's bits.
std::size_t spread(std::uint64_t key, std::size_t mask) {
    return std::size_t((key * 0x9e3779b97f4a7c15ull) >> 20) & mask;
}

} // namespace

std::uint32_t LineMemo::of(std::string_view line) {
    if (2 * (known_.size() + 1) > slots_.size())
        grow();
    const std::uint64_t lineHash = install::hashOf(line); // of fixed cost: no byte loop
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = spread(lineHash, mask);
    for (; slots_[at] != kFree; at = (at + 1) & mask) {
        const Known& k = known_[slots_[at]];
        if (k.lineHash == lineHash && k.line == line)
            return slots_[at];
    }
    char* const copy = chunks_.room(2 * line.size());
    std::memcpy(copy, line.data(), line.size());
    slots_[at] = std::uint32_t(known_.size());
    known_.push_back({{copy, line.size()}, lineHash, make(line, copy + line.size())});
    return slots_[at];
}

likeness::Pairs LineMemo::pairs(std::uint32_t id) {
    if (pairs_.size() <= id)
        pairs_.resize(known_.size());
    if (!pairs_[id].data())
        pairs_[id] = pairChunks_.of(known_[id].facts.normal);
    return pairs_[id];
}

likeness::Pairs LineMemo::joinedPairs(std::uint32_t first, std::uint32_t second) {
    const std::uint64_t key = std::uint64_t(first) << 32 | second;
    if (const std::optional<likeness::Pairs> known = joinedPairs_.find(key))
        return *known;
    return joinedPairs_.insert(
        key, pairChunks_.of(known_[first].facts.normal, known_[second].facts.normal));
}

LineBits LineMemo::bits(std::uint32_t id) {
    if (bits_.size() <= id)
        bits_.resize(known_.size());
    if (bits_[id].ones < 0)
        bits_[id] = lineBitsOf(known_[id].facts.normal);
    return bits_[id];
}

void LineMemo::grow() {
    slots_.assign(std::max<std::size_t>(1024, 2 * slots_.size()), kFree);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint32_t k = 0; k < known_.size(); ++k) {
        std::size_t at = spread(known_[k].lineHash, mask);
        while (slots_[at] != kFree)
            at = (at + 1) & mask;
        slots_[at] = k;
    }
}

// The normal form written at to, with room for the whole line.
LineFacts LineMemo::make(std::string_view line, char* to) {
    char* const start = to;
    // Written through a pointer: a push_back a byte costs several times more.
    for (const char c : line) {
        *to = lower(c);
        to += !blank(c);
    }
    LineFacts f;
    f.normal = {start, std::size_t(to - start)};
    f.hash = hashOf(f.normal);
    f.wordsFrom = std::uint32_t(words_.size());
    forEachWord(f.normal, [&](std::uint64_t w) { words_.push_back(w); });
    f.wordCount = std::uint32_t(words_.size() - f.wordsFrom);
    for (const char c : f.normal)
        f.letters += word(c);
    return f;
}

LineCounts::LineCounts(std::size_t lines)
    : mask_(std::bit_ceil(std::max<std::size_t>(16, 2 * lines)) - 1),
      hashes_(std::make_unique_for_overwrite<std::uint64_t[]>(mask_ + 1)), counts_(mask_ + 1, 0) {}

std::size_t LineCounts::slot(std::uint64_t hash) const {
    std::size_t at = spread(hash, mask_);
    while (counts_[at] != 0 && hashes_[at] != hash)
        at = (at + 1) & mask_;
    return at;
}

void LineCounts::add(std::uint64_t hash) {
    const std::size_t at = slot(hash);
    hashes_[at] = hash;
    ++counts_[at];
}

FileIndex::FileIndex(std::span<const std::string_view> file, std::shared_ptr<LineMemo> memo)
    : lines(file), count(file.size()), memo_(memo ? memo : std::make_shared<LineMemo>()),
      sharedMemo_(memo != nullptr) {
    ids.reserve(file.size());
    normal.reserve(file.size());
    hash.reserve(file.size());
    wordStart.reserve(file.size() + 1);
    wordHashes.reserve(file.size() * 4);
    for (const std::string_view line : file) {
        ids.push_back(memo_->of(line));
        const LineFacts& f = memo_->facts(ids.back());
        normal.push_back(f.normal);
        hash.push_back(f.hash);
        count.add(f.hash);
        wordStart.push_back(std::uint32_t(wordHashes.size()));
        const std::span<const std::uint64_t> words = memo_->words(f);
        wordHashes.insert(wordHashes.end(), words.begin(), words.end());
    }
    wordStart.push_back(std::uint32_t(wordHashes.size()));
}

double FileIndex::weight(std::size_t j) const {
    if (weights_.empty())
        weights_.assign(lines.size(), -1);
    if (weights_[j] < 0)
        weights_[j] = lineWeight(memo_->facts(ids[j]).letters, count.of(hash[j]));
    return weights_[j];
}

} // namespace torvale::place
