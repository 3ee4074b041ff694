// File > New Mod from Changes... as the user works it: the forum's folder to
// start with, the changed copy browsed to, the files and steps shown, and the
// mod opened unsaved with the author's name, then saved and checked.
#include "gui_support.h"

#include "check/mod_check.h"
#include "test_support.h"
#include "ui/make_mod_dialog.h"
#include "ui/open_mod.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>

using namespace torvale;
using namespace torvale::test;
namespace fs = std::filesystem;

class TestMakeModDialog : public QObject {
    Q_OBJECT

private slots:
    void madeModOpensUnsavedAndInstalls();
};

void TestMakeModDialog::madeModOpensUnsavedAndInstalls() {
    QTemporaryDir dir;
    const fs::path root = QFile::encodeName(dir.path()).toStdString();
    for (const char* side : {"yabb2", "yabb2-changed"}) {
        fs::copy(sharedDir() / "forum/yabb2", root / side, fs::copy_options::recursive);
        for (const auto& entry : fs::recursive_directory_iterator(root / side))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    }
    const fs::path subs = root / "yabb2-changed/Sources/Subs.pm";
    std::string bytes = readBytes(subs);
    bytes.insert(bytes.find("\nsub ") + 1, "# changed by the author\n");
    writeBytes(subs, bytes);
    writeBytes(root / "yabb2-changed/Sources/New.pm", "1;\n");
    const QString original = dir.filePath(QStringLiteral("yabb2"));
    const QString changed = dir.filePath(QStringLiteral("yabb2-changed"));
    const QString ini = dir.filePath(QStringLiteral("torvale.ini"));
    writeFile(ini, QStringLiteral("[General]\nYaBB=%1/YaBB.pl\nYour_Name=Ann "
                                  "Author\nYour_Homepage=https://example.org/\n")
                       .arg(original)
                       .toUtf8());

    ScriptedPrompts prompts;
    auto window = makeWindow(prompts, {ini});
    prompts.folderAnswers = {changed};
    bool shown = false;
    QTimer::singleShot(0, window.get(), [&] {
        auto* dialog = qobject_cast<MakeModDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        shown = true;
        const auto closeAtEnd = qScopeGuard([dialog] {
            if (dialog->isVisible())
                dialog->reject();
        });
        QCOMPARE(child<QLineEdit>(*dialog, "edOriginal")->text(), original);
        auto* ok = child<QDialogButtonBox>(*dialog, "buttons")->button(QDialogButtonBox::Ok);
        QVERIFY(!ok->isEnabled());
        // Browsing to the copy finds the changes at once.
        QTest::mouseClick(child<QPushButton>(*dialog, "btnBrowseChanged"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(*dialog, "edChanged")->text(), changed);
        const QTreeWidget* files = child<QTreeWidget>(*dialog, "lvFiles");
        QCOMPARE(files->topLevelItemCount(), 2);
        QCOMPARE(files->topLevelItem(0)->text(0), QStringLiteral("Sources/New.pm"));
        QVERIFY(files->topLevelItem(0)->text(2).contains(QStringLiteral("new file")));
        QCOMPARE(files->topLevelItem(1)->text(0), QStringLiteral("Sources/Subs.pm"));
        QCOMPARE(files->topLevelItem(1)->text(1), QStringLiteral("1"));
        QVERIFY(child<QLabel>(*dialog, "lblSummary")
                    ->text()
                    .startsWith(QStringLiteral("1 step for 1 of 2")));
        // Typing in a field drops what was found until it is found again.
        QTest::keyClick(child<QLineEdit>(*dialog, "edChanged"), Qt::Key_End);
        QTest::keyClicks(child<QLineEdit>(*dialog, "edChanged"), QStringLiteral("x"));
        QVERIFY(!ok->isEnabled());
        QTest::keyClick(child<QLineEdit>(*dialog, "edChanged"), Qt::Key_Backspace);
        QTest::mouseClick(child<QPushButton>(*dialog, "btnFindChanges"), Qt::LeftButton);
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    command(*window, "actNewModFromChanges")->trigger();
    QVERIFY(shown);
    QVERIFY(!QApplication::activeModalWidget());

    const ModDocument& doc = window->openMod().document();
    QCOMPARE(doc.property(Property::Id).str(), std::string("yabb2-changed"));
    QCOMPARE(doc.property(Property::Author).str(), std::string("Ann Author"));
    QCOMPARE(doc.property(Property::Homepage).str(), std::string("https://example.org/"));
    QVERIFY(doc.property(Property::ModInfo).str().find("Sources/New.pm") != std::string::npos);
    QCOMPARE(doc.topLevelCount(), 1);
    QCOMPARE(doc.topLevel(0)->item().FileName.str(), std::string("Sources/Subs.pm"));
    QCOMPARE(doc.topLevel(0)->childCount(), 1);
    QVERIFY(window->isModified());
    QVERIFY(window->currentFileName().isEmpty());

    // Save asks for a name; the file saved installs on the forum it was made from.
    const QString saved = dir.filePath(QStringLiteral("made.mod"));
    prompts.saveAsAnswers = {saved};
    command(*window, "actSave")->trigger();
    QVERIFY(!window->isModified());
    CheckOptions options;
    options.forumDirectory = root / "yabb2";
    const CheckReport report = checkMod(readBytes(QFile::encodeName(saved).toStdString()), options);
    QVERIFY2(report.passes(), formatReport(report).c_str());
    QCOMPARE(report.steps.size(), std::size_t(1));
}

QTEST_MAIN(TestMakeModDialog)
#include "test_make_mod_dialog.moc"
