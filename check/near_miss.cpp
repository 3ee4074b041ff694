// Looks for a search text's lines in a file with the differences that most
// often break a step made equal, one kind after the other.
#include "near_miss.h"

#include "install_file.h"
#include "line_likeness.h"

#include <vector>

namespace torvale {

namespace {

enum Ignore : unsigned { Blanks = 1, Case = 2 };

bool blank(char c) {
    return c == ' ' || c == '\t';
}

// The line with what ignore names left out: every blank and tab, or the
// difference of letter case.
std::string normal(std::string_view line, unsigned ignore) {
    std::string out;
    for (char c : line) {
        if ((ignore & Blanks) && blank(c))
            continue;
        if ((ignore & Case) && c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        out.push_back(c);
    }
    return out;
}

bool emptyLine(std::string_view line) {
    for (const char c : line)
        if (!blank(c))
            return false;
    return true;
}

// Whether line, with what ignore names left out, is wanted (made normal
// already); without making the line anew.
bool sameNormal(std::string_view line, std::string_view wanted, unsigned ignore) {
    if (ignore == 0)
        return line == wanted;
    std::size_t j = 0;
    for (char c : line) {
        if ((ignore & Blanks) && blank(c))
            continue;
        if ((ignore & Case) && c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (j == wanted.size() || wanted[j++] != c)
            return false;
    }
    return j == wanted.size();
}

// The first line where search stands, compared with what ignore leaves out.
std::size_t findNormal(const std::vector<std::string_view>& file,
                       std::span<const std::string_view> search, unsigned ignore,
                       const std::vector<std::uint64_t>* hashes) {
    std::vector<std::string> wanted;
    for (const std::string_view s : search)
        wanted.push_back(normal(s, ignore));
    if (wanted.empty() || wanted.size() > file.size())
        return std::string::npos;
    // Lines alike in any of the ways looked at are alike without blanks and
    // case, so where that form's hash differs the first line cannot match.
    const std::uint64_t first = hashes ? likeness::hashOf(normal(search[0], Blanks | Case)) : 0;
    for (std::size_t at = 0; at + wanted.size() <= file.size(); ++at) {
        if (hashes && (*hashes)[at] != first)
            continue;
        std::size_t k = 0;
        while (k < wanted.size() && sameNormal(file[at + k], wanted[k], ignore))
            ++k;
        if (k == wanted.size())
            return at;
    }
    return std::string::npos;
}

} // namespace

std::string nearMiss(const InstallFile& file, std::span<const std::string_view> search) {
    return NearMisses(file)(search);
}

NearMisses::NearMisses(const InstallFile& file) : keys_(file.keys()) {}

std::string NearMisses::operator()(std::span<const std::string_view> search) const {
    if (keys_.empty())
        return "the file is empty";
    // Empty lines at the ends of a search text are the most common slip: a
    // line break copied with the text.
    std::size_t head = 0, tail = search.size();
    while (head < tail && emptyLine(search[head]))
        ++head;
    while (tail > head && emptyLine(search[tail - 1]))
        --tail;
    const std::span<const std::string_view> trimmed = search.subspan(head, tail - head);
    std::string ends;
    if (head > 0)
        ends = head == 1 ? "an empty first line" : std::to_string(head) + " empty first lines";
    if (tail < search.size()) {
        if (!ends.empty())
            ends += " and ";
        const std::size_t n = search.size() - tail;
        ends += n == 1 ? "an empty last line" : std::to_string(n) + " empty last lines";
    }
    static constexpr struct {
        unsigned ignore;
        const char* words;
    } kinds[] = {{0, ""},
                 {Blanks, "in blanks and tabs"},
                 {Case, "in letter case"},
                 {Blanks | Case, "in blanks, tabs and letter case"}};
    const std::vector<std::string_view>& keys = keys_;
    for (const auto& kind : kinds) {
        for (const bool whole : {true, false}) {
            if (whole && kind.ignore == 0)
                continue; // the installer's own search
            if (!whole && ends.empty())
                continue;
            const std::span<const std::string_view> wanted = whole ? search : trimmed;
            const std::size_t at = findNormal(keys, wanted, kind.ignore, hashes_);
            if (at == std::string::npos)
                continue;
            std::string why = "the lines stand at line " + std::to_string(at + 1);
            if (origins_ && at < origins_->size() && (*origins_)[at] >= 0 &&
                std::size_t((*origins_)[at]) != at)
                why += ", line " + std::to_string((*origins_)[at] + 1) + " on disk,";
            if (kind.ignore)
                why += std::string(" but differ ") + kind.words;
            if (!whole)
                why += std::string(kind.ignore ? ", and " : " but ") + "the search text has " + ends +
                       " that the file lacks there";
            return why;
        }
    }
    return "not present at all";
}

} // namespace torvale
