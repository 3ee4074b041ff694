// The placement benchmark's reference: the old file's lines paired with the
// new file's by libgit2's line diff, changed lines with the most alike.
#include "placement_reference.h"

#include "check/line_diff.h"

#include <algorithm>
#include <map>

namespace placement {

using torvale::LineHunk;
using torvale::lineHunks;

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

std::string normal(const std::string& line) {
    std::string out;
    for (const char c : line)
        if (c != ' ' && c != '\t')
            out.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    return out;
}

std::vector<std::uint16_t> bigrams(const std::string& s) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        out.push_back(std::uint16_t(std::uint8_t(s[i]) << 8 | std::uint8_t(s[i + 1])));
    std::ranges::sort(out);
    return out;
}

double dice(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b) {
    if (a.empty() && b.empty())
        return 1;
    std::size_t common = 0;
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();)
        a[i] < b[j] ? ++i : b[j] < a[i] ? ++j : (++common, ++i, ++j);
    return 2.0 * double(common) / double(a.size() + b.size());
}

namespace {

// A line with no letter or digit (blank, a lone brace, ");"): inside a changed
// hunk or as a move it could pair with any other such line, so it says nothing
// of where a search text went.
bool bare(const std::string& line) {
    return std::ranges::none_of(line, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// Inside a hunk, the old lines paired with the new lines most like them, in
// order, as a changed line is shown beside what it became.
void pairInHunk(const std::vector<std::string>& old, const std::vector<std::string>& now, std::size_t o0,
                std::size_t n0, std::size_t on, std::size_t nn, const std::vector<bool>& oldMoved,
                const std::vector<bool>& newMoved, std::vector<Range>& to) {
    if (on == 0 || nn == 0 || on * nn > 250000)
        return;
    // A bare line pairs with nothing here (it has no pairs of bytes to be
    // alike in, so dice would call any two of them the same), nor does a line
    // already known to have moved.
    std::vector<std::vector<std::uint16_t>> a, b;
    for (std::size_t i = 0; i < on; ++i)
        a.push_back(bare(old[o0 + i]) || oldMoved[o0 + i] ? std::vector<std::uint16_t>{}
                                                          : bigrams(normal(old[o0 + i])));
    for (std::size_t j = 0; j < nn; ++j)
        b.push_back(bare(now[n0 + j]) || newMoved[n0 + j] ? std::vector<std::uint16_t>{}
                                                          : bigrams(normal(now[n0 + j])));
    const auto alike = [&](std::size_t i, std::size_t j) {
        return a[i].empty() || b[j].empty() ? 0.0 : dice(a[i], b[j]);
    };
    std::vector<double> score((on + 1) * (nn + 1), 0);
    const auto at = [nn](std::size_t i, std::size_t j) { return i * (nn + 1) + j; };
    for (std::size_t i = 1; i <= on; ++i)
        for (std::size_t j = 1; j <= nn; ++j) {
            const double d = alike(i - 1, j - 1);
            score[at(i, j)] = std::max({score[at(i - 1, j)], score[at(i, j - 1)],
                                        d >= 0.5 ? score[at(i - 1, j - 1)] + d : 0.0});
        }
    for (std::size_t i = on, j = nn; i > 0 && j > 0;) {
        const double d = alike(i - 1, j - 1);
        if (d >= 0.5 && score[at(i, j)] == score[at(i - 1, j - 1)] + d) {
            to[o0 + i - 1] = {long(n0 + j - 1), long(n0 + j - 1), 'h'};
            --i, --j;
        } else if (score[at(i, j)] == score[at(i - 1, j)]) {
            --i;
        } else {
            --j;
        }
    }
}

// Then a line removed and a line added that are each other's clearly
// most alike of all the lines removed and added, and nearly the same.
void nearMoves(const std::vector<std::string>& old, const std::vector<std::string>& now,
               const std::vector<LineHunk>& hunks, std::vector<bool>& oldMoved, std::vector<bool>& newMoved,
               std::vector<Range>& to) {
    constexpr double kNear = 0.8, kClear = 0.1;
    std::vector<std::size_t> removed, added;
    for (const LineHunk& hunk : hunks) {
        for (std::size_t k = 0; k < hunk.removed; ++k)
            if (!oldMoved[hunk.before + k] && normal(old[hunk.before + k]).size() >= 10)
                removed.push_back(hunk.before + k);
        for (std::size_t k = 0; k < hunk.added; ++k)
            if (!newMoved[hunk.after + k] && normal(now[hunk.after + k]).size() >= 10)
                added.push_back(hunk.after + k);
    }
    std::vector<std::vector<std::uint16_t>> a, b;
    for (const std::size_t i : removed)
        a.push_back(bigrams(normal(old[i])));
    for (const std::size_t j : added)
        b.push_back(bigrams(normal(now[j])));
    // For each line its best and second best likeness, and the best's index.
    struct Best {
        double first = 0, second = 0;
        std::size_t at = 0;
        void offer(double d, std::size_t k) {
            if (d > first)
                second = first, first = d, at = k;
            else if (d > second)
                second = d;
        }
    };
    std::vector<Best> ofRemoved(removed.size()), ofAdded(added.size());
    for (std::size_t r = 0; r < removed.size(); ++r)
        for (std::size_t d = 0; d < added.size(); ++d) {
            const double like = dice(a[r], b[d]);
            ofRemoved[r].offer(like, d);
            ofAdded[d].offer(like, r);
        }
    for (std::size_t r = 0; r < removed.size(); ++r) {
        const Best& mine = ofRemoved[r];
        const Best& theirs = ofAdded[mine.at];
        if (mine.first >= kNear && theirs.at == r && mine.second <= mine.first - kClear &&
            theirs.second <= theirs.first - kClear) {
            const std::size_t i = removed[r], j = added[mine.at];
            to[i] = {long(j), long(j), 'm'};
            oldMoved[i] = newMoved[j] = true;
        }
    }
}

} // namespace

std::vector<Range> wentTo(const std::vector<std::string>& old, const std::vector<std::string>& now) {
    std::vector<Range> to(old.size());
    std::vector<bool> taken(now.size(), true);
    const std::vector<LineHunk> hunks = lineHunks(joined(old), joined(now));
    // Moves first: a line removed once and added once, the same but for
    // blanks, went there, even where its own hunk has a line somewhat like it.
    std::map<std::string, std::pair<std::vector<std::size_t>, std::vector<std::size_t>>> removedAdded;
    for (const LineHunk& hunk : hunks) {
        for (std::size_t k = 0; k < hunk.removed; ++k)
            if (!bare(old[hunk.before + k]))
                removedAdded[normal(old[hunk.before + k])].first.push_back(hunk.before + k);
        for (std::size_t k = 0; k < hunk.added; ++k)
            if (!bare(now[hunk.after + k]))
                removedAdded[normal(now[hunk.after + k])].second.push_back(hunk.after + k);
    }
    std::vector<bool> oldMoved(old.size()), newMoved(now.size());
    for (const auto& [line, where] : removedAdded)
        if (where.first.size() == 1 && where.second.size() == 1) {
            const std::size_t i = where.first[0], j = where.second[0];
            to[i] = {long(j), long(j), 'm'};
            oldMoved[i] = newMoved[j] = true;
        }
    nearMoves(old, now, hunks, oldMoved, newMoved, to);
    long offset = 0; // new line minus old line outside the hunks
    std::size_t next = 0;
    for (const LineHunk& hunk : hunks) {
        for (; next < hunk.before && next < old.size(); ++next)
            to[next] = {long(next) + offset, long(next) + offset, 'u'};
        pairInHunk(old, now, hunk.before, hunk.after, hunk.removed, hunk.added, oldMoved, newMoved, to);
        for (std::size_t k = 0; k < hunk.added; ++k)
            taken[hunk.after + k] = false;
        for (std::size_t k = 0; k < hunk.removed; ++k)
            if (to[hunk.before + k].first >= 0)
                taken[std::size_t(to[hunk.before + k].first)] = true;
        next = hunk.before + hunk.removed;
        offset = long(hunk.after + hunk.added) - long(next);
    }
    for (; next < old.size(); ++next)
        to[next] = {long(next) + offset, long(next) + offset, 'u'};
    // Moves: a line gone here that was added once elsewhere, the same but for blanks.
    std::map<std::string, std::vector<std::size_t>> added;
    for (std::size_t j = 0; j < now.size(); ++j)
        if (!taken[j])
            added[normal(now[j])].push_back(j);
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (to[i].first >= 0)
            continue;
        const auto it = added.find(normal(old[i]));
        if (it != added.end() && it->second.size() == 1 && !bare(old[i]))
            to[i] = {long(it->second[0]), long(it->second[0]), 'm'};
    }
    return to;
}

bool overlaps(Range a, Range b) {
    return a.first >= 0 && b.first >= 0 && a.first <= b.last && b.first <= a.last;
}

} // namespace placement
