// Edits of a document as values. Applying an edit gives back the edit that
// undoes it, so an undo history is a list of values and never a copy of the mod.
#pragma once

#include "mod_document.h"
#include "text_encoding.h"

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace torvale {

// Where a node stands, by position rather than by pointer, because undoing a
// removal makes the node anew: the top-level row of its parent (-1 for a
// top-level node) and its row among its siblings.
struct NodePath {
    int parentRow = -1;
    int row = 0;

    bool operator==(const NodePath&) const = default;
};

NodePath pathOf(const Node* node);
// The node at path, or nullptr when there is none.
Node* nodeAt(const ModDocument& doc, NodePath path);

// A node with its children, as a removal takes it away and an insertion puts it back.
struct NodeCopy {
    TItem item;
    LabelForm form = LabelForm::Added;
    std::vector<NodeCopy> children;
};

NodeCopy copyOf(const Node* node);

namespace edits {

struct Insert {
    NodePath at;
    NodeCopy node;
};
struct Remove {
    NodePath at; // the node goes with its children
};
// to is where the node stands after the move, so the move back is {to, from}.
struct Move {
    NodePath from;
    NodePath to;
};
// Between the three kinds of search action only.
struct SetKind {
    NodePath at;
    std::int32_t kind;
};
struct SetFileName {
    NodePath at;
    Text fileName;
    LabelForm form = LabelForm::Edited;
};
struct SetSearchText {
    NodePath at;
    Text text;
};
struct SetActionText {
    NodePath at;
    Text text;
};
struct SetProperty {
    Property property;
    Text value;
};
// Every text of the document at once, in the order of allTexts(), as a change
// of the mod's encoding rewrites them.
struct SetAllTexts {
    std::vector<Text> texts;
};

} // namespace edits

using Edit = std::variant<edits::Insert, edits::Remove, edits::Move, edits::SetKind,
                          edits::SetFileName, edits::SetSearchText, edits::SetActionText,
                          edits::SetProperty, edits::SetAllTexts>;

// Told of every change an edit makes, before and after, so that a view can
// follow the document without looking at the whole of it.
class EditObserver {
public:
    virtual ~EditObserver() = default;
    virtual void beforeInsert(const Node* /*parent*/, int /*row*/) {}
    virtual void afterInsert(const Node* /*node*/) {}
    virtual void beforeRemove(const Node* /*node*/) {}
    virtual void afterRemove() {}
    // newParent and beforeRow as ModDocument::moveNode takes them.
    virtual void beforeMove(const Node* /*node*/, const Node* /*newParent*/, int /*beforeRow*/) {}
    virtual void afterMove(const Node* /*node*/) {}
    virtual void nodeChanged(const Node* /*node*/) {}
    virtual void propertyChanged(Property /*property*/) {}
    virtual void allTextsChanged() {}
};

// Applies edit to doc and returns the edit that undoes it. An edit that does
// not fit the document (a path to no node, a move that would break the two
// levels) throws std::invalid_argument and leaves the document as it was: a
// history applied to another document is a broken contract.
Edit applyEdit(ModDocument& doc, Edit edit, EditObserver* observer = nullptr);

// The node to show the user after edit was applied: the node it touched, or
// for a removal the node nearest to where it stood; none for the properties.
std::optional<NodePath> placeToShow(const ModDocument& doc, const Edit& applied);

// The five properties, then FileName, SearchText and ActionText of every node
// in display order.
std::vector<Text> allTexts(const ModDocument& doc);

// The edit that turns a Windows-1252 document into the same characters in UTF-8.
edits::SetAllTexts recodeToUtf8(const ModDocument& doc);

// A document's content taken cheaply, to be made into a document again on
// another thread: the texts shared, in the order of allTexts(), and the shape
// of the tree as a list of nodes in display order.
struct DocumentSnapshot {
    struct Shape {
        std::uint8_t level;
        std::int32_t kind;
        LabelForm form;

        bool operator==(const Shape&) const = default;
    };
    std::vector<Text> texts;
    std::vector<Shape> nodes;

    bool operator==(const DocumentSnapshot&) const = default;
};

DocumentSnapshot snapshotOf(const ModDocument& doc);
ModDocument documentFrom(const DocumentSnapshot& snapshot);

} // namespace torvale
