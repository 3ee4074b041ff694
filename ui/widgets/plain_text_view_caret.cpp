// PlainTextView: the caret and the selection, how they move, what is copied,
// and scrolling the caret into sight.
#include "plain_text_view_p.h"

#include "ui/text_codec.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>

#include <cmath>

namespace torvale {

int charClass(QChar ch) {
    if (ch.isLetterOrNumber() || ch.isMark() || ch == u'_')
        return 2;
    if (ch.isSpace())
        return 0;
    return 1;
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
    start = clamped(start);
    end = clamped(end);
    if (end <= start)
        return {};
    const std::string_view last = lineBytes(end.line);
    const char* first = bytes_.data() + lineStarts_[std::size_t(start.line)];
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

    const bool caretMoved = caret_ != oldCaret;
    const bool selected = hasSelection();
    const bool selectionMoved =
        selected != hadSelection ||
        (selected && (selectionStart() != oldStart || selectionEnd() != oldEnd));
    tellAccessibility(caretMoved, selectionMoved);
    if (caretMoved)
        emit cursorPositionChanged();
    if (selectionMoved)
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

} // namespace torvale
