// Writes a document as mod-file text in the one canonical layout.
#pragma once

#include "line_ends.h"
#include "mod_document.h"
#include "mod_reader.h"

#include <functional>
#include <string>
#include <string_view>

namespace torvale {

// Every block: opening tag, content, closing tag, empty line, each ended by
// the line end of ends. When the last node of the tree is a search action the
// text ends right after its closing tag. With LF, each CR LF of the texts is
// written as LF; every other byte of them as it is.
std::string assembleMod(const ModDocument& doc, LineEnds ends = LineEnds::CrLf);

// The same text, handed to write in pieces instead of held whole; stops and
// returns false as soon as write does.
bool assembleMod(const ModDocument& doc, const std::function<bool(std::string_view)>& write,
                 LineEnds ends = LineEnds::CrLf);

struct StreamedAssembly {
    ReadOutcome outcome; // selected is always nullptr: no document is built
    bool written = false; // false when write failed
};

// Reads source and writes the text that assembleMod would give for the
// document read, with the line ends of source (detectLineEnds), without
// building the document: for a one-off conversion of a large file. Stretches
// of source that come out unchanged are handed to write straight from source.
StreamedAssembly readAndAssemble(const SharedBytes& source,
                                 const std::function<bool(std::string_view)>& write,
                                 std::size_t blockTextLimit = kMaxBlockText);

} // namespace torvale
