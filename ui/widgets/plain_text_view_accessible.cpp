// PlainTextView for assistive technologies: its text, caret and selection
// through Qt's accessible text interface, as Qt's own text widgets offer them,
// and the events that tell a screen reader when the caret or selection moves.
// Offsets count a line break as one character, as in QPlainTextEdit.
#include "plain_text_view_p.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <limits>
#include <optional>

namespace torvale {

namespace {

constexpr int kLineBreak = 1;

class PlainTextViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PlainTextViewAccessible(PlainTextView* view)
        : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        state.focusable = true;
        return state;
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && view()->hasSelection()) {
            *start = offset(view()->selectionStart());
            *end = offset(view()->selectionEnd());
        }
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index != 0)
            return;
        const PlainTextView::Position caret = view()->cursorPosition();
        view()->setCursorPosition(caret.line, caret.column);
    }
    void setSelection(int index, int start, int end) override {
        if (index != 0)
            return;
        const PlainTextView::Position from = position(start), to = position(end);
        view()->setSelection(from.line, from.column, to.line, to.column);
    }
    int cursorPosition() const override { return offset(view()->cursorPosition()); }
    void setCursorPosition(int at) override {
        const PlainTextView::Position caret = position(at);
        view()->setCursorPosition(caret.line, caret.column);
    }

    QString text(int start, int end) const override {
        if (end < 0)
            end = characterCount();
        if (start >= end)
            return {};
        return view()->textBetween(position(start), position(end));
    }
    int characterCount() const override {
        return offset({std::numeric_limits<int>::max(), std::numeric_limits<int>::max()});
    }

    QString textBeforeOffset(int at, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override {
        return around(Side::Before, at, boundary, start, end);
    }
    QString textAfterOffset(int at, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override {
        return around(Side::After, at, boundary, start, end);
    }
    QString textAtOffset(int at, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override {
        return around(Side::At, at, boundary, start, end);
    }

    QRect characterRect(int at) const override {
        const PlainTextView::Position from = position(at);
        const QRect caret = view()->rectAt(from);
        const QRect next = view()->rectAt({from.line, from.column + 1});
        QRect rect(caret.topLeft(), QSize(std::max(1, next.x() - caret.x()), caret.height()));
        return rect.translated(view()->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint inView = view()->viewport()->mapFromGlobal(point);
        if (!view()->viewport()->rect().contains(inView))
            return -1;
        return offset(view()->positionAt(inView));
    }
    void scrollToSubstring(int start, int end) override {
        const int first = position(start).line;
        view()->scrollToLines(first, position(end).line - first + 1);
    }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    PlainTextView* view() const { return static_cast<PlainTextView*>(widget()); }
    int offset(PlainTextView::Position at) const {
        return int(
            std::min<qint64>(view()->offsetAt(at, kLineBreak), std::numeric_limits<int>::max()));
    }
    PlainTextView::Position position(int at) const {
        return view()->positionAtOffset(at, kLineBreak);
    }

    enum class Side { Before, At, After };

    // Runs Qt's boundary rules on the lines around the offset, more of them
    // while what is found reaches the edge of those taken: a word, sentence or
    // line seldom spans more than a few.
    QString around(Side side, int at, QAccessible::TextBoundaryType boundary, int* start,
                   int* end) const {
        if (at == -2)
            at = cursorPosition();
        if (boundary == QAccessible::ParagraphBoundary)
            boundary = QAccessible::LineBoundary; // a plain text's paragraph is its line
        if (boundary == QAccessible::NoBoundary || view()->lineCount() == 0) {
            if (side != Side::At || view()->lineCount() == 0) {
                *start = *end = -1;
                return {};
            }
            *start = 0;
            *end = characterCount();
            return text(0, *end);
        }
        const int line = position(at).line;
        const int lines = view()->lineCount();
        for (int reach = 1;; reach *= 4) {
            const int first = std::max(0, line - reach);
            const int last = std::min(lines - 1, line + reach);
            const int base = offset({first, 0});
            // The line break after the last line taken belongs to them.
            const int stop = last + 1 < lines ? offset({last + 1, 0}) : characterCount();
            const TextExcerpt excerpt(text(base, stop), cursorPosition() - base);
            const QString found =
                side == Side::Before  ? excerpt.textBeforeOffset(at - base, boundary, start, end)
                : side == Side::After ? excerpt.textAfterOffset(at - base, boundary, start, end)
                                      : excerpt.textAtOffset(at - base, boundary, start, end);
            // Nothing found may lie beyond the lines taken, too.
            const bool cut = *start < 0 || (first > 0 && *start == 0) ||
                             (last + 1 < lines && *end >= stop - base);
            if (!cut || (first == 0 && last + 1 == lines)) {
                if (*start < 0) {
                    // Nothing there: Qt's rule may leave an end of 0 beside
                    // a start of -1 (a word before the first one).
                    *start = *end = -1;
                    return {};
                }
                *start += base;
                *end += base;
                return found;
            }
        }
    }
};

} // namespace

// Qt's own rule, but it stops at the end of the text: Qt 6.4's loops for ever
// when the text ends in spaces and the offset is among them.
QString TextExcerpt::textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                                  int* end) const {
    const auto type = boundary == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
                      : boundary == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                      : boundary == QAccessible::SentenceBoundary
                          ? QTextBoundaryFinder::Sentence
                          : std::optional<QTextBoundaryFinder::BoundaryType>();
    if (offset == -2)
        offset = cursor_;
    if (!type || text_.isEmpty() || offset < 0 || offset > text_.size())
        return QAccessibleTextInterface::textAtOffset(offset, boundary, start, end);
    const auto item = QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem;
    QTextBoundaryFinder finder(*type, text_);
    finder.setPosition(offset);
    while (!(finder.boundaryReasons() & item) && finder.toPreviousBoundary() > 0) {
    }
    *start = int(std::max<qsizetype>(0, finder.position()));
    // Stepping back past the start leaves the finder nowhere, and the search
    // onwards would then take the whole text for the first piece.
    finder.setPosition(*start);
    for (;;) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0 || next >= text_.size()) {
            *end = int(text_.size());
            break;
        }
        if (finder.boundaryReasons() & item) {
            *end = int(next);
            break;
        }
    }
    return text_.mid(*start, *end - *start);
}

QAccessibleInterface* plainTextViewAccessible(const QString&, QObject* object) {
    if (auto* view = qobject_cast<PlainTextView*>(object))
        return new PlainTextViewAccessible(view);
    return nullptr;
}

// Only while something listens: the offsets take a pass over a large text the
// first time.
void PlainTextView::tellAccessibility(bool caretMoved, bool selectionChanged) {
    if (!QAccessible::isActive())
        return;
    if (selectionChanged) {
        QAccessibleTextSelectionEvent event(this, int(offsetAt(selectionStart(), kLineBreak)),
                                            int(offsetAt(selectionEnd(), kLineBreak)));
        event.setCursorPosition(int(offsetAt(caret_, kLineBreak)));
        QAccessible::updateAccessibility(&event);
    }
    if (caretMoved) {
        QAccessibleTextCursorEvent event(this, int(offsetAt(caret_, kLineBreak)));
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace torvale
