// Where a node of the action tree lands when the user drops it on another:
// the one rule that the tree view's feedback and the move itself both follow.
#pragma once

#include "mod_document.h"

#include <optional>

namespace torvale {

// A place in the tree as ModDocument::moveNode takes it: before row beforeRow
// of parent's children, counted as they are before the move (parent nullptr is
// the top level).
struct DropPlace {
    Node* parent = nullptr;
    int beforeRow = 0;
};

// Dropping a node on a node of its own level puts it just before that node (an
// edit-file node takes its search actions along; a search action may so pass
// to another edit-file node). A search action dropped on a top-level node
// becomes that node's last child. Nothing else is a drop: no target, the node
// itself, or a top-level node over a second-level one.
std::optional<DropPlace> dropPlace(const Node* dragged, Node* target);

} // namespace torvale
