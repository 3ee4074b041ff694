// Undo, Redo and Move Up/Down as a user drives them with the keyboard: what
// comes back, what is selected and where the caret stands afterwards, and
// the modified flag against the saved file.
#include "gui_support.h"

#include "ui/widgets/action_tree_view.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUndoStack>

using namespace torvale;
using namespace torvale::test;

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    void ctrlDelThenCtrlZRestoresAndSelects();
    void aTypedWordIsOneStep();
    void undoToTheSavedTextClearsTheModifiedFlag();
    void moveUpAndDownCrossGroups();
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
    const struct {
        int row;
        int child;
        const char* field;
        const char* left;
    } cases[] = {
        {1, -1, "memFileToEdit", "A.pm#0 A.pm#1"},
        {1, 1, "memSearch", "A.pm#0 A.pm#1 | B.pm#0 B.pm#2"},
    };
    for (const auto& c : cases) {
        Opened t(twoFilesMod());
        const QString before = groups(*t.window);
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

QTEST_MAIN(HistoryTest)
#include "test_history.moc"
