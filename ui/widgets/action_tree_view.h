// The tree view of the action tree: read-only labels, whole-row selection,
// nodes moved by dragging them inside the tree.
#pragma once

#include <QTreeView>

namespace torvale {

class ActionTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit ActionTreeView(QWidget* parent = nullptr);

    // Whether the dragged node may be dropped on the target node: onto a node
    // of its own level, or a search action onto an edit-file node.
    bool acceptsDrop(const QModelIndex& dragged, const QModelIndex& target) const;

signals:
    // A click anywhere in the tree, after the selection has followed it.
    void treeClicked();
    void keyReleased();
    void nodeDropped(const QModelIndex& dragged, const QModelIndex& target);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool ownDrag(const QDropEvent* event) const;
};

} // namespace torvale
