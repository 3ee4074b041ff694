// ActionTreeView: the action tree's view, and dragging a node to another place in it.
#include "action_tree_view.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>

namespace torvale {

namespace {
const QString kNodeMime = QStringLiteral("application/x-torvale-action-node");
}

ActionTreeView::ActionTreeView(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    setUniformRowHeights(true); // keeps tens of thousands of rows fast
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setRootIsDecorated(true);
    setIndentation(19);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(DragDrop);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

bool ActionTreeView::acceptsDrop(const QModelIndex& dragged, const QModelIndex& target) const {
    if (!dragged.isValid() || !target.isValid() || dragged == target)
        return false;
    const bool draggedTop = !dragged.parent().isValid();
    const bool targetTop = !target.parent().isValid();
    return draggedTop == targetTop || (!draggedTop && targetTop);
}

void ActionTreeView::mousePressEvent(QMouseEvent* event) {
    // The context menu acts on the selected node: a right click leaves the
    // selection alone, and so does a click beside every node.
    if (event->button() == Qt::RightButton || !indexAt(event->position().toPoint()).isValid()) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void ActionTreeView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit treeClicked();
}

void ActionTreeView::keyReleaseEvent(QKeyEvent* event) {
    QTreeView::keyReleaseEvent(event);
    emit keyReleased();
}

void ActionTreeView::startDrag(Qt::DropActions) {
    if (!currentIndex().isValid())
        return;
    // The move is done by the window on drop; the drag only carries a marker,
    // so that QAbstractItemView never removes rows by itself.
    auto* mime = new QMimeData;
    mime->setData(kNodeMime, QByteArray());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(model()->data(currentIndex(), Qt::DecorationRole).value<QIcon>().pixmap(16));
    drag->exec(Qt::MoveAction);
}

bool ActionTreeView::ownDrag(const QDropEvent* event) const {
    return event->source() == this && event->mimeData()->hasFormat(kNodeMime);
}

void ActionTreeView::dragEnterEvent(QDragEnterEvent* event) {
    if (ownDrag(event))
        event->acceptProposedAction();
    else
        event->ignore(); // files dropped here go to the window
}

void ActionTreeView::dragMoveEvent(QDragMoveEvent* event) {
    if (!ownDrag(event)) {
        event->ignore();
        return;
    }
    const QModelIndex target = indexAt(event->position().toPoint());
    if (acceptsDrop(currentIndex(), target))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ActionTreeView::dropEvent(QDropEvent* event) {
    if (!ownDrag(event)) {
        event->ignore();
        return;
    }
    const QModelIndex target = indexAt(event->position().toPoint());
    if (!acceptsDrop(currentIndex(), target)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction); // nothing for the source to remove
    event->accept();
    emit nodeDropped(currentIndex(), target);
}

} // namespace torvale
