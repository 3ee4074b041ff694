// Applying edit values to a document, each giving back its inverse, and the
// snapshot and whole-text helpers of the undo history and the recovery copy.
#include "edit_ops.h"

#include <stdexcept>

namespace torvale {

namespace {

template <class... F> struct Overloaded : F... { using F::operator()...; };
// Clang before 17 deduces an aggregate's arguments only with a guide.
template <class... F> Overloaded(F...) -> Overloaded<F...>;

[[noreturn]] void misfit(const char* what) {
    throw std::invalid_argument(std::string("edit does not fit the document: ") + what);
}

Node* existing(const ModDocument& doc, NodePath path) {
    Node* node = nodeAt(doc, path);
    if (!node)
        misfit("no node at the path");
    return node;
}

// The parent a path names, or nullptr for the top level.
Node* parentAt(const ModDocument& doc, int parentRow) {
    if (parentRow < 0)
        return nullptr;
    if (parentRow >= doc.topLevelCount())
        misfit("no such parent");
    return doc.topLevel(parentRow);
}

class Applier {
public:
    Applier(ModDocument& doc, EditObserver& observer) : doc_(doc), observer_(observer) {}

    Edit operator()(edits::Insert& e) {
        Node* parent = parentAt(doc_, e.at.parentRow);
        if (e.at.row < 0 || e.at.row > doc_.childCount(parent))
            misfit("insertion row");
        // Checked whole before anything changes, so a misfit leaves no half.
        const auto fits = [](const TItem& item, bool nested) {
            return nested ? isSearchAction(item.Kind)
                          : item.Kind >= akEditFile && item.Kind <= akSearchAddAfter;
        };
        if (!fits(e.node.item, parent != nullptr) || (parent && !e.node.children.empty()))
            misfit("the tree has two levels, edit files on the top");
        for (const NodeCopy& child : e.node.children)
            if (!fits(child.item, true) || !child.children.empty())
                misfit("the tree has two levels, edit files on the top");
        observer_.beforeInsert(parent, e.at.row);
        Node* node = doc_.insertNode(parent, e.at.row, std::move(e.node.item), e.node.form);
        for (NodeCopy& child : e.node.children)
            doc_.appendNode(node, std::move(child.item), child.form);
        observer_.afterInsert(node);
        return edits::Remove{e.at};
    }

    Edit operator()(edits::Remove& e) {
        Node* node = existing(doc_, e.at);
        edits::Insert inverse{e.at, copyOf(node)};
        observer_.beforeRemove(node);
        doc_.removeNode(node);
        observer_.afterRemove();
        return inverse;
    }

    Edit operator()(edits::Move& e) {
        Node* node = existing(doc_, e.from);
        if (e.from == e.to)
            return edits::Move{e.to, e.from};
        // e.to counts rows as they are once the node is out; moveNode counts
        // them as they are before.
        Node* newParent = nullptr;
        if (e.to.parentRow >= 0) {
            int row = e.to.parentRow;
            if (e.from.parentRow < 0 && e.from.row <= row)
                ++row;
            newParent = parentAt(doc_, row);
        }
        if (!ModDocument::canMove(node, newParent))
            misfit("the tree has two levels, edit files on the top");
        const bool sameList = node->parent() == newParent;
        const int room = doc_.childCount(newParent) - (sameList ? 1 : 0);
        if (e.to.row < 0 || e.to.row > room)
            misfit("destination row");
        const int beforeRow = sameList && e.to.row >= e.from.row ? e.to.row + 1 : e.to.row;
        observer_.beforeMove(node, newParent, beforeRow);
        doc_.moveNode(node, newParent, beforeRow);
        observer_.afterMove(node);
        return edits::Move{e.to, e.from};
    }

    Edit operator()(edits::SetKind& e) {
        Node* node = existing(doc_, e.at);
        if (!isSearchAction(node->kind()) || !isSearchAction(e.kind))
            misfit("only a search action changes its kind");
        edits::SetKind inverse{e.at, node->kind()};
        doc_.setKind(node, e.kind);
        observer_.nodeChanged(node);
        return inverse;
    }

    Edit operator()(edits::SetFileName& e) {
        Node* node = existing(doc_, e.at);
        edits::SetFileName inverse{e.at, node->item().FileName, node->labelForm()};
        doc_.setFileName(node, std::move(e.fileName), e.form);
        observer_.nodeChanged(node);
        return inverse;
    }

    Edit operator()(edits::SetSearchText& e) {
        Node* node = existing(doc_, e.at);
        edits::SetSearchText inverse{e.at, node->item().SearchText};
        doc_.setSearchText(node, std::move(e.text));
        observer_.nodeChanged(node);
        return inverse;
    }

    Edit operator()(edits::SetActionText& e) {
        Node* node = existing(doc_, e.at);
        edits::SetActionText inverse{e.at, node->item().ActionText};
        doc_.setActionText(node, std::move(e.text));
        observer_.nodeChanged(node);
        return inverse;
    }

    Edit operator()(edits::SetProperty& e) {
        const int index = int(e.property);
        if (index < 0 || index >= kPropertyCount)
            misfit("no such property");
        edits::SetProperty inverse{e.property, doc_.property(e.property)};
        doc_.setProperty(e.property, std::move(e.value));
        observer_.propertyChanged(e.property);
        return inverse;
    }

    Edit operator()(edits::SetAllTexts& e) {
        if (e.texts.size() != kPropertyCount + 3 * doc_.nodeCount())
            misfit("a text for every field");
        edits::SetAllTexts inverse{allTexts(doc_)};
        auto text = e.texts.begin();
        for (int p = 0; p < kPropertyCount; ++p)
            doc_.setProperty(Property(p), std::move(*text++));
        const auto set = [&](Node* node) {
            doc_.setFileName(node, std::move(*text++), node->labelForm());
            doc_.setSearchText(node, std::move(*text++));
            doc_.setActionText(node, std::move(*text++));
        };
        for (int r = 0; r < doc_.topLevelCount(); ++r) {
            Node* top = doc_.topLevel(r);
            set(top);
            for (int c = 0; c < top->childCount(); ++c)
                set(top->child(c));
        }
        observer_.allTextsChanged();
        return inverse;
    }

private:
    ModDocument& doc_;
    EditObserver& observer_;
};

} // namespace

NodePath pathOf(const Node* node) {
    return node->parent() ? NodePath{node->parent()->row(), node->row()}
                          : NodePath{-1, node->row()};
}

Node* nodeAt(const ModDocument& doc, NodePath path) {
    if (path.parentRow >= doc.topLevelCount() || path.row < 0)
        return nullptr;
    const Node* parent = path.parentRow < 0 ? nullptr : doc.topLevel(path.parentRow);
    return path.row < doc.childCount(parent) ? doc.childAt(parent, path.row) : nullptr;
}

NodeCopy copyOf(const Node* node) {
    NodeCopy copy{node->item(), node->labelForm(), {}};
    copy.children.reserve(std::size_t(node->childCount()));
    for (int c = 0; c < node->childCount(); ++c)
        copy.children.push_back(copyOf(node->child(c)));
    return copy;
}

Edit applyEdit(ModDocument& doc, Edit edit, EditObserver* observer) {
    EditObserver silent;
    Applier applier(doc, observer ? *observer : silent);
    return std::visit(applier, edit);
}

std::optional<NodePath> placeToShow(const ModDocument& doc, const Edit& applied) {
    return std::visit(
        Overloaded{
            [](const edits::Move& e) -> std::optional<NodePath> { return e.to; },
            [&](const edits::Remove& e) -> std::optional<NodePath> {
                // The node that took its place, else the one before, else its parent.
                for (NodePath near : {e.at, NodePath{e.at.parentRow, e.at.row - 1}})
                    if (nodeAt(doc, near))
                        return near;
                if (e.at.parentRow >= 0 && e.at.parentRow < doc.topLevelCount())
                    return NodePath{-1, e.at.parentRow};
                return std::nullopt;
            },
            [](const edits::SetProperty&) -> std::optional<NodePath> { return std::nullopt; },
            [](const edits::SetAllTexts&) -> std::optional<NodePath> { return std::nullopt; },
            [](const auto& e) -> std::optional<NodePath> { return e.at; },
        },
        applied);
}

std::vector<Text> allTexts(const ModDocument& doc) {
    std::vector<Text> texts;
    texts.reserve(kPropertyCount + 3 * doc.nodeCount());
    for (int p = 0; p < kPropertyCount; ++p)
        texts.push_back(doc.property(Property(p)));
    const auto add = [&](const Node* node) {
        texts.push_back(node->item().FileName);
        texts.push_back(node->item().SearchText);
        texts.push_back(node->item().ActionText);
    };
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        add(top);
        for (int c = 0; c < top->childCount(); ++c)
            add(top->child(c));
    }
    return texts;
}

edits::SetAllTexts recodeToUtf8(const ModDocument& doc) {
    edits::SetAllTexts recoded{allTexts(doc)};
    for (Text& text : recoded.texts)
        text = Text(windows1252ToUtf8(text.view()));
    return recoded;
}

DocumentSnapshot snapshotOf(const ModDocument& doc) {
    DocumentSnapshot snapshot{allTexts(doc), {}};
    snapshot.nodes.reserve(doc.nodeCount());
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        snapshot.nodes.push_back({0, top->kind(), top->labelForm()});
        for (int c = 0; c < top->childCount(); ++c)
            snapshot.nodes.push_back({1, top->child(c)->kind(), top->child(c)->labelForm()});
    }
    return snapshot;
}

ModDocument documentFrom(const DocumentSnapshot& snapshot) {
    ModDocument doc;
    auto text = snapshot.texts.begin();
    for (int p = 0; p < kPropertyCount; ++p)
        doc.setProperty(Property(p), *text++);
    Node* top = nullptr;
    for (const DocumentSnapshot::Shape& shape : snapshot.nodes) {
        TItem item{text[0], shape.kind, text[1], text[2]};
        text += 3;
        Node* node = doc.appendNode(shape.level ? top : nullptr, std::move(item), shape.form);
        if (!shape.level)
            top = node;
    }
    return doc;
}

} // namespace torvale
