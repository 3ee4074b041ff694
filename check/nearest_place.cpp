// The nearest place of a search text: first the same lines but for blanks,
// tabs or letter case; else the best alignment of the search text with a run
// of the file, each line weighed by how distinctive it is in the file.
#include "nearest_place.h"

#include "install_file.h"
#include "line_likeness.h"
#include "place_finder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace torvale {

namespace {

using namespace likeness;
using place::Candidate;
using place::Finder;
using Kind = PlaceLine::Kind;

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

// How far the leading blanks of a place's lines are from the search lines'
// (a tab as four blanks), per line paired: the code around a search text is
// nested as deep as it was more often than not, so of places equally similar
// the one nested alike is the likelier.
double indentGap(const Candidate& c) {
    const auto indent = [](std::string_view line) {
        double n = 0;
        for (const char ch : line) {
            if (ch == ' ')
                n += 1;
            else if (ch == '\t')
                n += 4;
            else
                break;
        }
        return n;
    };
    double gap = 0;
    int paired = 0;
    for (const PlaceLine& l : c.lines)
        if (l.searchLine && l.fileLine) {
            gap += std::abs(indent(l.searchText) - indent(l.fileText));
            ++paired;
        }
    return paired ? gap / paired : 0;
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
    place.otherLines = other->lines;
}

} // namespace

std::optional<NearestPlace> nearestPlace(std::span<const std::string_view> file,
                                         std::span<const std::string_view> search) {
    return nearestPlace(place::FileIndex(file), search);
}

std::optional<NearestPlace> nearestPlace(const place::FileIndex& file,
                                         std::span<const std::string_view> search) {
    Finder finder(file, search);
    std::vector<Candidate> same = finder.sameButFor();
    if (!same.empty()) {
        std::ranges::stable_sort(same, [](const Candidate& a, const Candidate& b) {
            return indentGap(a) < indentGap(b);
        });
        NearestPlace place = placeOf(same[0]);
        place.only = onlyDifference(place.lines);
        addOther(place, same.size() > 1 ? &same[1] : nullptr);
        return place;
    }
    std::vector<Candidate> found = finder.aligned();
    if (found.empty())
        return std::nullopt;
    // The most similar first; of those equally similar, the one nested as
    // the search text is, then the first in the file.
    std::ranges::stable_sort(found, [](const Candidate& a, const Candidate& b) {
        if (a.similarity != b.similarity)
            return a.similarity > b.similarity;
        const double gapA = indentGap(a), gapB = indentGap(b);
        return gapA != gapB ? gapA < gapB : a.first < b.first;
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

