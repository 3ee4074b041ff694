// A read-only view of a plain text that may be tens of megabytes long.
//
// QPlainTextEdit builds a text document for the whole text before it shows a
// line, which takes seconds for the largest mods. This view keeps the bytes as
// they are, indexes where each line starts, and decodes and lays out only the
// lines it paints or that the caret, a selection or a copy touches.
//
// Context menu: with Qt::CustomContextMenu set on the view, the view emits
// customContextMenuRequested(pos) for a right click and for the menu key alike,
// with pos in viewport coordinates (at the caret for the menu key). Show the menu
// at viewport()->mapToGlobal(pos).
#pragma once

#include "document/text_encoding.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QPainter;

namespace torvale {

struct SharedBytes;

class PlainTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // A place between two characters. The column counts UTF-16 units of the
    // decoded line, as QString indexes do.
    struct Position {
        int line = 0;
        int column = 0;
        friend auto operator<=>(const Position&, const Position&) = default;
    };

    explicit PlainTextView(QWidget* parent = nullptr);
    ~PlainTextView() override;

    // Shows the bytes, which the view shares and never changes. Scrolls to the
    // top and clears the selection.
    void setText(SharedBytes bytes, TextEncoding encoding);
    void setText(const std::shared_ptr<const std::string>& bytes, TextEncoding encoding);
    void clear();
    bool isEmpty() const;
    int lineCount() const;
    std::string_view bytes() const { return bytes_; }
    TextEncoding encoding() const { return encoding_; }

    // One line without its line end; empty past the last line.
    QString lineText(int line) const;
    // The whole text decoded, its lines joined by '\n'. Meant for small texts.
    QString toPlainText() const;

    Position cursorPosition() const { return caret_; }
    Position anchorPosition() const { return anchor_; }
    void setCursorPosition(int line, int column);
    // The anchor stays put when the selection is extended; the caret moves.
    void setSelection(int anchorLine, int anchorColumn, int caretLine, int caretColumn);
    bool hasSelection() const { return anchor_ != caret_; }
    Position selectionStart() const { return std::min(anchor_, caret_); }
    Position selectionEnd() const { return std::max(anchor_, caret_); }
    // Line breaks inside the selection come out as '\n'.
    QString selectedText() const;
    // The text from start to end, line breaks as '\n'.
    QString textBetween(Position start, Position end) const;

    int firstVisibleLine() const;
    // The caret in viewport coordinates.
    QRect cursorRect() const;
    // Where the caret would stand at position, in viewport coordinates.
    QRect rectAt(Position position) const;
    // The position nearest to a point of the viewport.
    Position positionAt(QPoint viewportPos) const;

    // Offsets into the whole text, in UTF-16 units, each line break counting
    // lineBreakLength units: 2 where a text is taken with CR LF breaks, 1 for
    // assistive technologies. Positions inside a line break go to its line's end.
    qint64 offsetAt(Position position, int lineBreakLength) const;
    Position positionAtOffset(qint64 offset, int lineBreakLength) const;
    // The first occurrence of text that starts at or after from, found in the
    // bytes without decoding them; a line break of text matches any line
    // break. Sets start and end and returns true when there is one.
    bool find(const QString& text, Position from, Position* start, Position* end) const;

    // Runs of lines shown on a background of their own, for example where a
    // search text stands; setting a text clears them.
    struct LineRange {
        int first = 0;
        int count = 0;
        friend bool operator==(const LineRange&, const LineRange&) = default;
    };
    void setHighlightedLines(std::vector<LineRange> ranges);
    const std::vector<LineRange>& highlightedLines() const { return highlighted_; }

    // Lines compared with another text, each marked with how it differs
    // (plain_text_view_marks.cpp); note is the line's tooltip. Setting a text
    // clears them.
    struct LineMark {
        enum class Kind {
            Same,    // the other text has this line as it is
            Changed, // it has a line like it
            Only,    // only this text has the line
            Missing, // the other text has lines here, between line - 1 and line
        };
        int line = 0;
        Kind kind = Kind::Same;
        QString note;
        friend bool operator==(const LineMark&, const LineMark&) = default;
    };
    void setLineMarks(std::vector<LineMark> marks);
    const std::vector<LineMark>& lineMarks() const { return marks_; }

    // Lines marked as taken out of a file or put into it, each on a colour
    // and with a sign in the margin of its own; lines taken out carry no
    // number. Setting a text clears them.
    struct ChangeMark {
        int first = 0;
        int count = 0;
        bool added = false;
        friend bool operator==(const ChangeMark&, const ChangeMark&) = default;
    };
    void setChangeMarks(std::vector<ChangeMark> marks);
    const std::vector<ChangeMark>& changeMarks() const { return changeMarks_; }
    // The number the margin gives a line (from 0): from 1, 0 for a line taken
    // out. And the line of a number, or the last line for one past the end.
    int numberOfLine(int line) const;
    int lineOfNumber(int number) const;
    // The line that holds the byte at offset of the text.
    int lineOfByte(std::size_t offset) const;
    // Scrolls the count lines from line on to a third of the way down, with
    // the lines before them in sight, unless all of them are in sight already
    // with a few lines around them. A longer run is centred, or starts at the
    // top when it is longer than the page.
    void scrollToLines(int line, int count = 1);

    // How many lines have been decoded for display since the text was set.
    // Lines are decoded lazily, and tests hold the view to that.
    std::uint64_t decodedLineCount() const { return decodedLines_; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // Numbers the lines in a margin at the left (plain_text_view_gutter.cpp).
    void setLineNumbersShown(bool shown);
    bool lineNumbersShown() const { return gutter_ != nullptr; }

    // Tab stops every 8 average characters of the font.
    static qreal tabStopDistance(const QFont& font);

public slots:
    void selectAll();
    // Puts the selected text on the clipboard.
    void copy();
    void ensureCursorVisible();

signals:
    void selectionChanged();
    void copyAvailable(bool available);
    void cursorPositionChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct LaidOutLine;
    enum class Move;
    struct KeyMove;
    static const KeyMove* keyMoveFor(const QKeyEvent* event);

    void indexLines();
    std::string_view lineBytes(int line) const;
    const std::vector<qint64>& unitStarts() const;
    std::size_t byteOffset(Position position) const;
    Position positionOfByte(std::size_t offset) const;
    QString decodeLine(int line) const;
    const LaidOutLine& laidOut(int line) const;
    void trimCache();
    int lineLength(int line) const;
    Position clamped(Position position) const;
    Position endOfText() const;
    qreal caretX(Position position) const;
    Position hitTest(QPoint viewportPos, bool onCharacter) const;
    int visibleLines() const;

    void paintHighlightedLines(QPainter& painter, int first, int last, int top) const;
    void paintLineMarks(QPainter& painter, int first, int last, int top) const;
    void paintChangeMarks(QPainter& painter, int first, int last, int top) const;
    bool viewportEvent(QEvent* event) override;
    void updateMetrics();
    void estimateWidth();
    void noteLineWidth(qreal width);
    void updateScrollBars();

    void setPositions(Position anchor, Position caret, bool keepGoalX = false);
    void moveCaret(Move move, bool extend);
    Position wordRight(Position from) const;
    Position wordLeft(Position from) const;
    void selectWordAt(QPoint viewportPos);
    void dragTo(QPoint viewportPos);
    void restartBlink();
    void tellAccessibility(bool caretMoved, bool selectionChanged);
    void publishMouseSelection();

    // The bytes shown, and what keeps them alive.
    std::shared_ptr<const void> owner_;
    std::string_view bytes_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    // Byte offset where each line starts.
    std::vector<std::uint64_t> lineStarts_;
    int longestLine_ = 0;
    // UTF-16 units before each line, line breaks left out; made on first use.
    mutable std::vector<qint64> unitStarts_;

    mutable std::unordered_map<int, std::unique_ptr<LaidOutLine>> cache_;
    mutable std::uint64_t decodedLines_ = 0;

    int lineHeight_ = 1;
    qreal ascent_ = 0;
    qreal charWidth_ = 1;
    qreal widest_ = 0;
    bool scrollBarsPending_ = false;

    class Gutter;
    friend class Gutter;
    Gutter* gutter_ = nullptr;

    std::vector<LineRange> highlighted_;
    std::vector<LineMark> marks_; // in order of their lines
    std::vector<ChangeMark> changeMarks_;
    Position anchor_;
    Position caret_;
    qreal goalX_ = -1; // kept while moving up and down across shorter lines

    bool caretShown_ = false;
    bool selecting_ = false;
    QPoint dragPos_;
    QPoint tripleClickPos_;
    QBasicTimer blinkTimer_;
    QBasicTimer dragScrollTimer_;
    QBasicTimer tripleClickTimer_;
};

} // namespace torvale
