// ActionTreeView: the action tree's view, and dragging a node to another place in it.
#include "action_tree_view.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QPainter>
#include <QScrollBar>

namespace torvale {

namespace {
const QString kNodeMime = QStringLiteral("application/x-torvale-action-node");
// How near the top or bottom edge a drag scrolls the tree, and how often.
constexpr int kDragScrollMargin = 20;
constexpr int kDragScrollInterval = 60;
} // namespace

ActionTreeView::ActionTreeView(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    setUniformRowHeights(true); // keeps tens of thousands of rows fast
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setAllColumnsShowFocus(true);
    setRootIsDecorated(true);
    setIndentation(19);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false); // drawn here, from the drop rule
    setAutoScroll(false);         // Qt's own only runs for drops its model accepts
    setDragDropMode(DragDrop);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QTreeView::collapsed, this, &ActionTreeView::selectVisibleAncestor);
}

QItemSelectionModel::SelectionFlags ActionTreeView::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const {
    // Ctrl+click and Ctrl+Space would deselect the row and leave it current:
    // the commands would then act on a node that no longer looks selected.
    const auto flags = QTreeView::selectionCommand(index, event);
    if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return flags;
}

void ActionTreeView::collapseAllNodes() {
    collapseAll();
    if (currentIndex().parent().isValid())
        selectVisibleAncestor(currentIndex().parent());
}

void ActionTreeView::selectVisibleAncestor(const QModelIndex& collapsed) {
    if (currentIndex().parent() == collapsed && collapsed.isValid())
        setCurrentIndex(collapsed);
}

void ActionTreeView::mousePressEvent(QMouseEvent* event) {
    // The context menu acts on the selected node: a right click leaves the
    // selection alone, and so does a click below the last row.
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

void ActionTreeView::keyPressEvent(QKeyEvent* event) {
    // Qt's views copy the current label; here Copy belongs to the text fields.
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ActionTreeView::keyReleaseEvent(QKeyEvent* event) {
    QTreeView::keyReleaseEvent(event);
    emit keyReleased();
}

// Qt brings the current row into sight only with autoScroll on, which is off
// here for the drags: a row reached by keyboard must not stay out of view.
void ActionTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (current.isValid() && isVisible() && state() != DraggingState)
        scrollTo(current);
}

// A node selected while the tree was out of sight, at open on another page,
// was scrolled to in a view of another size.
void ActionTreeView::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}

// A panel opening below the tree (Test Mod's report) makes it shorter: the
// row the user was looking at stays in sight, one scrolled away stays away.
void ActionTreeView::resizeEvent(QResizeEvent* event) {
    const QModelIndex current = currentIndex();
    const int oldHeight = viewport()->height() - (event->size() - event->oldSize()).height();
    const QRect row = current.isValid() ? visualRect(current) : QRect();
    const bool wasInSight = row.isValid() && row.top() >= 0 && row.bottom() < oldHeight;
    QTreeView::resizeEvent(event);
    if (wasInSight && event->oldSize().isValid())
        scrollTo(current);
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
    endDragFeedback();
}

bool ActionTreeView::ownDrag(const QDropEvent* event) const {
    return event->source() == this && event->mimeData()->hasFormat(kNodeMime);
}

ActionTreeView::DropSpot ActionTreeView::spotAt(QPoint viewportPos, QModelIndex* target) const {
    *target = indexAt(viewportPos);
    if (!dropRule_ || !target->isValid())
        return DropSpot::None;
    return dropRule_(currentIndex(), *target);
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
    const QPoint pos = event->position().toPoint();
    QModelIndex target;
    const DropSpot spot = spotAt(pos, &target);
    showDropIndicator(spot, target);
    if (spot == DropSpot::None)
        event->ignore();
    else
        event->acceptProposedAction();

    dragScrollStep_ = pos.y() < kDragScrollMargin                           ? -1
                      : pos.y() >= viewport()->height() - kDragScrollMargin ? 1
                                                                            : 0;
    if (dragScrollStep_ == 0)
        dragScrollTimer_.stop();
    else if (!dragScrollTimer_.isActive())
        dragScrollTimer_.start(kDragScrollInterval, this);
}

void ActionTreeView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != dragScrollTimer_.timerId()) {
        QTreeView::timerEvent(event);
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before + dragScrollStep_ * bar->singleStep());
    if (bar->value() == before)
        dragScrollTimer_.stop();
    // The rows moved under the resting pointer: the spot it shows is another.
    dropIndicator_ = QRect();
    viewport()->update();
}

void ActionTreeView::dragLeaveEvent(QDragLeaveEvent* event) {
    endDragFeedback();
    QTreeView::dragLeaveEvent(event);
}

void ActionTreeView::dropEvent(QDropEvent* event) {
    endDragFeedback();
    if (!ownDrag(event)) {
        event->ignore();
        return;
    }
    QModelIndex target;
    if (spotAt(event->position().toPoint(), &target) == DropSpot::None) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction); // nothing for the source to remove
    event->accept();
    emit nodeDropped(currentIndex(), target);
}

void ActionTreeView::endDragFeedback() {
    dragScrollTimer_.stop();
    if (!dropIndicator_.isNull()) {
        dropIndicator_ = QRect();
        viewport()->update();
    }
}

// A line where the node will be inserted, or a frame round a collapsed node
// whose children it will join.
void ActionTreeView::showDropIndicator(DropSpot spot, const QModelIndex& target) {
    QRect shown;
    bool line = true;
    if (spot == DropSpot::Before) {
        const QRect row = visualRect(target);
        shown = QRect(row.left(), row.top(), viewport()->width() - row.left(), 0);
    } else if (spot == DropSpot::LastChildOf) {
        const int children = model()->rowCount(target);
        if (isExpanded(target) && children > 0) {
            const QRect last = visualRect(model()->index(children - 1, 0, target));
            shown = QRect(last.left(), last.bottom() + 1, viewport()->width() - last.left(), 0);
        } else {
            const QRect row = visualRect(target);
            shown = QRect(row.left(), row.top(), viewport()->width() - row.left(), row.height());
            line = false;
        }
    }
    if (shown != dropIndicator_ || line != indicatorIsLine_) {
        dropIndicator_ = shown;
        indicatorIsLine_ = line;
        viewport()->update();
    }
}

void ActionTreeView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (dropIndicator_.isNull())
        return;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Text), 2));
    if (indicatorIsLine_)
        painter.drawLine(dropIndicator_.topLeft(), dropIndicator_.topRight());
    else
        painter.drawRect(dropIndicator_.adjusted(1, 1, -1, -1));
}

} // namespace torvale
