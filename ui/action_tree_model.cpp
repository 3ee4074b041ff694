#include "action_tree_model.h"

#include "text_codec.h"

namespace torvale {

ActionTreeModel::ActionTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void ActionTreeModel::resetDocument(ModDocument doc, TextEncoding encoding) {
    beginResetModel();
    doc_ = std::move(doc);
    encoding_ = encoding;
    endResetModel();
}

Node* ActionTreeModel::nodeFromIndex(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex ActionTreeModel::indexFromNode(const Node* node) const {
    return node ? createIndex(node->row(), 0, const_cast<Node*>(node)) : QModelIndex();
}

QModelIndex ActionTreeModel::appendNode(Node* parent, TItem item, LabelForm form) {
    const int row = doc_.childCount(parent);
    beginInsertRows(indexFromNode(parent), row, row);
    Node* node = doc_.appendNode(parent, std::move(item), form);
    endInsertRows();
    return indexFromNode(node);
}

void ActionTreeModel::removeNode(Node* node) {
    const int row = node->row();
    beginRemoveRows(indexFromNode(node->parent()), row, row);
    doc_.removeNode(node);
    endRemoveRows();
}

bool ActionTreeModel::moveNode(Node* node, Node* newParent, int beforeRow) {
    if (!ModDocument::canMove(node, newParent))
        return false;
    const QModelIndex from = indexFromNode(node->parent());
    // Qt refuses moves that leave the order as it is.
    if (!beginMoveRows(from, node->row(), node->row(), indexFromNode(newParent), beforeRow))
        return false;
    doc_.moveNode(node, newParent, beforeRow);
    endMoveRows();
    return true;
}

void ActionTreeModel::setKind(Node* node, std::int32_t kind) {
    doc_.setKind(node, kind);
    nodeChanged(node);
}

void ActionTreeModel::setFileName(Node* node, std::string fileName) {
    doc_.setFileName(node, std::move(fileName), LabelForm::Edited);
    nodeChanged(node);
}

void ActionTreeModel::setTexts(Node* node, std::string searchText, std::string actionText) {
    doc_.setSearchText(node, std::move(searchText));
    doc_.setActionText(node, std::move(actionText));
}

void ActionTreeModel::nodeChanged(Node* node) {
    const QModelIndex index = indexFromNode(node);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::DecorationRole});
}

QModelIndex ActionTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const Node* parentNode = nodeFromIndex(parent);
    if (parentNode && parentNode->level() > 0)
        return {};
    if (row >= doc_.childCount(parentNode))
        return {};
    return createIndex(row, 0, doc_.childAt(parentNode, row));
}

QModelIndex ActionTreeModel::parent(const QModelIndex& child) const {
    const Node* node = nodeFromIndex(child);
    return node ? indexFromNode(node->parent()) : QModelIndex();
}

int ActionTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return doc_.childCount(nodeFromIndex(parent));
}

int ActionTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ActionTreeModel::data(const QModelIndex& index, int role) const {
    const Node* node = nodeFromIndex(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return decodeText(node->label(), encoding_);
    case Qt::DecorationRole:
        return icons_[std::size_t(node->kind())];
    default:
        return {};
    }
}

Qt::ItemFlags ActionTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

} // namespace torvale
