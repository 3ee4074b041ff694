// The drop rule of the action tree.
#include "drop_rule.h"

namespace torvale {

std::optional<DropPlace> dropPlace(const Node* dragged, Node* target) {
    if (!dragged || !target || dragged == target)
        return std::nullopt;
    if (dragged->level() == target->level())
        return DropPlace{target->parent(), target->row()};
    if (dragged->level() == 1 && target->level() == 0)
        return DropPlace{target, target->childCount()};
    return std::nullopt;
}

} // namespace torvale
