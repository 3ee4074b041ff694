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
        return decodeText(node->label(), encoding_);
    case Qt::ToolTipRole:
        return toolTip(*node);
    case Qt::DecorationRole:
        return icons_[std::size_t(node->kind())];
    default:
        return {};
    }
}

// Rows of one kind look alike: the tooltip tells them apart by the file an
// edit-file node names, or by how a search action's search text begins.
QString ActionTreeModel::toolTip(const Node& node) const {
    constexpr int kLines = 4;
    constexpr std::size_t kBytes = 400;
    const TItem& item = node.item();
    std::string_view text = item.Kind == akEditFile ? item.FileName.view() : item.SearchText.view();
    if (text.empty())
        return decodeText(node.label(), encoding_);
    std::size_t end = 0;
    for (int line = 0; line < kLines && end < text.size(); ++line) {
        end = text.find('\n', end);
        end = end == std::string_view::npos ? text.size() : end + 1;
    }
    bool cut = end < text.size();
    if (end > kBytes) {
        end = kBytes;
        cut = true;
        // Not inside a UTF-8 sequence.
        while (encoding_ == TextEncoding::Utf8 && end > 0 && (text[end] & 0xC0) == 0x80)
            --end;
    }
    QString tip = decodeText(text.substr(0, end), encoding_);
    while (tip.endsWith(u'\n'))
        tip.chop(1);
    return cut ? tip + QStringLiteral("\n\u2026") : tip;
}

Qt::ItemFlags ActionTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

} // namespace torvale
