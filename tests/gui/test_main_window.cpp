// The main window as a user sees and drives it: its pages and controls, the
// command table, the enabling rules, window-wide shortcuts, and the tree.
#include "gui_support.h"
#include "test_support.h"

#include "ui/widgets/action_tree_view.h"
#include "ui/widgets/plain_text_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>

using namespace torvale;
using namespace torvale::test;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsAsDesigned();
    void everyCommandHasItsCaptionShortcutTagAndPicture();
    void menusHoldTheirEntriesInOrder();
    void selectingShowsTheNodeAndTypingWritesItBack();
    void addCommandsNeedTheActionPageAndASelection();
    void windowShortcutsComeBeforeTheFields();
    void editCommandsFollowTheFocusedField();
    void f11AndF12ExpandAndCollapseEverything();
    void searchAndActionShareTheRightPaneEqually();
    void previewShowsTheAssembledText();
    void retypeMenuShowsOnlyForSearchActions();
};

void MainWindowTest::startsAsDesigned() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvale"));
    QCOMPARE(window->size(), QSize(621, 574));
    auto* pages = child<QTabWidget>(*window, "PageControl1");
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i)
        captions << pages->tabText(i);
    QCOMPARE(captions,
             (QStringList{"Mod Property", "Mod Action", "Preview", "EditingFile", "About..."}));
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(child<QLabel>(*window, "StatusBarPanel0")->text(), QStringLiteral("Step #"));
    QCOMPARE(child<QLineEdit>(*window, "edtAuthor")->text(), QString());
    QVERIFY(!window->isModified());
    // With no forum script configured, browsing for the file to edit is off.
    QVERIFY(!command(*window, "actBrowseFileToEdit")->isEnabled());
    for (const char* name : {"memFileToEdit", "memSearch", "memAndAction"})
        QVERIFY2(!child<QWidget>(*window, name)->isEnabled(), name);
    QCOMPARE(child<ActionTreeView>(*window, "tvActions")->palette().color(QPalette::Base),
             QColor(255, 255, 200));

    // Tab order of the property page.
    const QStringList fields = {"edtId", "edtVersion", "memDescription", "edtAuthor",
                                "edtHomepage"};
    QWidget* field = child<QLineEdit>(*window, "edtId");
    QStringList order;
    for (; order.size() < 5; field = field->nextInFocusChain())
        if (fields.contains(field->objectName()))
            order << field->objectName();
    QCOMPARE(order,
             (QStringList{"edtId", "edtVersion", "memDescription", "edtAuthor", "edtHomepage"}));
}

void MainWindowTest::everyCommandHasItsCaptionShortcutTagAndPicture() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    struct Expect {
        const char* name;
        const char* caption;
        const char* shortcut;
        int tag;
        int picture;
    };
    const Expect table[] = {
        {"actNew", "&New", "Ctrl+N", 0, 6},
        {"actOpen", "&Open...", "Ctrl+O", 0, 7},
        {"actSave", "&Save", "Ctrl+S", 0, 8},
        {"actSaveAs", "Save &As...", "", 0, -1},
        {"actPrint", "&Print...", "Ctrl+P", 0, 9},
        {"actExit", "E&xit", "", 0, -1},
        {"actAddEditFile", "Edit File", "Ctrl+1", 0, 0},
        {"actAddReplace", "Search And Replace", "Ctrl+2", 1, 1},
        {"actAddBefore", "Search and Add Before", "Ctrl+3", 2, 2},
        {"actAddAfter", "Search and Add After", "Ctrl+4", 3, 3},
        {"actAddAction", "Add Action", "", 0, 4},
        {"actDeleteAction", "Delete Action", "Ctrl+Del", 0, 5},
        {"actBrowseFileToEdit", "", "", 0, 10},
        {"EditUndo1", "&Undo", "Alt+Backspace", 0, 11},
        {"EditCut1", "Cu&t", "Ctrl+X", 0, 12},
        {"EditCopy1", "&Copy", "Ctrl+C", 0, 13},
        {"EditPaste1", "&Paste", "Ctrl+V", 0, 14},
        {"EditSelectAll1", "Select A&ll", "", 0, -1},
        {"actSearch", "&Search...", "Ctrl+F", 0, 16},
        {"actReplace", "&Replace...", "Ctrl+R", 0, 17},
        {"actOption", "P&reference...", "", 0, -1},
        {"actAbout", "&About", "", 0, -1},
        {"actSearchAndReplace", "search and replace", "", 1, -1},
        {"actSearchAndAddBefore", "search and addbefore", "", 2, -1},
        {"actSearchAndAddAfter", "search and addafter", "", 3, -1},
        {"actTreeFullExpand", "", "F11", 0, -1},
        {"actTreeFullCollapse", "", "F12", 0, -1},
    };
    for (const Expect& e : table) {
        QAction* action = command(*window, e.name);
        QCOMPARE(action->text(), QString::fromLatin1(e.caption));
        QCOMPARE(action->shortcut().toString(), QString::fromLatin1(e.shortcut));
        QCOMPARE(action->data().toInt(), e.tag);
        QCOMPARE(action->icon().isNull(), e.picture < 0);
        if (e.picture >= 0)
            QVERIFY2(!action->icon().pixmap(16).isNull(), e.name);
    }
    QCOMPARE(command(*window, "actNew")->toolTip(), QStringLiteral("New File"));
    QCOMPARE(command(*window, "actAddEditFile")->toolTip(), QStringLiteral("Add <edit file> tag"));
    QCOMPARE(command(*window, "actBrowseFileToEdit")->toolTip(), QStringLiteral("Browse"));
    QVERIFY(!command(*window, "actPrint")->isVisible());
    QVERIFY(!command(*window, "actPrintSetup")->isVisible());
}

void MainWindowTest::menusHoldTheirEntriesInOrder() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    const auto entries = [](const QMenu* menu) {
        QStringList names;
        for (QAction* a : menu->actions())
            names << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return names;
    };
    QCOMPARE(entries(child<QMenu>(*window, "mmiFile")),
             (QStringList{"&New", "New Mod from &Changes...", "&Open...", "&Reopen", "&Save",
                          "Save &As...", "&Print...", "P&rint Setup...", "-", "E&xit"}));
    QCOMPARE(entries(child<QMenu>(*window, "mmiAction")),
             (QStringList{"Edit File", "Search And Replace", "Search and Add Before",
                          "Search and Add After", "-", "Delete Action", "-", "Move &Up",
                          "Move Do&wn", "-", "&Undo", "&Redo"}));
    QCOMPARE(entries(child<QMenu>(*window, "pmForMemo")),
             (QStringList{"&Undo", "-", "Cu&t", "&Copy", "&Paste", "-", "Select A&ll", "-",
                          "&Search...", "&Replace...", "-", "Search for Se&lection",
                          "&Go to Line...", "Res&ult of the Step"}));
    QCOMPARE(entries(child<QMenu>(*window, "mmiEdit")),
             (QStringList{"Cu&t", "&Copy", "&Paste", "&Duplicate", "Select A&ll", "-",
                          "&Search...", "&Replace...", "Find in &Mod...", "-", "&Go to Line...",
                          "Search for Se&lection", "-", "&Forum File beside the Steps",
                          "Res&ult of the Step"}));
    QCOMPARE(entries(child<QMenu>(*window, "PopupMenu1")),
             (QStringList{"Edit File", "Search And Replace", "Search and Add Before",
                          "Search and Add After"}));
    QStringList bar;
    for (QAction* a : window->menuBar()->actions())
        bar << a->text();
    QCOMPARE(bar, (QStringList{"&File", "&Edit", "&Action", "&Tool", "&Help"}));
    QStringList tools;
    for (QAction* a : child<QToolBar>(*window, "ToolBar2")->actions())
        tools << a->objectName();
    QCOMPARE(tools, (QStringList{"actNew", "actOpen", "actSave", "", "actUndo", "actRedo"}));
}

void MainWindowTest::selectingShowsTheNodeAndTypingWritesItBack() {
    Opened t(twoFilesMod());
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    auto* action = child<QPlainTextEdit>(*t.window, "memAndAction");
    auto* file = child<QLineEdit>(*t.window, "memFileToEdit");
    // After the read the last edit file is selected and everything expanded.
    QCOMPARE(t.tree->currentIndex(), t.index(1));
    QVERIFY(t.tree->isExpanded(t.index(0)));
    QCOMPARE(file->text(), QStringLiteral("Sources/B.pm"));

    t.click(t.index(1, 0));
    QCOMPARE(t.step(), QStringLiteral("Step #3/Total Steps: 5"));
    QCOMPARE(search->toPlainText(), QStringLiteral("Sources/B.pm#0"));
    QCOMPARE(action->toPlainText(), QStringLiteral("added"));
    QCOMPARE(child<QLabel>(*t.window, "pnlActionString")->text(), QStringLiteral("Add after that"));
    QVERIFY(search->isEnabled() && !file->isEnabled());
    QCOMPARE(file->text(), QStringLiteral("Sources/B.pm")); // the disabled field keeps its text
    QVERIFY2(!t.window->isModified(), "selecting is no edit");

    search->setFocus();
    QTest::keyClick(search, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(search, Qt::Key_Return);
    QTest::keyClicks(search, QStringLiteral("more"));
    QVERIFY(t.window->isModified());
    const Node* node = t.window->model().document().topLevel(1)->child(0);
    QCOMPARE(node->item().SearchText, std::string("Sources/B.pm#0\r\nmore"));

    t.click(t.index(0));
    QCOMPARE(t.step(), QStringLiteral("Step #0/Total Steps: 5"));
    QVERIFY(search->toPlainText().isEmpty() && !search->isEnabled());
    file->setFocus();
    file->selectAll();
    QTest::keyClicks(file, QStringLiteral("X.pm"));
    QCOMPARE(t.index(0).data().toString(), QStringLiteral("<edit file>X.pm"));
}

void MainWindowTest::addCommandsNeedTheActionPageAndASelection() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    auto* pages = child<QTabWidget>(*window, "PageControl1");
    auto* tree = child<ActionTreeView>(*window, "tvActions");
    QVERIFY2(!command(*window, "actAddEditFile")->isEnabled(), "only on the Mod Action page");
    pages->setCurrentWidget(child<QWidget>(*window, "tsModAction"));
    QVERIFY(command(*window, "actAddEditFile")->isEnabled());
    QVERIFY(!command(*window, "actAddReplace")->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_2, Qt::ControlModifier); // disabled: nothing happens
    QCOMPARE(window->model().document().nodeCount(), 0u);

    QTest::keyClick(window.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(window->model().document().nodeCount(), 1u);
    QVERIFY(window->isModified());
    QVERIFY(child<QLineEdit>(*window, "memFileToEdit")->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_4, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_2, Qt::ControlModifier);
    // With a search action selected, a new one still goes to the end of the group.
    tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
    QTest::keyClick(window.get(), Qt::Key_3, Qt::ControlModifier);
    const Node* file = window->model().document().topLevel(0);
    QCOMPARE(file->childCount(), 3);
    QCOMPARE(file->child(2)->kind(), akSearchAddBefore);
    QCOMPARE(window->selectedNode(), file->child(2));
    QCOMPARE(child<QLabel>(*window, "pnlActionString")->text(), QStringLiteral("Add before that"));
    QCOMPARE(child<QLabel>(*window, "pnlSearchString")->text(), QStringLiteral("Search for"));

    pages->setCurrentWidget(child<QWidget>(*window, "tsModProperty"));
    QVERIFY(!command(*window, "actDeleteAction")->isEnabled());
}

void MainWindowTest::windowShortcutsComeBeforeTheFields() {
    Opened t(twoFilesMod());
    t.click(t.index(0, 1));
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    search->setFocus();
    // Ctrl+Del would delete a word in the field; here it deletes the node.
    QTest::keyClick(search, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(t.window->model().document().topLevel(0)->childCount(), 1);
    QVERIFY(t.window->isModified());
    // Ctrl+P is hidden and does nothing, also from a field.
    QTest::keyClick(search, Qt::Key_P, Qt::ControlModifier);
    QVERIFY(t.prompts.messages.isEmpty() && t.prompts.errors.isEmpty());
}

void MainWindowTest::editCommandsFollowTheFocusedField() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    auto* id = child<QLineEdit>(*window, "edtId");
    QAction* copy = command(*window, "EditCopy1");
    QAction* cut = command(*window, "EditCut1");
    QAction* selectAll = command(*window, "EditSelectAll1");
    QAction* undo = command(*window, "EditUndo1");
    id->setFocus();
    QVERIFY(!copy->isEnabled() && !selectAll->isEnabled() && !undo->isEnabled());
    QTest::keyClicks(id, QStringLiteral("hello"));
    QVERIFY(selectAll->isEnabled() && undo->isEnabled() && !copy->isEnabled());
    selectAll->trigger();
    QVERIFY(copy->isEnabled() && cut->isEnabled());
    cut->trigger();
    QCOMPARE(id->text(), QString());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("hello"));
    QVERIFY(command(*window, "EditPaste1")->isEnabled());
    undo->trigger();
    QCOMPARE(id->text(), QStringLiteral("hello"));

    // A selection made in the preview enables Copy, and Ctrl+C copies it.
    auto* pages = child<QTabWidget>(*window, "PageControl1");
    pages->setCurrentWidget(child<QWidget>(*window, "tsPreview"));
    auto* preview = child<PlainTextView>(*window, "memPreview");
    preview->setFocus();
    QVERIFY(!copy->isEnabled());
    preview->setSelection(0, 1, 0, 3);
    QVERIFY(copy->isEnabled());
    QTest::keyClick(preview, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("id"));

    // In the tree they work on nodes: Copy needs a selected one, Paste steps
    // from the clipboard's text, which even an empty mod takes.
    child<QTabWidget>(*window, "PageControl1")
        ->setCurrentWidget(child<QWidget>(*window, "tsModAction"));
    child<ActionTreeView>(*window, "tvActions")->setFocus();
    QVERIFY(!copy->isEnabled() && !selectAll->isEnabled() && !undo->isEnabled());
    QVERIFY(command(*window, "EditPaste1")->isEnabled());
}

void MainWindowTest::f11AndF12ExpandAndCollapseEverything() {
    Opened t(twoFilesMod());
    t.tree->setFocus();
    QTest::keyClick(t.window.get(), Qt::Key_F12);
    QVERIFY(!t.tree->isExpanded(t.index(0)) && !t.tree->isExpanded(t.index(1)));
    child<QPlainTextEdit>(*t.window, "memDescription")->setFocus();
    QTest::keyClick(t.window.get(), Qt::Key_F11);
    QVERIFY(t.tree->isExpanded(t.index(0)) && t.tree->isExpanded(t.index(1)));
    QVERIFY(!t.window->isModified());
}

void MainWindowTest::searchAndActionShareTheRightPaneEqually() {
    ScriptedPrompts prompts;
    auto window = makeWindow(prompts);
    child<QTabWidget>(*window, "PageControl1")
        ->setCurrentWidget(child<QWidget>(*window, "tsModAction"));
    QWidget* pane = child<QWidget>(*window, "pnlCodeEditor");
    QWidget* upper = child<QWidget>(*window, "pnlSearch");
    QWidget* lower = child<QWidget>(*window, "pnlAndAction");
    for (int height : {574, 575, 600, 801, 430}) {
        window->resize(621, height);
        QTRY_COMPARE(window->height(), height);
        QCOMPARE(upper->height(), pane->height() / 2);
        QCOMPARE(upper->height() + lower->height(), pane->height());
        QCOMPARE(lower->y(), upper->height());
    }
}

void MainWindowTest::previewShowsTheAssembledText() {
    Opened t(sampleMod());
    auto* pages = child<QTabWidget>(*t.window, "PageControl1");
    auto* preview = child<PlainTextView>(*t.window, "memPreview");
    QVERIFY2(preview->isEmpty(), "assembled only when the page is shown");
    pages->setCurrentWidget(child<QWidget>(*t.window, "tsPreview"));
    QCOMPARE(*t.window->previewText(), sampleModText());
    QCOMPARE(preview->lineCount(), 41);
    QCOMPARE(preview->lineText(40), QStringLiteral("</add after>"));
    // Leaving and coming back assembles the same text again.
    pages->setCurrentWidget(child<QWidget>(*t.window, "tsAbout"));
    pages->setCurrentWidget(child<QWidget>(*t.window, "tsPreview"));
    QCOMPARE(*t.window->previewText(), sampleModText());
    QVERIFY(!t.window->isModified());
}

void MainWindowTest::retypeMenuShowsOnlyForSearchActions() {
    Opened t(twoFilesMod());
    QAction* replace = command(*t.window, "actSearchAndReplace");
    QAction* after = command(*t.window, "actSearchAndAddAfter");
    t.click(t.index(0));
    QVERIFY(!replace->isVisible() && !after->isVisible());
    t.click(t.index(0, 0));
    QVERIFY(replace->isVisible() && after->isChecked() && !replace->isChecked());
    after->trigger();
    QVERIFY2(!t.window->isModified(), "the kind it already has");
    replace->trigger();
    QVERIFY(t.window->isModified());
    QCOMPARE(t.index(0, 0).data().toString(), QStringLiteral("search and replace"));
    QCOMPARE(child<QLabel>(*t.window, "pnlActionString")->text(), QStringLiteral("Replace by"));
    QCOMPARE(child<QPlainTextEdit>(*t.window, "memSearch")->toPlainText(),
             QStringLiteral("Sources/A.pm#0"));
}

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
