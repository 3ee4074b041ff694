// Recovery after a crash as the user meets it: a copy kept while changes are
// unsaved and gone with them, and at start the offer of copies that ended
// programs left, recovered as an unsaved document of their file.
#include "gui_support.h"

#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/recovery_store.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTreeView>

#include <system_error>

using namespace torvale;
using namespace torvale::test;

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void aCopyIsKeptWhileChangesAreUnsaved();
    void theOfferRecoversAnUnsavedDocumentOfItsFile();
    void discardedCopiesGoAndLaterOnesStay();
    void theRecoveredDocumentIsWhatWasOnScreen();
    void typingWithoutPauseStillKeepsCopies();
    void aCopyThatCannotBeWrittenIsToldOnceAndTriedAgain();

private:
    QStringList copies() const;
    void leaveOrphan(const QString& id, const RecoveryCopy& copy) const;

    std::unique_ptr<QTemporaryDir> state_;
};

void RecoveryTest::init() {
    // Each test starts with no copies of its own or of other tests.
    state_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_STATE_HOME", state_->path().toLocal8Bit());
}

QStringList RecoveryTest::copies() const {
    return QDir(state_->filePath(QStringLiteral("torvale/recovery")))
        .entryList({QStringLiteral("*.copy")}, QDir::Files, QDir::Name);
}

// A copy as a program leaves it when it is killed: no lock is held on it.
void RecoveryTest::leaveOrphan(const QString& id, const RecoveryCopy& copy) const {
    QDir().mkpath(state_->filePath(QStringLiteral("torvale/recovery")));
    writeFile(state_->filePath(QStringLiteral("torvale/recovery/") + id + ".copy"),
              QByteArray::fromStdString(encodeRecoveryCopy(copy)));
}

void RecoveryTest::aCopyIsKeptWhileChangesAreUnsaved() {
    OpenWindow t(twoFilesMod());
    auto* id = child<QLineEdit>(*t.window, "edtId");
    id->setFocus();
    QTest::keyClicks(id, QStringLiteral(" changed"));
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 6000);
    const RecoveryCopy copy = decodeRecoveryCopy(
        fileBytes(state_->filePath("torvale/recovery/" + copies()[0])).toStdString());
    QCOMPARE(QString::fromStdString(copy.path), t.path);
    QVERIFY(copy.document);
    QCOMPARE(*copy.document, snapshotOf(t.window->openMod().document()));
    QCOMPARE(copy.diskStamp, fileStamp(t.path.toStdString()));

    // Saved, or undone to the saved text: nothing is left to recover.
    command(*t.window, "actSave")->trigger();
    QTRY_VERIFY(copies().isEmpty());
    QTest::keyClicks(id, QStringLiteral("!"));
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 6000);
    command(*t.window, "actUndo")->trigger();
    QTRY_VERIFY(copies().isEmpty());

    // Discarded for a new mod, and a change left unsaved at a clean end.
    QTest::keyClicks(id, QStringLiteral("?"));
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 6000);
    t.prompts.saveAnswers = {QMessageBox::No};
    command(*t.window, "actNew")->trigger();
    QTRY_VERIFY(copies().isEmpty());
    QTest::keyClicks(id, QStringLiteral("new"));
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 6000);
    t.prompts.saveAnswers = {QMessageBox::No};
    QVERIFY(t.window->close());
    t.window.reset();
    QVERIFY(copies().isEmpty());
}

void RecoveryTest::theOfferRecoversAnUnsavedDocumentOfItsFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mine.mod"));
    writeFile(path, "<id>\r\nchanged since by another program\r\n</id>\r\n");
    RecoveryCopy copy;
    copy.path = path.toStdString();
    copy.writtenAt = QDateTime(QDate(2026, 12, 8), QTime(9, 30)).toSecsSinceEpoch();
    copy.diskStamp = FileStamp{1, 1};
    ModDocument doc;
    readMod(twoFilesMod().toStdString(), doc);
    copy.text = assembleMod(doc); // as a copy holds it
    leaveOrphan(QStringLiteral("4242-dead"), copy);

    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    prompts.recoveryAnswers = {QMessageBox::Yes};
    window->startUp({QStringLiteral("other.mod")});
    QCOMPARE(
        prompts.recoveryOffers,
        QStringList(QStringLiteral("Torvale closed without saving %1 on %2. Recover it?")
                        .arg(path, QLocale().toString(QDateTime(QDate(2026, 12, 8), QTime(9, 30)),
                                                      QLocale::ShortFormat))));
    QCOMPARE(window->openMod().assemble(), copy.text);
    QVERIFY(window->isModified());
    QVERIFY(command(*window, "actSave")->isEnabled());
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale - ") + path);
    // The command line's file opens in a program of its own.
    QCOMPARE(prompts.started.size(), 1);
    QVERIFY(prompts.started[0].constLast().endsWith(QStringLiteral("/other.mod")));
    QCOMPARE(copies().size(), 1);
    QVERIFY2(!copies()[0].startsWith(QStringLiteral("4242-dead")),
             "the copy is this program's now");

    // The file changed since the copy was made: Save asks before writing over it.
    command(*window, "actSave")->trigger();
    QCOMPARE(prompts.overwriteQuestions.size(), 1);
    QVERIFY(window->isModified());
    QCOMPARE(fileBytes(path), QByteArray("<id>\r\nchanged since by another program\r\n</id>\r\n"));
    prompts.overwriteAnswers = {true};
    command(*window, "actSave")->trigger();
    QCOMPARE(fileBytes(path).toStdString(), copy.text);
    QVERIFY(!window->isModified());
    QTRY_VERIFY(copies().isEmpty());
}

void RecoveryTest::discardedCopiesGoAndLaterOnesStay() {
    RecoveryCopy copy;
    copy.text = "<id>\r\nlost\r\n</id>\r\n";
    for (const char* id : {"1-a", "2-b"}) {
        copy.writtenAt += 100;
        leaveOrphan(QLatin1String(id), copy);
    }
    // A running program's copy is never offered.
    OpenWindow running(twoFilesMod());
    QTest::keyClicks(child<QLineEdit>(*running.window, "edtId"), QStringLiteral("x"));
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 3, 6000);

    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    prompts.recoveryAnswers = {QMessageBox::Discard, QMessageBox::Cancel};
    window->startUp({});
    QCOMPARE(prompts.recoveryOffers.size(), 2);
    QVERIFY(prompts.recoveryOffers[0].contains(QStringLiteral("saving an untitled mod on")));
    // The newest discarded, the other kept.
    QCOMPARE(copies().size(), 2);
    QVERIFY(copies().contains(QStringLiteral("1-a.copy")));
    QVERIFY(!window->isModified());

    ScriptedPrompts later;
    auto next = makeWindow(later);
    next->startUp({});
    QCOMPARE(later.recoveryOffers.size(), 1);
}

// Texts that the mod text would give back otherwise (an empty first line, a
// line holding a tag) come back from the copy as they were typed.
void RecoveryTest::theRecoveredDocumentIsWhatWasOnScreen() {
    OpenWindow t(twoFilesMod());
    auto* tree = child<QTreeView>(*t.window, "tvActions");
    tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    search->setPlainText(QStringLiteral("\nfirst line empty\n<replace>\n</search for>"));
    auto* description = child<QPlainTextEdit>(*t.window, "memDescription");
    description->setPlainText(QStringLiteral("\n\ntwo empty lines"));
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 6000);
    const QByteArray bytes = fileBytes(state_->filePath("torvale/recovery/" + copies()[0]));
    const std::string onScreen = t.window->openMod().assemble();
    const DocumentSnapshot shown = snapshotOf(t.window->openMod().document());
    t.window.reset(); // a clean end takes its copy along: leave it as a crash would
    writeFile(state_->filePath(QStringLiteral("torvale/recovery/9-crashed.copy")), bytes);

    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    prompts.recoveryAnswers = {QMessageBox::Yes};
    window->startUp({});
    QCOMPARE(snapshotOf(window->openMod().document()), shown);
    QCOMPARE(window->openMod().assemble(), onScreen);
    const Node* action = window->openMod().document().topLevel(0)->child(0);
    QCOMPARE(action->item().SearchText, "\r\nfirst line empty\r\n<replace>\r\n</search for>");
    QCOMPARE(window->openMod().document().property(Property::ModInfo), "\r\n\r\ntwo empty lines");
}

// Keys typed without a pause, each before the wait after the last ran out,
// still leave a copy once the longest wait is over.
void RecoveryTest::typingWithoutPauseStillKeepsCopies() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.mod"));
    writeFile(path, twoFilesMod());
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    window->setRecoveryTiming({400, 1500, 400});
    window->openCommandLine({path});
    auto* id = child<QLineEdit>(*window, "edtId");
    id->setFocus();
    QElapsedTimer typing;
    typing.start();
    while (copies().isEmpty() && typing.elapsed() < 4000) {
        QTest::keyClick(id, Qt::Key_A);
        QTest::qWait(100);
    }
    QVERIFY2(typing.elapsed() < 2500, "a copy within the longest wait, typing on");
}

// A copy that cannot be written is told once in the status bar, with the
// reason, and tried again until it is written.
void RecoveryTest::aCopyThatCannotBeWrittenIsToldOnceAndTriedAgain() {
    // A file where the folder of copies should be: no copy can be written.
    const QString blocker = state_->filePath(QStringLiteral("torvale/recovery"));
    QDir().mkpath(state_->filePath(QStringLiteral("torvale")));
    writeFile(blocker, "in the way");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.mod"));
    writeFile(path, twoFilesMod());
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    window->setRecoveryTiming({100, 1000, 200});
    window->openCommandLine({path});
    QStringList told;
    connect(window->statusBar(), &QStatusBar::messageChanged, this, [&](const QString& message) {
        if (!message.isEmpty())
            told << message;
    });
    QTest::keyClicks(child<QLineEdit>(*window, "edtId"), QStringLiteral("x"));
    QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 3000);
    QVERIFY2(told[0].contains(QStringLiteral("recovery copy")), qPrintable(told[0]));
    // The reason, as the system gives it.
    const auto reason = [](int error) {
        return QString::fromStdString(std::generic_category().message(error));
    };
    QVERIFY2(told[0].contains(reason(EEXIST)) || told[0].contains(reason(ENOTDIR)),
             qPrintable(told[0]));
    QTest::qWait(1000); // several tries, told once
    QCOMPARE(told.size(), 1);

    QFile::remove(blocker);
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 3000);
    QTRY_VERIFY(window->statusBar()->currentMessage().isEmpty());
}

QTEST_MAIN(RecoveryTest)
#include "test_recovery.moc"
