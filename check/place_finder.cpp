// The search text set against the file: the same lines but for blanks and
// case, and the alignment of its lines with a run of the file's lines.
#include "place_finder.h"

#include "line_likeness.h"

#include <algorithm>
#include <cmath>

namespace torvale::place {

using namespace likeness;
using Kind = PlaceLine::Kind;

namespace {

// How much of each of two lines made one must stand in the one line: else a
// long line takes a short one joined onto it for free.
constexpr double kPartFound = 0.6;
// The least likeness of pairs of bytes that counts: of two lines, and of two
// lines made one with a third.
constexpr double kLeastLike = 0.35;
constexpr double kLeastJoined = 0.6;
// The places the same but for blanks and case kept, for the nearest place to
// choose the one nested as the search text is.
constexpr std::size_t kSameKept = 16;

} // namespace

Finder::Finder(const FileIndex& file, std::span<const std::string_view> search)
    : index_(file), file_(file.lines), search_(search), fileNormal_(file.normal),
      fileHash_(file.hash), count_(file.count) {
    for (const std::string_view line : search) {
        searchNormal_.push_back(normal(line));
        searchHash_.push_back(hashOf(searchNormal_.back()));
        weight_.push_back(weightOf(line, searchHash_.back()));
        totalWeight_ += weight_.back();
    }
}

// The runs whose lines are the same but for blanks, tabs and letter case.
std::vector<Candidate> Finder::sameButFor() const {
    std::vector<Candidate> out;
    const std::size_t m = search_.size();
    if (m == 0 || m > file_.size() ||
        std::ranges::all_of(searchNormal_, [](const std::string& s) { return s.empty(); }))
        return out;
    for (std::size_t a = 0; a + m <= file_.size() && out.size() < kSameKept; ++a) {
        std::size_t k = 0;
        while (k < m && fileHash_[a + k] == searchHash_[k] && fileNormal_[a + k] == searchNormal_[k])
            ++k;
        if (k < m)
            continue;
        Candidate c{a, a + m - 1, 1.0, {}};
        for (std::size_t t = 0; t < m; ++t)
            c.lines.push_back({file_[a + t] == search_[t] ? Kind::Same : Kind::Changed, t + 1,
                               a + t + 1, std::string(search_[t]), std::string(file_[a + t])});
        out.push_back(std::move(c));
        a += m - 1;
    }
    return out;
}

std::vector<Candidate> Finder::aligned() {
    std::vector<Candidate> out;
    if (search_.empty() || file_.empty())
        return out;
    std::vector<long> starts = candidateStarts();
    for (const long start : starts)
        if (auto c = align(start))
            out.push_back(std::move(*c));
    return out;
}

double Finder::weightOf(std::string_view line, std::uint64_t hash) const {
    std::size_t letters = 0;
    for (const char c : line)
        letters += word(lower(c)) ? 1 : 0;
    return lineWeight(letters, count_.of(hash));
}

namespace {

// Whether the Dice coefficient of two lines' pairs of bytes (bigramsOf: one
// pair a byte but the last, of at most kMostPairs) can come to floor, by
// their counts alone: most lines a search line meets are far longer or
// shorter, and are passed over without making their pairs.
bool canReach(std::size_t lengthA, std::size_t lengthB, double floor) {
    const auto pairs = [](std::size_t length) {
        return length ? std::min(length - 1, kMostPairs) : 0;
    };
    const std::size_t a = pairs(lengthA), b = pairs(lengthB);
    return a && b && 2.0 * double(std::min(a, b)) / double(a + b) >= floor;
}

} // namespace

double Finder::similarity(std::size_t i, std::size_t j) {
    const std::uint64_t key = std::uint64_t(i) << 40 | j;
    if (const std::optional<double> known = sims_.find(key))
        return *known;
    double s = 0;
    if (search_[i] == file_[j])
        s = 1;
    else if (searchHash_[i] == fileHash_[j] && searchNormal_[i] == fileNormal_[j])
        s = 0.95;
    else if (canReach(searchNormal_[i].size(), fileNormal_[j].size(), kLeastLike)) {
        const double d = dice(searchBigrams(i), fileBigrams(j), kLeastLike);
        s = d < kLeastLike ? 0 : 0.9 * d * d;
    }
    return sims_.insert(key, s);
}

// The search text aligned with the file around start: every search line
// paired with a file line, left out, or with file lines added between.
std::optional<Candidate> Finder::align(long start) {
    const std::size_t m = search_.size();
    const long pad = long(std::max<std::size_t>(2, m));
    const std::size_t a = std::size_t(std::max(0L, start - pad));
    const std::size_t b = std::size_t(std::clamp(start + long(m) + pad, 0L, long(file_.size())));
    if (a >= b)
        return std::nullopt;
    const std::size_t len = b - a;
    enum : std::uint8_t { Stop, Pair, Removed, Added, Joined, Split };
    std::vector<double> score((m + 1) * (len + 1), 0);
    std::vector<std::uint8_t> from((m + 1) * (len + 1), Stop);
    const auto at = [len](std::size_t i, std::size_t j) { return i * (len + 1) + j; };
    for (std::size_t i = 1; i <= m; ++i) {
        score[at(i, 0)] = score[at(i - 1, 0)];
        from[at(i, 0)] = Removed;
        for (std::size_t j = 1; j <= len; ++j) {
            double best = score[at(i - 1, j)];
            std::uint8_t way = Removed;
            const double sim = similarity(i - 1, a + j - 1);
            if (sim > 0 && score[at(i - 1, j - 1)] + weight_[i - 1] * sim > best) {
                best = score[at(i - 1, j - 1)] + weight_[i - 1] * sim;
                way = Pair;
            }
            // Two search lines made one line of the file, or one made two.
            if (i >= 2) {
                const double joined = joinedSimilarity(i - 2, a + j - 1);
                const double w = weight_[i - 2] + weight_[i - 1];
                if (joined > 0 && score[at(i - 2, j - 1)] + w * joined > best) {
                    best = score[at(i - 2, j - 1)] + w * joined;
                    way = Joined;
                }
            }
            if (j >= 2) {
                const double split = splitSimilarity(i - 1, a + j - 2);
                if (split > 0 && score[at(i - 1, j - 2)] + weight_[i - 1] * split > best) {
                    best = score[at(i - 1, j - 2)] + weight_[i - 1] * split;
                    way = Split;
                }
            }
            const double added = score[at(i, j - 1)] - 0.5 * fileWeight(a + j - 1);
            if (added > best) {
                best = added;
                way = Added;
            }
            score[at(i, j)] = best;
            from[at(i, j)] = way;
        }
    }
    std::size_t end = 0;
    for (std::size_t j = 1; j <= len; ++j)
        if (score[at(m, j)] > score[at(m, end)] + 1e-12)
            end = j;
    Candidate c;
    std::vector<PlaceLine> lines;
    std::size_t i = m, j = end;
    while (i > 0) {
        switch (from[at(i, j)]) {
        case Pair: {
            const std::size_t f = a + j - 1;
            const bool same = search_[i - 1] == file_[f];
            lines.push_back({same ? Kind::Same : Kind::Changed, i, f + 1,
                             std::string(search_[i - 1]), std::string(file_[f])});
            --i, --j;
            break;
        }
        case Added:
            lines.push_back({Kind::Added, 0, a + j, {}, std::string(file_[a + j - 1])});
            --j;
            break;
        case Joined:
            for (const std::size_t k : {i, i - 1})
                lines.push_back({Kind::Changed, k, a + j, std::string(search_[k - 1]),
                                 std::string(file_[a + j - 1])});
            i -= 2, --j;
            break;
        case Split:
            for (const std::size_t k : {j, j - 1})
                lines.push_back({Kind::Changed, i, a + k, std::string(search_[i - 1]),
                                 std::string(file_[a + k - 1])});
            --i, j -= 2;
            break;
        default:
            lines.push_back({Kind::Removed, i, 0, std::string(search_[i - 1]), {}});
            --i;
        }
    }
    std::ranges::reverse(lines);
    const auto paired = [](const PlaceLine& l) { return l.fileLine != 0 && l.kind != Kind::Added; };
    const auto firstPair = std::ranges::find_if(lines, paired);
    if (firstPair == lines.end())
        return std::nullopt;
    c.first = firstPair->fileLine - 1;
    c.last = std::ranges::find_if(lines.rbegin(), lines.rend(), paired)->fileLine - 1;
    c.similarity = std::clamp(score[at(m, end)] / totalWeight_, 0.0, 1.0);
    c.lines = std::move(lines);
    return c;
}

// Search lines i and i + 1 against file line j, as one line.
double Finder::joinedSimilarity(std::size_t i, std::size_t j) {
    const std::uint64_t key = std::uint64_t(i) << 40 | j;
    if (const std::optional<double> known = joined_.find(key))
        return *known;
    if (!canReach(searchNormal_[i].size() + searchNormal_[i + 1].size(), fileNormal_[j].size(), kLeastJoined))
        return joined_.insert(key, 0);
    const double d = dice(joinedSearchBigrams(i), fileBigrams(j), kLeastJoined);
    const bool both = d >= kLeastJoined && contained(searchBigrams(i), fileBigrams(j)) >= kPartFound &&
                      contained(searchBigrams(i + 1), fileBigrams(j)) >= kPartFound;
    return joined_.insert(key, both ? 0.8 * d * d : 0);
}

// Search line i against file lines j and j + 1, as one line.
double Finder::splitSimilarity(std::size_t i, std::size_t j) {
    const std::uint64_t key = std::uint64_t(i) << 40 | j;
    if (const std::optional<double> known = split_.find(key))
        return *known;
    if (!canReach(searchNormal_[i].size(), fileNormal_[j].size() + fileNormal_[j + 1].size(), kLeastJoined))
        return split_.insert(key, 0);
    const double d = dice(searchBigrams(i), joinedFileBigrams(j), kLeastJoined);
    const bool both = d >= kLeastJoined && contained(fileBigrams(j), searchBigrams(i)) >= kPartFound &&
                      contained(fileBigrams(j + 1), searchBigrams(i)) >= kPartFound;
    return split_.insert(key, both ? 0.8 * d * d : 0);
}

likeness::Pairs Finder::searchBigrams(std::size_t i) {
    if (searchBigrams_.empty())
        for (const std::string& line : searchNormal_)
            searchBigrams_.push_back(pairs_.of(line));
    return searchBigrams_[i];
}

likeness::Pairs Finder::joinedSearchBigrams(std::size_t i) {
    if (const std::optional<likeness::Pairs> known = joinedSearchBigrams_.find(i))
        return *known;
    return joinedSearchBigrams_.insert(i, pairs_.of(searchNormal_[i], searchNormal_[i + 1]));
}

} // namespace torvale::place
