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
#include <QLineEdit>
#include <QLocale>

using namespace torvale;
using namespace torvale::test;

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void aCopyIsKeptWhileChangesAreUnsaved();
    void theOfferRecoversAnUnsavedDocumentOfItsFile();
    void discardedCopiesGoAndLaterOnesStay();

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
    QCOMPARE(copy.text, t.window->openMod().assemble());
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

QTEST_MAIN(RecoveryTest)
#include "test_recovery.moc"
