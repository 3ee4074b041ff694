// Nodes of the action tree as mod text and back: what Copy puts on the
// clipboard, and what Paste makes of mod text from anywhere.
#pragma once

#include "edit_ops.h"

#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// The blocks of the nodes, each with its children, in the canonical layout
// of a mod file, without the properties.
std::string modTextOf(const std::vector<NodeCopy>& nodes);

// What a text holds that can become nodes.
struct PastedNodes {
    // Search actions that come before any edit-file block: they belong to
    // the group the text is pasted into.
    std::vector<NodeCopy> actions;
    // Edit-file blocks, each with the search actions that follow it.
    std::vector<NodeCopy> editFiles;
    bool empty() const { return actions.empty() && editFiles.empty(); }
};

// Reads text by the format's rules; the properties and whatever the rules
// drop are left out. A block that is never closed adds what was read before it.
PastedNodes nodesFromModText(std::string_view text);

} // namespace torvale
