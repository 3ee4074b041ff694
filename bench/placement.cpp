// How often the check places a search text written for an older YaBB in a
// newer one, against GNU patch's fuzz and a plain similarity window; and how fast.
#include "check/nearest_place.h"
#include "check/place_finder.h"
#include "placement_reference.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using placement::bigrams;
using placement::dice;
using placement::joined;
using placement::overlaps;
using placement::Range;
using placement::wentTo;
using torvale::nearestPlace;

namespace {

const char* const kFiles[] = {"Admin/Admin.pm",         "Admin/Settings_Main.pm", "Sources/Downloads.pm",
                              "Sources/LogInOut.pm",    "Sources/MessageIndex.pm", "Sources/Post.pm",
                              "Sources/Printpage.pm",   "Sources/Profile.pm",     "Sources/Recent.pm",
                              "Sources/Security.pm",    "Sources/Sessions.pm"};

// The lines as the installer compares them: no carriage returns, no line feed.
std::vector<std::string> keysOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::vector<std::string> lines;
    std::string line;
    for (const char c : s.str()) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The plain window: the m lines in a row whose mean similarity is highest.
Range window(const std::vector<std::vector<std::uint16_t>>& file, const std::vector<std::string>& search) {
    std::vector<std::vector<std::uint16_t>> s;
    for (const std::string& l : search)
        s.push_back(bigrams(l));
    double best = -1;
    long at = -1;
    for (std::size_t a = 0; a + s.size() <= file.size(); ++a) {
        double sum = 0;
        for (std::size_t k = 0; k < s.size(); ++k)
            sum += dice(s[k], file[a + k]);
        if (sum > best)
            best = sum, at = long(a);
    }
    return {at, at + long(search.size()) - 1};
}

// GNU patch given the search text as the context of a hunk that adds a marker
// in its middle, numbered where the lines stood in the old file.
Range patched(const fs::path& dir, const std::vector<std::string>& now, const std::vector<std::string>& search,
              std::size_t oldLine, bool ignoreBlanks) {
    const std::size_t before = (search.size() + 1) / 2;
    const std::string marker = "TORVALE-PLACEMENT-MARKER";
    std::ofstream(dir / "target", std::ios::binary) << joined(now);
    std::ofstream diff(dir / "hunk.diff", std::ios::binary);
    diff << "--- a/target\n+++ b/target\n@@ -" << oldLine + 1 << "," << search.size() << " +" << oldLine + 1
         << "," << search.size() + 1 << " @@\n";
    for (std::size_t k = 0; k < search.size(); ++k) {
        if (k == before)
            diff << "+" << marker << "\n";
        diff << " " << search[k] << "\n";
    }
    if (before == search.size())
        diff << "+" << marker << "\n";
    diff.close();
    const std::string command = "patch --batch --silent " + std::string(ignoreBlanks ? "-l " : "") + "-o '" +
                                (dir / "out").string() + "' '" + (dir / "target").string() + "' '" +
                                (dir / "hunk.diff").string() + "' >/dev/null 2>&1";
    fs::remove(dir / "out");
    if (std::system(command.c_str()) != 0)
        return {};
    const std::vector<std::string> out = keysOf(dir / "out");
    const auto it = std::ranges::find(out, marker);
    if (it == out.end())
        return {};
    const long q = long(it - out.begin());
    return {q - long(before), q + long(search.size() - before) - 1};
}

// A miss in full, for TORVALE_PLACEMENT_SHOW: each search line with where the
// diff says it went (u unchanged, h paired in its hunk, m moved), the expected
// lines, and the place chosen with its lines set against the search text.
void showMiss(const char* name, const char* from, const char* to, std::size_t at,
              const std::vector<std::string>& search, const std::vector<Range>& went,
              const std::vector<std::string_view>& now, Range expected,
              const std::optional<torvale::NearestPlace>& place) {
    std::printf("== %s %s -> %s, old line %zu\n", name, from, to, at + 1);
    for (std::size_t k = 0; k < search.size(); ++k) {
        const Range r = went[at + k];
        std::printf("  S %c%-5ld| %s\n", r.first < 0 ? '-' : r.how, r.first + 1, search[k].c_str());
    }
    for (long k = expected.first; k <= expected.last; ++k)
        std::printf("  E%ld| %s\n", k + 1, std::string(now[std::size_t(k)]).c_str());
    // What the finder makes of the expected place, aligned from there.
    std::size_t k0 = 0;
    while (went[at + k0].first < 0)
        ++k0;
    const torvale::place::FileIndex index(now);
    std::vector<std::string_view> keys(search.begin(), search.end());
    torvale::place::Finder finder(index, keys);
    if (const auto there = finder.alignedAt(went[at + k0].first - long(k0)))
        std::printf("  expected place aligned: %zu-%zu sim %.2f\n", there->first + 1, there->last + 1,
                    there->similarity);
    if (!place) {
        std::printf("  ours: none\n");
        return;
    }
    std::printf("  ours %zu-%zu sim %.2f%s\n", place->first, place->last, place->similarity,
                place->ambiguous ? " ambiguous" : "");
    const char* kinds = "=~-+";
    for (const torvale::PlaceLine& l : place->lines)
        std::printf("  O%c s%zu f%zu| %s\n", kinds[int(l.kind)], l.searchLine, l.fileLine, l.fileText.c_str());
    if (place->otherFirst)
        std::printf("  other %zu-%zu sim %.2f\n", place->otherFirst, place->otherLast, place->otherSimilarity);
}

struct Tally {
    int right = 0;
    int total = 0;
    double share() const { return total ? 100.0 * right / total : 0; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: torvale-bench-placement FORUM_VERSIONS [SEED] [CASES_PER_FILE]\n");
        return 64;
    }
    const fs::path root = argv[1];
    const unsigned seed = argc > 2 ? unsigned(std::atoi(argv[2])) : 20261208u;
    const int perFile = argc > 3 ? std::atoi(argv[3]) : 30;
    std::mt19937 rng(seed);
    // TORVALE_PLACEMENT_QUICK: the check alone, without patch and the window, and no speed run.
    const bool quick = std::getenv("TORVALE_PLACEMENT_QUICK") != nullptr;
    const fs::path dir = fs::temp_directory_path() / ("torvale-placement-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::pair<const char*, const char*> pairs[] = {{"2.5.4", "2.6.11"}, {"2.6.11", "2.7"}, {"2.5.4", "2.7"}};
    Tally ours, either, clear, patch, patchBlanks, plain;
    int ambiguous = 0, unplaceable = 0;
    std::vector<std::vector<std::string>> speedCases;
    for (const auto& [from, to] : pairs) {
        for (const char* name : kFiles) {
            const std::vector<std::string> old = keysOf(root / from / name);
            const std::vector<std::string> now = keysOf(root / to / name);
            const std::vector<Range> went = wentTo(old, now);
            std::vector<std::string_view> nowViews(now.begin(), now.end());
            std::vector<std::vector<std::uint16_t>> nowBigrams;
            for (const std::string& l : now)
                nowBigrams.push_back(bigrams(l));
            std::map<std::string, int> seen;
            for (const std::string& l : old)
                ++seen[l];
            int made = 0;
            for (int attempt = 0; attempt < 4000 && made < perFile; ++attempt) {
                const std::size_t m = 1 + rng() % 4;
                const std::size_t at = rng() % old.size();
                if (at + m > old.size())
                    continue;
                std::vector<std::string> search(old.begin() + long(at), old.begin() + long(at + m));
                // Distinctive: a line of some length that stands once in the old
                // file, and no blank line at either end.
                const auto blankLine = [](const std::string& l) {
                    return l.find_first_not_of(" \t") == std::string::npos;
                };
                if (blankLine(search.front()) || blankLine(search.back()) ||
                    std::ranges::none_of(search, [&](const std::string& l) {
                        return seen[l] == 1 && l.size() - std::ranges::count_if(l, [](char c) {
                                                              return c == ' ' || c == '\t';
                                                          }) >= 10;
                    }))
                    continue;
                std::vector<std::string_view> keys(search.begin(), search.end());
                if (std::ranges::search(nowViews, keys).begin() != nowViews.end())
                    continue; // still found: nothing to place
                Range expected;
                for (std::size_t k = 0; k < m; ++k) {
                    const Range r = went[at + k];
                    if (r.first < 0)
                        continue;
                    expected.first = expected.first < 0 ? r.first : std::min(expected.first, r.first);
                    expected.last = std::max(expected.last, r.last);
                }
                // Lines that went nowhere, or into a hunk so long that the diff
                // cannot say where: no right answer to hold a method to.
                if (expected.first < 0 || expected.last - expected.first > long(m) + 6) {
                    ++unplaceable;
                    continue;
                }
                ++made;
                const auto place = nearestPlace(nowViews, keys);
                const bool right = place && overlaps({long(place->first) - 1, long(place->last) - 1}, expected);
                ++ours.total;
                ours.right += right;
                if (!right && std::getenv("TORVALE_PLACEMENT_SHOW"))
                    showMiss(name, from, to, at, search, went, nowViews, expected, place);
                if (place && place->ambiguous)
                    ++ambiguous;
                // Where it names two places as about as good, the user is shown both.
                ++either.total;
                either.right += right || (place && place->ambiguous &&
                                          overlaps({long(place->otherFirst) - 1, long(place->otherLast) - 1}, expected));
                if (place && place->similarity >= 0.6 &&
                    (!place->otherFirst || place->otherSimilarity <= place->similarity - 0.1)) {
                    ++clear.total;
                    clear.right += right;
                }
                if (quick)
                    continue;
                ++plain.total;
                plain.right += overlaps(window(nowBigrams, search), expected);
                ++patch.total;
                patch.right += overlaps(patched(dir, now, search, at, false), expected);
                ++patchBlanks.total;
                patchBlanks.right += overlaps(patched(dir, now, search, at, true), expected);
                if (std::string(to) == "2.7")
                    speedCases.push_back(search);
            }
        }
    }
    fs::remove_all(dir);
    std::printf("seed %u: %d search texts of 1 to 4 lines that no longer match (%d more skipped: their lines "
                "went nowhere the diff can name)\n",
                seed, ours.total, unplaceable);
    std::printf("placed right (the place overlaps where the lines went):\n");
    std::printf("  torvale nearest place      %4d / %4d  %5.1f%%  (%d called ambiguous)\n", ours.right,
                ours.total, ours.share(), ambiguous);
    std::printf("    or the other place named  %4d / %4d  %5.1f%%\n", either.right, either.total, either.share());
    std::printf("    of them clear for port   %4d / %4d  %5.1f%%\n", clear.right, clear.total, clear.share());
    std::printf("  GNU patch, fuzz 2          %4d / %4d  %5.1f%%\n", patch.right, patch.total, patch.share());
    std::printf("  GNU patch, fuzz 2, -l      %4d / %4d  %5.1f%%\n", patchBlanks.right, patchBlanks.total,
                patchBlanks.share());
    std::printf("  similarity window          %4d / %4d  %5.1f%%\n", plain.right, plain.total, plain.share());

    if (quick)
        return 0;
    // Speed: the 2.7 files one after the other, up to 20,000 lines.
    std::vector<std::string> big;
    while (big.size() < 20000)
        for (const char* name : kFiles)
            for (std::string& l : keysOf(root / "2.7" / name))
                if (big.size() < 20000)
                    big.push_back(std::move(l));
    std::vector<std::string_view> bigViews(big.begin(), big.end());
    double worst = 0, sum = 0;
    for (const auto& search : speedCases) {
        std::vector<std::string_view> keys(search.begin(), search.end());
        const auto start = std::chrono::steady_clock::now();
        const auto place = nearestPlace(bigViews, keys);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (ms > worst && std::getenv("TORVALE_PLACEMENT_SHOW")) {
            std::printf("slowest so far: %.1f ms\n", ms);
            for (const std::string& l : search)
                std::printf("  S| %s\n", l.c_str());
        }
        worst = std::max(worst, ms);
        sum += ms + (place ? 0 : 0);
    }
    const double mean = speedCases.empty() ? 0 : sum / double(speedCases.size());
    std::printf("speed: nearest place in a %zu-line file, %zu failed steps: mean %.1f ms, worst %.1f ms\n",
                big.size(), speedCases.size(), mean, worst);
    const bool met = ours.share() >= 90 && mean < 50;
    std::puts(met ? "targets met (90% placed right, under 50 ms a step)" : "target missed");
    return met ? 0 : 1;
}
