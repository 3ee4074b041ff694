// The document's lifecycle as a user meets it: prompts, captions, saving,
// the command line, reads that stop, writes that fail, dropped files.
#include "gui_support.h"

#include "ui/widgets/action_tree_view.h"

#include "document/mod_assembler.h"
#include "document/mod_reader.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace torvale;
using namespace torvale::test;

namespace {

const QString kPrompt = QStringLiteral("%1 has changed.\nDo you want to save the changes?");

void typeInto(QLineEdit* field, const QString& text) {
    field->setFocus();
    QTest::keyClicks(field, text);
}

} // namespace

class LifecycleTest : public QObject {
    Q_OBJECT

private slots:
    void savePromptOnNew();
    void saveAsCancelledInsideNewKeepsTheDocument();
    void yesInThePromptSavesATitledDocument();
    void captionForms();
    void saveIsEnabledOnlyWhileModified();
    void ctrlSOnACleanDocumentDoesNothing();
    void commandLineOpensTheFirstArgumentOnly();
    void readStoppedAtAMissingTag();
    void unreadableFileIsReportedAndNothingIsKept();
    void failedWriteKeepsTheOldFileAndTheFlag();
    void saveIntoReadOnlyFolder();
    void closeAsksBeforeDroppingChanges();
    void realSavePromptBox();
    void droppedFilesStartNewInstances();
    void droppedNamesArriveWhole();
    void realModsSaveAsTheCoreAssemblesThem();
};

void LifecycleTest::savePromptOnNew() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    auto* id = child<QLineEdit>(*window, "edtId");
    typeInto(id, QStringLiteral("My mod"));
    QVERIFY(window->isModified());

    // Cancel: nothing happens.
    prompts.saveAnswers = {QMessageBox::Cancel};
    command(*window, "actNew")->trigger();
    QCOMPARE(prompts.confirmTexts, QStringList{kPrompt.arg(QStringLiteral("File"))});
    QCOMPARE(id->text(), QStringLiteral("My mod"));
    QVERIFY(window->isModified());

    // No: the changes are dropped.
    prompts.saveAnswers = {QMessageBox::No};
    command(*window, "actNew")->trigger();
    QCOMPARE(id->text(), QString());
    QVERIFY(!window->isModified());
    QVERIFY(prompts.saveDialogs.isEmpty());
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale"));
}

void LifecycleTest::saveAsCancelledInsideNewKeepsTheDocument() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    typeInto(child<QLineEdit>(*window, "edtVersion"), QStringLiteral("2.0"));
    prompts.saveAnswers = {QMessageBox::Yes}; // and then cancel the Save As dialog
    command(*window, "actNew")->trigger();
    QCOMPARE(prompts.saveDialogs.size(), 1);
    QCOMPARE(prompts.saveDialogs[0].filter, QStringLiteral("mod file (*.mod)"));
    QCOMPARE(prompts.saveDialogs[0].defaultSuffix, QStringLiteral("mod"));
    QCOMPARE(child<QLineEdit>(*window, "edtVersion")->text(), QStringLiteral("2.0"));
    QVERIFY(window->isModified());
    QCOMPARE(window->currentFileName(), QString());
}

void LifecycleTest::yesInThePromptSavesATitledDocument() {
    OpenWindow open(sampleMod());
    auto& [dir, path, prompts, window] = open;
    typeInto(child<QLineEdit>(*window, "edtAuthor"), QStringLiteral("!"));

    prompts.saveAnswers = {QMessageBox::Yes};
    command(*window, "actNew")->trigger();
    QCOMPARE(prompts.confirmTexts, QStringList{kPrompt.arg(path)});
    QVERIFY(prompts.saveDialogs.isEmpty());
    QVERIFY(fileBytes(path).contains("A. Writer!"));
    QCOMPARE(window->currentFileName(), QString());
    QCOMPARE(window->model().document().topLevelCount(), 0);
}

void LifecycleTest::captionForms() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sample.mod"));
    writeFile(path, sampleMod());
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale"));

    prompts.openAnswers = {path};
    command(*window, "actOpen")->trigger();
    QCOMPARE(prompts.openDialogs[0].filter, QStringLiteral("mod file (*.mod)"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale - ") + path);
    QVERIFY(!window->isModified());

    const QString copy = dir.filePath(QStringLiteral("copy.mod"));
    prompts.saveAsAnswers = {copy};
    command(*window, "actSaveAs")->trigger();
    QCOMPARE(window->windowTitle(), copy + QStringLiteral(" - Torvale"));
    QCOMPARE(fileBytes(copy), sampleMod()); // Save As on a clean document writes the file
    QCOMPARE(window->currentFileName(), copy);

    // The Save As dialog offers the name last chosen in it.
    prompts.saveAsAnswers.clear();
    command(*window, "actSaveAs")->trigger();
    QCOMPARE(prompts.saveDialogs.last().selectedName, copy);

    command(*window, "actNew")->trigger();
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale"));
}

void LifecycleTest::saveIsEnabledOnlyWhileModified() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sample.mod"));
    writeFile(path, sampleMod());
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    QAction* save = command(*window, "actSave");
    QVERIFY(!save->isEnabled());
    window->openCommandLine({path});
    QVERIFY(!save->isEnabled());
    auto* description = child<QPlainTextEdit>(*window, "memDescription");
    description->setFocus();
    QTest::keyClick(description, Qt::Key_X);
    QVERIFY(save->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!save->isEnabled());
    QVERIFY(fileBytes(path).startsWith("<id>\r\nSample Mod\r\n</id>"));
    QVERIFY(fileBytes(path).contains("x"));
}

void LifecycleTest::ctrlSOnACleanDocumentDoesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("odd.mod"));
    // Not in the writer's layout, so any save would change it.
    const QByteArray original = "<ID>\nOdd\n</ID>\n";
    writeFile(path, original);
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    window->openCommandLine({path});
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(fileBytes(path), original);
    QVERIFY(prompts.saveDialogs.isEmpty());

    // Untitled and clean: no Save As dialog either.
    command(*window, "actNew")->trigger();
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(prompts.saveDialogs.isEmpty());
}

void LifecycleTest::commandLineOpensTheFirstArgumentOnly() {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("first.mod")), sampleMod());
    writeFile(dir.filePath(QStringLiteral("second.mod")), "<id>\r\nSecond\r\n</id>\r\n");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    window->openCommandLine({QStringLiteral("first.mod"), QStringLiteral("second.mod")});
    QDir::setCurrent(before);
    const QString absolute =
        QFileInfo(dir.filePath(QStringLiteral("first.mod"))).absoluteFilePath();
    QCOMPARE(window->currentFileName(), absolute);
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale - ") + absolute);
    QCOMPARE(child<QLineEdit>(*window, "edtId")->text(), QStringLiteral("Sample Mod"));
    QVERIFY(prompts.confirmTexts.isEmpty());
    QVERIFY(!window->isModified());
}

void LifecycleTest::readStoppedAtAMissingTag() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.mod"));
    const QByteArray original = "<id>\r\nCut short\r\n</id>\r\n<edit file>\r\nSources/Subs.pm\r\n"
                                "</edit file>\r\n<homepage>\r\nhttp://\r\nexample.org\r\n";
    writeFile(path, original);
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    window->openCommandLine({path});

    QCOMPARE(prompts.messages, QStringList{QStringLiteral("</homepage>not found!")});
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale"));
    // What was read stays on screen.
    QCOMPARE(child<QLineEdit>(*window, "edtId")->text(), QStringLiteral("Cut short"));
    QCOMPARE(child<QLineEdit>(*window, "edtHomepage")->text(),
             QStringLiteral("http://example.org"));
    QCOMPARE(window->model().document().topLevelCount(), 1);
    // It is untitled and clean, so a plain Save cannot write it over the file.
    QCOMPARE(window->currentFileName(), QString());
    QVERIFY(!window->isModified());
    QVERIFY(!command(*window, "actSave")->isEnabled());

    typeInto(child<QLineEdit>(*window, "edtVersion"), QStringLiteral("1"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(prompts.saveDialogs.size(), 1); // Save asks for a name
    QCOMPARE(fileBytes(path), original);
}

void LifecycleTest::unreadableFileIsReportedAndNothingIsKept() {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    typeInto(child<QLineEdit>(*window, "edtId"), QStringLiteral("old"));
    prompts.saveAnswers = {QMessageBox::No};
    const QString missing = dir.filePath(QStringLiteral("missing.mod"));
    prompts.openAnswers = {missing};
    command(*window, "actOpen")->trigger();
    QCOMPARE(prompts.errors.size(), 1);
    QVERIFY(prompts.errors[0].contains(missing));
    QVERIFY(prompts.errors[0].contains(QStringLiteral("No such file or directory")));
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale"));
    QCOMPARE(window->currentFileName(), QString());
    QCOMPARE(child<QLineEdit>(*window, "edtId")->text(), QString());

    prompts.openAnswers = {dir.path()};
    command(*window, "actOpen")->trigger();
    QCOMPARE(prompts.errors.size(), 2);
    QVERIFY(prompts.errors[1].contains(QStringLiteral("folder")));
    QVERIFY(window->isVisible());
}

void LifecycleTest::failedWriteKeepsTheOldFileAndTheFlag() {
    // A full disk, simulated by a limit on the size of files this process
    // writes; it holds for root too.
    OpenWindow open(sampleMod());
    auto& [dir, path, prompts, window] = open;
    auto* description = child<QPlainTextEdit>(*window, "memDescription");
    description->setPlainText(QString(4000, QLatin1Char('x')));
    QVERIFY(window->isModified());

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    command(*window, "actSave")->trigger();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(prompts.errors.size(), 1);
    QVERIFY(prompts.errors[0].contains(path));
    QCOMPARE(fileBytes(path), sampleMod());
    QVERIFY(window->isModified());
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
}

void LifecycleTest::saveIntoReadOnlyFolder() {
    // Root writes into read-only folders, so as root this test runs itself
    // again as the unprivileged user nobody.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("TORVALE_AS_NOBODY")) {
        const pid_t pid = fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            setenv("TORVALE_AS_NOBODY", "1", 1);
            const QByteArray self = QCoreApplication::applicationFilePath().toLocal8Bit();
            execl(self.constData(), self.constData(), "saveIntoReadOnlyFolder", nullptr);
            _exit(4);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        return;
    }
    OpenWindow open(sampleMod());
    auto& [dir, path, prompts, window] = open;
    typeInto(child<QLineEdit>(*window, "edtId"), QStringLiteral(" changed"));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    command(*window, "actSave")->trigger();
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(prompts.errors.size(), 1);
    QVERIFY(prompts.errors[0].contains(path));
    QCOMPARE(fileBytes(path), sampleMod());
    QVERIFY(window->isModified());
    QVERIFY(command(*window, "actSave")->isEnabled());
}

void LifecycleTest::closeAsksBeforeDroppingChanges() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    typeInto(child<QLineEdit>(*window, "edtId"), QStringLiteral("unsaved"));
    prompts.saveAnswers = {QMessageBox::Cancel};
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    prompts.saveAnswers = {QMessageBox::No};
    QVERIFY(window->close());
    QVERIFY(prompts.saveDialogs.isEmpty());
    QCOMPARE(prompts.confirmTexts.size(), 2);
}

void LifecycleTest::realSavePromptBox() {
    // The prompt as the user sees it: a real message box, answered by a click.
    auto window = std::make_unique<TFormMain>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    typeInto(child<QLineEdit>(*window, "edtId"), QStringLiteral("x"));

    QString seenTitle, seenText;
    QStringList seenButtons;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    const auto answer = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [&, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seenTitle = box->windowTitle();
            seenText = box->text();
            seenIcon = box->icon();
            seenButtons.clear();
            for (QAbstractButton* b : box->buttons())
                seenButtons << QString::number(box->standardButton(b));
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            box->button(button)->click();
        });
    };
    answer(QMessageBox::Cancel);
    QVERIFY(!window->close());
    QCOMPARE(seenTitle, QStringLiteral("Confirmation"));
    QCOMPARE(seenText, kPrompt.arg(QStringLiteral("File")));
    QCOMPARE(seenIcon, QMessageBox::Information);
    QCOMPARE(seenButtons.size(), 3);
    answer(QMessageBox::No);
    QVERIFY(window->close());
}

void LifecycleTest::droppedFilesStartNewInstances() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    typeInto(child<QLineEdit>(*window, "edtId"), QStringLiteral("mine"));
    window->setProgramPath(QStringLiteral("/opt/torvale/torvale"));
    const QStringList files = {QStringLiteral("/tmp/a.mod"), QStringLiteral("/tmp/b c.txt"),
                               QStringLiteral("/tmp/\"quoted\".mod")};
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    // Dropped on a text field, the files still go to new instances.
    QWidget* target = child<QPlainTextEdit>(*window, "memDescription")->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(prompts.started.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(prompts.started[i],
                 (QStringList{QStringLiteral("/opt/torvale/torvale"), files[i]}));
    QCOMPARE(child<QLineEdit>(*window, "edtId")->text(), QStringLiteral("mine"));
    QVERIFY(child<QPlainTextEdit>(*window, "memDescription")->toPlainText().isEmpty());
    QVERIFY(prompts.confirmTexts.isEmpty());
}

void LifecycleTest::droppedNamesArriveWhole() {
    // A real start of a program that records its arguments.
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("args.txt"));
    const QString program = dir.filePath(QStringLiteral("record.sh"));
    writeFile(
        program,
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '%1'\n").arg(record).toUtf8());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    const QString name = dir.filePath(QStringLiteral("it's a \"mod\" ") + QString(260, u'x') +
                                      QStringLiteral(".mod"));
    auto window = std::make_unique<TFormMain>();
    window->setProgramPath(program);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(name)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(record).size() > 0, 10000);
    QTest::qWait(100);
    QCOMPARE(QString::fromUtf8(fileBytes(record)), QStringLiteral("1\n") + name + u'\n');
}

void LifecycleTest::realModsSaveAsTheCoreAssemblesThem() {
    // Open, touch, Save As: the file holds exactly what the core assembles, in
    // the mod's own line ends, and the UTF-8 of the Russian pack shows as
    // Cyrillic and comes back unchanged.
    QTemporaryDir dir;
    const QDir mods(QStringLiteral(TORVALE_SHARED_DIR "/realmods"));
    for (const QString& name : mods.entryList({QStringLiteral("*.mod")})) {
        ScriptedPrompts prompts;
        auto window = makeWindow(prompts);
        window->openCommandLine({mods.filePath(name)});
        QVERIFY2(prompts.messages.isEmpty(), qPrintable(name));
        const QString copy = dir.filePath(name);
        prompts.saveAsAnswers = {copy};
        command(*window, "actSaveAs")->trigger();
        const std::string original = fileBytes(mods.filePath(name)).toStdString();
        ModDocument doc;
        QVERIFY(readMod(original, doc).complete());
        QCOMPARE(fileBytes(copy).toStdString(), assembleMod(doc, detectLineEnds(original)));
        if (name.contains(QStringLiteral("Russian"))) {
            auto* tree = child<QTreeView>(*window, "tvActions");
            const QModelIndex languages = tree->model()->index(tree->model()->rowCount() - 1, 0);
            QCOMPARE(languages.data().toString(), QStringLiteral("<edit file> Languages/Lang.lng"));
            tree->setCurrentIndex(tree->model()->index(0, 0, languages));
            QCOMPARE(child<QPlainTextEdit>(*window, "memAndAction")->toPlainText(),
                     QStringLiteral("$lngs{'Russian'} = 'русский язык';"));
        }
    }
}

QTEST_MAIN(LifecycleTest)
#include "test_lifecycle.moc"
