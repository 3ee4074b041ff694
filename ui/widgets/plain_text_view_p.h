// What the two halves of PlainTextView share: its display and its input.
#pragma once

#include "plain_text_view.h"

#include <QAccessible>
#include <QTextLayout>

namespace torvale {

constexpr int kMargin = 4;
// Laid out lines kept at most, beyond those near the visible ones.
constexpr std::size_t kCacheLimit = 512;
// The longest line is measured exactly at setText when it is not longer than
// this; a longer one is estimated from its byte count.
constexpr std::size_t kMeasureLimit = 16384;
// Milliseconds between two steps of scrolling while a drag is outside the view.
constexpr int kDragScrollInterval = 50;

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

// Some lines of a text, on which Qt's rules for characters, words, sentences
// and lines run for assistive technologies: the whole text may be tens of
// megabytes.
class TextExcerpt : public QAccessibleTextInterface {
public:
    TextExcerpt(QString text, int cursor) : text_(std::move(text)), cursor_(cursor) {}

    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override;

    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return cursor_; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return text_.mid(start, end - start); }
    QRect characterRect(int) const override { return {}; }
    int characterCount() const override { return int(text_.size()); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }

private:
    QString text_;
    int cursor_;
};

// The accessible interface of a PlainTextView, for QAccessible::installFactory.
QAccessibleInterface* plainTextViewAccessible(const QString& className, QObject* object);

// Double-click and Ctrl+arrows treat runs of one class as a word.
int charClass(QChar ch);

} // namespace torvale
