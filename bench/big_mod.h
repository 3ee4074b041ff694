// Large, realistic mod texts for measuring the reader and the assembler.
//
// The text is written line by line in the writer's canonical layout, without
// going through the assembler, so that assembling what the reader makes of it
// gives the same bytes back only when reader, assembler and this generator
// agree on the layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace torvale::bench {

// Lines of code taken from one forum file, or from the built-in list.
struct CodeFile {
    std::string name; // forum-relative, with "/", e.g. "Sources/Subs.pm"
    std::vector<std::string> lines;
};

struct CodePool {
    std::vector<CodeFile> files;
    std::string origin; // where the lines came from, for messages
};

// True for a line that can stand in a block as it is: no control bytes other
// than tab, and no tag of the format in any letter case (the reader would take
// it for the start or the end of a block).
bool usableLine(std::string_view line);

// The lines of YaBB.pl, Sources/*.pm and Admin/*.pm under forumDir, minus the
// unusable ones. Empty when the folder holds none of them.
CodePool loadForumCode(const std::filesystem::path& forumDir);

// Perl and HTML lines in the style of the forum's sources, for machines without
// a forum installation.
CodePool builtinCode();

// The forum's code when forumDir has some, the built-in lines otherwise.
CodePool codePoolFor(const std::filesystem::path& forumDir);

struct BigModStats {
    std::size_t editFiles = 0;
    std::size_t replaces = 0;
    std::size_t addBefores = 0;
    std::size_t addAfters = 0;
    std::size_t actions() const { return replaces + addBefores + addAfters; }
};

// A mod text of at least targetBytes bytes (exceeding it by one search action
// at most): five property blocks, then edit-file blocks each followed by search
// actions of mixed kinds. Files of the pool without text are passed over, and
// a pool without any text is replaced by builtinCode(). The same seed and pool
// give the same bytes.
std::string makeBigMod(std::size_t targetBytes, std::uint64_t seed, const CodePool& pool,
                       BigModStats* stats = nullptr);

} // namespace torvale::bench
