// The search for a search text's nearest place, shared by the files that
// make it: the file's lines in normal form, their weights, and the candidates.
#pragma once

#include "file_index.h"
#include "flat_cache.h"
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

struct Candidate {
    std::size_t first = 0, last = 0; // from 0
    double similarity = 0;
    std::vector<PlaceLine> lines;
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
    // A search line's lineWeight(); the file's lines are weighed by the index.
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
    double fileWeight(std::size_t j) const { return index_.weight(j); }
    // Pairs of bytes of the search lines, of two search lines joined, of a
    // file line and of two file lines joined: each made once, since every
    // candidate place compares them again; the file's in the index's memo,
    // for the searches in the file's later states too.
    likeness::Pairs searchBigrams(std::size_t i);
    likeness::Pairs joinedSearchBigrams(std::size_t i);
    likeness::Pairs fileBigrams(std::size_t j) { return index_.memo().pairs(index_.ids[j]); }
    likeness::Pairs joinedFileBigrams(std::size_t j) {
        return index_.memo().joinedPairs(index_.ids[j], index_.ids[j + 1]);
    }

    const FileIndex& index_;
    std::span<const std::string_view> file_, search_;
    const std::vector<std::string_view>& fileNormal_;
    std::vector<std::string> searchNormal_;
    const std::vector<std::uint64_t>& fileHash_;
    std::vector<std::uint64_t> searchHash_;
    const LineCounts& count_;
    std::vector<double> weight_;
    double totalWeight_ = 0;
    std::vector<likeness::Pairs> searchBigrams_;
    FlatCache<likeness::Pairs> joinedSearchBigrams_;
    likeness::PairChunks pairs_;
    FlatCache<double> sims_, joined_, split_;
};

} // namespace torvale::place
