#include "action_tree_model.h"

#include "text_codec.h"

namespace torvale {

ActionTreeModel::ActionTreeModel(OpenMod& mod, QObject* parent)
    : QAbstractItemModel(parent), mod_(mod) {
    mod_.addObserver(this);
    connect(&mod_, &OpenMod::aboutToBeReplaced, this, [this] {
        beginResetModel();
        marks_.clear();
    });
    connect(&mod_, &OpenMod::replaced, this, [this] { endResetModel(); });
    // Marks tell of the document as tested; any change may make them untrue.
    connect(&mod_, &OpenMod::changed, this, &ActionTreeModel::clearMarks);
}

Node* ActionTreeModel::nodeFromIndex(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex ActionTreeModel::indexFromNode(const Node* node) const {
    return node ? createIndex(node->row(), 0, const_cast<Node*>(node)) : QModelIndex();
}

// ---- Following the document's changes --------------------------------------

void ActionTreeModel::beforeInsert(const Node* parent, int row) {
    beginInsertRows(indexFromNode(parent), row, row);
}

void ActionTreeModel::afterInsert(const Node*) {
    endInsertRows();
}

void ActionTreeModel::beforeRemove(const Node* node) {
    beginRemoveRows(indexFromNode(node->parent()), node->row(), node->row());
}

void ActionTreeModel::afterRemove() {
    endRemoveRows();
}

void ActionTreeModel::beforeMove(const Node* node, const Node* newParent, int beforeRow) {
    // The document never moves a node to where it stands, which is all that
    // Qt refuses.
    const bool moving = beginMoveRows(indexFromNode(node->parent()), node->row(), node->row(),
                                      indexFromNode(newParent), beforeRow);
    Q_ASSERT(moving);
    Q_UNUSED(moving);
}

void ActionTreeModel::afterMove(const Node*) {
    endMoveRows();
}

void ActionTreeModel::nodeChanged(const Node* node) {
    const QModelIndex index = indexFromNode(node);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole});
}

void ActionTreeModel::allTextsChanged() {
    const ModDocument& doc = document();
    if (doc.treeEmpty())
        return;
    emit dataChanged(index(0, 0), index(doc.topLevelCount() - 1, 0));
    for (int r = 0; r < doc.topLevelCount(); ++r)
        if (const int children = doc.topLevel(r)->childCount())
            emit dataChanged(indexFromNode(doc.topLevel(r)->child(0)),
                             indexFromNode(doc.topLevel(r)->child(children - 1)));
}

// ---- The model's interface -------------------------------------------------

QModelIndex ActionTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const Node* parentNode = nodeFromIndex(parent);
    if (parentNode && parentNode->level() > 0)
        return {};
    if (row >= document().childCount(parentNode))
        return {};
    return createIndex(row, 0, document().childAt(parentNode, row));
}

QModelIndex ActionTreeModel::parent(const QModelIndex& child) const {
    const Node* node = nodeFromIndex(child);
    return node ? indexFromNode(node->parent()) : QModelIndex();
}

int ActionTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return document().childCount(nodeFromIndex(parent));
}

int ActionTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ActionTreeModel::data(const QModelIndex& index, int role) const {
    const Node* node = nodeFromIndex(index);
    if (!node)
        return {};
    if (!marks_.empty() && marks_.contains(node))
        if (QVariant marked = markData(*node, role); marked.isValid())
            return marked;
    switch (role) {
    case Qt::DisplayRole:
        return decodeText(node->label(), encoding());
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
        return decodeText(node.label(), encoding());
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
        while (encoding() == TextEncoding::Utf8 && end > 0 && (text[end] & 0xC0) == 0x80)
            --end;
    }
    QString tip = decodeText(text.substr(0, end), encoding());
    while (tip.endsWith(u'\n'))
        tip.chop(1);
    return cut ? tip + QStringLiteral("\n\u2026") : tip;
}

Qt::ItemFlags ActionTreeModel::flags(const QModelIndex& index) const {
    const Node* node = nodeFromIndex(index);
    if (!node)
        return Qt::ItemIsDropEnabled;
    const Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    // Saying so spares the tree looking up, for each of tens of thousands of
    // search actions, whether it is expanded, every time it lays out its rows.
    return node->level() > 0 ? flags | Qt::ItemNeverHasChildren : flags;
}

} // namespace torvale
