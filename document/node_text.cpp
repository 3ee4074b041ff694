// Nodes as mod text for the clipboard, and mod text read back into nodes by
// the same reader that opens files.
#include "node_text.h"

#include "mod_reader.h"

namespace torvale {

namespace {

void putBlock(std::string& out, int tag, std::string_view content) {
    if (!out.empty())
        out += "\r\n\r\n";
    out.append(openingTag(tag)).append("\r\n").append(content).append("\r\n");
    out.append(closingTag(tag));
}

void putNode(std::string& out, const NodeCopy& node) {
    const TItem& item = node.item;
    if (item.Kind == akEditFile) {
        putBlock(out, tagEditFile, item.FileName.view());
    } else {
        putBlock(out, tagSearchFor, item.SearchText.view());
        putBlock(out, actionTagOf(item.Kind), item.ActionText.view());
    }
    for (const NodeCopy& child : node.children)
        putNode(out, child);
}

} // namespace

std::string modTextOf(const std::vector<NodeCopy>& nodes) {
    std::string out;
    for (const NodeCopy& node : nodes)
        putNode(out, node);
    if (!out.empty())
        out += "\r\n";
    return out;
}

PastedNodes nodesFromModText(std::string_view text) {
    ModDocument doc;
    readMod(text, doc);
    PastedNodes pasted;
    for (int row = 0; row < doc.topLevelCount(); ++row) {
        NodeCopy copy = copyOf(doc.topLevel(row));
        (copy.item.Kind == akEditFile ? pasted.editFiles : pasted.actions).push_back(std::move(copy));
    }
    return pasted;
}

} // namespace torvale
