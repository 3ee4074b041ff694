// The nearest place of a search text: first the same lines but for blanks,
// tabs or letter case; else the best alignment of the search text with a run
// of the file, each line weighed by how distinctive it is in the file.
#include "nearest_place.h"

#include "install_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <map>
#include <unordered_map>

namespace torvale {

namespace {

using Kind = PlaceLine::Kind;

bool blank(char c) {
    return c == ' ' || c == '\t';
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}
bool word(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// What the comparison keeps of a line: no blanks or tabs, one letter case.
std::string normal(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (const char c : line)
        if (!blank(c))
            out.push_back(lower(c));
    return out;
}

std::uint64_t hashOf(std::string_view s) {
    std::uint64_t h = 1469598103934665603ull;
    for (const char c : s)
        h = (h ^ std::uint8_t(c)) * 1099511628211ull;
    return h;
}

std::string_view rtrim(std::string_view s) {
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}
std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}
std::string unblanked(std::string_view s) {
    std::string out;
    for (const char c : s)
        if (!blank(c))
            out.push_back(c);
    return out;
}

// Calls f with the hash of each word of three letters or more of a line.
template <typename F>
void forEachWord(std::string_view normalLine, F&& f) {
    for (std::size_t i = 0; i < normalLine.size();) {
        if (!word(normalLine[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < normalLine.size() && word(normalLine[end]))
            ++end;
        if (end - i >= 3)
            f(hashOf(normalLine.substr(i, end - i)));
        i = end;
    }
}

// A line's words, each once, sorted.
std::vector<std::uint64_t> wordsOf(std::string_view normalLine) {
    std::vector<std::uint64_t> out;
    forEachWord(normalLine, [&](std::uint64_t w) { out.push_back(w); });
    std::ranges::sort(out);
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// The pairs of neighbouring bytes of a line, sorted, for the Dice coefficient.
std::vector<std::uint16_t> bigramsOf(std::string_view s) {
    s = s.substr(0, 400); // the start of a very long line says enough
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        out.push_back(std::uint16_t(std::uint8_t(s[i]) << 8 | std::uint8_t(s[i + 1])));
    std::ranges::sort(out);
    return out;
}

double dice(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b) {
    if (a.empty() || b.empty())
        return 0;
    std::size_t common = 0;
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        if (a[i] < b[j])
            ++i;
        else if (b[j] < a[i])
            ++j;
        else
            ++common, ++i, ++j;
    }
    return 2.0 * double(common) / double(a.size() + b.size());
}

struct Candidate {
    std::size_t first = 0, last = 0; // from 0
    double similarity = 0;
    std::vector<PlaceLine> lines;
};

class Finder {
public:
    Finder(std::span<const std::string_view> file, std::span<const std::string_view> search)
        : file_(file), search_(search) {
        // The normal forms of the file's lines side by side in one string.
        std::size_t size = 0;
        for (const std::string_view line : file)
            size += line.size();
        normalText_.reserve(size);
        std::vector<std::size_t> ends;
        ends.reserve(file.size());
        for (const std::string_view line : file) {
            for (const char c : line)
                if (!blank(c))
                    normalText_.push_back(lower(c));
            ends.push_back(normalText_.size());
        }
        fileNormal_.reserve(file.size());
        fileHash_.reserve(file.size());
        count_.reserve(file.size());
        for (std::size_t j = 0, start = 0; j < file.size(); start = ends[j++]) {
            fileNormal_.push_back(std::string_view(normalText_).substr(start, ends[j] - start));
            fileHash_.push_back(hashOf(fileNormal_.back()));
            ++count_[fileHash_.back()];
        }
        for (const std::string_view line : search) {
            searchNormal_.push_back(normal(line));
            searchHash_.push_back(hashOf(searchNormal_.back()));
            weight_.push_back(weightOf(line, searchHash_.back()));
            totalWeight_ += weight_.back();
        }
    }

    // Every run whose lines are the same but for blanks, tabs and letter case.
    std::vector<Candidate> sameButFor() const {
        std::vector<Candidate> out;
        const std::size_t m = search_.size();
        if (m == 0 || m > file_.size() ||
            std::ranges::all_of(searchNormal_, [](const std::string& s) { return s.empty(); }))
            return out;
        for (std::size_t a = 0; a + m <= file_.size() && out.size() < 2; ++a) {
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

    std::vector<Candidate> aligned() {
        std::vector<Candidate> out;
        if (search_.empty() || file_.empty())
            return out;
        std::vector<long> starts = candidateStarts();
        for (const long start : starts)
            if (auto c = align(start))
                out.push_back(std::move(*c));
        return out;
    }

private:
    // A line that stands once in the file outweighs one that stands often,
    // and a line with words outweighs a lone brace or an empty line.
    double weightOf(std::string_view line, std::uint64_t hash) const {
        std::size_t letters = 0;
        for (const char c : line)
            letters += word(lower(c)) ? 1 : 0;
        const double content = std::clamp(double(letters) / 6.0, 0.08, 1.0);
        const auto it = count_.find(hash);
        const double often = it == count_.end() ? 1.0 : double(it->second);
        return content / (1.0 + 0.5 * std::log2(often));
    }

    // Where the search text might start: from lines that stand in the file
    // the same but for blanks and case, and from lines that share the search
    // lines' rarer words.
    std::vector<long> candidateStarts() {
        std::map<long, double> votes;
        const std::size_t m = search_.size();
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> wanted; // search line of each line hash
        for (std::size_t i = 0; i < m; ++i) {
            const auto it = count_.find(searchHash_[i]);
            if (it != count_.end() && it->second <= 32 && !searchNormal_[i].empty())
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
        std::unordered_map<std::uint64_t, std::size_t> documents;
        std::vector<std::pair<std::uint64_t, std::size_t>> hits; // word, file line
        for (std::size_t j = 0; j < file_.size(); ++j) {
            const auto same = wanted.find(fileHash_[j]);
            if (same != wanted.end())
                for (const std::size_t i : same->second)
                    votes[long(j) - long(i)] += 2 * weight_[i];
            if (wordLines.empty())
                continue;
            forEachWord(fileNormal_[j], [&](std::uint64_t w) {
                if (wordLines.contains(w)) {
                    ++documents[w];
                    hits.emplace_back(w, j);
                }
            });
        }
        const double n = double(file_.size());
        const auto idf = [&](std::uint64_t w) {
            const auto d = documents.find(w);
            return std::log(1.0 + n / double(d == documents.end() ? 1 : d->second));
        };
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
            for (auto& [score, j] : best)
                score = similarity(i, j) + 0.1 * score;
            keep = std::min<std::size_t>(best.size(), 16);
            std::partial_sort(best.begin(), best.begin() + std::ptrdiff_t(keep), best.end(), byScore);
            for (std::size_t k = 0; k < keep; ++k)
                votes[long(best[k].second) - long(i)] += weight_[i] * best[k].first;
        }
        if (votes.empty())
            voteBySimilarity(votes);
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

    // Short lines without words, such as "$x = 2;", or words the file has
    // nowhere: each file line's pairs of bytes, hashed into a set of 512
    // bits, held against the first search lines', and the most alike of
    // those compared in full.
    using Bits = std::array<std::uint64_t, 8>;
    static Bits bitsOf(std::string_view s) {
        Bits bits{};
        for (std::size_t i = 0; i + 1 < s.size() && i < 400; ++i) {
            const unsigned h = (unsigned(std::uint8_t(s[i])) * 31u + std::uint8_t(s[i + 1])) & 511u;
            bits[h >> 6] |= std::uint64_t(1) << (h & 63);
        }
        return bits;
    }
    static int ones(const Bits& b) {
        int n = 0;
        for (const std::uint64_t w : b)
            n += std::popcount(w);
        return n;
    }

    void voteBySimilarity(std::map<long, double>& votes) {
        const std::size_t lines = std::min<std::size_t>(search_.size(), 4);
        std::vector<Bits> wanted;
        std::vector<int> wantedOnes;
        for (std::size_t i = 0; i < lines; ++i) {
            wanted.push_back(bitsOf(searchNormal_[i]));
            wantedOnes.push_back(ones(wanted.back()));
        }
        std::vector<std::vector<std::pair<double, std::size_t>>> best(lines);
        for (std::size_t j = 0; j < file_.size(); ++j) {
            const Bits bits = bitsOf(fileNormal_[j]);
            const int mine = ones(bits);
            for (std::size_t i = 0; i < lines; ++i) {
                int common = 0;
                for (std::size_t k = 0; k < bits.size(); ++k)
                    common += std::popcount(bits[k] & wanted[i][k]);
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
            for (auto& [score, j] : best[i])
                score = similarity(i, j);
            keep = std::min<std::size_t>(keep, 16);
            std::partial_sort(best[i].begin(), best[i].begin() + std::ptrdiff_t(keep), best[i].end(), byScore);
            for (std::size_t k = 0; k < keep; ++k)
                if (best[i][k].first > 0)
                    votes[long(best[i][k].second) - long(i)] += weight_[i] * best[i][k].first;
        }
    }

    double similarity(std::size_t i, std::size_t j) {
        const std::uint64_t key = std::uint64_t(i) << 40 | j;
        const auto known = sims_.find(key);
        if (known != sims_.end())
            return known->second;
        double s = 0;
        if (search_[i] == file_[j])
            s = 1;
        else if (searchHash_[i] == fileHash_[j] && searchNormal_[i] == fileNormal_[j])
            s = 0.95;
        else {
            if (searchBigrams_.empty())
                for (const std::string& line : searchNormal_)
                    searchBigrams_.push_back(bigramsOf(line));
            const double d = dice(searchBigrams_[i], bigramsOf(fileNormal_[j]));
            s = d < 0.35 ? 0 : 0.9 * d;
        }
        sims_.emplace(key, s);
        return s;
    }

    // The search text aligned with the file around start: every search line
    // paired with a file line, left out, or with file lines added between.
    std::optional<Candidate> align(long start) {
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
    double joinedSimilarity(std::size_t i, std::size_t j) {
        const std::uint64_t key = std::uint64_t(i) << 40 | j;
        const auto known = joined_.find(key);
        if (known != joined_.end())
            return known->second;
        const double d = dice(bigramsOf(searchNormal_[i] + searchNormal_[i + 1]), bigramsOf(fileNormal_[j]));
        return joined_[key] = d < 0.6 ? 0 : 0.8 * d * d;
    }
    // Search line i against file lines j and j + 1, as one line.
    double splitSimilarity(std::size_t i, std::size_t j) {
        const std::uint64_t key = std::uint64_t(i) << 40 | j;
        const auto known = split_.find(key);
        if (known != split_.end())
            return known->second;
        const double d = dice(bigramsOf(searchNormal_[i]),
                              bigramsOf(std::string(fileNormal_[j]) + std::string(fileNormal_[j + 1])));
        return split_[key] = d < 0.6 ? 0 : 0.8 * d * d;
    }

    double fileWeight(std::size_t j) {
        const auto known = fileWeights_.find(j);
        if (known != fileWeights_.end())
            return known->second;
        return fileWeights_[j] = weightOf(file_[j], fileHash_[j]);
    }

    std::span<const std::string_view> file_, search_;
    std::string normalText_;
    std::vector<std::string_view> fileNormal_;
    std::vector<std::string> searchNormal_;
    std::vector<std::uint64_t> fileHash_, searchHash_;
    std::unordered_map<std::uint64_t, std::uint32_t> count_;
    std::vector<double> weight_;
    double totalWeight_ = 0;
    std::vector<std::vector<std::uint16_t>> searchBigrams_;
    std::unordered_map<std::uint64_t, double> sims_, joined_, split_;
    std::unordered_map<std::size_t, double> fileWeights_;
};

// Which difference the lines of a place have, when all are the same but for it.
std::string onlyDifference(const std::vector<PlaceLine>& lines) {
    const auto all = [&](auto same) {
        return std::ranges::all_of(lines, [&](const PlaceLine& l) { return same(l.searchText, l.fileText); });
    };
    if (all([](std::string_view a, std::string_view b) { return rtrim(a) == rtrim(b); }))
        return "blanks at line ends";
    if (all([](std::string_view a, std::string_view b) { return unblanked(a) == unblanked(b); }))
        return "blanks and tabs";
    if (all([](std::string_view a, std::string_view b) { return lowered(a) == lowered(b); }))
        return "letter case";
    return "blanks, tabs and letter case";
}

NearestPlace placeOf(Candidate best) {
    NearestPlace place;
    place.first = best.first + 1;
    place.last = best.last + 1;
    place.similarity = best.similarity;
    place.lines = std::move(best.lines);
    return place;
}

void addOther(NearestPlace& place, const Candidate* other) {
    if (!other)
        return;
    place.otherFirst = other->first + 1;
    place.otherLast = other->last + 1;
    place.otherSimilarity = other->similarity;
    place.ambiguous = other->similarity >= place.similarity - kAboutAsGood;
}

} // namespace

std::optional<NearestPlace> nearestPlace(std::span<const std::string_view> file,
                                         std::span<const std::string_view> search) {
    Finder finder(file, search);
    std::vector<Candidate> same = finder.sameButFor();
    if (!same.empty()) {
        NearestPlace place = placeOf(same[0]);
        place.only = onlyDifference(place.lines);
        addOther(place, same.size() > 1 ? &same[1] : nullptr);
        return place;
    }
    std::vector<Candidate> found = finder.aligned();
    if (found.empty())
        return std::nullopt;
    std::ranges::stable_sort(found, [](const Candidate& a, const Candidate& b) {
        return a.similarity != b.similarity ? a.similarity > b.similarity : a.first < b.first;
    });
    const Candidate& best = found[0];
    const auto other = std::ranges::find_if(found, [&](const Candidate& c) {
        return c.last < best.first || c.first > best.last;
    });
    NearestPlace place = placeOf(best);
    addOther(place, other == found.end() ? nullptr : &*other);
    return place;
}

std::optional<NearestPlace> nearestPlace(const InstallFile& file,
                                         std::span<const std::string_view> search) {
    const std::vector<std::string_view> lines = file.keys();
    return nearestPlace(lines, search);
}

std::string describePlace(const NearestPlace& place) {
    const auto range = [](std::size_t first, std::size_t last) {
        return first == last ? "line " + std::to_string(first)
                             : "lines " + std::to_string(first) + "-" + std::to_string(last);
    };
    const auto fraction = [](double s) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", s);
        return std::string(text);
    };
    std::string out = "nearest place: " + range(place.first, place.last);
    if (!place.only.empty())
        out += ", the same lines but for " + place.only;
    else
        out += " (similarity " + fraction(place.similarity) + ")";
    if (place.ambiguous)
        out += "; " + range(place.otherFirst, place.otherLast) + " is about as good (" +
               fraction(place.otherSimilarity) + "): choose one";
    return out;
}

} // namespace torvale
