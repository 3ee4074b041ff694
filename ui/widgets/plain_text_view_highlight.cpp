// Lines of the large text view on a background of their own: where they are,
// how they are painted, and bringing them into sight; lines marked as taken
// out or put in, and the numbers the margin gives the others.
#include "plain_text_view.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace torvale {

void PlainTextView::setHighlightedLines(std::vector<LineRange> ranges) {
    if (ranges == highlighted_)
        return;
    highlighted_ = std::move(ranges);
    viewport()->update();
}

int PlainTextView::lineOfByte(std::size_t offset) const {
    if (lineStarts_.empty())
        return 0;
    const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    return std::max(0, int(next - lineStarts_.begin()) - 1);
}

void PlainTextView::scrollToLines(int line, int count) {
    QScrollBar* vertical = verticalScrollBar();
    const int page = std::max(1, viewport()->height() / std::max(1, lineHeight_));
    count = std::max(1, count);
    // A run at the very edge of the page is in sight only in name: it wants a
    // few lines around it.
    const int context = std::min(3, page / 6);
    const int from = std::max(0, line - context);
    const int to = std::min(lineCount(), line + count + context);
    if (from >= vertical->value() && to <= vertical->value() + page)
        return;
    // The range may still wait for the text's first layout.
    vertical->setRange(0, std::max(0, lineCount() - page));
    const int before =
        count + context <= page - page / 3 ? page / 3 : std::max(0, page - count) / 2;
    vertical->setValue(std::max(0, line - before));
}

void PlainTextView::setChangeMarks(std::vector<ChangeMark> marks) {
    if (marks == changeMarks_)
        return;
    changeMarks_ = std::move(marks);
    viewport()->update();
}

int PlainTextView::numberOfLine(int line) const {
    int number = line + 1;
    for (const ChangeMark& mark : changeMarks_) {
        if (mark.added || mark.first > line)
            continue;
        if (line < mark.first + mark.count)
            return 0;
        number -= mark.count;
    }
    return number;
}

int PlainTextView::lineOfNumber(int number) const {
    int line = std::max(number, 1) - 1;
    // Marks come in the order of their lines: each taken out before the
    // line moves it down.
    for (const ChangeMark& mark : changeMarks_)
        if (!mark.added && mark.first <= line)
            line += mark.count;
    return std::clamp(line, 0, std::max(0, lineCount() - 1));
}

void PlainTextView::paintChangeMarks(QPainter& painter, int first, int last, int top) const {
    for (const ChangeMark& mark : changeMarks_) {
        const int from = std::max(first, mark.first);
        const int to = std::min(last, mark.first + mark.count - 1);
        if (from > to)
            continue;
        // Red and green that stay readable on light and dark palettes alike;
        // the margin's signs say the same without colour.
        const QColor edge = mark.added ? QColor(40, 160, 60) : QColor(210, 50, 50);
        QColor background = edge;
        background.setAlpha(56);
        const QRect lines(0, (from - top) * lineHeight_, viewport()->width(),
                          (to - from + 1) * lineHeight_);
        painter.fillRect(lines, background);
        painter.fillRect(QRect(lines.topLeft(), QSize(3, lines.height())), edge);
    }
}

void PlainTextView::paintHighlightedLines(QPainter& painter, int first, int last, int top) const {
    paintChangeMarks(painter, first, last, top);
    if (highlighted_.empty())
        return;
    // The selection's colour, faint: the lines stay readable, and a selection
    // inside them still shows.
    const QColor edge = palette().color(QPalette::Active, QPalette::Highlight);
    QColor background = edge;
    background.setAlpha(72);
    for (const LineRange& range : highlighted_) {
        const int from = std::max(first, range.first);
        const int to = std::min(last, range.first + range.count - 1);
        if (from > to)
            continue;
        const QRect lines(0, (from - top) * lineHeight_, viewport()->width(),
                          (to - from + 1) * lineHeight_);
        painter.fillRect(lines, background);
        // A bar in the margin finds the lines at a glance.
        painter.fillRect(QRect(lines.topLeft(), QSize(3, lines.height())), edge);
    }
}

} // namespace torvale
