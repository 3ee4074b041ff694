// The action tree and its fields as a user drives them with mouse and keys:
// what is selected is what the commands act on, drags land where they show,
// and the fields and status follow every change.
#include "gui_support.h"

#include "ui/widgets/action_tree_view.h"
#include "ui/widgets/plain_text_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>

using namespace torvale;
using namespace torvale::test;

namespace {

// The tree as the texts of its nodes: a group's file name, then its steps'
// search texts, "|" between groups.
QString treeTexts(const TFormMain& window) {
    const ModDocument& doc = window.openMod().document();
    QStringList groups;
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        QStringList texts{QString::fromStdString(top->item().FileName.str())};
        for (int c = 0; c < top->childCount(); ++c)
            texts << QString::fromStdString(top->child(c)->item().SearchText.str());
        groups << texts.join(QLatin1Char(' '));
    }
    return groups.join(QStringLiteral(" | "));
}

QStringList fieldsEnabled(const QWidget& window) {
    QStringList enabled;
    for (const char* name : {"memFileToEdit", "memSearch", "memAndAction"})
        if (child<QWidget>(window, name)->isEnabled())
            enabled << QLatin1String(name);
    return enabled;
}

} // namespace

class TreeEditingTest : public QObject {
    Q_OBJECT

private slots:
    void fieldsFollowEverySelectionChange();
    void theSelectionShownIsTheNodeActedOn();
    void theCurrentRowIsAlwaysInSight();
    void disabledCommandKeysDoNothing();
    void wholeRowsAreClickable();
    void realRightClickOffersTheSelectedNodesKinds();
    void previewShowsEachNewDocument();
    void stepIndicatorFollowsEveryChange();
    void fileFieldShowsTheActionsOwnFile();
    void addMovesTheFocusToTheFieldToFill();
    void tooltipsTellRowsApart();
    void tabsLineUpAsInThePreview();
    void nodesGoThroughTheClipboardAsModText();
    void previewLinesLeadToTheNodesThatWroteThem();
};

void TreeEditingTest::fieldsFollowEverySelectionChange() {
    Opened t(twoFilesMod());
    t.click(t.index(0, 1));
    QCOMPARE(fieldsEnabled(*t.window), (QStringList{"memSearch", "memAndAction"}));

    // Opened while the page shows: a mod without any edit-file block, and one
    // whose read stops before any; nothing is selected, so nothing may be typed.
    writeFile(t.dir.filePath("none.mod"), "<id>\r\nNo actions\r\n</id>\r\n");
    writeFile(t.dir.filePath("cut.mod"), "<id>\r\nCut\r\n<version>\r\n1\r\n</version>");
    for (const char* name : {"none.mod", "cut.mod"}) {
        t.window->openCommandLine({t.path});
        t.click(t.index(0, 1));
        t.prompts.openAnswers << t.dir.filePath(QLatin1String(name));
        command(*t.window, "actOpen")->trigger();
        QCOMPARE(t.window->selectedNode(), nullptr);
        QCOMPARE(fieldsEnabled(*t.window), QStringList());
    }
    QCOMPARE(t.prompts.messages, QStringList{QStringLiteral("</id>not found!")});
}

void TreeEditingTest::theSelectionShownIsTheNodeActedOn() {
    Opened t(twoFilesMod());
    const auto selectedRows = [&] { return t.tree->selectionModel()->selectedRows(); };

    // Ctrl+click on the selected row keeps it selected.
    t.click(t.index(0, 1));
    QTest::mouseClick(t.tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      t.tree->visualRect(t.index(0, 1)).center());
    QCOMPARE(selectedRows(), QModelIndexList{t.index(0, 1)});
    t.tree->setFocus();
    QTest::keyClick(t.tree, Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(selectedRows(), QModelIndexList{t.index(0, 1)});

    // F12 hides the selected search action: the selection goes to its edit
    // file, which the fields show and Ctrl+Del deletes.
    QTest::keyClick(t.window.get(), Qt::Key_F12);
    QCOMPARE(selectedRows(), QModelIndexList{t.index(0)});
    QCOMPARE(t.window->selectedNode(), t.window->model().document().topLevel(0));
    QCOMPARE(fieldsEnabled(*t.window), QStringList{"memFileToEdit"});
    QCOMPARE(child<QLineEdit>(*t.window, "memFileToEdit")->text(), QStringLiteral("Sources/A.pm"));

    // So does a click on the arrow that collapses one group.
    QTest::keyClick(t.window.get(), Qt::Key_F11);
    t.click(t.index(1, 2));
    const QRect group = t.tree->visualRect(t.index(1));
    QTest::mouseClick(t.tree->viewport(), Qt::LeftButton, {},
                      QPoint(group.left() - t.tree->indentation() / 2, group.center().y()));
    QVERIFY(!t.tree->isExpanded(t.index(1)));
    QCOMPARE(selectedRows(), QModelIndexList{t.index(1)});

    QTest::keyClick(t.window.get(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(t.window->model().document().topLevelCount(), 1);
    QCOMPARE(t.window->model().document().topLevel(0)->item().FileName, "Sources/A.pm");
}

void TreeEditingTest::theCurrentRowIsAlwaysInSight() {
    const auto inSight = [](const ActionTreeView& tree) {
        const QRect row = tree.visualRect(tree.currentIndex());
        return tree.currentIndex().isValid() && tree.viewport()->rect().contains(row);
    };
    // Opened while another page shows: the node selected at open shows when
    // the tree does.
    OpenWindow opened(manyFilesMod(60));
    // Without the panel of what the installer reads otherwise, which takes room.
    child<QDockWidget>(*opened.window, "pnlFindings")->hide();
    opened.window->resize(621, 440);
    QTRY_COMPARE(opened.window->height(), 440);
    showPage(*opened.window, "tsModAction");
    QVERIFY(inSight(*child<ActionTreeView>(*opened.window, "tvActions")));

    Opened t(manyFilesMod(60));
    t.window->resize(621, 440);
    QTRY_COMPARE(t.window->height(), 440);
    t.click(t.index(0));
    t.tree->setFocus();
    for (Qt::Key key : {Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_Up,
                        Qt::Key_End, Qt::Key_PageUp}) {
        QTest::keyClick(t.tree, key);
        QVERIFY2(inSight(*t.tree), qPrintable(QKeySequence(key).toString()));
    }
    // A tree made shorter, as by the Test Mod panel, keeps the row in sight.
    QTest::keyClick(t.tree, Qt::Key_End);
    t.tree->resize(t.tree->width(), t.tree->height() / 2);
    QVERIFY(inSight(*t.tree));
}

void TreeEditingTest::disabledCommandKeysDoNothing() {
    Opened t(twoFilesMod());
    showPage(*t.window, "tsModProperty");
    QVERIFY(!command(*t.window, "actDeleteAction")->isEnabled());
    auto* id = child<QLineEdit>(*t.window, "edtId");
    id->setFocus();
    id->setCursorPosition(0);
    QTest::keyClick(id, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(id->text(), QStringLiteral("Two"));
    auto* description = child<QPlainTextEdit>(*t.window, "memDescription");
    description->setPlainText(QStringLiteral("several words"));
    description->setFocus();
    description->moveCursor(QTextCursor::Start);
    QTest::keyClick(description, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(description->toPlainText(), QStringLiteral("several words"));

    // Duplicate is off away from the tree's page: neither a node nor the field changes.
    QVERIFY(!command(*t.window, "actDuplicate")->isEnabled());
    id->setFocus();
    QTest::keyClick(id, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(id->text(), QStringLiteral("Two"));
    QCOMPARE(t.window->model().document().nodeCount(), 7u);
}

void TreeEditingTest::wholeRowsAreClickable() {
    Opened t(twoFilesMod());
    t.window->resize(900, 574);
    child<QSplitter>(*t.window, "Splitter1")->setSizes({600, 300});
    QTRY_VERIFY(t.tree->viewport()->width() > 500);
    for (const QModelIndex& row : {t.index(0), t.index(1, 2)}) {
        const QPoint farRight(t.tree->viewport()->width() - 4,
                              t.tree->visualRect(row).center().y());
        QTest::mouseClick(t.tree->viewport(), Qt::LeftButton, {}, farRight);
        QCOMPARE(t.tree->currentIndex(), row);
        QVERIFY(t.tree->selectionModel()->isSelected(row));
    }
}

void TreeEditingTest::realRightClickOffersTheSelectedNodesKinds() {
    Opened t(twoFilesMod());
    t.click(t.index(0, 1));
    QStringList offered;
    QTimer::singleShot(100, t.window.get(), [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                if (a->isVisible() && !a->isSeparator())
                    offered << (a->isChecked() ? "*" : "") + a->text();
            menu->close();
        }
    });
    // On another row: the menu is the selected node's, which stays selected.
    QWindow* handle = t.window->windowHandle();
    const QPoint other =
        t.tree->viewport()->mapTo(t.window.get(), t.tree->visualRect(t.index(1, 0)).center());
    QTest::mouseClick(handle, Qt::RightButton, {}, other);
    QTRY_COMPARE(offered, (QStringList{"search and replace", "search and addbefore",
                                       "*search and addafter", "Cu&t", "&Copy", "&Paste",
                                       "&Duplicate", "Move &Up", "Move Do&wn"}));
    QCOMPARE(t.tree->currentIndex(), t.index(0, 1));
}

void TreeEditingTest::previewShowsEachNewDocument() {
    Opened t(twoFilesMod());
    showPage(*t.window, "tsPreview");
    auto* preview = child<PlainTextView>(*t.window, "memPreview");
    const QString other = t.dir.filePath("other.mod");
    writeFile(other, "<id>\r\nOther\r\n</id>");
    t.prompts.openAnswers << other;
    command(*t.window, "actOpen")->trigger();
    QCOMPARE(preview->lineText(1), QStringLiteral("Other"));
    command(*t.window, "actNew")->trigger();
    QVERIFY(!preview->isEmpty());
    QCOMPARE(preview->lineText(0), QStringLiteral("<id>"));
    QCOMPARE(preview->lineText(1), QString());
}

void TreeEditingTest::stepIndicatorFollowsEveryChange() {
    Opened t(twoFilesMod());
    t.click(t.index(1, 2));
    QCOMPARE(t.step(), QStringLiteral("Step #5/Total Steps: 5"));
    // Opening another mod does not keep the old figures.
    const QString other = t.dir.filePath("other.mod");
    writeFile(other, manyFilesMod(2));
    t.prompts.openAnswers << other;
    command(*t.window, "actOpen")->trigger();
    QCOMPARE(t.step(), QStringLiteral("Step #0/Total Steps: 2"));
    QTest::keyClick(t.window.get(), Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(t.step(), QStringLiteral("Step #3/Total Steps: 3"));
    t.click(t.index(0, 0));
    QTest::keyClick(t.window.get(), Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY2(t.step().endsWith(QStringLiteral("/Total Steps: 2")), qPrintable(t.step()));
    t.prompts.saveAnswers << QMessageBox::No;
    command(*t.window, "actNew")->trigger();
    QCOMPARE(t.step(), QStringLiteral("Step #0/Total Steps: 0"));
}

void TreeEditingTest::fileFieldShowsTheActionsOwnFile() {
    Opened t(twoFilesMod());
    auto* file = child<QLineEdit>(*t.window, "memFileToEdit");
    t.click(t.index(1));
    t.click(t.index(0, 1));
    QCOMPARE(file->text(), QStringLiteral("Sources/A.pm"));
    QVERIFY(!file->isEnabled());
    QVERIFY(!t.window->isModified());
}

void TreeEditingTest::addMovesTheFocusToTheFieldToFill() {
    Opened t(twoFilesMod());
    t.click(t.index(0));
    QTest::keyClick(t.window.get(), Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(*t.window, "memSearch"));
    QTest::keyClick(t.window.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(*t.window, "memFileToEdit"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Sources/New.pm"));
    QCOMPARE(t.window->model().document().topLevel(2)->item().FileName, "Sources/New.pm");
}

void TreeEditingTest::tooltipsTellRowsApart() {
    QByteArray mod = twoFilesMod();
    mod +=
        "<edit file>\r\nSources/" + QByteArray(200, 'x') +
        ".pm\r\n</edit file>\r\n"
        "<search for>\r\n1\r\n2\r\n3\r\n4\r\n5\r\n</search for>\r\n<add before>\r\n</add before>";
    Opened t(mod);
    const auto tip = [&](const QModelIndex& i) { return i.data(Qt::ToolTipRole).toString(); };
    QCOMPARE(tip(t.index(0)), QStringLiteral("Sources/A.pm"));
    QCOMPARE(tip(t.index(1, 2)), QStringLiteral("Sources/B.pm#2"));
    QCOMPARE(tip(t.index(2)), "Sources/" + QString(200, u'x') + ".pm");
    QCOMPARE(tip(t.index(2, 0)), QStringLiteral("1\n2\n3\n4\n\u2026"));
}

void TreeEditingTest::tabsLineUpAsInThePreview() {
    Opened t(QByteArray("<edit file>\r\nA.pm\r\n</edit file>\r\n<search for>\r\n"
                        "\tx\r\n</search for>\r\n<replace>\r\n</replace>"));
    t.click(t.index(0, 0));
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    QTextCursor cursor = search->textCursor();
    cursor.setPosition(0);
    const int searchStart = search->cursorRect(cursor).x();
    cursor.setPosition(1);
    const int searchTab = search->cursorRect(cursor).x() - searchStart;

    showPage(*t.window, "tsPreview");
    auto* preview = child<PlainTextView>(*t.window, "memPreview");
    int line = 0;
    while (line < preview->lineCount() && preview->lineText(line) != QStringLiteral("\tx"))
        ++line;
    preview->setCursorPosition(line, 0);
    const int previewStart = preview->cursorRect().x();
    preview->setCursorPosition(line, 1);
    // Both round the caret to whole pixels.
    QVERIFY(qAbs(searchTab - (preview->cursorRect().x() - previewStart)) <= 1);
    QVERIFY(searchTab > 4 * QFontMetrics(search->font()).averageCharWidth());
}

// Steps go through the clipboard as mod text, to and from any text editor or
// forum post; each command is one step of the history.
void TreeEditingTest::nodesGoThroughTheClipboardAsModText() {
    Opened t(twoFilesMod());
    const QString start = treeTexts(*t.window);
    QCOMPARE(start, QStringLiteral("Sources/A.pm Sources/A.pm#0 Sources/A.pm#1 | "
                                   "Sources/B.pm Sources/B.pm#0 Sources/B.pm#1 Sources/B.pm#2"));
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        t.tree->setFocus();
        QTest::keyClick(t.tree, k, modifiers);
    };
    const auto undo = [&] { QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier); };

    // Copy a step; Paste puts it after the selected step of another group.
    t.click(t.index(0, 1));
    key(Qt::Key_C);
    QCOMPARE(clipboard->text(), QStringLiteral("<search for>\nSources/A.pm#1\n</search for>\n\n"
                                               "<add after>\nadded\n</add after>\n"));
    t.click(t.index(1, 0));
    key(Qt::Key_V);
    QCOMPARE(treeTexts(*t.window),
             QStringLiteral("Sources/A.pm Sources/A.pm#0 Sources/A.pm#1 | Sources/B.pm "
                            "Sources/B.pm#0 Sources/A.pm#1 Sources/B.pm#1 Sources/B.pm#2"));
    QCOMPARE(t.tree->currentIndex(), t.index(1, 1));
    undo();
    QCOMPARE(treeTexts(*t.window), start);

    // A forum post: words around the blocks, LF line ends; its leading step
    // joins the selected group, its edit file follows that group. One Undo.
    clipboard->setText(QStringLiteral(
        "Find this:\n<search for>\nx\n</search for>\n<add before>\ny\n</add before>\n"
        "<edit file>\nSources/C.pm\n</edit file>\n<search for>\nz\n</search for>\n"
        "<replace>\nw\n</replace>\nThanks!\n"));
    t.click(t.index(0));
    key(Qt::Key_V);
    QCOMPARE(treeTexts(*t.window),
             QStringLiteral("Sources/A.pm Sources/A.pm#0 Sources/A.pm#1 x | Sources/C.pm z | "
                            "Sources/B.pm Sources/B.pm#0 Sources/B.pm#1 Sources/B.pm#2"));
    QCOMPARE(t.index(0, 2).data().toString(), QStringLiteral("search and addbefore"));
    undo();
    QCOMPARE(treeTexts(*t.window), start);

    // Duplicate a group with its steps; Cut a step, and Paste it back.
    t.click(t.index(0));
    key(Qt::Key_D);
    QCOMPARE(treeTexts(*t.window),
             QStringLiteral("Sources/A.pm Sources/A.pm#0 Sources/A.pm#1 | Sources/A.pm "
                            "Sources/A.pm#0 Sources/A.pm#1 | Sources/B.pm Sources/B.pm#0 "
                            "Sources/B.pm#1 Sources/B.pm#2"));
    QCOMPARE(t.tree->currentIndex(), t.index(1));
    undo();
    t.click(t.index(1, 2));
    key(Qt::Key_X);
    QCOMPARE(treeTexts(*t.window), QStringLiteral("Sources/A.pm Sources/A.pm#0 Sources/A.pm#1 | "
                                                  "Sources/B.pm Sources/B.pm#0 Sources/B.pm#1"));
    key(Qt::Key_V);
    QCOMPARE(treeTexts(*t.window), start);
    undo();
    undo();
    QCOMPARE(treeTexts(*t.window), start);
    QVERIFY(!t.window->isModified());

    // Text without steps adds nothing, and says why.
    clipboard->setText(QStringLiteral("just words"));
    key(Qt::Key_V);
    QCOMPARE(treeTexts(*t.window), start);
    QCOMPARE(t.prompts.messages.size(), 1);
    // In a text field the same keys work on its text.
    t.click(t.index(0, 0));
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    search->setFocus();
    search->selectAll();
    QTest::keyClick(search, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("Sources/A.pm#0"));
}

// A double click on a line of the Preview selects the node that wrote it.
void TreeEditingTest::previewLinesLeadToTheNodesThatWroteThem() {
    Opened t(twoFilesMod());
    // The steps the installer skips here are listed below the pages; the
    // Preview takes their room once the list is put away.
    child<QDockWidget>(*t.window, "pnlFindings")->hide();
    QTest::qWait(50);
    auto* preview = child<PlainTextView>(*t.window, "memPreview");
    const struct {
        QString line;
        QModelIndex node;
    } cases[] = {{"Sources/B.pm#1", t.index(1, 1)},
                 {"</add after>", t.index(0, 0)},
                 {"Sources/A.pm", t.index(0)}};
    for (const auto& c : cases) {
        showPage(*t.window, "tsPreview");
        int line = 0;
        while (line < preview->lineCount() && preview->lineText(line) != c.line)
            ++line;
        QVERIFY(line < preview->lineCount());
        preview->scrollToLines(line);
        QTest::mouseDClick(preview->viewport(), Qt::LeftButton, {},
                           preview->rectAt({line, 1}).center());
        QTRY_COMPARE(t.tree->currentIndex(), c.node);
        QVERIFY(t.tree->isVisible());
    }
}

QTEST_MAIN(TreeEditingTest)
#include "test_tree_editing.moc"
