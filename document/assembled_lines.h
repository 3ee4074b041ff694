// Where each part of a document stands in the text the assembler writes for
// it: the line of every node's first tag, counted as Perl counts lines.
#pragma once

#include "mod_document.h"

#include <cstddef>
#include <vector>

namespace torvale {

struct NodeLine {
    const Node* node;
    std::size_t line; // from 1: its "<edit file>", or its "<search for>" for a search action
};

// Every node in display order, with its line in assembleMod(doc).
std::vector<NodeLine> assembledNodeLines(const ModDocument& doc);

} // namespace torvale
