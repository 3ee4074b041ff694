// The settings file as the user meets it: what a start takes from it and what
// the end writes back, damaged files, and the Reopen submenu.
#include "gui_support.h"
#include "test_support.h"

#include "ui/widgets/plain_text_view.h"

#include <QAction>
#include <QDir>
#include <QScreen>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>

using namespace torvale;
using namespace torvale::test;

namespace {

const QByteArray kDesignedBounds = "Left=265\r\nTop=244\r\nWidth=621\r\nHeight=574\r\n";

// A temporary folder with a settings file in it, and windows that use it.
struct SettingsFolder {
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("torvale.ini"));
    ScriptedPrompts prompts;

    std::unique_ptr<TFormMain> start() { return makeWindow(prompts, {ini, nullptr}); }
    QString mod(const QString& name) {
        const QString path = dir.filePath(name);
        writeFile(path, sampleMod());
        return path;
    }
};

// The keys of [General] in the file, in order.
QList<QByteArray> generalKeys(const QByteArray& file) {
    QList<QByteArray> keys;
    const QList<QByteArray> lines = file.split('\n');
    for (qsizetype i = 1; i < lines.size() && !lines[i].startsWith('['); ++i)
        if (lines[i].contains('='))
            keys << lines[i].left(lines[i].indexOf('='));
    return keys;
}

// The Reopen submenu as the File menu shows it.
QStringList reopenEntries(TFormMain& window) {
    auto* file = window.menuBar()->findChild<QMenu*>(QStringLiteral("mmiFile"));
    emit file->aboutToShow();
    QStringList entries;
    if (QMenu* reopen = command(window, "actReopen")->menu())
        for (QAction* item : reopen->actions())
            entries << item->text();
    return entries;
}

} // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT

private slots:
    // A portable copy's file from the wild: read, shown, and written back in
    // order without a face name or the list's gap changed by anybody.
    void aFileFromTheWildComesBackClean() {
        SettingsFolder folder;
        const QString a = folder.mod("a.mod"), c = folder.mod("c.mod");
        writeFile(folder.ini, "[General]\r\nTree_Width=0x80\r\n"
                              "Editor_Font=Arial,9,1x1y,$00FF0000\r\nMRU_Max_Number=3\r\n"
                              "[MRU]\r\nMRU0=" +
                                  a.toUtf8() + "\r\nMRU1=\r\nMRU2=" + c.toUtf8() +
                                  "\r\nMRU3=/gone/d.mod\r\nMRU4=/gone/e.mod\r\n");
        auto window = folder.start();
        QCOMPARE(folder.prompts.errors, QStringList());
        child<QTabWidget>(*window, "PageControl1")
            ->setCurrentWidget(child<QWidget>(*window, "tsModAction"));
        window->resize(900, 600); // the splitter never changes the tree's width by itself
        QApplication::processEvents();
        QCOMPARE(child<QTreeView>(*window, "tvActions")->width(), 128);

        for (const char* name : {"memSearch", "memAndAction", "memDescription"}) {
            const auto* field = child<QPlainTextEdit>(*window, name);
            QCOMPARE(field->font().family(), QStringLiteral("Arial"));
            QCOMPARE(field->font().pointSize(), 9);
            QVERIFY(field->font().bold() && field->font().underline() && !field->font().italic());
            QCOMPARE(field->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::blue));
        }
        QCOMPARE(child<PlainTextView>(*window, "memPreview")->font().family(),
                 QStringLiteral("Arial"));
        QCOMPARE(reopenEntries(*window), QStringList({a, c}));

        window->resize(621, 574);
        window.reset();
        QCOMPARE(fileBytes(folder.ini),
                 "[General]\r\nYaBB=\r\nBoardMod=\r\nTree_Width=128\r\nYour_Name=\r\n"
                 "Your_Homepage=\r\nEditor_Font=Arial,9,1010,clBlue\r\nMRU_Max_Number=3\r\n"
                 "Association=0\r\n" +
                     kDesignedBounds +
                     "State=0\r\n"
                     "[MRU]\r\nMRU0=" +
                     a.toUtf8() + "\r\nMRU1=" + c.toUtf8() + "\r\n");
    }

    void withNoFileTheDesignIsWritten() {
        SettingsFolder folder;
        auto window = folder.start();
        const QFont editor = child<QPlainTextEdit>(*window, "memSearch")->font();
        QCOMPARE(editor.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        window.reset();
        const QByteArray file = fileBytes(folder.ini);
        QVERIFY2(file.contains("\r\nTree_Width=218\r\n"), file);
        QVERIFY2(file.contains("\r\nMRU_Max_Number=0\r\n"), file);
        QVERIFY2(file.contains("\r\nEditor_Font=" + editor.family().toUtf8() + "," +
                               QByteArray::number(editor.pointSize()) + ",0000,clWindowText\r\n"),
                 file);
        QVERIFY2(!file.contains("[MRU]"), file);
    }

    // Damaged files start the program with defaults where a value cannot be
    // read, and the end writes a clean file, or says once why it cannot.
    void damagedFilesStartAndAreWrittenClean_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("folderInTheWay");
        QTest::addColumn<int>("errors"); // boxes shown at start and end
        QTest::newRow("garbage lines") << QByteArray("x\r\n[General\r\n=1\r\n[General]\r\n"
                                                     "Tree_Width=wide\r\n\x7f\xfe\r\n")
                                       << false << 0;
        QTest::newRow("binary") << QByteArray("[General]\r\nTree_Width=1\0\1\2\3", 25) << false
                                << 1;
        QTest::newRow("a NUL after the keys")
            << QByteArray("[General]\r\nYaBB=/f/YaBB.pl\r\n[Other]\r\nKey=1\r\n\0", 45) << false
            << 1;
        QTest::newRow("out of range")
            << QByteArray("[General]\r\nTree_Width=-50\r\nMRU_Max_Number=99999\r\nLeft=-99999\r\n"
                          "Width=0\r\nHeight=-3\r\nState=7\r\nEditor_Font=X,-4,0000,$7FFFFFFF\r\n")
            << false << 0;
        QTest::newRow("largest numbers")
            << QByteArray("[General]\r\nTree_Width=2147483647\r\nMRU_Max_Number=$7FFFFFFF\r\n"
                          "Left=2147483647\r\nTop=-2147483648\r\nWidth=2147483647\r\n"
                          "Height=2147483647\r\n[MRU]\r\nMRU2147483646=/x.mod\r\n")
            << false << 0;
        QTest::newRow("unreadable: a folder") << QByteArray() << true << 2;
    }
    void damagedFilesStartAndAreWrittenClean() {
        QFETCH(QByteArray, content);
        QFETCH(bool, folderInTheWay);
        QFETCH(int, errors);
        SettingsFolder folder;
        if (folderInTheWay)
            QVERIFY(QDir().mkpath(folder.ini));
        else
            writeFile(folder.ini, content);
        auto window = folder.start();
        QVERIFY(window->isVisible());
        QVERIFY(window->width() > 0 && window->height() > 0);
        window->openCommandLine({folder.mod("a.mod")});
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Torvale - ") + folder.dir.filePath("a.mod"));
        window.reset();
        QCOMPARE(folder.prompts.errors.size(), errors);
        for (const QString& error : folder.prompts.errors)
            QVERIFY2(error.contains(folder.ini), qPrintable(error));
        if (folderInTheWay)
            return;
        // A file that cannot be read is kept whole where the message said.
        if (content.contains('\0')) {
            QCOMPARE(fileBytes(folder.ini + QStringLiteral(".bad")), content);
            QVERIFY(folder.prompts.errors[0].contains(folder.ini + QStringLiteral(".bad\"")));
        }
        const QByteArray file = fileBytes(folder.ini);
        QCOMPARE(generalKeys(file),
                 QList<QByteArray>({"YaBB", "BoardMod", "Tree_Width", "Your_Name", "Your_Homepage",
                                    "Editor_Font", "MRU_Max_Number", "Association", "Left", "Top",
                                    "Width", "Height", "State"}));
        QVERIFY2(!file.contains('\0') && !file.contains("wide") && !file.contains("[General\r"),
                 file);
    }

    void stateAndBoundsComeBack() {
        SettingsFolder folder;
        writeFile(folder.ini, "[General]\r\nLeft=40\r\nTop=50\r\nWidth=500\r\nHeight=400\r\n"
                              "State=258\r\n");
        auto window = folder.start();
        QVERIFY(window->isMaximized());
        window.reset();
        QVERIFY2(fileBytes(folder.ini)
                     .endsWith("Left=40\r\nTop=50\r\nWidth=500\r\nHeight=400\r\n"
                               "State=2\r\n"),
                 fileBytes(folder.ini));
    }

    // A first start fills about two thirds of the screen, and a tree as wide
    // as a settings file may ask still leaves the step editor room to work.
    void theWindowAndTheTreeGetUsableSizes() {
        SettingsFolder folder;
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        auto window = folder.start();
        // A screen too small for more than the designed size keeps that
        // (test_settings_window_large_screen runs this on a desktop's screen).
        if (screen.width() * 2 / 3 > 621 || screen.height() * 2 / 3 > 574) {
            QVERIFY(screen.contains(window->geometry()));
            QVERIFY2(window->width() >= screen.width() * 2 / 3 - 1 &&
                         window->height() >= screen.height() * 2 / 3 - 1,
                     qPrintable(QStringLiteral("%1x%2").arg(window->width()).arg(window->height())));
        }
        window.reset();

        writeFile(folder.ini, "[General]\r\nTree_Width=2147483647\r\n");
        window = folder.start();
        showPage(*window, "tsModAction");
        const auto* splitter = child<QSplitter>(*window, "Splitter1");
        const int editor = child<QWidget>(*window, "pnlCodeEditor")->width();
        QVERIFY2(editor >= splitter->width() / 3, qPrintable(QString::number(editor)));
    }

    void reopenListsOpenedFilesAndOpensThem() {
        SettingsFolder folder;
        writeFile(folder.ini, "[General]\r\nMRU_Max_Number=3\r\n");
        auto window = folder.start();
        QCOMPARE(reopenEntries(*window), QStringList());
        QVERIFY(command(*window, "actReopen")->isEnabled());

        const QString a = folder.mod("a.mod"), b = folder.mod("b & c.mod");
        const QString d = folder.mod("d.mod"), e = folder.mod("e.mod");
        for (const QString& path : {a, b, folder.mod("A.MOD"), d})
            window->openCommandLine({path});
        // An entry keeps its place; the same name in other letters adds nothing.
        QCOMPARE(reopenEntries(*window), QStringList({a, folder.dir.filePath("b && c.mod"), d}));

        folder.prompts.saveAsAnswers << folder.dir.filePath("saved.mod");
        window->findChild<QLineEdit*>(QStringLiteral("edtId"))->setText(QStringLiteral("x"));
        command(*window, "actSaveAs")->trigger();
        QCOMPARE(reopenEntries(*window).size(), 3); // saving under a name adds nothing

        QFile::remove(a);
        command(*window, "actReopen")->menu()->actions().first()->trigger();
        QCOMPARE(folder.prompts.errors.size(), 1);
        QCOMPARE(reopenEntries(*window).first(), a); // a file that is gone keeps its entry

        command(*window, "actReopen")->menu()->actions().last()->trigger();
        QCOMPARE(window->currentFileName(), d);
        window->openCommandLine({e});
        QCOMPARE(reopenEntries(*window).first(), folder.dir.filePath("b && c.mod"));
    }

    // Reopen and the command line put the path into the Open dialog, as
    // opening through it does: the next Open starts in that file's folder.
    void theOpenDialogStartsWhereTheLastFileCameFrom() {
        SettingsFolder folder;
        writeFile(folder.ini, "[General]\r\nMRU_Max_Number=3\r\n");
        QVERIFY(QDir(folder.dir.path()).mkpath(QStringLiteral("one")));
        QVERIFY(QDir(folder.dir.path()).mkpath(QStringLiteral("two")));
        const QString one = folder.mod(QStringLiteral("one/a.mod"));
        const QString two = folder.mod(QStringLiteral("two/b.mod"));
        auto window = folder.start();
        window->openCommandLine({one});
        command(*window, "actOpen")->trigger();
        QCOMPARE(folder.prompts.openDialogs.last().directory, folder.dir.filePath("one"));
        QCOMPARE(folder.prompts.openDialogs.last().selectedName, QString());

        folder.prompts.openAnswers << two;
        command(*window, "actOpen")->trigger();
        QCOMPARE(window->currentFileName(), two);
        QCOMPARE(reopenEntries(*window), QStringList({one, two}));
        command(*window, "actReopen")->menu()->actions().first()->trigger();
        QCOMPARE(window->currentFileName(), one);
        command(*window, "actOpen")->trigger();
        QCOMPARE(folder.prompts.openDialogs.last().directory, folder.dir.filePath("one"));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
