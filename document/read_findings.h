// What the reading rules drop or merge without a word, by the line of the
// file: the content that saving the document read from it would lose.
#pragma once

#include "mod_reader.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

enum class FindingKind {
    TextBesideTag,       // a line that opens or closes a block holds other text
    OneLineBlock,        // "<id>Name</id>": the text between is dropped
    TextOutsideBlocks,   // a line that no block takes in holds text
    TagInsideBlock,      // a line of a block's text opens a block of its own
    SearchWithoutAction, // a search text that no action block takes
    SearchesJoined,      // several search blocks joined into one search text
    PropertyJoined,      // a second block of a property added to the first
    PropertyLinesJoined, // the lines of a one-line property run together
    FileNameLines,       // only the last line of a file-name block counts
    LeadingEmptyLines,   // empty lines at the start of a text vanish
    NoModTags,           // the file holds no tag at all: not a mod
    NulByte,             // a NUL byte ends the text
};

struct Finding {
    FindingKind kind;
    std::size_t line; // counted from 1
    // The line's text, cut after kMaxFindingText bytes.
    std::string text;

    bool operator==(const Finding&) const = default;
};

inline constexpr std::size_t kMaxFindingText = 200;

// A short name of the kind for tools, e.g. "text-beside-tag".
std::string_view findingName(FindingKind kind);
// What it means for the user, e.g. "Text beside a tag is dropped".
std::string_view findingDescription(FindingKind kind);

// Reads as readMod does, and also finds what the rules drop from the file.
// After a stop only the lines before the stopped block count. Costs a pass
// over the lines, so only readers who show the findings ask for them.
ReadOutcome readMod(const SharedBytes& source, ModDocument& doc, std::vector<Finding>& findings,
                    std::size_t blockTextLimit = kMaxBlockText);

} // namespace torvale
