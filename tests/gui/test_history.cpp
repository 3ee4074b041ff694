// Undo, Redo and Move Up/Down as a user drives them with the keyboard: what
// comes back, what is selected and where the caret stands afterwards, and
// the modified flag against the saved file.
#include "gui_support.h"

#include "ui/widgets/action_tree_view.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUndoStack>

#include <functional>
#include <vector>

using namespace torvale;
using namespace torvale::test;

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    void ctrlDelThenCtrlZRestoresAndSelects();
    void aTypedWordIsOneStep();
    void undoToTheSavedTextClearsTheModifiedFlag();
    void moveUpAndDownCrossGroups();
    void editsTakenBackLeaveNothingToSave();
    void aKeyCutShortByAQuestionEndsTyping();
    void theFieldsFollowTheNodeAfterARedo();
};

namespace {

QString searchText(const Node* node) {
    return QString::fromStdString(node->item().SearchText.str()).remove(QStringLiteral("Sources/"));
}

// The search texts of each group, groups apart by "|".
QString groups(const TFormMain& window) {
    QStringList out;
    const ModDocument& doc = window.model().document();
    for (int f = 0; f < doc.topLevelCount(); ++f) {
        QStringList texts;
        for (int c = 0; c < doc.topLevel(f)->childCount(); ++c)
            texts << searchText(doc.topLevel(f)->child(c));
        out << texts.join(' ');
    }
    return out.join(QStringLiteral(" | "));
}

} // namespace

void HistoryTest::ctrlDelThenCtrlZRestoresAndSelects() {
    // From the field of the group's file, and from a search action's field.
    // A group comes back as it was, expanded or collapsed.
    const struct {
        int row;
        int child;
        const char* field;
        const char* left;
        bool collapsed;
    } cases[] = {
        {1, -1, "memFileToEdit", "A.pm#0 A.pm#1", false},
        {1, -1, "memFileToEdit", "A.pm#0 A.pm#1", true},
        {1, 1, "memSearch", "A.pm#0 A.pm#1 | B.pm#0 B.pm#2", false},
    };
    for (const auto& c : cases) {
        Opened t(twoFilesMod());
        const QString before = groups(*t.window);
        t.tree->setExpanded(t.index(1), !c.collapsed);
        t.click(t.index(c.row, c.child));
        auto* field = child<QWidget>(*t.window, c.field);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(groups(*t.window), QString::fromLatin1(c.left));
        QVERIFY(t.window->isModified());

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(groups(*t.window), before);
        QCOMPARE(t.tree->currentIndex(), t.index(c.row, c.child));
        QVERIFY(t.tree->selectionModel()->isSelected(t.index(c.row, c.child)));
        QVERIFY(t.tree->visualRect(t.tree->currentIndex()).isValid());
        QCOMPARE(t.tree->isExpanded(t.index(1)), !c.collapsed);
        QVERIFY(!t.window->isModified());
        QCOMPARE(t.step(), QStringLiteral("Step #%1/Total Steps: 5").arg(c.child < 0 ? 0 : 4));

        // Ctrl+Y and Ctrl+Shift+Z both redo.
        QTest::keyClick(t.window.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(groups(*t.window), QString::fromLatin1(c.left));
        QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(groups(*t.window), QString::fromLatin1(c.left));
    }
}

void HistoryTest::aTypedWordIsOneStep() {
    Opened t(twoFilesMod());
    t.click(t.index(0, 1));
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    search->setFocus();
    search->moveCursor(QTextCursor::End);
    QTest::keyClicks(search, QStringLiteral(" word"));
    t.click(t.index(1, 0));
    QTest::keyClicks(search, QStringLiteral("other"));
    QCOMPARE(t.window->openMod().history()->count(), 2);

    // Undo brings back the first node's text, selected, with the caret where
    // the word was; the field's own Undo (Alt+Backspace) is the same history.
    QAction* undo = command(*t.window, "actUndo");
    undo->trigger();
    QCOMPARE(searchText(t.window->selectedNode()), QStringLiteral("B.pm#0"));
    QTest::keyClick(search, Qt::Key_Backspace, Qt::AltModifier);
    QCOMPARE(t.window->selectedNode(), t.window->model().document().topLevel(0)->child(1));
    QCOMPARE(search->toPlainText(), QStringLiteral("Sources/A.pm#1"));
    QCOMPARE(QApplication::focusWidget(), search);
    QCOMPARE(search->textCursor().position(), search->toPlainText().size());
    QVERIFY(!undo->isEnabled());
    QVERIFY(command(*t.window, "actRedo")->isEnabled());
    QVERIFY(!command(*t.window, "EditUndo1")->isEnabled());

    // Typing again drops what Redo could have brought back.
    QTest::keyClicks(search, QStringLiteral("!"));
    QVERIFY(!command(*t.window, "actRedo")->isEnabled());
    QCOMPARE(t.window->openMod().history()->count(), 1);
}

void HistoryTest::undoToTheSavedTextClearsTheModifiedFlag() {
    Opened t(twoFilesMod());
    QAction* save = command(*t.window, "actSave");
    auto* id = child<QLineEdit>(*t.window, "edtId");
    showPage(*t.window, "tsModProperty");
    id->setFocus();
    QTest::keyClicks(id, QStringLiteral("s"));
    save->trigger();
    const QByteArray saved = fileBytes(t.path);
    QVERIFY(!save->isEnabled());

    showPage(*t.window, "tsModAction");
    command(*t.window, "actAddEditFile")->trigger();
    QTest::keyClicks(child<QLineEdit>(*t.window, "memFileToEdit"), QStringLiteral("C.pm"));
    QVERIFY(save->isEnabled());
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!t.window->isModified());
    QVERIFY(!save->isEnabled());

    // One more goes back past the saved text: modified again, shown where it was.
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(t.window->isModified());
    QCOMPARE(id->text(), QStringLiteral("Two"));
    QCOMPARE(QApplication::focusWidget(), id);
    QCOMPARE(id->cursorPosition(), 3);
    QCOMPARE(fileBytes(t.path), saved);
}

void HistoryTest::moveUpAndDownCrossGroups() {
    Opened t(twoFilesMod());
    t.click(t.index(1, 0));
    t.tree->setFocus();
    const auto key = [&](Qt::Key k) {
        QTest::keyClick(t.tree, k, Qt::AltModifier | Qt::ShiftModifier);
    };
    auto* file = child<QLineEdit>(*t.window, "memFileToEdit");
    key(Qt::Key_Up);
    QCOMPARE(groups(*t.window), QStringLiteral("A.pm#0 A.pm#1 B.pm#0 | B.pm#1 B.pm#2"));
    QCOMPARE(searchText(t.window->selectedNode()), QStringLiteral("B.pm#0"));
    QCOMPARE(file->text(), QStringLiteral("Sources/A.pm"));
    key(Qt::Key_Up);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    QCOMPARE(groups(*t.window), QStringLiteral("A.pm#0 A.pm#1 | B.pm#0 B.pm#1 B.pm#2"));
    QCOMPARE(file->text(), QStringLiteral("Sources/B.pm"));
    key(Qt::Key_Down);
    QCOMPARE(groups(*t.window), QStringLiteral("A.pm#0 A.pm#1 | B.pm#1 B.pm#0 B.pm#2"));
    QCOMPARE(t.step(), QStringLiteral("Step #4/Total Steps: 5"));

    // An edit file moves with its search actions; at the top it stays.
    t.click(t.index(1));
    key(Qt::Key_Up);
    QCOMPARE(groups(*t.window), QStringLiteral("B.pm#1 B.pm#0 B.pm#2 | A.pm#0 A.pm#1"));
    QVERIFY(!command(*t.window, "actMoveUp")->isEnabled());
    key(Qt::Key_Up);
    QCOMPARE(t.window->openMod().history()->count(), 6);

    // Every move is a step of its own.
    for (int i = 0; i < 6; ++i)
        command(*t.window, "actUndo")->trigger();
    QCOMPARE(groups(*t.window), QStringLiteral("A.pm#0 A.pm#1 | B.pm#0 B.pm#1 B.pm#2"));
    QVERIFY(!t.window->isModified());
}

// Each of these leaves the text as it was: nothing to save, nothing asked at
// the close.
void HistoryTest::editsTakenBackLeaveNothingToSave() {
    const auto key = [](const char* field, Qt::Key k) {
        return [=](Opened& t) { QTest::keyClick(child<QWidget>(*t.window, field), k); };
    };
    const auto run = [](const char* name) {
        return [=](Opened& t) { command(*t.window, name)->trigger(); };
    };
    const auto pause = [](Opened&) { QTest::qWait(1100); };
    const struct {
        const char* what;
        int row;
        int child;
        std::vector<std::function<void(Opened&)>> acts;
    } cases[] = {
        {"a letter typed, then deleted after a pause",
         0,
         0,
         {key("memSearch", Qt::Key_X), pause, key("memSearch", Qt::Key_Backspace)}},
        {"add after, add before, add after",
         0,
         0,
         {run("actSearchAndAddBefore"), run("actSearchAndAddAfter")}},
        {"Move Down, Move Up", 0, 0, {run("actMoveDown"), run("actMoveUp")}},
        {"the file to edit: x, Backspace",
         0,
         -1,
         {key("memFileToEdit", Qt::Key_X), key("memFileToEdit", Qt::Key_Backspace)}},
    };
    for (const auto& c : cases) {
        Opened t(twoFilesMod());
        t.click(t.index(c.row, c.child));
        child<QWidget>(*t.window, c.child < 0 ? "memFileToEdit" : "memSearch")->setFocus();
        QTextCursor end = child<QPlainTextEdit>(*t.window, "memSearch")->textCursor();
        end.movePosition(QTextCursor::End);
        child<QPlainTextEdit>(*t.window, "memSearch")->setTextCursor(end);
        for (const auto& act : c.acts)
            act(t);
        QVERIFY2(t.window->openMod().history()->count() >= 1, c.what);
        QVERIFY2(!t.window->isModified(), c.what);
        QVERIFY2(!command(*t.window, "actSave")->isEnabled(), c.what);
        t.window->close();
        QVERIFY2(t.prompts.confirmTexts.isEmpty(), c.what);
    }
}

// A key whose release goes elsewhere, as when a question opens while it is
// down, ends the typing: each Replace press and a menu Paste after it are
// steps of their own, and the next key another.
void HistoryTest::aKeyCutShortByAQuestionEndsTyping() {
    Opened t(twoFilesMod());
    t.click(t.index(0, 0));
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    search->setFocus();
    search->moveCursor(QTextCursor::End);
    QTest::keyPress(search, Qt::Key_X);
    QTest::keyClick(t.window.get(), Qt::Key_R, Qt::ControlModifier);
    auto* dialog = t.window->findChild<QDialog*>(QStringLiteral("ReplaceDialog"));
    QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
    QTest::keyRelease(child<QLineEdit>(*dialog, "edtFindText"), Qt::Key_X);
    QCOMPARE(t.window->openMod().history()->count(), 1);
    child<QLineEdit>(*dialog, "edtFindText")->setText(QStringLiteral("x"));
    child<QLineEdit>(*dialog, "edtReplaceText")->setText(QStringLiteral("xy"));
    // Pressed from the keyboard: the focus stays on the button.
    auto* replace = child<QPushButton>(*dialog, "btnReplace");
    replace->setFocus();
    for (int press = 0; press < 2; ++press)
        QTest::keyClick(replace, Qt::Key_Space);
    QCOMPARE(search->toPlainText(), QStringLiteral("Sources/A.pm#0xyy"));
    QCOMPARE(t.window->openMod().history()->count(), 3);
    dialog->close();
    t.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.window.get()));
    search->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("p"));
    command(*t.window, "EditPaste1")->trigger();
    QTest::keyClick(search, Qt::Key_Z);
    QCOMPARE(t.window->openMod().history()->count(), 5);
}

// After a Redo that deletes the group of the current search action, the
// fields, their enabling and the forum file's caption show the node selected
// now; with no node left, none.
void HistoryTest::theFieldsFollowTheNodeAfterARedo() {
    for (const bool lastGroup : {false, true}) {
        Opened t(lastGroup ? QByteArray("<edit file>\r\nSources/B.pm\r\n</edit file>\r\n"
                                        "<search for>\r\nb\r\n</search for>\r\n"
                                        "<replace>\r\nr\r\n</replace>")
                           : twoFilesMod());
        const int group = lastGroup ? 0 : 1;
        t.click(t.index(group));
        command(*t.window, "actDeleteAction")->trigger();
        command(*t.window, "actUndo")->trigger();
        t.click(t.index(group, 0));
        auto* caption = child<QLabel>(*t.window, "pnlEditingFile");
        QVERIFY(caption->text().contains(QStringLiteral("B.pm")));
        command(*t.window, "actRedo")->trigger();

        auto* file = child<QLineEdit>(*t.window, "memFileToEdit");
        auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
        QVERIFY(!caption->text().contains(QStringLiteral("B.pm")));
        QVERIFY(!search->isEnabled());
        QVERIFY(search->toPlainText().isEmpty());
        QCOMPARE(file->isEnabled(), !lastGroup);
        QCOMPARE(file->text(), lastGroup ? QString() : QStringLiteral("Sources/A.pm"));
        if (!lastGroup)
            QVERIFY(caption->text().contains(QStringLiteral("A.pm")));
    }
}

QTEST_MAIN(HistoryTest)
#include "test_history.moc"
