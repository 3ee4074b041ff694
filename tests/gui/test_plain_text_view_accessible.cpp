// What a screen reader gets from PlainTextView, held on random texts (line
// ends of every form, characters beyond one UTF-16 unit, tabs, words and
// sentences) to the text as QPlainTextEdit would count it, to plain rules for
// words and lines, and to Qt's rules for characters and sentences run over
// the whole text.
#include "ui/widgets/plain_text_view_p.h"

#include <QAccessible>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <vector>

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

// The plain rules for words and lines: the text is cut at its start, at its
// end, and where a word (a run of letters and digits) starts or ends, or
// after each line break. The piece at an offset runs from the last cut at or
// before it to the next; at the very end, after a word or a line break, that
// is an empty piece, which only the question for the piece at the end gets
// for words. The pieces before and after are its neighbours.
struct Pieces {
    QString text;
    bool words;
    std::vector<int> cuts; // ascending, from 0 to the text's size
    bool endStartsAPiece;

    Pieces(const QString& plain, QAccessible::TextBoundaryType boundary)
        : text(plain), words(boundary == QAccessible::WordBoundary) {
        const int size = int(plain.size());
        const auto word = [&](int i) { return i >= 0 && i < size && plain[i].isLetterOrNumber(); };
        cuts.push_back(0);
        for (int i = 1; i <= size; ++i)
            if (words ? word(i - 1) != word(i) : plain[i - 1] == u'\n')
                cuts.push_back(i);
        if (cuts.back() != size)
            cuts.push_back(size);
        endStartsAPiece = size > 0 && (words ? word(size - 1) : plain.back() == u'\n');
    }

    // The piece from cuts[i] to the next cut, or the empty one at the end.
    QString piece(int i, int* start, int* end) const {
        const int last = int(cuts.size()) - 1;
        if (i < 0 || i > last || (i == last && !endStartsAPiece)) {
            *start = *end = -1;
            return {};
        }
        *start = cuts[i];
        *end = i == last ? cuts[i] : cuts[i + 1];
        return text.mid(*start, *end - *start);
    }
    int at(int offset) const {
        const int last = int(cuts.size()) - 1;
        if (offset >= int(text.size()))
            return endStartsAPiece ? last : last - 1;
        return int(std::upper_bound(cuts.begin(), cuts.end(), offset) - cuts.begin()) - 1;
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType, int* start, int* end) const {
        return piece(at(offset), start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType, int* start,
                             int* end) const {
        return piece(at(offset) - 1, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType, int* start,
                            int* end) const {
        const int next = at(offset) + 1;
        if (words && next == int(cuts.size()) - 1) {
            *start = *end = -1;
            return {};
        }
        return piece(next, start, end);
    }
};

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
                using Rule = QString (Pieces::*)(int, QAccessible::TextBoundaryType, int*,
                                                 int*) const;
                const std::pair<Query, Rule> queries[] = {
                    {&QAccessibleTextInterface::textBeforeOffset, &Pieces::textBeforeOffset},
                    {&QAccessibleTextInterface::textAtOffset, &Pieces::textAtOffset},
                    {&QAccessibleTextInterface::textAfterOffset, &Pieces::textAfterOffset}};
                const bool plainRule = boundary == QAccessible::WordBoundary ||
                                       boundary == QAccessible::LineBoundary;
                const Pieces pieces(plain, boundary);
                for (const auto& [query, rule] : queries) {
                    int wantStart, wantEnd, gotStart, gotEnd;
                    const QString want = plainRule
                                             ? (pieces.*rule)(a, boundary, &wantStart, &wantEnd)
                                             : (model.*query)(a, boundary, &wantStart, &wantEnd);
                    if (wantStart < 0)
                        wantEnd = -1; // nothing found: Qt's rule may say an end of 0
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
