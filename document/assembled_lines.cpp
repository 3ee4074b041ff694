// The assembled text's lines counted from the document, block by block, in
// the canonical layout of the assembler: tag, content, tag, empty line.
#include "assembled_lines.h"

#include "mod_reader.h"

#include <algorithm>
#include <cctype>

namespace torvale {

namespace {

std::size_t linesOf(std::string_view content) {
    std::size_t lines = 1;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\n' ||
            (content[i] == '\r' && (i + 1 == content.size() || content[i + 1] != '\n')))
            ++lines;
    }
    return lines;
}

// Each block takes its opening tag, its content, its closing tag and the
// empty line that follows.
std::size_t blockLines(std::string_view content) {
    return linesOf(content) + 3;
}

} // namespace

AssembledLineOwner ownerOfAssembledLine(const ModDocument& doc, std::size_t line) {
    std::size_t at = 0;
    for (int p = 0; p < kPropertyCount; ++p) {
        at += blockLines(doc.property(Property(p)).view());
        if (line < at)
            return {Property(p), std::nullopt};
    }
    const auto owns = [&](const Node* node) {
        const TItem& item = node->item();
        at += item.Kind == akEditFile
                  ? blockLines(item.FileName.view())
                  : blockLines(item.SearchText.view()) + blockLines(item.ActionText.view());
        return line < at;
    };
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        if (owns(top))
            return {std::nullopt, NodePath{-1, r}};
        for (int c = 0; c < top->childCount(); ++c)
            if (owns(top->child(c)))
                return {std::nullopt, NodePath{r, c}};
    }
    return {};
}

std::size_t assembledLineOfNode(const ModDocument& doc, NodePath path) {
    std::size_t at = 0;
    for (int p = 0; p < kPropertyCount; ++p)
        at += blockLines(doc.property(Property(p)).view());
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        for (int c = -1; c < top->childCount(); ++c) {
            if (NodePath{c < 0 ? -1 : r, c < 0 ? r : c} == path)
                return at;
            const TItem& item = (c < 0 ? top : top->child(c))->item();
            at += item.Kind == akEditFile
                      ? blockLines(item.FileName.view())
                      : blockLines(item.SearchText.view()) + blockLines(item.ActionText.view());
        }
    }
    return at;
}

std::optional<NodePath> nodeBeforeFileLine(const ModDocument& doc, std::string_view fileText,
                                           std::size_t line) {
    const auto opensNode = [](std::string_view text) {
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
            text.remove_prefix(1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.remove_suffix(1);
        std::string lower(text);
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return lower == openingTag(tagEditFile) || lower == openingTag(tagSearchFor);
    };
    const std::vector<std::string_view> lines = splitLines(fileText);
    std::size_t opened = 0;
    for (std::size_t i = 0; i < lines.size() && i < line; ++i)
        opened += opensNode(lines[i]);
    if (opened == 0)
        return std::nullopt;
    // The nodes in display order, the file's order.
    std::size_t index = 0;
    std::optional<NodePath> last;
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        for (int c = -1; c < top->childCount(); ++c) {
            last = NodePath{c < 0 ? -1 : r, c < 0 ? r : c};
            if (++index == opened)
                return last;
        }
    }
    return last;
}

std::vector<NodeLine> assembledNodeLines(const ModDocument& doc) {
    const auto perlLines = [](std::string_view text) {
        return std::size_t(std::count(text.begin(), text.end(), '\n')) + 4;
    };
    std::vector<NodeLine> out;
    out.reserve(doc.nodeCount());
    std::size_t line = 1;
    for (int p = 0; p < kPropertyCount; ++p)
        line += perlLines(doc.property(Property(p)));
    const auto visit = [&](const Node* node) {
        out.push_back({node, line});
        const TItem& item = node->item();
        line += item.Kind == akEditFile ? perlLines(item.FileName)
                                        : perlLines(item.SearchText) + perlLines(item.ActionText);
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
