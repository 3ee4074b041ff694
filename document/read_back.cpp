// The save's check that a document reads back as it is: each text's lines
// against the reading rules, then the text read back and compared.
#include "read_back.h"

#include "line_cursor.h"
#include "mod_reader.h"
#include "tag_scanner.h"

#include <vector>

namespace torvale {

namespace {

using Field = ReadBackProblem::Field;

// The block a text is written in, for its closing tag.
int tagOf(Field field, const Node* node, Property property) {
    switch (field) {
    case Field::Property:
        return int(property);
    case Field::FileName:
        return tagEditFile;
    case Field::SearchText:
        return tagSearchFor;
    default:
        return actionTagOf(node->kind());
    }
}

bool multiLine(int tag) {
    return tag == tagModInfo || tag >= tagSearchFor;
}

// The first tag on the line that the reader would act on inside a block of
// this tag: any opening tag, or the block's own closing tag.
std::string_view tagActedOn(std::string_view line, int tag) {
    const char* end = line.data() + line.size();
    for (std::size_t at = line.find('<'); at != std::string_view::npos;
         at = line.find('<', at + 1)) {
        const char* p = line.data() + at;
        for (int t = 0; t < kTagCount; ++t)
            if (tag_scan::matchesAt(p, end, openingTag(t)))
                return openingTag(t);
        if (tag_scan::matchesAt(p, end, closingTag(tag)))
            return closingTag(tag);
    }
    return {};
}

std::optional<ReadBackProblem> problem(const Node* node, Property property, Field field,
                                       std::size_t line, std::string_view lineText,
                                       std::string why) {
    ReadBackProblem p;
    p.node = node;
    p.property = property;
    p.field = field;
    p.line = line;
    p.lineText = lineText;
    p.why = std::move(why);
    return p;
}

std::optional<ReadBackProblem> checkText(std::string_view text, const Node* node, Property property,
                                         Field field) {
    const int tag = tagOf(field, node, property);
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
        return problem(node, property, field, lineNumberAt(text, nul), {},
                       "it holds a NUL byte, which ends a mod file for the reader");
    LineCursor cursor(text);
    std::string_view line;
    for (std::size_t n = 1; cursor.next(line); ++n) {
        if (n == 1 && line.empty() && multiLine(tag))
            return problem(node, property, field, n, line,
                           "its first line is empty, and the reader drops empty lines at the "
                           "start of a text");
        if (n == 2 && !multiLine(tag))
            return problem(node, property, field, n, line,
                           tag == tagEditFile
                               ? "it has more than one line, and the reader keeps only the last"
                               : "it has more than one line, and the reader joins them into one");
        const std::string_view acted = tagActedOn(line, tag);
        if (acted.empty())
            continue;
        return problem(node, property, field, n, line,
                       "it holds \"" + std::string(acted) + "\", which " +
                           (acted[1] == '/' ? "ends its block early" : "opens a block of its own"));
    }
    return std::nullopt;
}

std::optional<ReadBackProblem> checkTexts(const ModDocument& doc) {
    for (int p = 0; p < kPropertyCount; ++p)
        if (auto found =
                checkText(doc.property(Property(p)), nullptr, Property(p), Field::Property))
            return found;
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        for (int c = -1; c < top->childCount(); ++c) {
            const Node* node = c < 0 ? top : top->child(c);
            const TItem& item = node->item();
            std::optional<ReadBackProblem> found;
            if (item.Kind == akEditFile)
                found = checkText(item.FileName, node, {}, Field::FileName);
            else if (!(found = checkText(item.SearchText, node, {}, Field::SearchText)))
                found = checkText(item.ActionText, node, {}, Field::ActionText);
            if (found)
                return found;
        }
    }
    return std::nullopt;
}

// The nodes in display order, as the mod text lists them.
std::vector<const Node*> displayOrder(const ModDocument& doc) {
    std::vector<const Node*> nodes;
    nodes.reserve(doc.nodeCount());
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        nodes.push_back(top);
        for (int c = 0; c < top->childCount(); ++c)
            nodes.push_back(top->child(c));
    }
    return nodes;
}

// The first place where b, read back, differs from a.
std::optional<ReadBackProblem> compare(const ModDocument& a, const ModDocument& b) {
    const auto differ = [](const Node* node, Property property, Field field) {
        return problem(node, property, field, 0, {}, "it would read back differently");
    };
    for (int p = 0; p < kPropertyCount; ++p)
        if (!(a.property(Property(p)) == b.property(Property(p))))
            return differ(nullptr, Property(p), Field::Property);
    const std::vector<const Node*> as = displayOrder(a);
    const std::vector<const Node*> bs = displayOrder(b);
    for (std::size_t i = 0; i < as.size(); ++i) {
        const Node* node = as[i];
        const Node* other = i < bs.size() ? bs[i] : nullptr;
        if (!other || other->kind() != node->kind() || other->level() != node->level())
            return problem(node, {}, Field::Place, 0, {},
                           node->level() == 0 && node->kind() != akEditFile
                               ? "a search action after an edit-file node would read back as a "
                                 "step of that node"
                               : "it would read back in another place of the tree");
        const TItem& x = node->item();
        const TItem& y = other->item();
        if (!(x.FileName == y.FileName))
            return differ(node, {}, Field::FileName);
        if (!(x.SearchText == y.SearchText))
            return differ(node, {}, Field::SearchText);
        if (!(x.ActionText == y.ActionText))
            return differ(node, {}, Field::ActionText);
    }
    if (bs.size() != as.size())
        return problem(nullptr, {}, Field::Place, 0, {}, "it would read back with more nodes");
    return std::nullopt;
}

} // namespace

std::optional<ReadBackProblem> findReadBackProblem(const ModDocument& doc,
                                                   std::string_view assembled) {
    // Texts without tags read back in one pass over the text: the reader
    // then never takes a line in twice.
    if (auto found = checkTexts(doc))
        return found;
    ModDocument again;
    if (!readMod(assembled, again).complete())
        return problem(nullptr, {}, Field::Place, 0, {}, "the text would not read back whole");
    return compare(doc, again);
}

} // namespace torvale
