#include "mod_document.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace torvale {

std::string Node::label() const {
    if (item_.Kind != akEditFile)
        return std::string(NodeLabels[std::size_t(item_.Kind)]);
    std::string text(NodeLabels[akEditFile]);
    switch (labelForm_) {
    case LabelForm::Added:
        break;
    case LabelForm::Read:
        text += ' ';
        text += item_.FileName.view();
        break;
    case LabelForm::Edited:
        text += item_.FileName.view();
        break;
    }
    return text;
}

bool Node::operator==(const Node& other) const {
    // The label form only shows on edit-file nodes.
    const bool formsDiffer = item_.Kind == akEditFile && labelForm_ != other.labelForm_;
    if (!(item_ == other.item_) || formsDiffer || children_.size() != other.children_.size())
        return false;
    for (std::size_t i = 0; i < children_.size(); ++i)
        if (!(*children_[i] == *other.children_[i]))
            return false;
    return true;
}

NodePool::NodePool(NodePool&& other) noexcept
    : slabs_(std::move(other.slabs_)), usedInLastSlab_(other.usedInLastSlab_), free_(other.free_) {
    other.slabs_.clear();
    other.usedInLastSlab_ = 0;
    other.free_ = nullptr;
}

NodePool& NodePool::operator=(NodePool&& other) noexcept {
    if (this != &other) {
        slabs_ = std::move(other.slabs_);
        usedInLastSlab_ = other.usedInLastSlab_;
        free_ = other.free_;
        other.slabs_.clear();
        other.usedInLastSlab_ = 0;
        other.free_ = nullptr;
    }
    return *this;
}

Node* NodePool::make() {
    Slot* slot;
    if (free_) {
        slot = free_;
        free_ = free_->next;
    } else {
        if (slabs_.empty() || usedInLastSlab_ == slabs_.back().capacity) {
            const std::size_t capacity =
                slabs_.empty() ? kFirstSlabNodes
                               : std::min(2 * slabs_.back().capacity, kLargestSlabNodes);
            // Not initialised: a slab's pages are touched only as nodes are made.
            auto memory =
                capacity == kLargestSlabNodes
                    ? allocateLarge(capacity * sizeof(Slot))
                    : std::unique_ptr<void, FreeBlock>(std::malloc(capacity * sizeof(Slot)));
            if (!memory)
                throw std::bad_alloc();
            slabs_.push_back({std::move(memory), capacity});
            usedInLastSlab_ = 0;
        }
        slot = static_cast<Slot*>(slabs_.back().memory.get()) + usedInLastSlab_++;
    }
    return new (slot->bytes) Node();
}

void NodePool::destroy(Node* node) {
    node->~Node();
    auto* slot = reinterpret_cast<Slot*>(node);
    slot->next = free_;
    free_ = slot;
}

ModDocument::ModDocument(ModDocument&& other) noexcept
    : properties_(std::move(other.properties_)), pool_(std::move(other.pool_)),
      topLevel_(std::move(other.topLevel_)), nodeCount_(other.nodeCount_) {
    other.topLevel_.clear();
    other.nodeCount_ = 0;
}

ModDocument& ModDocument::operator=(ModDocument&& other) noexcept {
    if (this != &other) {
        destroyTree();
        properties_ = std::move(other.properties_);
        pool_ = std::move(other.pool_);
        topLevel_ = std::move(other.topLevel_);
        nodeCount_ = other.nodeCount_;
        other.topLevel_.clear();
        other.nodeCount_ = 0;
    }
    return *this;
}

ModDocument::~ModDocument() {
    destroyTree();
}

void ModDocument::destroyTree() {
    for (Node* top : topLevel_) {
        for (Node* child : top->children_)
            pool_.destroy(child);
        pool_.destroy(top);
    }
    topLevel_.clear();
    nodeCount_ = 0;
}

int ModDocument::childCount(const Node* parent) const {
    return parent ? parent->childCount() : topLevelCount();
}

Node* ModDocument::childAt(const Node* parent, int row) const {
    return parent ? parent->child(row) : topLevel(row);
}

void ModDocument::renumber(std::vector<Node*>& list, std::size_t from) {
    for (std::size_t i = from; i < list.size(); ++i)
        list[i]->row_ = int(i);
}

Node* ModDocument::insertNode(Node* parent, int row, TItem item, LabelForm form) {
    if (item.Kind < akEditFile || item.Kind > akSearchAddAfter)
        throw std::invalid_argument("insertNode: no such kind");
    if (parent && (parent->parent_ || item.Kind == akEditFile))
        throw std::invalid_argument("edit files stay on the top level, search actions below");
    auto& list = siblings(parent);
    if (row < 0 || std::size_t(row) > list.size())
        throw std::out_of_range("insertNode: row out of range");
    Node* node = pool_.make();
    node->item_ = std::move(item);
    node->labelForm_ = form;
    node->parent_ = parent;
    list.insert(list.begin() + row, node);
    renumber(list, std::size_t(row));
    ++nodeCount_;
    return node;
}

Node* ModDocument::appendNode(Node* parent, TItem item, LabelForm form) {
    return insertNode(parent, childCount(parent), std::move(item), form);
}

std::size_t ModDocument::removeNode(Node* node) {
    auto& list = siblings(node->parent_);
    const std::size_t row = std::size_t(node->row_);
    const std::size_t removed = 1 + node->children_.size();
    list.erase(list.begin() + std::ptrdiff_t(row));
    renumber(list, row);
    for (Node* child : node->children_)
        pool_.destroy(child);
    pool_.destroy(node);
    nodeCount_ -= removed;
    return removed;
}

bool ModDocument::canMove(const Node* node, const Node* newParent) {
    if (!newParent)
        return true;
    return newParent != node && !newParent->parent_ && node->children_.empty() &&
           node->item_.Kind != akEditFile;
}

void ModDocument::moveNode(Node* node, Node* newParent, int beforeRow) {
    if (!canMove(node, newParent))
        throw std::invalid_argument("the action tree has only two levels");
    auto& from = siblings(node->parent_);
    auto& to = siblings(newParent);
    if (beforeRow < 0 || std::size_t(beforeRow) > to.size())
        throw std::out_of_range("moveNode: row out of range");
    const std::size_t oldRow = std::size_t(node->row_);
    Node* moved = from[oldRow];
    from.erase(from.begin() + std::ptrdiff_t(oldRow));
    std::size_t newRow = std::size_t(beforeRow);
    if (&from == &to && newRow > oldRow)
        --newRow;
    moved->parent_ = newParent;
    to.insert(to.begin() + std::ptrdiff_t(newRow), moved);
    if (&from == &to) {
        renumber(to, std::min(oldRow, newRow));
    } else {
        renumber(from, oldRow);
        renumber(to, newRow);
    }
}

void ModDocument::setKind(Node* node, std::int32_t kind) {
    if (kind < akEditFile || kind > akSearchAddAfter)
        throw std::invalid_argument("setKind: no such kind");
    node->item_.Kind = kind;
}

void ModDocument::setFileName(Node* node, Text fileName, LabelForm form) {
    node->item_.FileName = std::move(fileName);
    node->labelForm_ = form;
}

void ModDocument::clear() {
    properties_ = {};
    destroyTree();
}

Node* ModDocument::lastNode() const {
    if (topLevel_.empty())
        return nullptr;
    Node* last = topLevel_.back();
    return last->children_.empty() ? last : last->children_.back();
}

int ModDocument::GetTotalSteps() const {
    int total = 0;
    for (const auto& top : topLevel_)
        total += top->childCount();
    return total;
}

int ModDocument::GetStep(const Node* selected) const {
    if (!selected || !selected->parent_)
        return 0;
    int step = 0;
    for (int row = 0; row < selected->parent_->row_; ++row)
        step += topLevel_[std::size_t(row)]->childCount();
    return step + selected->row_ + 1;
}

bool ModDocument::operator==(const ModDocument& other) const {
    if (properties_ != other.properties_ || topLevel_.size() != other.topLevel_.size())
        return false;
    for (std::size_t i = 0; i < topLevel_.size(); ++i)
        if (!(*topLevel_[i] == *other.topLevel_[i]))
            return false;
    return true;
}

} // namespace torvale
