// Where each line of an older version of a file went in a newer one, by a
// line diff: the place the placement benchmark holds every method to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace placement {

struct Range {
    long first = -1, last = -1; // from 0, both included; first -1: nowhere
    char how = ' ';             // how the line got there: u unchanged, h paired in its hunk, m moved
};

// The lines, each ended by a line feed.
std::string joined(const std::vector<std::string>& lines);
// A line without blanks or tabs, in lower case.
std::string normal(const std::string& line);
// The pairs of neighbouring bytes of a line, sorted, and their Dice coefficient.
std::vector<std::uint16_t> bigrams(const std::string& s);
double dice(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b);

// Where each line of the old file went in the new one, by libgit2's line diff:
// unchanged lines to their line, a line removed once and added once the same
// but for blanks to that line, a line removed and a line added that are
// nearly the same and clearly each other's most alike to that line, a changed
// line to the line of its hunk most like it, another line moved elsewhere to
// the one added line the same as it. A line with no letter or digit goes only
// where it stands unchanged.
std::vector<Range> wentTo(const std::vector<std::string>& old, const std::vector<std::string>& now);

bool overlaps(Range a, Range b);

} // namespace placement
