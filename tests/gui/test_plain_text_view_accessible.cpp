// What a screen reader gets from PlainTextView, held on random texts (line
// ends of every form, characters beyond one UTF-16 unit, tabs, words and
// sentences) to the text as QPlainTextEdit would count it, and to the rules
// for characters, words, sentences and lines run over the whole text.
#include "ui/widgets/plain_text_view_p.h"

#include <QAccessible>
#include <QRandomGenerator>
#include <QTest>

using torvale::PlainTextView;
using torvale::TextEncoding;

namespace {

// UTF-8 bytes of a random text made of pieces that each rule cares about.
std::string randomText(QRandomGenerator& random) {
    static const char* const pieces[] = {
        "word", "ab",        " ",    "  ", "\t", "caf\xC3\xA9", "\xF0\x9F\x98\x80",
        ".",    "End. Next", "\r\n", "\n", "\r", "\r\n\r\n",
    };
    std::string text;
    const int count = random.bounded(60);
    for (int i = 0; i < count; ++i)
        text += pieces[random.bounded(int(std::size(pieces)))];
    return text;
}

} // namespace

class TestPlainTextViewAccessible : public QObject {
    Q_OBJECT

private slots:
    void textCaretAndBoundariesAsQtCountsThem();
};

void TestPlainTextViewAccessible::textCaretAndBoundariesAsQtCountsThem() {
    QRandomGenerator random(9);
    PlainTextView view;
    view.resize(300, 200);
    view.show();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::EditableText);
    QVERIFY(accessible->state().readOnly && accessible->state().multiLine);
    QAccessibleTextInterface* text = accessible->textInterface();
    QVERIFY(text);

    const QAccessible::TextBoundaryType boundaries[] = {
        QAccessible::CharBoundary, QAccessible::WordBoundary, QAccessible::SentenceBoundary,
        QAccessible::LineBoundary};
    for (int round = 0; round < 300; ++round) {
        const std::string bytes = randomText(random);
        view.setText(std::make_shared<const std::string>(bytes), TextEncoding::Utf8);
        // Line breaks count one, as in QPlainTextEdit; one at the very end
        // closes the last line and starts none.
        QString plain = QString::fromStdString(bytes);
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        if (plain.endsWith(u'\n'))
            plain.chop(1);
        const torvale::TextExcerpt model(plain, 0);
        const int count = int(plain.size());
        const QByteArray context = QByteArray::fromStdString(bytes).toPercentEncoding();
        QVERIFY2(text->characterCount() == count, context);
        QVERIFY2(text->text(0, -1) == plain, context);

        for (int probe = 0; probe < 12; ++probe) {
            int a = random.bounded(count + 1), b = random.bounded(count + 1);
            if (a > b)
                std::swap(a, b);
            // Offsets never stand between the halves of a surrogate pair.
            const int at = a < count && plain[a].isLowSurrogate() ? a - 1 : a;
            const int to = b < count && plain[b].isLowSurrogate() ? b - 1 : b;
            QVERIFY2(text->text(a, b) == plain.mid(at, to - at), context);

            text->setCursorPosition(a);
            QVERIFY2(text->cursorPosition() == at, context);
            text->setSelection(0, a, b);
            int start = -1, end = -1;
            text->selection(0, &start, &end);
            QVERIFY2(text->selectionCount() == (at < to ? 1 : 0), context);
            if (at < to) {
                QVERIFY2(start == at && end == to, context);
                QVERIFY2(view.selectedText() == plain.mid(at, to - at), context);
            }

            for (QAccessible::TextBoundaryType boundary : boundaries) {
                using Query = QString (QAccessibleTextInterface::*)(
                    int, QAccessible::TextBoundaryType, int*, int*) const;
                for (Query query : {&QAccessibleTextInterface::textBeforeOffset,
                                    &QAccessibleTextInterface::textAtOffset,
                                    &QAccessibleTextInterface::textAfterOffset}) {
                    int wantStart, wantEnd, gotStart, gotEnd;
                    const QString want = (model.*query)(a, boundary, &wantStart, &wantEnd);
                    const QString got = (text->*query)(a, boundary, &gotStart, &gotEnd);
                    QVERIFY2(got == want && gotStart == wantStart && gotEnd == wantEnd,
                             context + QString::asprintf(" at %d, boundary %d: %d-%d, not %d-%d", a,
                                                         int(boundary), gotStart, gotEnd, wantStart,
                                                         wantEnd)
                                           .toLatin1());
                }
            }
        }
    }

    // A point on a character gives its offset back.
    view.setText(std::make_shared<const std::string>("first\r\nsecond"), TextEncoding::Utf8);
    const QRect second = text->characterRect(8);
    QVERIFY(second.width() > 0 && second.height() > 0);
    QCOMPARE(text->offsetAtPoint(second.topLeft() + QPoint(1, second.height() / 2)), 8);
}

QTEST_MAIN(TestPlainTextViewAccessible)
#include "test_plain_text_view_accessible.moc"
