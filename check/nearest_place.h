// Where a search text that is no longer found most likely went: the run of
// lines of the file nearest to it, with its similarity and its differences.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

class InstallFile;
namespace place {
struct FileIndex;
}

// One line of the search text set against the place, in order.
struct PlaceLine {
    enum class Kind {
        Same,    // the file's line equals the search line
        Changed, // they are similar but differ
        Removed, // the search line has no counterpart in the file
        Added,   // the file has this line inside the run, the search text does not
    };
    Kind kind = Kind::Same;
    std::size_t searchLine = 0; // from 1; 0 for Added
    std::size_t fileLine = 0;   // from 1; 0 for Removed
    std::string searchText;     // the search line's key; empty for Added
    std::string fileText;       // the file line's key; empty for Removed
};

struct NearestPlace {
    std::size_t first = 0, last = 0; // the run of lines, from 1, both included
    // 1 for lines the same but for what `only` names; else how much of the
    // search text's weight the place holds, less what lines added inside cost.
    double similarity = 0;
    // The lines are the same but for this ("blanks and tabs", "letter case",
    // "blanks, tabs and letter case", "blanks at line ends"); empty otherwise.
    std::string only;
    std::vector<PlaceLine> lines;
    // The best place that does not overlap this one, when there is one.
    std::size_t otherFirst = 0, otherLast = 0; // from 1; 0 for none
    double otherSimilarity = 0;
    // The other place is about as good (within kAboutAsGood): the user must choose.
    bool ambiguous = false;
    // The other place's lines set against the search text, as lines is.
    std::vector<PlaceLine> otherLines;
    // Both runs in the file as it is on disk, from 1, for those who look at
    // that file; the check sets them. 0 where a step of the mod put the
    // line in, or when not known.
    std::size_t diskFirst = 0, diskLast = 0;
    std::size_t otherDiskFirst = 0, otherDiskLast = 0;
};

// Two places whose similarities differ by no more than this are called about as good.
inline constexpr double kAboutAsGood = 0.02;

// The nearest place of search (the installer's keys of its lines) in file
// (the keys of the file's lines as the earlier steps left them); nothing
// when no line of the file resembles any line of the search text.
std::optional<NearestPlace> nearestPlace(std::span<const std::string_view> file,
                                         std::span<const std::string_view> search);
std::optional<NearestPlace> nearestPlace(const InstallFile& file,
                                         std::span<const std::string_view> search);
// The same in a file indexed once for the search texts of many failed steps
// (place_finder.h); the index must be of the file as it stands.
std::optional<NearestPlace> nearestPlace(const place::FileIndex& file,
                                         std::span<const std::string_view> search);

// "lines 12-14 (similarity 0.83): blanks and tabs differ", with the other
// place when it is about as good.
std::string describePlace(const NearestPlace& place);

} // namespace torvale
