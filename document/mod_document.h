// The mod document: five properties and the action tree.
//
// The tree has two levels. The top level holds the edit-file nodes (and, only
// when read from a file, search actions that came before the first edit-file
// block); the second level holds search actions. Display order (each top-level
// node followed by its children) is the order of the mod file.
#pragma once

#include "memory_hints.h"
#include "mod_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace torvale {

// The five property blocks, in tag order.
enum class Property : int { Id = 0, Version, ModInfo, Author, Homepage };
inline constexpr int kPropertyCount = 5;

// How an edit-file node last got its label; the label is derived from it.
enum class LabelForm : std::uint8_t {
    Added,  // "<edit file>"
    Read,   // "<edit file> " + FileName
    Edited, // "<edit file>" + FileName
};

class Node {
public:
    const TItem& item() const { return item_; }
    std::int32_t kind() const { return item_.Kind; }
    LabelForm labelForm() const { return labelForm_; }
    std::string label() const;

    Node* parent() const { return parent_; }
    int row() const { return row_; }
    int level() const { return parent_ ? 1 : 0; }
    int childCount() const { return int(children_.size()); }
    Node* child(int row) const { return children_[std::size_t(row)]; }

    bool operator==(const Node& other) const;

private:
    friend class ModDocument;
    // Ordered so that no padding lies between the members: a large mod
    // has a hundred thousand nodes.
    TItem item_;
    Node* parent_ = nullptr;
    std::vector<Node*> children_;
    int row_ = 0;
    LabelForm labelForm_ = LabelForm::Added;
};

// The memory of a document's nodes: slabs of many nodes each, because reading
// a large mod makes tens of thousands of them, and one heap allocation apiece
// costs more than reading their texts.
class NodePool {
public:
    NodePool() = default;
    NodePool(NodePool&& other) noexcept;
    NodePool& operator=(NodePool&& other) noexcept;
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;
    ~NodePool() = default; // the owner destroys its nodes first

    Node* make();
    // Runs the node's destructor and keeps its memory for the next make().
    void destroy(Node* node);

private:
    union Slot {
        Slot* next;
        alignas(Node) std::byte bytes[sizeof(Node)];
    };
    struct Slab {
        std::unique_ptr<void, FreeBlock> memory;
        std::size_t capacity;
    };
    // Slabs grow from a few nodes, for the small documents the user builds,
    // to huge pages' worth, for large mods.
    static constexpr std::size_t kFirstSlabNodes = 64;
    static constexpr std::size_t kLargestSlabNodes = kHugePage / sizeof(Slot);
    std::vector<Slab> slabs_;
    std::size_t usedInLastSlab_ = 0;
    Slot* free_ = nullptr;
};

class ModDocument {
public:
    ModDocument() = default;
    ModDocument(ModDocument&& other) noexcept;
    ModDocument& operator=(ModDocument&& other) noexcept;
    ~ModDocument();
    ModDocument(const ModDocument&) = delete;
    ModDocument& operator=(const ModDocument&) = delete;

    const Text& property(Property p) const { return properties_[std::size_t(p)]; }
    void setProperty(Property p, Text value) { properties_[std::size_t(p)] = std::move(value); }

    int topLevelCount() const { return int(topLevel_.size()); }
    Node* topLevel(int row) const { return topLevel_[std::size_t(row)]; }
    // Children of parent, or the top level for nullptr.
    int childCount(const Node* parent) const;
    Node* childAt(const Node* parent, int row) const;
    std::size_t nodeCount() const { return nodeCount_; }
    bool treeEmpty() const { return topLevel_.empty(); }

    // The operations that change the tree. parent nullptr means the top level.
    // A node with a parent never has children, so the tree stays two levels
    // deep, and edit-file nodes stay on the top level.
    Node* insertNode(Node* parent, int row, TItem item, LabelForm form = LabelForm::Added);
    Node* appendNode(Node* parent, TItem item, LabelForm form = LabelForm::Added);
    // Removes the node with its children; returns how many nodes went.
    std::size_t removeNode(Node* node);
    // Moves node so that it stands before row beforeRow of newParent's children,
    // counted as they are before the move (childCount means at the end).
    void moveNode(Node* node, Node* newParent, int beforeRow);
    // True when moveNode(node, newParent, ...) keeps the tree's shape.
    static bool canMove(const Node* node, const Node* newParent);
    void setKind(Node* node, std::int32_t kind);
    void setFileName(Node* node, Text fileName, LabelForm form = LabelForm::Edited);
    void setSearchText(Node* node, Text text) { node->item_.SearchText = std::move(text); }
    void setActionText(Node* node, Text text) { node->item_.ActionText = std::move(text); }
    void clear();

    // The last node in display order, or nullptr for an empty tree.
    Node* lastNode() const;

    // Steps are the nodes of the second level. GetStep is the 1-based position
    // of the selected node among them, 0 when nothing or a top-level node is
    // selected.
    int GetTotalSteps() const;
    int GetStep(const Node* selected) const;

    bool operator==(const ModDocument& other) const;

private:
    std::vector<Node*>& siblings(Node* parent) { return parent ? parent->children_ : topLevel_; }
    static void renumber(std::vector<Node*>& list, std::size_t from);
    void destroyTree();

    std::array<Text, kPropertyCount> properties_;
    NodePool pool_;
    std::vector<Node*> topLevel_;
    std::size_t nodeCount_ = 0;
};

} // namespace torvale
