// Where the keyboard's Move Up and Move Down put a node, as one rule for the
// window and its tests.
#pragma once

#include "edit_ops.h"

#include <optional>

namespace torvale {

// A place in the tree as ModDocument::moveNode takes it: the new parent
// (nullptr for the top level) and the row to stand before, counted before the move.
struct Placement {
    Node* parent = nullptr;
    int beforeRow = 0;
};

enum class Direction { Up, Down };

// One place up or down among the node's siblings; a top-level node moves with
// its children. A search action at the edge of its group moves on into the
// neighbouring group, to its end going up and to its start going down.
// Nothing at the edge of the tree.
std::optional<Placement> stepPlacement(const ModDocument& doc, const Node* node, Direction where);

// The edit that moves node to placement.
edit::Move moveTo(const Node* node, Placement placement);

} // namespace torvale
