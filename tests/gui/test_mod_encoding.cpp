// The mod's encoding and line ends as the user meets them: named in the status
// bar, a typed character never stored as something other than what the field
// shows, the mod saved with its own line ends, and converted to LF on request.
#include "gui_support.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QUndoStack>

using namespace torvale;
using namespace torvale::test;

namespace {

// A Windows-1252 mod: "café" in its name and its search text.
const QByteArray kWindows1252Mod =
    "<id>\r\ncaf\xE9\r\n</id>\r\n<edit file>\r\nA.pm\r\n</edit file>\r\n"
    "<search for>\r\ncaf\xE9\r\n</search for>\r\n<replace>\r\nx\r\n"
    "</replace>";

// Types each character as a key of its own, beyond the Latin-1 that
// QTest::keyClicks can type.
void typeKeys(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

QString encodingShown(const QWidget& window) {
    return child<QLabel>(window, "StatusBarEncoding")->text();
}

QString lineEndsShown(const QWidget& window) {
    return child<QLabel>(window, "StatusBarLineEnds")->text();
}

// Whether every line end of text is end ("\n" or "\r\n").
bool allLineEndsAre(const QByteArray& text, const QByteArray& end) {
    QByteArray others = text;
    others.replace(end, "");
    return !others.contains('\r') && !others.contains('\n');
}

} // namespace

class ModEncodingTest : public QObject {
    Q_OBJECT

private slots:
    void statusBarNamesTheEncoding();
    void charactersTheEncodingLacks_data();
    void charactersTheEncodingLacks();
    void saveKeepsTheModsLineEnds();
    void convertingToLfIsOneStep();
    void keysTypedWhileTheQuestionIsOpenAreKept();
};

void ModEncodingTest::statusBarNamesTheEncoding() {
    const struct {
        QByteArray mod;
        QString shown;
    } cases[] = {
        {"<id>\r\ncaf\xC3\xA9\r\n</id>", "UTF-8"},
        {kWindows1252Mod, "Windows-1252"},
        {"<id>\r\ncaf\xC3\xA9 and one stray \xE9\r\n</id>", "Windows-1252"},
    };
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    QCOMPARE(encodingShown(*window), QStringLiteral("UTF-8"));
    QTemporaryDir dir;
    for (const auto& c : cases) {
        writeFile(dir.filePath("m.mod"), c.mod);
        window->openCommandLine({dir.filePath("m.mod")});
        QCOMPARE(encodingShown(*window), c.shown);
    }
    command(*window, "actNew")->trigger();
    QCOMPARE(encodingShown(*window), QStringLiteral("UTF-8"));
}

void ModEncodingTest::charactersTheEncodingLacks_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("convert");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("savedId");
    QTest::addColumn<QByteArray>("savedSearch");

    QTest::newRow("search text, left out") << "memSearch" << QStringLiteral("a\u0416b") << false
                                           << QStringLiteral("caf\u00E9ab") << QByteArray("caf\xE9")
                                           << QByteArray("caf\xE9"
                                                         "ab");
    QTest::newRow("search text, converted")
        << "memSearch" << QStringLiteral("a\u0416b") << true << QStringLiteral("caf\u00E9a\u0416b")
        << QByteArray("caf\xC3\xA9")
        << QByteArray("caf\xC3\xA9"
                      "a\xD0\x96"
                      "b");
    QTest::newRow("mod name, converted")
        << "edtId" << QStringLiteral("\U0001F600") << true << QStringLiteral("caf\u00E9\U0001F600")
        << QByteArray("caf\xC3\xA9\xF0\x9F\x98\x80") << QByteArray("caf\xC3\xA9");
    QTest::newRow("a character the code page has, no question")
        << "memSearch" << QStringLiteral("\u20AC") << false << QStringLiteral("caf\u00E9\u20AC")
        << QByteArray("caf\xE9") << QByteArray("caf\xE9\x80");
}

void ModEncodingTest::charactersTheEncodingLacks() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(bool, convert);
    QFETCH(QString, shown);
    QFETCH(QByteArray, savedId);
    QFETCH(QByteArray, savedSearch);
    Opened t(kWindows1252Mod);
    t.click(t.index(0, 0));
    t.prompts.convertAnswers << convert;
    QWidget* target = child<QWidget>(*t.window, qPrintable(field));
    if (field == "edtId")
        showPage(*t.window, "tsModProperty");
    target->setFocus();
    QTest::keyClick(target, Qt::Key_End, Qt::ControlModifier);
    // One paste: one question, however many characters it brings.
    QGuiApplication::clipboard()->setText(typed);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);

    const bool asked = typed != QStringLiteral("\u20AC");
    QCOMPARE(t.prompts.convertQuestions.size(), asked ? 1 : 0);
    const auto* line = qobject_cast<QLineEdit*>(target);
    QCOMPARE(line ? line->text() : static_cast<QPlainTextEdit*>(target)->toPlainText(), shown);
    QCOMPARE(encodingShown(*t.window),
             convert ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252"));
    QVERIFY(t.window->isModified());
    QTest::keyClick(t.window.get(), Qt::Key_S, Qt::ControlModifier);
    const QByteArray file = fileBytes(t.path);
    QVERIFY2(file.startsWith("<id>\r\n" + savedId + "\r\n</id>"), file.constData());
    QVERIFY2(file.contains("<search for>\r\n" + savedSearch + "\r\n</search for>"),
             file.constData());

    // Undo takes back the paste, and the conversion as a step of its own: the
    // texts are the bytes they were read as.
    for (int step = convert ? 2 : 1; step > 0; --step)
        QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(encodingShown(*t.window), QStringLiteral("Windows-1252"));
    QTest::keyClick(t.window.get(), Qt::Key_S, Qt::ControlModifier);
    const QByteArray back = fileBytes(t.path);
    QVERIFY2(back.startsWith("<id>\r\ncaf\xE9\r\n</id>") &&
                 back.contains("<search for>\r\ncaf\xE9\r\n</search for>"),
             back.constData());
}

void ModEncodingTest::saveKeepsTheModsLineEnds() {
    // The first line break decides; texts in other line ends follow it.
    const struct {
        const char* what;
        QByteArray mod; // empty: a new mod
        QByteArray end;
    } cases[] = {
        {"LF",
         "<id>\nlf\n</id>\r\n<edit file>\nA.pm\n</edit file>\n\n<search for>\r\nx\r\ny\n</search "
         "for>\n\n<replace>\nz\n</replace>",
         "\n"},
        {"CR LF",
         "<id>\r\ncrlf\r\n</id>\n<edit file>\nA.pm\n</edit file>\n\n<search for>\nx\ny\n</search "
         "for>\n\n<replace>\nz\n</replace>",
         "\r\n"},
        {"lone CR",
         "<id>\rcr\r</id>\r<edit file>\nA.pm\n</edit file>\n\n<search for>\nx\ny\n</search "
         "for>\n\n<replace>\nz\n</replace>",
         "\r\n"},
        {"no line break", "<id>one line</id>", "\n"},
        {"new mod", {}, "\n"},
    };
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    QTemporaryDir dir;
    auto* version = child<QLineEdit>(*window, "edtVersion");
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.what) + ".mod");
        if (c.mod.isEmpty()) {
            command(*window, "actNew")->trigger();
            prompts.saveAsAnswers << path;
        } else {
            writeFile(path, c.mod);
            window->openCommandLine({path});
        }
        QCOMPARE(lineEndsShown(*window), c.end == "\n" ? QStringLiteral("LF") : QStringLiteral("CR LF"));
        showPage(*window, "tsModProperty");
        version->setFocus();
        QTest::keyClicks(version, "2");
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY2(!window->isModified(), c.what);
        const QByteArray saved = fileBytes(path);
        QVERIFY2(allLineEndsAre(saved, c.end), c.what);
        QVERIFY2(saved.contains("<version>" + c.end + "2" + c.end + "</version>"), c.what);
        if (c.mod.contains("<search for>"))
            QVERIFY2(saved.contains("<search for>" + c.end + "x" + c.end + "y" + c.end), c.what);
    }
}

void ModEncodingTest::convertingToLfIsOneStep() {
    Opened t(twoFilesMod());
    QAction* convert = command(*t.window, "actConvertLineEnds");
    QVERIFY(child<QMenu>(*t.window, "mmiTool")->actions().contains(convert));
    QCOMPARE(lineEndsShown(*t.window), QStringLiteral("CR LF"));
    QVERIFY(convert->isEnabled());
    // The Preview shows the text that Save writes.
    showPage(*t.window, "tsPreview");
    const QByteArray crlf = QByteArray::fromStdString(*t.window->previewText());
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");

    convert->trigger();
    QCOMPARE(lineEndsShown(*t.window), QStringLiteral("LF"));
    QVERIFY(!convert->isEnabled());
    QVERIFY(t.window->isModified());
    QCOMPARE(QByteArray::fromStdString(*t.window->previewText()), lf);
    QTest::keyClick(t.window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(fileBytes(t.path), lf);

    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(lineEndsShown(*t.window), QStringLiteral("CR LF"));
    QVERIFY(convert->isEnabled());
    QCOMPARE(QByteArray::fromStdString(*t.window->previewText()), crlf);
    QVERIFY(t.window->isModified());
    QTest::keyClick(t.window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(fileBytes(t.path), crlf);

    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(lineEndsShown(*t.window), QStringLiteral("LF"));
    QVERIFY(!t.window->openMod().history()->canRedo());
}

// The question comes up in the middle of typing; the keys typed on reach the
// question's window first, and none of them may be lost or answer it.
void ModEncodingTest::keysTypedWhileTheQuestionIsOpenAreKept() {
    for (const bool convert : {true, false}) {
        Opened t(kWindows1252Mod);
        t.click(t.index(0, 0));
        t.prompts.convertAnswers << convert;
        t.prompts.whileAsking = [] {
            QWidget question;
            question.show();
            typeKeys(&question, QStringLiteral("\u00F3d c"));
        };
        auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
        search->setFocus();
        QTest::keyClick(search, Qt::Key_End, Qt::ControlModifier);
        typeKeys(search, QStringLiteral(" \u0142"));
        t.prompts.whileAsking = nullptr;
        const QString typed = convert ? QStringLiteral("caf\u00E9 \u0142\u00F3d c")
                                      : QStringLiteral("caf\u00E9 \u00F3d c");
        QTRY_COMPARE(search->toPlainText(), typed);
        QCOMPARE(t.prompts.convertQuestions.size(), 1);
        command(*t.window, "actSave")->trigger();
        const QByteArray saved = convert ? QByteArray("caf\xC3\xA9 \xC5\x82\xC3\xB3" "d c")
                                         : QByteArray("caf\xE9 \xF3" "d c");
        QVERIFY2(fileBytes(t.path).contains("<search for>\r\n" + saved + "\r\n"),
                 fileBytes(t.path).constData());
    }
}

QTEST_MAIN(ModEncodingTest)
#include "test_mod_encoding.moc"
