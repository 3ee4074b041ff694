// The text-field adapter over each kind of field, held to a plain model: the
// text the field was given, with CR LF line breaks, searched with
// QString::indexOf.
#include "ui/widgets/plain_text_view.h"
#include "ui/widgets/text_field.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <random>

using namespace torvale;

namespace {

QString randomText(std::mt19937& rng, int maxLength, bool lineBreaks) {
    // Line breaks, a character that takes two UTF-16 units and one that
    // Windows-1252 lacks, among plain letters.
    static const QStringList pieces = {"a",        "b",   "\xC3\xA9", "\xF0\x9F\x98\x80",
                                       "\xD0\x96", "\r\n"};
    const int count = std::uniform_int_distribution<int>(0, maxLength)(rng);
    QString text;
    for (int i = 0; i < count; ++i)
        text += pieces[std::uniform_int_distribution<int>(0, int(pieces.size()) -
                                                                 (lineBreaks ? 1 : 2))(rng)];
    return text;
}

} // namespace

class TextFieldTest : public QObject {
    Q_OBJECT

private slots:
    void findAndSelectAgreeWithTheTextTakenWithCrLf();
    void replaceAllTakesEachOccurrenceOnceInOneEdit();
};

void TextFieldTest::findAndSelectAgreeWithTheTextTakenWithCrLf() {
    std::mt19937 rng(9);
    QLineEdit line;
    QPlainTextEdit edit;
    PlainTextView view;
    for (int round = 0; round < 2000; ++round) {
        const QString crLf = randomText(rng, 30, true);
        const QString single = randomText(rng, 30, false);
        line.setText(single);
        edit.setPlainText(TextField::withNewlines(crLf));
        // The view's bytes: CR LF breaks in the UTF-8 case, LF ones in
        // Windows-1252, which holds no emoji (its halves made "xy") and no
        // Cyrillic ("?"). It shows no empty line after a last line break.
        const bool utf8 = round % 2 == 0;
        QString forView = crLf;
        while (forView.endsWith(QStringLiteral("\r\n")))
            forView.chop(2);
        if (!utf8)
            forView = QString::fromLatin1(
                forView.replace(QChar(0xD83D), u'x').replace(QChar(0xDE00), u'y').toLatin1());
        const QByteArray bytes =
            utf8 ? forView.toUtf8() : TextField::withNewlines(forView).toLatin1();
        view.setText(std::make_shared<const std::string>(bytes.toStdString()),
                     utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252);

        // What each field was given, with CR LF breaks.
        const std::pair<QWidget*, QString> fields[] = {
            {&line, single}, {&edit, crLf}, {&view, forView}};
        for (const auto& [widget, model] : fields) {
            TextField field(widget);
            QVERIFY2(field.text() == model, qPrintable(model));
            const QString needle = randomText(rng, 3, widget != &line);
            const qint64 from = std::uniform_int_distribution<qint64>(0, model.size())(rng);
            // Never between the halves of a surrogate pair or of a CR LF.
            if (from > 0 && from < model.size() &&
                (model[from].isLowSurrogate() ||
                 (model[from] == u'\n' && model[from - 1] == u'\r')))
                continue;
            const qint64 expected = needle.isEmpty() ? -1 : model.indexOf(needle, from);
            const qint64 found = field.find(needle, from);
            QVERIFY2(found == expected, qPrintable(QStringLiteral("%1 in \"%2\" from %3: %4")
                                                       .arg(needle, model)
                                                       .arg(from)
                                                       .arg(found)));
            if (found < 0)
                continue;
            field.select(found, TextField::offsetLength(needle));
            QCOMPARE(field.selectionStart(), found);
            QCOMPARE(field.selectionLength(), qint64(needle.size()));
        }
    }
}

void TextFieldTest::replaceAllTakesEachOccurrenceOnceInOneEdit() {
    QPlainTextEdit edit;
    edit.setPlainText(QStringLiteral("abc\nabc abc"));
    int changes = 0;
    connect(&edit, &QPlainTextEdit::textChanged, this, [&] { ++changes; });
    TextField field(&edit);
    QCOMPARE(field.replaceAll(QStringLiteral("abc"), QStringLiteral("abcabc")), 3);
    QCOMPARE(edit.toPlainText(), QStringLiteral("abcabc\nabcabc abcabc"));
    QCOMPARE(changes, 1);
    edit.undo();
    QCOMPARE(edit.toPlainText(), QStringLiteral("abc\nabc abc"));
    QCOMPARE(field.replaceAll(QStringLiteral("c\r\na"), QStringLiteral("-")), 1);
    QCOMPARE(edit.toPlainText(), QStringLiteral("ab-bc abc"));

    QLineEdit line(QStringLiteral("a.a.a"));
    TextField lineField(&line);
    QCOMPARE(lineField.replaceAll(QStringLiteral("a"), QString()), 3);
    QCOMPARE(line.text(), QStringLiteral(".."));
    line.undo();
    QCOMPARE(line.text(), QStringLiteral("a.a.a"));

    PlainTextView view;
    view.setText(std::make_shared<const std::string>("abc"), TextEncoding::Utf8);
    QCOMPARE(TextField(&view).replaceAll(QStringLiteral("b"), QStringLiteral("x")), 0);
    QCOMPARE(view.lineText(0), QStringLiteral("abc"));
}

QTEST_MAIN(TextFieldTest)
#include "test_text_field.moc"
