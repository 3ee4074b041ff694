// The tree view of the action tree: read-only labels, whole-row selection,
// nodes moved by dragging them inside the tree.
#pragma once

#include <QBasicTimer>
#include <QTreeView>

#include <functional>

namespace torvale {

class ActionTreeView : public QTreeView {
    Q_OBJECT

public:
    // Where a dragged node would land when dropped on a target node.
    enum class DropSpot { None, Before, LastChildOf };
    using DropRule = std::function<DropSpot(const QModelIndex& dragged, const QModelIndex& target)>;

    explicit ActionTreeView(QWidget* parent = nullptr);

    // The rule that decides drops; without one nothing can be dropped.
    void setDropRule(DropRule rule) { dropRule_ = std::move(rule); }

    // Collapses every node. A current node that is hidden by it hands the
    // selection to its top-level node, so what is acted on stays in view.
    void collapseAllNodes();

signals:
    // A click anywhere in the tree, after the selection has followed it.
    void treeClicked();
    void keyReleased();
    void nodeDropped(const QModelIndex& dragged, const QModelIndex& target);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool ownDrag(const QDropEvent* event) const;
    DropSpot spotAt(QPoint viewportPos, QModelIndex* target) const;
    void showDropIndicator(DropSpot spot, const QModelIndex& target);
    void endDragFeedback();
    void selectVisibleAncestor(const QModelIndex& collapsed);

    DropRule dropRule_;
    // Where the indicator is drawn, in viewport coordinates; empty when none.
    QRect dropIndicator_;
    bool indicatorIsLine_ = false;
    // Scrolling while a drag rests near the top or bottom edge.
    QBasicTimer dragScrollTimer_;
    int dragScrollStep_ = 0;
};

} // namespace torvale
