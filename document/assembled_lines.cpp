// Counts the lines of the canonical layout without writing it: a block is
// its tag, its content, its closing tag and an empty line.
#include "assembled_lines.h"

#include <algorithm>

namespace torvale {

namespace {

std::size_t contentLines(std::string_view text) {
    return std::size_t(std::count(text.begin(), text.end(), '\n')) + 1;
}

std::size_t blockLines(std::string_view content) {
    return contentLines(content) + 3;
}

} // namespace

std::vector<NodeLine> assembledNodeLines(const ModDocument& doc) {
    std::vector<NodeLine> out;
    out.reserve(doc.nodeCount());
    std::size_t line = 1;
    for (int p = 0; p < kPropertyCount; ++p)
        line += blockLines(doc.property(Property(p)));
    const auto visit = [&](const Node* node) {
        out.push_back({node, line});
        const TItem& item = node->item();
        if (item.Kind == akEditFile)
            line += blockLines(item.FileName);
        else
            line += blockLines(item.SearchText) + blockLines(item.ActionText);
    };
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        visit(top);
        for (int c = 0; c < top->childCount(); ++c)
            visit(top->child(c));
    }
    return out;
}

} // namespace torvale
