#include "plain_text_view.h"

#include "ui/text_codec.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <cmath>
#include <cstring>
#include <limits>

namespace torvale {

namespace {

constexpr int kMargin = 4;
// Laid out lines kept at most, beyond those near the visible ones.
constexpr std::size_t kCacheLimit = 512;
// The longest line is measured exactly at setText when it is not longer than
// this; a longer one is estimated from its byte count.
constexpr std::size_t kMeasureLimit = 16384;
// Milliseconds between two steps of scrolling while a drag is outside the view.
constexpr int kDragScrollInterval = 50;

// Control characters other than tab would be drawn as nothing; their Control
// Pictures are one UTF-16 unit too, so columns still match the text.
QString withVisibleControls(const QString& text) {
    const auto isControl = [](QChar ch) {
        return (ch.unicode() < 0x20 && ch != u'\t') || ch.unicode() == 0x7F;
    };
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    QString shown = text;
    for (QChar& ch : shown) {
        if (ch.unicode() == 0x7F)
            ch = QChar(char16_t(0x2421));
        else if (isControl(ch))
            ch = QChar(char16_t(0x2400 + ch.unicode()));
    }
    return shown;
}

// Double-click and Ctrl+arrows treat runs of one class as a word.
int charClass(QChar ch) {
    if (ch.isLetterOrNumber() || ch.isMark() || ch == u'_')
        return 2;
    if (ch.isSpace())
        return 0;
    return 1;
}

} // namespace

enum class PlainTextView::Move {
    NextChar,
    PreviousChar,
    NextWord,
    PreviousWord,
    NextLine,
    PreviousLine,
    NextPage,
    PreviousPage,
    LineStart,
    LineEnd,
    TextStart,
    TextEnd,
};

struct PlainTextView::LaidOutLine {
    QString text; // decoded, as copied
    QTextLayout layout;
    qreal width = 0; // up to the end of the line, trailing spaces included

    QTextLine line() const { return layout.lineAt(0); }
};

PlainTextView::PlainTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    updateMetrics();
    updateScrollBars();
}

PlainTextView::~PlainTextView() = default;

void PlainTextView::setText(std::shared_ptr<const std::string> bytes, TextEncoding encoding) {
    bytes_ = std::move(bytes);
    encoding_ = encoding;
    cache_.clear();
    decodedLines_ = 0;
    indexLines();
    estimateWidth();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    setPositions({}, {});
    viewport()->update();
}

void PlainTextView::clear() {
    setText(nullptr, TextEncoding::Utf8);
}

bool PlainTextView::isEmpty() const {
    return !bytes_ || bytes_->empty();
}

int PlainTextView::lineCount() const {
    return int(lineStarts_.size());
}

void PlainTextView::indexLines() {
    lineStarts_.clear();
    longestLine_ = 0;
    if (!bytes_) {
        lineStarts_.shrink_to_fit();
        return;
    }
    const char* data = bytes_->data();
    const std::size_t size = bytes_->size();
    // About one line in 50 bytes; a close guess saves most reallocation.
    lineStarts_.reserve(size / 50 + 1);
    lineStarts_.push_back(0);
    // memchr finds the breaks far faster than a loop over the bytes would.
    std::size_t pos = 0;
    while (pos < size) {
        const auto* lf = static_cast<const char*>(std::memchr(data + pos, '\n', size - pos));
        const std::size_t segmentEnd = lf ? std::size_t(lf - data) : size;
        for (std::size_t from = pos; from < segmentEnd;) {
            const auto* cr =
                static_cast<const char*>(std::memchr(data + from, '\r', segmentEnd - from));
            if (!cr)
                break;
            const std::size_t at = std::size_t(cr - data);
            if (lf && at + 1 == segmentEnd)
                break; // the CR of a CR LF
            lineStarts_.push_back(at + 1);
            from = at + 1;
        }
        if (!lf)
            break;
        lineStarts_.push_back(segmentEnd + 1);
        pos = segmentEnd + 1;
    }
    // A line end at the very end closes the last line; it starts none.
    if (lineStarts_.back() == size)
        lineStarts_.pop_back();

    std::uint64_t longest = 0;
    for (std::size_t i = 0; i < lineStarts_.size(); ++i) {
        const std::uint64_t end = i + 1 < lineStarts_.size() ? lineStarts_[i + 1] : size;
        if (end - lineStarts_[i] > longest) {
            longest = end - lineStarts_[i];
            longestLine_ = int(i);
        }
    }
}

std::string_view PlainTextView::lineBytes(int line) const {
    if (line < 0 || line >= lineCount())
        return {};
    const std::size_t begin = lineStarts_[std::size_t(line)];
    std::size_t end = line + 1 < lineCount() ? lineStarts_[std::size_t(line) + 1] : bytes_->size();
    const char* data = bytes_->data();
    if (end > begin && data[end - 1] == '\n')
        --end;
    // Every CR ends a line, so one found here is a line end too.
    if (end > begin && data[end - 1] == '\r')
        --end;
    return {data + begin, end - begin};
}

QString PlainTextView::decodeLine(int line) const {
    ++decodedLines_;
    return decodeText(lineBytes(line), encoding_);
}

QString PlainTextView::lineText(int line) const {
    if (line < 0 || line >= lineCount())
        return {};
    if (const auto it = cache_.find(line); it != cache_.end())
        return it->second->text;
    return decodeLine(line);
}

QString PlainTextView::toPlainText() const {
    if (lineCount() == 0)
        return {};
    return textBetween({}, {lineCount() - 1, std::numeric_limits<int>::max()});
}

// References returned here stay valid until trimCache(), which only runs where
// an event or a public call starts, never while a caller holds one.
const PlainTextView::LaidOutLine& PlainTextView::laidOut(int line) const {
    if (const auto it = cache_.find(line); it != cache_.end())
        return *it->second;
    auto entry = std::make_unique<LaidOutLine>();
    entry->text = decodeLine(line);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    option.setTabStopDistance(8 * charWidth_);
    entry->layout.setText(withVisibleControls(entry->text));
    entry->layout.setFont(font());
    entry->layout.setTextOption(option);
    entry->layout.setCacheEnabled(true);
    entry->layout.beginLayout();
    QTextLine textLine = entry->layout.createLine();
    textLine.setPosition(QPointF(0, 0));
    entry->layout.endLayout();
    entry->width =
        std::max(textLine.naturalTextWidth(), textLine.cursorToX(int(entry->text.size())));
    return *cache_.emplace(line, std::move(entry)).first->second;
}

void PlainTextView::trimCache() {
    if (cache_.size() <= kCacheLimit)
        return;
    const int first = firstVisibleLine() - visibleLines();
    const int last = firstVisibleLine() + 2 * visibleLines();
    std::erase_if(cache_, [&](const auto& item) {
        const int line = item.first;
        return (line < first || line > last) && line != caret_.line && line != anchor_.line;
    });
}

int PlainTextView::lineLength(int line) const {
    if (line < 0 || line >= lineCount())
        return 0;
    if (encoding_ == TextEncoding::Windows1252)
        return int(lineBytes(line).size()); // one unit per byte
    return int(lineText(line).size());
}

PlainTextView::Position PlainTextView::clamped(Position position) const {
    if (lineCount() == 0)
        return {};
    position.line = std::clamp(position.line, 0, lineCount() - 1);
    if (encoding_ == TextEncoding::Windows1252) {
        position.column = std::clamp(position.column, 0, lineLength(position.line));
        return position;
    }
    const QString text = lineText(position.line);
    position.column = std::clamp(position.column, 0, int(text.size()));
    // Never between the halves of a surrogate pair.
    if (position.column > 0 && position.column < text.size() &&
        text[position.column].isLowSurrogate())
        --position.column;
    return position;
}

PlainTextView::Position PlainTextView::endOfText() const {
    if (lineCount() == 0)
        return {};
    return {lineCount() - 1, lineLength(lineCount() - 1)};
}

qreal PlainTextView::caretX(Position position) const {
    if (lineCount() == 0)
        return 0;
    return laidOut(position.line).line().cursorToX(position.column);
}

int PlainTextView::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

int PlainTextView::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

QRect PlainTextView::cursorRect() const {
    const int x = kMargin - horizontalScrollBar()->value() + int(std::floor(caretX(caret_)));
    return {x, (caret_.line - firstVisibleLine()) * lineHeight_, 1, lineHeight_};
}

PlainTextView::Position PlainTextView::positionAt(QPoint viewportPos) const {
    return hitTest(viewportPos, false);
}

PlainTextView::Position PlainTextView::hitTest(QPoint viewportPos, bool onCharacter) const {
    if (lineCount() == 0)
        return {};
    const int row = int(std::floor(qreal(viewportPos.y()) / lineHeight_));
    const int line = std::clamp(firstVisibleLine() + row, 0, lineCount() - 1);
    const qreal x = viewportPos.x() - kMargin + horizontalScrollBar()->value();
    const auto mode =
        onCharacter ? QTextLine::CursorOnCharacter : QTextLine::CursorBetweenCharacters;
    return {line, laidOut(line).line().xToCursor(std::max<qreal>(0, x), mode)};
}

QVariant PlainTextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    // The menu key opens the context menu where this rectangle is.
    if (query == Qt::ImCursorRectangle)
        return cursorRect().translated(viewport()->pos());
    return QAbstractScrollArea::inputMethodQuery(query);
}

void PlainTextView::updateMetrics() {
    const QFontMetricsF metrics(font());
    lineHeight_ = std::max(1, int(std::ceil(metrics.lineSpacing())));
    ascent_ = metrics.ascent();
    charWidth_ = metrics.averageCharWidth();
    if (charWidth_ <= 0)
        charWidth_ = metrics.horizontalAdvance(u'x');
}

// The horizontal range must cover the widest line without measuring them all:
// the line with the most bytes stands in for it, and painting widens the range
// when a line turns out wider.
void PlainTextView::estimateWidth() {
    widest_ = 0;
    if (lineCount() == 0)
        return;
    const std::size_t bytes = lineBytes(longestLine_).size();
    widest_ = bytes <= kMeasureLimit ? laidOut(longestLine_).width : qreal(bytes) * charWidth_;
}

void PlainTextView::noteLineWidth(qreal width) {
    if (width <= widest_)
        return;
    widest_ = width;
    if (!scrollBarsPending_) {
        // Not from inside paintEvent: a scroll bar appearing resizes the viewport.
        scrollBarsPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                scrollBarsPending_ = false;
                updateScrollBars();
            },
            Qt::QueuedConnection);
    }
}

void PlainTextView::updateScrollBars() {
    const int page = visibleLines();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, lineCount() - page));
    vertical->setPageStep(page);
    vertical->setSingleStep(1);

    const int contentWidth = int(std::ceil(widest_)) + 2 * kMargin + 1;
    const int width = viewport()->width();
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, contentWidth - width));
    horizontal->setPageStep(width);
    horizontal->setSingleStep(std::max(1, int(std::lround(charWidth_))));
}

void PlainTextView::setCursorPosition(int line, int column) {
    trimCache();
    const Position position = clamped({line, column});
    setPositions(position, position);
}

void PlainTextView::setSelection(int anchorLine, int anchorColumn, int caretLine, int caretColumn) {
    trimCache();
    setPositions(clamped({anchorLine, anchorColumn}), clamped({caretLine, caretColumn}));
}

void PlainTextView::selectAll() {
    trimCache();
    setPositions({}, endOfText());
}

QString PlainTextView::selectedText() const {
    if (!hasSelection())
        return {};
    return textBetween(selectionStart(), selectionEnd());
}

// Line by line: the codec's line end replacement over a whole large text costs
// several times what decoding the lines one at a time does.
QString PlainTextView::textBetween(Position start, Position end) const {
    const std::string_view last = lineBytes(end.line);
    const char* first = bytes_->data() + lineStarts_[std::size_t(start.line)];
    QString text;
    // Neither encoding makes more UTF-16 units than bytes.
    text.reserve(qsizetype(last.data() + last.size() - first));
    for (int i = start.line; i <= end.line; ++i) {
        const QString line = decodeText(lineBytes(i), encoding_);
        const int from = i == start.line ? start.column : 0;
        const int to = i == end.line ? std::min(end.column, int(line.size())) : int(line.size());
        text += QStringView(line).mid(from, to - from);
        if (i < end.line)
            text += u'\n';
    }
    return text;
}

void PlainTextView::copy() {
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void PlainTextView::ensureCursorVisible() {
    trimCache();
    QScrollBar* vertical = verticalScrollBar();
    const int page = visibleLines();
    if (caret_.line < vertical->value())
        vertical->setValue(caret_.line);
    else if (caret_.line >= vertical->value() + page)
        vertical->setValue(caret_.line - page + 1);

    if (lineCount() == 0)
        return;
    noteLineWidth(laidOut(caret_.line).width);
    if (scrollBarsPending_)
        updateScrollBars(); // the range must already reach the caret
    QScrollBar* horizontal = horizontalScrollBar();
    const qreal x = caretX(caret_);
    const int textWidth = std::max(1, viewport()->width() - 2 * kMargin - 1);
    if (x < horizontal->value())
        horizontal->setValue(int(std::floor(x)));
    else if (x > horizontal->value() + textWidth)
        horizontal->setValue(int(std::ceil(x)) - textWidth);
}

void PlainTextView::setPositions(Position anchor, Position caret, bool keepGoalX) {
    const bool hadSelection = hasSelection();
    const Position oldStart = selectionStart();
    const Position oldEnd = selectionEnd();
    const Position oldCaret = caret_;
    anchor_ = anchor;
    caret_ = caret;
    if (!keepGoalX)
        goalX_ = -1;
    restartBlink();
    viewport()->update();

    if (caret_ != oldCaret)
        emit cursorPositionChanged();
    const bool selected = hasSelection();
    if (selected != hadSelection ||
        (selected && (selectionStart() != oldStart || selectionEnd() != oldEnd)))
        emit selectionChanged();
    if (selected != hadSelection)
        emit copyAvailable(selected);
}

PlainTextView::Position PlainTextView::wordRight(Position from) const {
    const QString& text = laidOut(from.line).text;
    const int length = int(text.size());
    if (from.column >= length)
        return from.line + 1 < lineCount() ? Position{from.line + 1, 0} : from;
    int column = from.column;
    const int cls = charClass(text[column]);
    if (cls != 0)
        while (column < length && charClass(text[column]) == cls)
            ++column;
    while (column < length && charClass(text[column]) == 0)
        ++column;
    return {from.line, column};
}

PlainTextView::Position PlainTextView::wordLeft(Position from) const {
    if (from.column == 0)
        return from.line > 0 ? Position{from.line - 1, lineLength(from.line - 1)} : from;
    const QString& text = laidOut(from.line).text;
    int column = from.column;
    while (column > 0 && charClass(text[column - 1]) == 0)
        --column;
    if (column > 0) {
        const int cls = charClass(text[column - 1]);
        while (column > 0 && charClass(text[column - 1]) == cls)
            --column;
    }
    return {from.line, column};
}

void PlainTextView::moveCaret(Move move, bool extend) {
    if (lineCount() == 0)
        return;
    // Without Shift, Left and Right first collapse a selection to its side.
    if (!extend && hasSelection() && (move == Move::PreviousChar || move == Move::NextChar)) {
        const Position side = move == Move::NextChar ? selectionEnd() : selectionStart();
        setPositions(side, side);
        ensureCursorVisible();
        return;
    }

    Position to = caret_;
    bool vertical = false;
    const int last = lineCount() - 1;
    const auto toLine = [&](int line) {
        vertical = true;
        if (goalX_ < 0)
            goalX_ = caretX(caret_);
        if (line < 0)
            return Position{0, 0};
        if (line > last)
            return Position{last, lineLength(last)};
        return Position{line, laidOut(line).line().xToCursor(goalX_)};
    };
    switch (move) {
    case Move::NextChar:
        if (to.column < lineLength(to.line))
            to.column = laidOut(to.line).layout.nextCursorPosition(to.column);
        else if (to.line < last)
            to = {to.line + 1, 0};
        break;
    case Move::PreviousChar:
        if (to.column > 0)
            to.column = laidOut(to.line).layout.previousCursorPosition(to.column);
        else if (to.line > 0)
            to = {to.line - 1, lineLength(to.line - 1)};
        break;
    case Move::NextWord:
        to = wordRight(to);
        break;
    case Move::PreviousWord:
        to = wordLeft(to);
        break;
    case Move::NextLine:
        to = toLine(to.line + 1);
        break;
    case Move::PreviousLine:
        to = toLine(to.line - 1);
        break;
    case Move::NextPage:
        // The page scrolls with the caret, so the caret keeps its place on screen.
        verticalScrollBar()->setValue(verticalScrollBar()->value() + visibleLines());
        to = toLine(std::min(to.line + visibleLines(), last));
        break;
    case Move::PreviousPage:
        verticalScrollBar()->setValue(verticalScrollBar()->value() - visibleLines());
        to = toLine(std::max(to.line - visibleLines(), 0));
        break;
    case Move::LineStart:
        to.column = 0;
        break;
    case Move::LineEnd:
        to.column = lineLength(to.line);
        break;
    case Move::TextStart:
        to = {0, 0};
        break;
    case Move::TextEnd:
        to = endOfText();
        break;
    }
    setPositions(extend ? anchor_ : to, to, vertical);
    ensureCursorVisible();
}

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

void PlainTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PlainTextView::scrollContentsBy(int, int) {
    viewport()->update();
}

void PlainTextView::paintEvent(QPaintEvent* event) {
    trimCache();
    QPainter painter(viewport());
    const QPalette& colors = palette();
    const QColor textColor = colors.color(QPalette::Text);
    QColor highlight = colors.color(QPalette::Highlight);
    QColor highlightedText = colors.color(QPalette::HighlightedText);
    // Some styles blend the inactive highlight into the background; a selection
    // must stay visible when another widget has the focus.
    if (highlight == colors.color(QPalette::Base)) {
        highlight = colors.color(QPalette::Active, QPalette::Highlight);
        highlightedText = colors.color(QPalette::Active, QPalette::HighlightedText);
    }
    painter.setPen(textColor);

    const int top = firstVisibleLine();
    const QRect area = event->rect();
    const int first = std::max(top + area.top() / lineHeight_, 0);
    const int last = std::min(top + area.bottom() / lineHeight_, lineCount() - 1);
    const qreal left = kMargin - horizontalScrollBar()->value();
    const Position start = selectionStart();
    const Position end = selectionEnd();

    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(highlight);
    selectedFormat.setForeground(highlightedText);
    const qreal breakWidth = QFontMetricsF(font()).horizontalAdvance(u' ');

    for (int i = first; i <= last; ++i) {
        const LaidOutLine& line = laidOut(i);
        const qreal y = (i - top) * lineHeight_;
        QList<QTextLayout::FormatRange> selections;
        if (hasSelection() && i >= start.line && i <= end.line) {
            const int from = i == start.line ? start.column : 0;
            const int to = i == end.line ? end.column : int(line.text.size());
            if (to > from)
                selections.append({from, to - from, selectedFormat});
            // A selected line end shows as a space's width past the text.
            if (i < end.line)
                painter.fillRect(QRectF(left + line.width, y, breakWidth, lineHeight_), highlight);
        }
        // One baseline for all lines, even when a fallback font is taller.
        line.layout.draw(&painter, QPointF(left, y + ascent_ - line.line().ascent()), selections);
        noteLineWidth(line.width);
    }

    if (caretShown_ && hasFocus())
        painter.fillRect(cursorRect(), textColor);
}

} // namespace torvale
