// Where a search text might have gone: the starts worth aligning it at, voted
// for by lines that stand in the file and by the rarer words they share.
#include "place_finder.h"

#include "line_likeness.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace torvale::place {

using namespace likeness;

// Where the search text might start: from lines that stand in the file
// the same but for blanks and case, and from lines that share the search
// lines' rarer words.
std::vector<long> Finder::candidateStarts() {
    std::map<long, double> votes;
    const std::size_t m = search_.size();
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> wanted; // search line of each line hash
    for (std::size_t i = 0; i < m; ++i) {
        const std::uint32_t n = count_.of(searchHash_[i]);
        if (n != 0 && n <= 32 && !searchNormal_[i].empty())
            wanted[searchHash_[i]].push_back(i);
    }
    // Words of the search lines, and in which lines of the file they stand.
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> wordLines; // word -> search lines
    std::vector<std::vector<std::uint64_t>> searchWords(m);
    for (std::size_t i = 0; i < m; ++i) {
        searchWords[i] = wordsOf(searchNormal_[i]);
        for (const std::uint64_t w : searchWords[i])
            wordLines[w].push_back(i);
    }
    if (!wanted.empty())
        for (std::size_t j = 0; j < file_.size(); ++j) {
            const auto same = wanted.find(fileHash_[j]);
            if (same != wanted.end())
                for (const std::size_t i : same->second)
                    votes[long(j) - long(i)] += 2 * weight_[i];
        }
    // The words' places in the order of the file, so that the sums below
    // come out as a sweep through the file makes them. Most of the file's
    // words are none of the search's: a filter of bits turns them away.
    std::array<std::uint64_t, 64> filter{};
    for (const auto& [w, searchLines] : wordLines)
        filter[(w >> 6) & 63] |= std::uint64_t(1) << (w & 63);
    // A word counts once on a line: a line that repeats a common word is no
    // more like the search line than one that has it once. documents counts
    // every time it stands.
    std::unordered_map<std::uint64_t, std::size_t> documents;
    std::vector<std::pair<std::uint64_t, std::size_t>> hits; // word, file line
    for (std::uint32_t j = 0; j + 1 < index_.wordStart.size(); ++j) {
        const std::size_t lineStart = hits.size(); // where the hits of line j begin
        for (std::uint32_t k = index_.wordStart[j]; k < index_.wordStart[j + 1]; ++k) {
            const std::uint64_t w = index_.wordHashes[k];
            if (!(filter[(w >> 6) & 63] >> (w & 63) & 1) || !wordLines.contains(w))
                continue;
            ++documents[w];
            if (std::none_of(hits.begin() + std::ptrdiff_t(lineStart), hits.end(),
                             [w](const auto& h) { return h.first == w; }))
                hits.emplace_back(w, j);
        }
    }
    const double n = double(file_.size());
    const auto idf = [&](std::uint64_t w) {
        const auto d = documents.find(w);
        return std::log(1.0 + n / double(d == documents.end() ? 1 : d->second));
    };
    // Search lines whose words found no line like them (a renamed function,
    // or only common words shared): held to every line as well.
    std::vector<std::size_t> unnarrowed;
    for (std::size_t i = 0; i < m; ++i) {
        double all = 0;
        for (const std::uint64_t w : searchWords[i])
            all += idf(w);
        if (all <= 0)
            continue;
        std::unordered_map<std::size_t, double> shared;
        for (const auto& [w, j] : hits)
            if (std::ranges::binary_search(searchWords[i], w))
                shared[j] += idf(w);
        std::vector<std::pair<double, std::size_t>> best;
        for (const auto& [j, s] : shared)
            if (s / all >= 0.4)
                best.emplace_back(s / all, j);
        // The lines sharing the most rare words, then the most alike of them.
        const auto byScore = [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        };
        std::size_t keep = std::min<std::size_t>(best.size(), 64);
        std::partial_sort(best.begin(), best.begin() + std::ptrdiff_t(keep), best.end(), byScore);
        best.resize(keep);
        bool alike = false;
        for (auto& [score, j] : best) {
            const double sim = similarity(i, j);
            alike = alike || sim > 0;
            score = sim + 0.1 * score;
        }
        keep = std::min<std::size_t>(best.size(), 16);
        std::partial_sort(best.begin(), best.begin() + std::ptrdiff_t(keep), best.end(), byScore);
        for (std::size_t k = 0; k < keep; ++k)
            votes[long(best[k].second) - long(i)] += weight_[i] * best[k].first;
        if (!alike)
            unnarrowed.push_back(i);
    }
    if (votes.empty() || !unnarrowed.empty())
        voteBySimilarity(votes, votes.empty() ? std::vector<std::size_t>{} : unnarrowed);
    std::vector<std::pair<double, long>> ranked;
    for (const auto& [start, vote] : votes)
        ranked.emplace_back(vote, start);
    std::ranges::sort(ranked, [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<long> out;
    for (const auto& [vote, start] : ranked) {
        if (out.size() == 24)
            break;
        if (std::ranges::none_of(out, [s = start](long o) { return std::abs(o - s) <= 1; }))
            out.push_back(start);
    }
    return out;
}

void Finder::voteBySimilarity(std::map<long, double>& votes, std::vector<std::size_t> which) {
    if (which.empty())
        for (std::size_t i = 0; i < std::min<std::size_t>(search_.size(), 4); ++i)
            which.push_back(i);
    if (which.size() > 4)
        which.resize(4);
    const std::size_t lines = which.size();
    std::vector<Bits> wanted;
    std::vector<int> wantedOnes;
    for (const std::size_t i : which) {
        wanted.push_back(bitsOf(searchNormal_[i]));
        wantedOnes.push_back(ones(wanted.back()));
    }
    std::vector<std::vector<std::pair<double, std::size_t>>> best(lines);
    index_.keepLineBits();
    for (std::size_t j = 0; j < file_.size(); ++j) {
        const LineBits line = index_.lineBits(j);
        for (std::size_t i = 0; i < lines; ++i) {
            const int mine = line.ones;
            const int common = likeness::common(line.bits, wanted[i]);
            if (mine + wantedOnes[i] > 0 && 2.0 * common >= 0.35 * (mine + wantedOnes[i]))
                best[i].emplace_back(2.0 * common / (mine + wantedOnes[i]), j);
        }
    }
    const auto byScore = [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    };
    for (std::size_t i = 0; i < lines; ++i) {
        std::size_t keep = std::min<std::size_t>(best[i].size(), 64);
        std::partial_sort(best[i].begin(), best[i].begin() + std::ptrdiff_t(keep), best[i].end(), byScore);
        best[i].resize(keep);
        const std::size_t line = which[i];
        for (auto& [score, j] : best[i])
            score = similarity(line, j);
        keep = std::min<std::size_t>(keep, 16);
        std::partial_sort(best[i].begin(), best[i].begin() + std::ptrdiff_t(keep), best[i].end(), byScore);
        for (std::size_t k = 0; k < keep; ++k)
            if (best[i][k].first > 0)
                votes[long(best[i][k].second) - long(line)] += weight_[line] * best[i][k].first;
    }
}

} // namespace torvale::place
