// The search for a search text's nearest place, shared by the files that
// make it: the file's lines in normal form, their weights, and the candidates.
#pragma once

#include "line_likeness.h"
#include "nearest_place.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace torvale::place {

// A file's lines as every search for a nearest place in it uses them: their
// normal forms, how often each stands, and the lines each word stands on.
// Made once for all the failed steps that look at the file as it stands.
struct FileIndex {
    // The lines are copied: the file they come from changes under a check.
    explicit FileIndex(std::span<const std::string_view> lines);
    FileIndex(const FileIndex&) = delete;
    FileIndex& operator=(const FileIndex&) = delete;

    std::string text;                     // the lines side by side
    std::vector<std::string_view> lines;  // into text
    std::string normalText;
    std::vector<std::string_view> normal; // into normalText
    std::vector<std::uint64_t> hash;      // of each normal form
    std::unordered_map<std::uint64_t, std::uint32_t> count; // lines of each normal form
    // Each line's words of three letters or more, by their hashes, in order:
    // line j's are wordHashes[wordStart[j]] up to wordHashes[wordStart[j + 1]].
    // A search sweeps them for its own few words, which costs less than
    // an index of every word for a file that changes between failed steps.
    std::vector<std::uint64_t> wordHashes;
    std::vector<std::uint32_t> wordStart;
    // Each line's pairs of bytes as bits, and how many bits, for the
    // searches that hold every line to their own: kept from the second such
    // search on, for a file looked at once is spared their memory (a sixth
    // of the file's size in bits, each page of it faulted in). Not to be
    // asked from two threads at once.
    struct LineBits {
        likeness::Bits bits;
        int ones;
    };
    LineBits lineBits(std::size_t j) const {
        if (!lineBits_.empty())
            return lineBits_[j];
        const likeness::Bits bits = likeness::bitsOf(normal[j]);
        return {bits, likeness::ones(bits)};
    }
    // Called by each search before it asks lineBits().
    void keepLineBits() const;

private:
    mutable std::vector<LineBits> lineBits_;
    mutable bool lineBitsAsked_ = false;
};

struct Candidate {
    std::size_t first = 0, last = 0; // from 0
    double similarity = 0;
    std::vector<PlaceLine> lines;
};

// Values kept by a key of 64 bits, in one array with open addressing: a
// search asks for thousands, and a map of the library makes a node for each.
// Values are handed out by copy, for a later insert may move them.
// The slots outlive the cache for the next cache of the thread: each failed
// step makes new ones, and growing them again from nothing, clearing them
// each time, cost more than the look-ups. A slot is in use only when it
// bears the cache's stamp, so that nothing needs clearing.
template <typename T> class FlatCache {
public:
    FlatCache() : slots_(take()) {}
    FlatCache(const FlatCache&) = delete;
    FlatCache& operator=(const FlatCache&) = delete;
    ~FlatCache() {
        std::vector<Storage>& pool = pool_();
        if (!slots_.slots.empty() && slots_.slots.size() <= kMostPooled && pool.size() < kPooled)
            pool.push_back(std::move(slots_));
    }

    std::optional<T> find(std::uint64_t key) const {
        if (slots_.slots.empty())
            return std::nullopt;
        const Slot& at = slots_.slots[slot(key)];
        return at.stamp == slots_.stamp ? std::optional<T>(at.value) : std::nullopt;
    }
    T insert(std::uint64_t key, T value) {
        if (2 * (used_ + 1) > slots_.slots.size())
            grow();
        Slot& at = slots_.slots[slot(key)];
        used_ += at.stamp != slots_.stamp;
        at = {key, slots_.stamp, value};
        return value;
    }

private:
    struct Slot {
        std::uint64_t key = 0;
        std::uint32_t stamp = 0; // the stamp of the cache that filled it
        T value{};
    };
    struct Storage {
        std::vector<Slot> slots;
        std::uint32_t stamp = 1;
    };
    // Enough for the caches of a search; what a thread keeps stays small.
    static constexpr std::size_t kPooled = 8;
    static constexpr std::size_t kMostPooled = std::size_t(1) << 17;
    static std::vector<Storage>& pool_() {
        thread_local std::vector<Storage> pool;
        return pool;
    }
    static Storage take() {
        std::vector<Storage>& pool = pool_();
        if (pool.empty())
            return {};
        Storage s = std::move(pool.back());
        pool.pop_back();
        if (++s.stamp == 0) { // after four billion caches: clear once
            for (Slot& slot : s.slots)
                slot.stamp = 0;
            s.stamp = 1;
        }
        return s;
    }
    std::size_t slot(std::uint64_t key) const {
        // Fibonacci hashing spreads keys that differ in a few low bits.
        const std::size_t mask = slots_.slots.size() - 1;
        std::size_t at = std::size_t((key * 0x9e3779b97f4a7c15ull) >> 20) & mask;
        while (slots_.slots[at].stamp == slots_.stamp && slots_.slots[at].key != key)
            at = (at + 1) & mask;
        return at;
    }
    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(256, 2 * slots_.slots.size()));
        std::swap(old, slots_.slots);
        const std::uint32_t stamp = slots_.stamp;
        slots_.stamp = 1; // the new slots are all free
        for (const Slot& s : old)
            if (s.stamp == stamp)
                slots_.slots[slot(s.key)] = {s.key, 1, s.value};
    }
    Storage slots_;
    std::size_t used_ = 0;
};

class Finder {
public:
    Finder(const FileIndex& file, std::span<const std::string_view> search);
    // The runs whose lines are the same but for blanks, tabs and letter
    // case, in the order of the file (the first sixteen).
    std::vector<Candidate> sameButFor() const;
    std::vector<Candidate> aligned();
    // The alignment around one start (from 0), as aligned() makes it for
    // each of its candidate starts: for a look at a place it passed over.
    std::optional<Candidate> alignedAt(long start) { return align(start); }

private:
    // A line that stands once in the file outweighs one that stands often,
    // and a line with words outweighs a lone brace or an empty line.
    double weightOf(std::string_view line, std::uint64_t hash) const;
    // Where the search text might start: from lines that stand in the file
    // the same but for blanks and case, and from lines that share the search
    // lines' rarer words.
    std::vector<long> candidateStarts();
    // Where no word narrows the search (short lines such as "$x = 2;", or
    // words the file has nowhere, or lines sharing only common words with
    // them): every line held to those search lines (up to four; none given:
    // the first four).
    void voteBySimilarity(std::map<long, double>& votes, std::vector<std::size_t> which);
    double similarity(std::size_t i, std::size_t j);
    // The search text aligned with the file around start: every search line
    // paired with a file line, left out, or with file lines added between.
    std::optional<Candidate> align(long start);
    // Search lines i and i + 1 against file line j, as one line.
    double joinedSimilarity(std::size_t i, std::size_t j);
    // Search line i against file lines j and j + 1, as one line.
    double splitSimilarity(std::size_t i, std::size_t j);
    double fileWeight(std::size_t j);
    // Pairs of bytes of the search lines, of two search lines joined, of a
    // file line and of two file lines joined: each made once, since every
    // candidate place compares them again.
    // They lie in chunks that never move, made without an allocation each.
    likeness::Pairs searchBigrams(std::size_t i);
    likeness::Pairs joinedSearchBigrams(std::size_t i);
    likeness::Pairs fileBigrams(std::size_t j);
    likeness::Pairs joinedFileBigrams(std::size_t j);
    likeness::Pairs pairsOf(std::string_view a, std::string_view b = {});

    const FileIndex& index_;
    std::span<const std::string_view> file_, search_;
    const std::vector<std::string_view>& fileNormal_;
    std::vector<std::string> searchNormal_;
    const std::vector<std::uint64_t>& fileHash_;
    std::vector<std::uint64_t> searchHash_;
    const std::unordered_map<std::uint64_t, std::uint32_t>& count_;
    std::vector<double> weight_;
    double totalWeight_ = 0;
    std::vector<likeness::Pairs> searchBigrams_;
    FlatCache<likeness::Pairs> joinedSearchBigrams_, fileBigrams_, joinedFileBigrams_;
    std::vector<std::unique_ptr<std::uint16_t[]>> pairChunks_;
    std::size_t pairsUsed_ = 0; // of the last chunk
    std::string joinBuffer_;
    FlatCache<double> sims_, joined_, split_, fileWeights_;
};

} // namespace torvale::place
