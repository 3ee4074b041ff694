// Lines of the large text view set against another text: each marked with
// how it differs, painted under the text, and explained in a tooltip.
#include "plain_text_view.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace torvale {

namespace {

using Kind = PlainTextView::LineMark::Kind;

// Faint enough for the text to stay readable and a selection inside to show;
// the bar in the margin carries the colour at full strength.
QColor colourOf(Kind kind, const QPalette& palette) {
    switch (kind) {
    case Kind::Same:
        return palette.color(QPalette::Active, QPalette::Highlight);
    case Kind::Changed:
        return QColor(230, 160, 0);
    case Kind::Only:
        return QColor(40, 160, 60);
    case Kind::Missing:
        return QColor(210, 40, 40);
    }
    return {};
}

} // namespace

void PlainTextView::setLineMarks(std::vector<LineMark> marks) {
    std::ranges::stable_sort(marks, {}, &LineMark::line);
    if (marks == marks_)
        return;
    marks_ = std::move(marks);
    // The tooltip of a mark that is gone would tell of lines no longer marked.
    if (QToolTip::isVisible())
        QToolTip::hideText();
    viewport()->update();
}

void PlainTextView::paintLineMarks(QPainter& painter, int first, int last, int top) const {
    const auto from = std::ranges::lower_bound(marks_, first, {}, &LineMark::line);
    for (auto mark = from; mark != marks_.end() && mark->line <= last + 1; ++mark) {
        const QColor edge = colourOf(mark->kind, palette());
        const int y = (mark->line - top) * lineHeight_;
        if (mark->kind == Kind::Missing) {
            // Between two lines: a rule across, and a notch in the margin.
            painter.fillRect(QRect(0, y - 1, viewport()->width(), 2), edge);
            painter.fillRect(QRect(0, y - 4, 6, 8), edge);
            continue;
        }
        if (mark->line > last)
            continue;
        QColor background = edge;
        background.setAlpha(mark->kind == Kind::Same ? 56 : 80);
        const QRect line(0, y, viewport()->width(), lineHeight_);
        painter.fillRect(line, background);
        painter.fillRect(QRect(line.topLeft(), QSize(4, line.height())), edge);
    }
}

bool PlainTextView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip || marks_.empty())
        return QAbstractScrollArea::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int line = firstVisibleLine() + help->pos().y() / std::max(1, lineHeight_);
    QStringList notes;
    const auto [from, to] = std::ranges::equal_range(marks_, line, {}, &LineMark::line);
    for (auto mark = from; mark != to; ++mark)
        if (!mark->note.isEmpty())
            notes << mark->note;
    if (notes.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), notes.join(QLatin1Char('\n')), viewport());
    return true;
}

} // namespace torvale
