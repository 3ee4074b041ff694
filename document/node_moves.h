// Where the keyboard's Move Up and Move Down put a node, as one rule for the
// window and its tests.
#pragma once

#include "drop_rule.h"
#include "edit_ops.h"

#include <optional>

namespace torvale {

enum class Direction { Up, Down };

// One place up or down among the node's siblings; a top-level node moves with
// its children. A search action at the edge of its group moves on into the
// neighbouring group, to its end going up and to its start going down.
// Nothing at the edge of the tree.
std::optional<DropPlace> stepPlacement(const ModDocument& doc, const Node* node, Direction where);

// The edit that moves node to place: a drop or a step.
edits::Move moveTo(const Node* node, DropPlace place);

} // namespace torvale
