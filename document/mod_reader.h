// Reads the text of a mod file into a document.
#pragma once

#include "line_ends.h"
#include "mod_document.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// Blocks whose closing tags come far apart make the reader take in the same
// lines again for every opening tag. Past this much text, taken in by all
// blocks together, the read stops instead of exhausting memory or time.
inline constexpr std::size_t kMaxBlockText = std::size_t(256) << 20;

struct ReadOutcome {
    enum class Status {
        Complete,
        MissingClosingTag, // a block never closed
        TooMuchText,       // the blocks took in more than the limit
    };
    Status status = Status::Complete;
    // For MissingClosingTag: the index into ModTags of the closing tag.
    int missingTag = -1;
    // When the read stopped: the line (counted from 1) that opens the block
    // it stopped at.
    std::size_t stopLine = 0;
    // What to tell the user when the read stopped; empty when it completed.
    std::string message;
    // The node selected after the read: the last edit-file node, if any.
    Node* selected = nullptr;

    bool complete() const { return status == Status::Complete; }
};

// The message for a missing closing tag: the tag and "not found!".
std::string notFoundMessage(int tagIndex);

// What the reader makes of a file, handed over in file order.
class ReadTarget {
public:
    virtual ~ReadTarget() = default;
    // A completed edit-file block.
    virtual void editFile(Text fileName) = 0;
    // A completed search action; it belongs to the last edit-file block before
    // it, or to the top level when there is none.
    virtual void searchAction(std::int32_t kind, Text searchText, Text actionText) = 0;
    // The five properties, once each, after everything else (also after a stop).
    virtual void property(Property p, Text value) = 0;
    // The line end that joins the lines of the multi-line texts it is handed:
    // CR LF, as the document holds them, unless it writes them out as LF.
    virtual LineEnds textLineEnds() const { return LineEnds::CrLf; }
};

// A block as the reader takes it, by byte offsets into the text read.
struct BlockSpan {
    int tag;
    std::size_t opening;      // the start of the line that opens it
    std::size_t contentStart; // the start of the line after that
    std::size_t contentEnd;   // the start of the closing line, or the end of the text
    bool closed;              // false when the text ended first
};

// Hears of every block the reader takes, in the order it takes them: by
// opening line, and on one line by tag number.
class BlockListener {
public:
    virtual ~BlockListener() = default;
    virtual void block(const BlockSpan& block) = 0;
};

// Reads source and hands what it finds to target, and each block to blocks
// when given. Texts point into source where they can, and keep it alive.
ReadOutcome readMod(const SharedBytes& source, ReadTarget& target,
                    std::size_t blockTextLimit = kMaxBlockText, BlockListener* blocks = nullptr);

// Reads text into doc, which should be empty; what was read before a stop
// stays in doc. Text after a NUL byte is not read. The texts of the document
// point into source where they can, and keep it alive.
ReadOutcome readMod(const SharedBytes& source, ModDocument& doc,
                    std::size_t blockTextLimit = kMaxBlockText, BlockListener* blocks = nullptr);
// The same for bytes that the document may not keep: it reads a copy.
ReadOutcome readMod(std::string_view text, ModDocument& doc,
                    std::size_t blockTextLimit = kMaxBlockText);

// The lines of a text as the reader sees them: split at CR LF, lone CR and lone
// LF; a line end at the very end adds no empty line; a NUL ends the text.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace torvale
