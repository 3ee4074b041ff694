// PlainTextView: the text, its lines and their layout, scrolling and painting.
#include "plain_text_view_p.h"

#include "document/text.h"
#include "ui/text_codec.h"

#include <QAccessible>
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <cmath>
#include <cstring>
#include <limits>

namespace torvale {

namespace {

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

} // namespace

PlainTextView::PlainTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool accessible = (QAccessible::installFactory(plainTextViewAccessible), true);
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    updateMetrics();
    updateScrollBars();
}

PlainTextView::~PlainTextView() = default;

void PlainTextView::setText(const std::shared_ptr<const std::string>& bytes,
                            TextEncoding encoding) {
    setText(bytes ? SharedBytes{bytes, *bytes} : SharedBytes{}, encoding);
}

void PlainTextView::setText(SharedBytes bytes, TextEncoding encoding) {
    owner_ = std::move(bytes.owner);
    bytes_ = bytes.bytes;
    encoding_ = encoding;
    cache_.clear();
    decodedLines_ = 0;
    highlighted_.clear();
    marks_.clear();
    changeMarks_.clear();
    indexLines();
    estimateWidth();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    setPositions({}, {});
    viewport()->update();
}

void PlainTextView::clear() {
    setText(SharedBytes{}, TextEncoding::Utf8);
}

bool PlainTextView::isEmpty() const {
    return bytes_.empty();
}

int PlainTextView::lineCount() const {
    return int(lineStarts_.size());
}

void PlainTextView::indexLines() {
    lineStarts_.clear();
    unitStarts_ = {};
    longestLine_ = 0;
    if (bytes_.empty()) {
        lineStarts_.shrink_to_fit();
        return;
    }
    const char* data = bytes_.data();
    const std::size_t size = bytes_.size();
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
    std::size_t end = line + 1 < lineCount() ? lineStarts_[std::size_t(line) + 1] : bytes_.size();
    const char* data = bytes_.data();
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
    option.setTabStopDistance(tabStopDistance(font()));
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
    return rectAt(caret_);
}

QRect PlainTextView::rectAt(Position position) const {
    position = clamped(position);
    const int x = kMargin - horizontalScrollBar()->value() + int(std::floor(caretX(position)));
    return {x, (position.line - firstVisibleLine()) * lineHeight_, 1, lineHeight_};
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

namespace {

qreal averageCharWidth(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal width = metrics.averageCharWidth();
    return width > 0 ? width : metrics.horizontalAdvance(u'x');
}

} // namespace

qreal PlainTextView::tabStopDistance(const QFont& font) {
    return 8 * averageCharWidth(font);
}

void PlainTextView::updateMetrics() {
    const QFontMetricsF metrics(font());
    lineHeight_ = std::max(1, int(std::ceil(metrics.lineSpacing())));
    ascent_ = metrics.ascent();
    charWidth_ = averageCharWidth(font());
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

    paintLineMarks(painter, first, last, top);
    paintHighlightedLines(painter, first, last, top);
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
