// Move Up and Move Down, and the conversion of a place in the tree into an
// undoable move.
#include "node_moves.h"

namespace torvale {

std::optional<DropPlace> stepPlacement(const ModDocument& doc, const Node* node, Direction where) {
    const int row = node->row();
    const bool up = where == Direction::Up;
    Node* parent = node->parent();
    const int siblings = doc.childCount(parent);
    // moveNode counts the row before the move, so one place down stands
    // before the row two below.
    if (up ? row > 0 : row + 1 < siblings)
        return DropPlace{parent, up ? row - 1 : row + 2};
    if (!parent)
        return std::nullopt;
    const int neighbourRow = parent->row() + (up ? -1 : 1);
    if (neighbourRow < 0 || neighbourRow >= doc.topLevelCount())
        return std::nullopt;
    Node* neighbour = doc.topLevel(neighbourRow);
    return DropPlace{neighbour, up ? neighbour->childCount() : 0};
}

edits::Move moveTo(const Node* node, DropPlace place) {
    const NodePath from = pathOf(node);
    if (node->parent() == place.parent) {
        const int row = place.beforeRow > from.row ? place.beforeRow - 1 : place.beforeRow;
        return {from, {from.parentRow, row}};
    }
    if (!place.parent)
        return {from, {-1, place.beforeRow}};
    // The parent's row once the node is out of the top level.
    int parentRow = place.parent->row();
    if (!node->parent() && node->row() < parentRow)
        --parentRow;
    return {from, {parentRow, place.beforeRow}};
}

} // namespace torvale
