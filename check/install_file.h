// A forum file as the forum's installer changes it, in memory: lines found
// and compared without their carriage returns, replaced or added to.
#pragma once

#include <array>
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
// The same into lines, whose memory is used again.
void installerLines(std::string_view text, std::deque<std::string>& storage,
                    std::vector<std::string_view>& lines);

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

    std::size_t lineCount() const { return count_; }
    // Where a line starts in the bytes; for files that no change has touched.
    std::size_t byteOffset(std::size_t line) const;
    // Whether the text differs from the bytes it was made from.
    bool changed() const;
    // The text as the changes left it. Added lines end like the file's first
    // line; the last line ends with a line break when the file's did.
    std::string text() const;
    // The changes as a unified diff with three lines of context, under the
    // given names ("a/x.pl", "b/x.pl"); empty when nothing changed.
    std::string unifiedDiff(std::string_view oldName, std::string_view newName) const;

private:
    // Small, since putting lines in moves those after them.
    struct Line {
        const char* data;    // the line without carriage returns
        std::uint32_t size;
        std::int32_t origin; // the line's number in the file, -1 for added lines
        std::string_view key() const { return {data, size}; }
    };
    // The lines go in blocks of a few dozen: a change moves only the lines
    // of one block.
    struct Block {
        std::vector<Line> lines;
        std::vector<std::uint64_t> hashes;
        // Room for the lines a block holds before it is split, so that lines
        // put in move the others but are seldom copied elsewhere.
        void makeRoom();
    };
    // What a search looks at first for each block, kept beside the blocks so
    // that it sweeps through them: bits of the hashes of the block's lines
    // and of each two lines in a row, and a byte of each line's hash.
    static constexpr std::size_t kMostLines = 256;
    struct alignas(64) Summary {
        std::array<std::uint64_t, kMostLines / 8> filter{};
        std::array<std::uint8_t, kMostLines> tags{};
        std::uint32_t count = 0; // lines in the block
        std::uint32_t stale = 0; // bits of lines gone, or of pairs no longer in a row
    };
    struct Place {
        std::size_t block;
        std::size_t index;
    };

    void refilter(std::size_t block);
    void noteChange(std::size_t block, std::size_t from, std::size_t to, std::size_t removed);
    void noteJoin(std::size_t block);
    Place locate(std::size_t line) const;
    const Line& lineAt(std::size_t line) const;
    bool matchesAt(Place at, std::span<const std::string_view> search,
                   std::span<const std::uint64_t> hashes) const;
    void insert(std::size_t at, std::span<const std::string_view> lines);
    void erase(std::size_t at, std::size_t count);
    std::vector<Line> allLines() const;
    std::string_view ending(const Line& line, bool last) const;
    // The line as in the file (added lines: the key), without its LF.
    std::string_view raw(const Line& line) const {
        return line.origin < 0 ? line.key() : raws_[std::size_t(line.origin)];
    }

    std::string_view bytes_;
    std::vector<Line> original_;
    std::vector<std::string_view> raws_; // of original_
    std::vector<Block> blocks_;      // never an empty one
    std::vector<Summary> summaries_; // beside blocks_
    std::size_t count_ = 0;
    std::deque<std::string> keys_;           // keys of lines with carriage returns inside
    std::vector<std::string_view> replaced_; // memory for apply()
    std::vector<Line> addedLines_;           // and for insert()
    std::vector<std::uint64_t> addedHashes_;
    mutable std::vector<std::uint64_t> searchHashes_; // and for find()
    std::string_view addedEnding_ = "\n";
    bool finalBreak_ = true;
};

} // namespace torvale
