// A file's lines as the search for a nearest place uses them, and the memo
// that makes each line's part once for all the states of a file it stands in.
#pragma once

#include "byte_chunks.h"
#include "flat_cache.h"
#include "line_likeness.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace torvale::place {

// A line's pairs of bytes as bits (likeness::bitsOf), and how many bits.
struct LineBits {
    likeness::Bits bits;
    int ones = -1; // -1 where not made yet
};
inline LineBits lineBitsOf(std::string_view normal) {
    const likeness::Bits bits = likeness::bitsOf(normal);
    return {bits, likeness::ones(bits)};
}

// What the index holds of one line, whatever the state of the file.
struct LineFacts {
    std::string_view normal;                    // lower case, no blanks or tabs; in the memo
    std::uint64_t hash = 0;                     // of normal
    std::uint32_t wordsFrom = 0, wordCount = 0; // into LineMemo::words()
    std::uint32_t letters = 0;                  // bytes of words
};

// A line's weight in a search, from its letters and how many lines of the
// file have its normal form (0 for none): a line that stands once outweighs
// one that stands often, and a line with words a lone brace or an empty line.
inline double lineWeight(std::size_t letters, std::uint32_t often) {
    const double content = std::clamp(double(letters) / 6.0, 0.08, 1.0);
    return content / (1.0 + 0.5 * std::log2(std::max(1.0, double(often))));
}

// The facts of lines, by their text: between two failed steps in a file
// nearly every line is the same, and a file has many lines alike ("}", empty
// lines). The memo keeps a copy of each line it knows, so the lines asked
// for need not outlive it.
class LineMemo {
public:
    LineMemo() = default;
    LineMemo(const LineMemo&) = delete;
    LineMemo& operator=(const LineMemo&) = delete;

    // The number of the line's facts, the same for every line alike.
    std::uint32_t of(std::string_view line);
    const LineFacts& facts(std::uint32_t id) const { return known_[id].facts; }
    std::span<const std::uint64_t> words(const LineFacts& f) const {
        return std::span(words_).subspan(f.wordsFrom, f.wordCount);
    }
    // The pairs of bytes of a line's normal form, and of two lines' joined,
    // made at the first ask: the searches compare the lines around their
    // candidates, and those of later failed steps the same lines again.
    likeness::Pairs pairs(std::uint32_t id);
    likeness::Pairs joinedPairs(std::uint32_t first, std::uint32_t second);
    LineBits bits(std::uint32_t id);

private:
    struct Known {
        std::string_view line; // a copy, in the chunks
        std::uint64_t lineHash;
        LineFacts facts;
    };
    static constexpr std::uint32_t kFree = ~std::uint32_t(0);
    LineFacts make(std::string_view line, char* to);
    void grow();

    std::vector<std::uint32_t> slots_; // into known_; open addressing, half full at most
    std::vector<Known> known_;
    std::vector<std::uint64_t> words_;
    ByteChunks chunks_; // the lines and their normal forms
    std::vector<likeness::Pairs> pairs_; // by id; no data where not made yet
    std::vector<LineBits> bits_;         // by id
    FlatCache<likeness::Pairs> joinedPairs_;
    likeness::PairChunks pairChunks_;
};

// How many lines have each normal form's hash, in one array: a map of the
// library made a node for each of a file's different lines.
class LineCounts {
public:
    explicit LineCounts(std::size_t lines);
    void add(std::uint64_t hash);
    std::uint32_t of(std::uint64_t hash) const { return counts_[slot(hash)]; }

private:
    std::size_t slot(std::uint64_t hash) const;
    std::size_t mask_;
    // A free slot's hash is never read: left as it comes, not set for each index.
    std::unique_ptr<std::uint64_t[]> hashes_;
    std::vector<std::uint32_t> counts_; // 0 for a free slot
};

// A file's lines as every search for a nearest place in it uses them: their
// normal forms, how often each stands, and the lines each word stands on.
// Made once for all the failed steps that look at the file as it stands.
struct FileIndex {
    // The lines are not copied: they must outlive the index. Their facts
    // come from memo, which may be kept for the next state of the file and
    // for other files; else from a memo of the index's own.
    explicit FileIndex(std::span<const std::string_view> lines,
                       std::shared_ptr<LineMemo> memo = nullptr);
    FileIndex(const FileIndex&) = delete;
    FileIndex& operator=(const FileIndex&) = delete;

    std::span<const std::string_view> lines;
    std::vector<std::uint32_t> ids;       // of each line's facts in the memo
    std::vector<std::string_view> normal; // into the memo
    std::vector<std::uint64_t> hash;      // of each normal form
    LineCounts count;                     // lines of each normal form
    // Each line's words of three letters or more, by their hashes, in order:
    // line j's are wordHashes[wordStart[j]] up to wordHashes[wordStart[j + 1]].
    // A search sweeps them for its own few words, which costs less than
    // an index of every word for a file that changes between failed steps.
    std::vector<std::uint64_t> wordHashes;
    std::vector<std::uint32_t> wordStart;
    // Each line's pairs of bytes as bits, for the searches that hold every
    // line to their own: kept in the memo when it was given, else from the
    // second such search on, for a file looked at once is spared their
    // memory (a sixth of the file's size in bits, each page of it faulted
    // in). Not to be asked from two threads at once.
    LineBits lineBits(std::size_t j) const {
        return keepBits_ ? memo_->bits(ids[j]) : lineBitsOf(normal[j]);
    }
    // Called by each search before it asks lineBits().
    void keepLineBits() const { keepBits_ = sharedMemo_ || std::exchange(bitsAsked_, true); }
    // lineWeight() of line j, made at the first ask: the searches weigh
    // each line of their candidates' surroundings.
    double weight(std::size_t j) const;
    // Not to be used from two threads at once either.
    LineMemo& memo() const { return *memo_; }

private:
    std::shared_ptr<LineMemo> memo_; // holds the normal forms
    bool sharedMemo_;
    mutable std::vector<double> weights_; // negative where not made yet
    mutable bool bitsAsked_ = false, keepBits_ = false;
};

} // namespace torvale::place
