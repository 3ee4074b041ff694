// PlainTextView: what the keyboard and the mouse do, and the caret's blinking.
#include "plain_text_view_p.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace torvale {

struct PlainTextView::KeyMove {
    QKeySequence::StandardKey key;
    Move move;
    bool extend;
};

const PlainTextView::KeyMove* PlainTextView::keyMoveFor(const QKeyEvent* event) {
    static constexpr KeyMove kKeyMoves[] = {
        {QKeySequence::MoveToNextChar, Move::NextChar, false},
        {QKeySequence::SelectNextChar, Move::NextChar, true},
        {QKeySequence::MoveToPreviousChar, Move::PreviousChar, false},
        {QKeySequence::SelectPreviousChar, Move::PreviousChar, true},
        {QKeySequence::MoveToNextWord, Move::NextWord, false},
        {QKeySequence::SelectNextWord, Move::NextWord, true},
        {QKeySequence::MoveToPreviousWord, Move::PreviousWord, false},
        {QKeySequence::SelectPreviousWord, Move::PreviousWord, true},
        {QKeySequence::MoveToNextLine, Move::NextLine, false},
        {QKeySequence::SelectNextLine, Move::NextLine, true},
        {QKeySequence::MoveToPreviousLine, Move::PreviousLine, false},
        {QKeySequence::SelectPreviousLine, Move::PreviousLine, true},
        {QKeySequence::MoveToNextPage, Move::NextPage, false},
        {QKeySequence::SelectNextPage, Move::NextPage, true},
        {QKeySequence::MoveToPreviousPage, Move::PreviousPage, false},
        {QKeySequence::SelectPreviousPage, Move::PreviousPage, true},
        {QKeySequence::MoveToStartOfLine, Move::LineStart, false},
        {QKeySequence::SelectStartOfLine, Move::LineStart, true},
        {QKeySequence::MoveToEndOfLine, Move::LineEnd, false},
        {QKeySequence::SelectEndOfLine, Move::LineEnd, true},
        {QKeySequence::MoveToStartOfDocument, Move::TextStart, false},
        {QKeySequence::SelectStartOfDocument, Move::TextStart, true},
        {QKeySequence::MoveToEndOfDocument, Move::TextEnd, false},
        {QKeySequence::SelectEndOfDocument, Move::TextEnd, true},
    };
    for (const KeyMove& keyMove : kKeyMoves)
        if (event->matches(keyMove.key))
            return &keyMove;
    return nullptr;
}

bool PlainTextView::event(QEvent* event) {
    // The menu key sends its event to the view itself, in the view's
    // coordinates; a right click comes through the viewport. The window gets
    // viewport coordinates for both.
    if (event->type() == QEvent::ContextMenu && contextMenuPolicy() == Qt::CustomContextMenu) {
        const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        emit customContextMenuRequested(viewport()->mapFrom(this, menuEvent->pos()));
        event->accept();
        return true;
    }
    // Moving the caret beats a window shortcut on the same key, as in any text
    // field; copying and selecting all are left to the window's commands.
    if (event->type() == QEvent::ShortcutOverride && keyMoveFor(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void PlainTextView::keyPressEvent(QKeyEvent* event) {
    trimCache();
    if (const KeyMove* keyMove = keyMoveFor(event)) {
        moveCaret(keyMove->move, keyMove->extend);
        event->accept();
        return;
    }
    // Reached only when no window action owns these shortcuts.
    if (event->matches(QKeySequence::Copy)) {
        copy();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        event->accept();
        return;
    }
    if (event->modifiers() == Qt::ControlModifier &&
        (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        QScrollBar* vertical = verticalScrollBar();
        vertical->setValue(vertical->value() + (event->key() == Qt::Key_Up ? -1 : 1));
        event->accept();
        return;
    }
    // Anything else belongs to the parents, shortcuts and dialogs' default buttons.
    event->ignore();
}

void PlainTextView::mousePressEvent(QMouseEvent* event) {
    // Other buttons do nothing here; the right one opens the context menu.
    if (event->button() != Qt::LeftButton)
        return;
    trimCache();
    const QPoint pos = event->position().toPoint();
    if (tripleClickTimer_.isActive() &&
        (pos - tripleClickPos_).manhattanLength() < QApplication::startDragDistance()) {
        tripleClickTimer_.stop();
        const int line = hitTest(pos, false).line;
        const Position end =
            line + 1 < lineCount() ? Position{line + 1, 0} : Position{line, lineLength(line)};
        setPositions({line, 0}, end);
    } else {
        const Position at = positionAt(pos);
        setPositions(event->modifiers() & Qt::ShiftModifier ? anchor_ : at, at);
    }
    selecting_ = true;
    dragPos_ = pos;
    event->accept();
}

void PlainTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    trimCache();
    const QPoint pos = event->position().toPoint();
    selectWordAt(pos);
    selecting_ = true;
    tripleClickPos_ = pos;
    tripleClickTimer_.start(QApplication::doubleClickInterval(), this);
    event->accept();
}

void PlainTextView::selectWordAt(QPoint viewportPos) {
    const Position at = hitTest(viewportPos, true);
    const QString& text = lineCount() > 0 ? laidOut(at.line).text : QString();
    if (text.isEmpty()) {
        setPositions(at, at);
        return;
    }
    const int cls = charClass(text[std::min<qsizetype>(at.column, text.size() - 1)]);
    int begin = std::min<int>(at.column, int(text.size()) - 1);
    int end = begin + 1;
    while (begin > 0 && charClass(text[begin - 1]) == cls)
        --begin;
    while (end < text.size() && charClass(text[end]) == cls)
        ++end;
    setPositions({at.line, begin}, {at.line, end});
}

void PlainTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    trimCache();
    dragPos_ = event->position().toPoint();
    dragTo(dragPos_);
    if (viewport()->rect().contains(dragPos_))
        dragScrollTimer_.stop();
    else if (!dragScrollTimer_.isActive())
        dragScrollTimer_.start(kDragScrollInterval, this);
    event->accept();
}

// Outside the viewport the caret stops at the last line shown whole, and at the
// edges; the drag timer scrolls on.
void PlainTextView::dragTo(QPoint viewportPos) {
    const QRect area = viewport()->rect();
    const QPoint inside(std::clamp(viewportPos.x(), area.left(), area.right()),
                        std::clamp(viewportPos.y(), 0, visibleLines() * lineHeight_ - 1));
    setPositions(anchor_, positionAt(inside));
}

void PlainTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !selecting_)
        return;
    selecting_ = false;
    dragScrollTimer_.stop();
    publishMouseSelection();
    event->accept();
}

// X11 convention: what the mouse selects can be pasted with the middle button.
void PlainTextView::publishMouseSelection() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void PlainTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blinkTimer_.timerId()) {
        caretShown_ = !caretShown_;
        viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
    } else if (event->timerId() == dragScrollTimer_.timerId()) {
        trimCache();
        const QRect area = viewport()->rect();
        // The further outside, the faster.
        int lines = 0;
        if (dragPos_.y() < area.top())
            lines = -(1 + (area.top() - dragPos_.y()) / lineHeight_);
        else if (dragPos_.y() > area.bottom())
            lines = 1 + (dragPos_.y() - area.bottom()) / lineHeight_;
        int pixels = 0;
        if (dragPos_.x() < area.left())
            pixels = dragPos_.x() - area.left();
        else if (dragPos_.x() > area.right())
            pixels = dragPos_.x() - area.right();
        verticalScrollBar()->setValue(verticalScrollBar()->value() + lines);
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + pixels);
        dragTo(dragPos_);
    } else if (event->timerId() == tripleClickTimer_.timerId()) {
        tripleClickTimer_.stop();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void PlainTextView::restartBlink() {
    caretShown_ = hasFocus();
    const int flashTime = QApplication::cursorFlashTime();
    if (hasFocus() && flashTime > 0)
        blinkTimer_.start(flashTime / 2, this);
    else
        blinkTimer_.stop();
}

void PlainTextView::focusInEvent(QFocusEvent* event) {
    restartBlink();
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void PlainTextView::focusOutEvent(QFocusEvent* event) {
    blinkTimer_.stop();
    caretShown_ = false;
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void PlainTextView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        cache_.clear();
        updateMetrics();
        estimateWidth();
        updateScrollBars();
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange ||
               event->type() == QEvent::ActivationChange) {
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

} // namespace torvale
