// What the two halves of PlainTextView share: its display and its input.
#pragma once

#include "plain_text_view.h"

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

// Double-click and Ctrl+arrows treat runs of one class as a word.
int charClass(QChar ch);

} // namespace torvale
