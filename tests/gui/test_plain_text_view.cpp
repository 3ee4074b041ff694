#include "ui/widgets/plain_text_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <random>

using torvale::PlainTextView;
using torvale::TextEncoding;
using Position = PlainTextView::Position;
using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<const std::string> shared(std::string bytes) {
    return std::make_shared<const std::string>(std::move(bytes));
}

std::shared_ptr<const std::string> shared(const QByteArray& bytes) {
    return shared(std::string(bytes.constData(), std::size_t(bytes.size())));
}

// "line 0" .. "line N-1", CR LF ends.
std::string numberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    return text;
}

// Where the caret would be drawn for a position, to aim the mouse at it.
QPoint pointOf(PlainTextView& view, int line, int column) {
    const Position anchor = view.anchorPosition();
    const Position caret = view.cursorPosition();
    view.setCursorPosition(line, column);
    const QPoint point = view.cursorRect().center();
    view.setSelection(anchor.line, anchor.column, caret.line, caret.column);
    return point;
}

} // namespace

Q_DECLARE_METATYPE(TextEncoding)

class TestPlainTextView : public QObject {
    Q_OBJECT

private slots:
    void splitsLines_data();
    void splitsLines();
    void decodesLines_data();
    void decodesLines();
    void columnsCountUtf16Units();
    void selectsTextAcrossLines();
    void selectAllCopiesWholeText();
    void keyboardMovesAndExtends();
    void sharesShortcutsWithTheWindow();
    void mouseClickAndDragSelect();
    void dragOutsideScrolls();
    void ensureCursorVisibleReachesLastLine();
    void bigTextDecodesOnlyWhatIsShown();
    void tabsAndFontChangesRelayout();
    void contextMenuRequestsUseViewportCoordinates();
    void setTextResetsScrollAndSelection();
    void scrollingToLinesBringsThemAllInSight();
};

void TestPlainTextView::splitsLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("no line end") << QByteArray("abc") << QStringList{"abc"};
    QTest::newRow("CR LF") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("lone CR") << QByteArray("a\rb") << QStringList{"a", "b"};
    QTest::newRow("lone LF") << QByteArray("a\nb") << QStringList{"a", "b"};
    QTest::newRow("final CR LF adds no line") << QByteArray("a\r\n") << QStringList{"a"};
    QTest::newRow("final lone CR adds no line") << QByteArray("a\r") << QStringList{"a"};
    QTest::newRow("only a line end") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("blank last line") << QByteArray("a\n\n") << QStringList{"a", ""};
    QTest::newRow("CR then CR LF") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("LF then CR") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("NUL is content")
        << QByteArray("a\0b\nc", 5) << QStringList{u"a"_s + QChar(0) + u"b"_s, "c"};
}

void TestPlainTextView::splitsLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    PlainTextView view;
    view.setText(shared(bytes), TextEncoding::Utf8);

    QCOMPARE(view.isEmpty(), bytes.isEmpty());
    QCOMPARE(view.lineCount(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(view.lineText(i), lines[i]);
    QCOMPARE(view.toPlainText(), lines.join(u'\n'));
    // The selection is cut from the bytes, not from the decoded lines.
    view.selectAll();
    QCOMPARE(view.selectedText(), lines.join(u'\n'));
}

void TestPlainTextView::decodesLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("UTF-8") << QByteArray("Größe\r\nnaïve —") << TextEncoding::Utf8
                           << QStringList{u"Größe"_s, u"naïve —"_s};
    QTest::newRow("Windows-1252") << QByteArray("\x80 caf\xe9\r\n\x93q\x94")
                                  << TextEncoding::Windows1252
                                  << QStringList{u"€ café"_s, u"“q”"_s};
}

void TestPlainTextView::decodesLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(TextEncoding, encoding);
    QFETCH(QStringList, lines);
    PlainTextView view;
    view.setText(shared(bytes), encoding);

    QCOMPARE(view.lineCount(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(view.lineText(i), lines[i]);
    view.setSelection(0, 2, 1, 2);
    QCOMPARE(view.selectedText(), lines[0].mid(2) + u'\n' + lines[1].left(2));
    view.setCursorPosition(0, 1000);
    QCOMPARE(view.cursorPosition().column, lines[0].size());
}

void TestPlainTextView::columnsCountUtf16Units() {
    PlainTextView view;
    view.setText(shared(std::string("a😀b")), TextEncoding::Utf8);

    view.setCursorPosition(0, 100);
    QCOMPARE(view.cursorPosition(), (Position{0, 4}));
    // Column 2 would split the surrogate pair of the emoji.
    view.setCursorPosition(0, 2);
    QCOMPARE(view.cursorPosition(), (Position{0, 1}));
    view.setSelection(0, 1, 0, 3);
    QCOMPARE(view.selectedText(), u"😀"_s);
}

void TestPlainTextView::selectsTextAcrossLines() {
    PlainTextView view;
    view.setText(shared(std::string("alpha\r\nbeta\rgamma\ndelta")), TextEncoding::Utf8);
    QSignalSpy copyAvailable(&view, &PlainTextView::copyAvailable);
    QSignalSpy selectionChanged(&view, &PlainTextView::selectionChanged);

    // Anchor after the caret: a selection made upwards.
    view.setSelection(2, 3, 0, 2);
    QVERIFY(view.hasSelection());
    QCOMPARE(view.selectedText(), u"pha\nbeta\ngam"_s);
    QCOMPARE(view.selectionStart(), (Position{0, 2}));
    QCOMPARE(view.selectionEnd(), (Position{2, 3}));
    QCOMPARE(view.cursorPosition(), (Position{0, 2}));

    view.setSelection(1, 1, 1, 3);
    QCOMPARE(view.selectedText(), u"et"_s);
    view.setSelection(0, 5, 1, 0);
    QCOMPARE(view.selectedText(), u"\n"_s);
    view.setSelection(3, 0, 3, 5);
    QCOMPARE(view.selectedText(), u"delta"_s);

    view.setCursorPosition(1, 1);
    QVERIFY(!view.hasSelection());
    QVERIFY(view.selectedText().isEmpty());
    QCOMPARE(copyAvailable.size(), 2);
    QCOMPARE(copyAvailable[0][0].toBool(), true);
    QCOMPARE(copyAvailable[1][0].toBool(), false);
    QCOMPARE(selectionChanged.size(), 5);

    // Moving the caret without a selection changes no selection.
    view.setCursorPosition(2, 2);
    QCOMPARE(selectionChanged.size(), 5);
}

void TestPlainTextView::selectAllCopiesWholeText() {
    PlainTextView view;
    view.setText(shared(std::string("one\r\ncaf\xe9\r\nthree\r\n")), TextEncoding::Windows1252);
    QGuiApplication::clipboard()->clear();

    view.copy(); // nothing selected: the clipboard keeps what it had
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    view.selectAll();
    view.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), u"one\ncafé\nthree"_s);
    QCOMPARE(view.cursorPosition(), (Position{2, 5}));
}

void TestPlainTextView::keyboardMovesAndExtends() {
    PlainTextView view;
    view.setText(shared(std::string("abc def\r\nxy\r\nlonger line\r\n")), TextEncoding::Utf8);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setFocus();

    view.setCursorPosition(0, 1);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), u"bc"_s);
    // Through a short line and back out to the column it started from.
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view.cursorPosition(), (Position{1, 2}));
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view.cursorPosition(), (Position{2, 3}));
    QCOMPARE(view.selectedText(), u"bc def\nxy\nlon"_s);

    // Left without Shift collapses to where the selection starts.
    QTest::keyClick(&view, Qt::Key_Left);
    QVERIFY(!view.hasSelection());
    QCOMPARE(view.cursorPosition(), (Position{0, 1}));

    QTest::keyClick(&view, Qt::Key_End);
    QCOMPARE(view.cursorPosition(), (Position{0, 7}));
    QTest::keyClick(&view, Qt::Key_Right);
    QCOMPARE(view.cursorPosition(), (Position{1, 0}));
    QTest::keyClick(&view, Qt::Key_Left);
    QCOMPARE(view.cursorPosition(), (Position{0, 7}));
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), u"\nxy\nlonger line"_s);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), (Position{0, 0}));
    QVERIFY(!view.hasSelection());
    QTest::keyClick(&view, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), (Position{0, 4}));
    QTest::keyClick(&view, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), u"abc "_s);
    QTest::keyClick(&view, Qt::Key_PageDown, Qt::ShiftModifier);
    QCOMPARE(view.cursorPosition().line, 2);
    QTest::keyClick(&view, Qt::Key_PageUp);
    QCOMPARE(view.cursorPosition().line, 0);
}

void TestPlainTextView::sharesShortcutsWithTheWindow() {
    QWidget window;
    auto* view = new PlainTextView(&window);
    (new QVBoxLayout(&window))->addWidget(view);
    auto* copyAction = new QAction(&window);
    copyAction->setShortcut(QKeySequence::Copy);
    window.addAction(copyAction);
    QSignalSpy copied(copyAction, &QAction::triggered);
    auto* endAction = new QAction(&window);
    endAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
    window.addAction(endAction);
    QSignalSpy ended(endAction, &QAction::triggered);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    view->setText(shared(std::string("some text")), TextEncoding::Utf8);
    view->selectAll();
    QGuiApplication::clipboard()->clear();

    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copied.size(), 1);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());

    // Moving the caret is the view's, whatever the window binds to the key.
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(ended.size(), 0);
    QCOMPARE(view->cursorPosition(), (Position{0, 9}));

    // Without a window command the view copies by itself.
    view->selectAll();
    window.removeAction(copyAction);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"some text"_s);

    // Keys the view has no use for go on to its parents.
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, u"x"_s);
    QApplication::sendEvent(view, &letter);
    QVERIFY(!letter.isAccepted());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    QVERIFY(!enter.isAccepted());
}

void TestPlainTextView::mouseClickAndDragSelect() {
    PlainTextView view;
    view.setText(shared(std::string("hello world\r\nsecond line\r\n")), TextEncoding::Utf8);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QWidget* viewport = view.viewport();
    const QPoint start = pointOf(view, 0, 2);
    const QPoint end = pointOf(view, 1, 3);

    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    QCOMPARE(view.cursorPosition(), (Position{0, 2}));
    QVERIFY(!view.hasSelection());
    QTest::mouseMove(viewport, end);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
    QCOMPARE(view.selectedText(), u"llo world\nsec"_s);

    // Shift-click moves the caret and keeps the anchor.
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, pointOf(view, 0, 6));
    QCOMPARE(view.selectedText(), u"llo "_s);

    // The middle of "world": a double click selects it, a third click the line.
    const QPoint world = (pointOf(view, 0, 7) + pointOf(view, 0, 8)) / 2;
    QTest::mouseClick(viewport, Qt::LeftButton, {}, world);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, world);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, world);
    QCOMPARE(view.selectedText(), u"world"_s);
    QTest::mousePress(viewport, Qt::LeftButton, {}, world);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, world);
    QCOMPARE(view.selectedText(), u"hello world\n"_s);

    // A right click leaves the selection alone.
    QTest::mouseClick(viewport, Qt::RightButton, {}, end);
    QCOMPARE(view.selectedText(), u"hello world\n"_s);
}

void TestPlainTextView::dragOutsideScrolls() {
    PlainTextView view;
    view.setText(shared(numberedLines(1000)), TextEncoding::Utf8);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QWidget* viewport = view.viewport();

    QTest::mousePress(viewport, Qt::LeftButton, {}, pointOf(view, 0, 0));
    QTest::mouseMove(viewport, QPoint(50, viewport->height() + 40));
    QTRY_VERIFY(view.firstVisibleLine() > 20);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(50, viewport->height() + 40));

    QCOMPARE(view.selectionStart(), (Position{0, 0}));
    QVERIFY(view.selectionEnd().line > 20);
    QVERIFY(viewport->rect().contains(view.cursorRect()));
    // Released: the scrolling stops.
    const int top = view.firstVisibleLine();
    QTest::qWait(200);
    QCOMPARE(view.firstVisibleLine(), top);
}

void TestPlainTextView::ensureCursorVisibleReachesLastLine() {
    PlainTextView view;
    view.setText(shared(numberedLines(100000)), TextEncoding::Utf8);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.setCursorPosition(99999, 4);
    view.ensureCursorVisible();
    QVERIFY(view.viewport()->rect().contains(view.cursorRect()));
    QCOMPARE(view.positionAt(view.cursorRect().center()), (Position{99999, 4}));
    QCOMPARE(view.lineText(99999), u"line 99999"_s);
    QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

    view.setCursorPosition(0, 0);
    view.ensureCursorVisible();
    QCOMPARE(view.firstVisibleLine(), 0);
}

void TestPlainTextView::bigTextDecodesOnlyWhatIsShown() {
    std::string text = numberedLines(200000);
    // A long line far below the first page.
    text += std::string(3000, 'x') + "\r\n" + numberedLines(10);
    PlainTextView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.setText(shared(std::move(text)), TextEncoding::Utf8);
    view.viewport()->repaint();
    QCOMPARE(view.lineCount(), 200011);
    QVERIFY2(view.decodedLineCount() < 100, QByteArray::number(view.decodedLineCount()));
    // The horizontal range already reaches the unpainted long line.
    const qreal charWidth = QFontMetricsF(view.font()).averageCharWidth();
    QVERIFY(view.horizontalScrollBar()->maximum() > 3000 * charWidth - view.width());
    QCOMPARE(view.lineText(200010), u"line 9"_s);
}

void TestPlainTextView::tabsAndFontChangesRelayout() {
    PlainTextView view;
    view.setText(shared(std::string("\tx")), TextEncoding::Utf8);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const auto tabWidth = [&] { return pointOf(view, 0, 1).x() - pointOf(view, 0, 0).x(); };

    const QFontMetricsF metrics(view.font());
    QVERIFY(std::abs(tabWidth() - 8 * metrics.averageCharWidth()) <= 1.5);
    const int lineHeight = view.cursorRect().height();

    QFont bigger = view.font();
    bigger.setPointSizeF(bigger.pointSizeF() * 2);
    view.setFont(bigger);
    const QFontMetricsF biggerMetrics(bigger);
    QVERIFY(std::abs(tabWidth() - 8 * biggerMetrics.averageCharWidth()) <= 1.5);
    QVERIFY(view.cursorRect().height() > lineHeight);
}

void TestPlainTextView::contextMenuRequestsUseViewportCoordinates() {
    PlainTextView view;
    view.setText(shared(std::string("first\r\nsecond\r\n")), TextEncoding::Utf8);
    view.setContextMenuPolicy(Qt::CustomContextMenu);
    view.resize(300, 200);
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QSignalSpy requested(&view, &QWidget::customContextMenuRequested);

    const QPoint click(30, 20);
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, click, view.viewport()->mapToGlobal(click));
    QApplication::sendEvent(view.viewport(), &mouse);
    QCOMPARE(requested.size(), 1);
    QCOMPARE(requested[0][0].toPoint(), click);

    // The menu key, as the platform reports it to the window: the view itself
    // gets the request, and its menu opens at the caret.
    view.setFocus();
    view.setCursorPosition(1, 3);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), view.mapToGlobal(QPoint()));
    QApplication::sendEvent(view.windowHandle(), &key);
    QCOMPARE(requested.size(), 2);
    QCOMPARE(requested[1][0].toPoint(), view.cursorRect().center());
}

void TestPlainTextView::setTextResetsScrollAndSelection() {
    PlainTextView view;
    view.setText(shared(numberedLines(500)), TextEncoding::Utf8);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setSelection(400, 0, 450, 2);
    view.ensureCursorVisible();
    QVERIFY(view.firstVisibleLine() > 0);
    QSignalSpy copyAvailable(&view, &PlainTextView::copyAvailable);

    view.setText(shared(numberedLines(600)), TextEncoding::Utf8);
    QCOMPARE(view.firstVisibleLine(), 0);
    QVERIFY(!view.hasSelection());
    QCOMPARE(view.cursorPosition(), (Position{0, 0}));
    QCOMPARE(copyAvailable.size(), 1);
    QCOMPARE(view.lineText(599), u"line 599"_s);

    view.clear();
    QVERIFY(view.isEmpty());
    QCOMPARE(view.lineCount(), 0);
    QVERIFY(view.bytes().empty());
    view.selectAll();
    QVERIFY(!view.hasSelection());
    QTest::keyClick(&view, Qt::Key_Down); // nothing to move through, nothing to break
    QCOMPARE(view.cursorPosition(), (Position{0, 0}));
}

// Random runs of lines from random places: afterwards the whole run is in
// sight (its start at the top when it is longer than the page), and a run in
// sight already, with a few lines around it, does not move the text.
void TestPlainTextView::scrollingToLinesBringsThemAllInSight() {
    PlainTextView view;
    view.setText(shared(numberedLines(300)), TextEncoding::Utf8);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QScrollBar* vertical = view.verticalScrollBar();
    const int page = vertical->pageStep();
    QVERIFY(page > 3);
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        vertical->setValue(int(rng() % 300));
        const int top = view.firstVisibleLine();
        const int line = int(rng() % 300);
        const int count = 1 + int(rng() % (page + 4));
        // In sight with a few lines around it, as far as the text has them.
        const int context = std::min(3, page / 6);
        const bool inSight = std::max(0, line - context) >= top &&
                             std::min(300, line + count + context) <= top + page;
        view.scrollToLines(line, count);
        const int now = view.firstVisibleLine();
        const QString what = QStringLiteral("top %1, lines %2+%3").arg(top).arg(line).arg(count);
        if (inSight)
            QVERIFY2(now == top, qPrintable(what));
        if (count <= page)
            QVERIFY2(now <= line && std::min(line + count, 300) <= now + page, qPrintable(what));
        else
            QVERIFY2(now == std::min(line, vertical->maximum()), qPrintable(what));
    }
}

QTEST_MAIN(TestPlainTextView)
#include "test_plain_text_view.moc"
