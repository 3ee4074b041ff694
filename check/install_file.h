// A forum file as the forum's installer changes it, in memory: lines found
// and compared without their carriage returns, replaced or added to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// A search or action text as the installer takes it: carriage returns
// removed, one final line break ignored, then split at each line break. An
// empty text has no lines. The lines point into text, or into storage when
// carriage returns had to be taken out.
std::vector<std::string_view> installerLines(std::string_view text,
                                             std::deque<std::string>& storage);

class InstallFile {
public:
    // The lines of bytes, which must outlive this object, as are the lines
    // given to apply().
    explicit InstallFile(std::string_view bytes);

    struct Found {
        std::size_t line;  // counted from 0
        std::size_t again; // the next place the lines stand, or npos
    };
    // The first run of whole lines equal to search, and the next one after
    // it. Never found for a search of no lines.
    std::optional<Found> find(std::span<const std::string_view> search) const;

    enum class Change { Replace, AddBefore, AddAfter };
    // Changes the count lines at line (as find() gave them) by lines.
    void apply(Change change, std::size_t line, std::size_t count,
               std::span<const std::string_view> lines);

    std::size_t lineCount() const { return lines_.size(); }
    // Where a line starts in the bytes; for files that no change has touched.
    std::size_t byteOffset(std::size_t line) const {
        return std::size_t(lines_[line].raw.data() - bytes_.data());
    }
    // Whether the text differs from the bytes it was made from.
    bool changed() const;
    // The text as the changes left it. Added lines end like the file's first
    // line; the last line ends with a line break when the file's did.
    std::string text() const;
    // The changes as a unified diff with three lines of context, under the
    // given names ("a/x.pl", "b/x.pl"); empty when nothing changed.
    std::string unifiedDiff(std::string_view oldName, std::string_view newName) const;

private:
    struct Line {
        std::string_view key; // without carriage returns
        std::string_view raw; // as in the file (added lines: the key), without its LF
        std::int64_t origin;  // the line's number in the file, -1 for added lines
    };
    bool matchesAt(std::size_t at, std::span<const std::string_view> search,
                   std::span<const std::uint64_t> hashes) const;
    void insert(std::size_t at, std::span<const std::string_view> lines);
    void erase(std::size_t at, std::size_t count);
    std::string_view ending(const Line& line, bool last) const;

    std::string_view bytes_;
    std::vector<Line> original_;
    std::vector<Line> lines_;
    // The hashes of lines_' keys, kept beside them so that a search runs
    // through eight bytes a line.
    std::vector<std::uint64_t> hashes_;
    std::deque<std::string> keys_; // keys of lines with carriage returns inside
    std::string_view addedEnding_ = "\n";
    bool finalBreak_ = true;
};

} // namespace torvale
