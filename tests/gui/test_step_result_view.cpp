// The forum file after the selected step, as its author toggles it: the rows
// and marks of each step, following the selection and the edits, and the
// Test Mod report's lines leading into it.
#include "gui_support.h"

#include "ui/widgets/plain_text_view.h"
#include "ui/widgets/report_panel.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeView>

using namespace torvale;
using namespace torvale::test;

namespace {

using Mark = PlainTextView::ChangeMark;

// A forum of one file, and mods of three steps on it; the line after each
// closing tag stays empty, as the installer skips it.
struct Forum {
    QTemporaryDir dir;
    Forum() {
        QDir(dir.path()).mkpath(QStringLiteral("Sources"));
        writeFile(dir.filePath(QStringLiteral("YaBB.pl")), "1;\n");
        writeFile(dir.filePath(QStringLiteral("Sources/A.pm")), "a\nb\nc\nd\ne\n");
    }
    QString script() const { return dir.filePath(QStringLiteral("YaBB.pl")); }
};

const QByteArray kMod = "<edit file>\nSources/A.pm\n</edit file>\n\n"
                        "<search for>\nb\nc\n</search for>\n<replace>\nb\nC\n</replace>\n\n"
                        "<search for>\nmissing\n</search for>\n<add before>\nM\n</add before>\n\n"
                        "<search for>\ne\n</search for>\n<add after>\nE1\nE2\n</add after>\n\n";
// Step 2 puts a line in above the lines step 3 finds.
const QByteArray kModAbove = "<edit file>\nSources/A.pm\n</edit file>\n\n"
                             "<search for>\nb\nc\n</search for>\n<replace>\nb\nC\n</replace>\n\n"
                             "<search for>\na\n</search for>\n<add before>\nX\n</add before>\n\n"
                             "<search for>\ne\n</search for>\n<add after>\nE1\nE2\n</add after>\n\n";

QStringList rows(const PlainTextView& view) {
    QStringList lines;
    for (int line = 0; line < view.lineCount(); ++line)
        lines << view.lineText(line);
    return lines;
}

struct Shown : Opened {
    Forum forum;
    PlainTextView* view = child<PlainTextView>(*window, "memEditingFile");
    QLabel* caption = child<QLabel>(*window, "pnlEditingFile");

    explicit Shown(const QByteArray& mod = kMod) : Opened(mod) {
        window->setForumScriptLocation(forum.script());
        // The forum file beside the steps, as an author writes them.
        QTest::keyClick(window.get(), Qt::Key_F8);
    }
};

} // namespace

class StepResultViewTest : public QObject {
    Q_OBJECT

private slots:
    void eachStepShowsItsChange();
    void theResultFollowsEditsAndUndo();
    void reportLinesLeadIntoTheFile();
};

void StepResultViewTest::eachStepShowsItsChange() {
    Shown t;
    QAction* toggle = command(*t.window, "actStepResult");
    t.click(t.index(0, 0));
    const QStringList disk{"a", "b", "c", "d", "e"};
    QCOMPARE(rows(*t.view), disk);
    QTest::keyClick(t.window.get(), Qt::Key_F7);
    QVERIFY(toggle->isChecked());
    const struct {
        int row; // -1: the edit-file node
        QStringList rows;
        std::vector<Mark> marks;
        QString caption;
        std::vector<int> numbers; // the margin's
    } cases[] = {
        {0, {"a", "b", "c", "C", "d", "e"}, {{2, 1, false}, {3, 1, true}},
         "A.pm after step 1: 1 line taken out, 1 put in.", {1, 2, 0, 3, 4, 5}},
        {1, {"a", "b", "c", "C", "d", "e"}, {{2, 1, false}, {3, 1, true}},
         "A.pm as the steps before step 2 leave it: its search text is not there; marked: the "
         "change of step 1.",
         {1, 2, 0, 3, 4, 5}},
        {2, {"a", "b", "C", "d", "e", "E1", "E2"}, {{5, 2, true}},
         "A.pm after step 3: 0 lines taken out, 2 put in. Passed over: step 2, not found; the "
         "installer would stop there.",
         {1, 2, 3, 4, 5, 6, 7}},
        // An edit file's result is that of its last step.
        {-1, {"a", "b", "C", "d", "e", "E1", "E2"}, {{5, 2, true}}, {}, {}},
    };
    for (const auto& c : cases) {
        t.click(t.index(0, c.row));
        QCOMPARE(rows(*t.view), c.rows);
        QCOMPARE(t.view->changeMarks(), c.marks);
        if (!c.caption.isEmpty())
            QCOMPARE(t.caption->text(), QStringLiteral("Sources/") + c.caption);
        for (std::size_t line = 0; line < c.numbers.size(); ++line)
            QCOMPARE(t.view->numberOfLine(int(line)), c.numbers[line]);
    }
    // Go to Line takes the margin's numbers: line 3 after step 1 is "C".
    t.click(t.index(0, 0));
    t.prompts.lineAnswers << 3;
    t.view->setFocus();
    QTest::keyClick(t.window.get(), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(t.view->lineText(t.view->cursorPosition().line), QStringLiteral("C"));
    // Off again: the file on disk, unmarked, with its own caption.
    QTest::keyClick(t.window.get(), Qt::Key_F7);
    QVERIFY(!toggle->isChecked());
    QCOMPARE(rows(*t.view), disk);
    QVERIFY(t.view->changeMarks().empty());
    QCOMPARE(t.caption->text(), QDir::toNativeSeparators(t.forum.dir.filePath("Sources/A.pm")));

    // Without a forum there is no result to show.
    t.window->setForumScriptLocation({});
    toggle->trigger();
    QVERIFY(t.view->changeMarks().empty());
}

void StepResultViewTest::theResultFollowsEditsAndUndo() {
    Shown t;
    t.click(t.index(0, 0));
    QTest::keyClick(t.window.get(), Qt::Key_F7);
    const QStringList before = rows(*t.view);
    auto* action = child<QPlainTextEdit>(*t.window, "memAndAction");
    action->setFocus();
    action->moveCursor(QTextCursor::End);
    QTest::keyClick(action, Qt::Key_Return);
    QTest::keyClicks(action, QStringLiteral("X"));
    QCOMPARE(rows(*t.view), (QStringList{"a", "b", "c", "C", "X", "d", "e"}));
    QCOMPARE(t.view->changeMarks(), (std::vector<Mark>{{2, 1, false}, {3, 2, true}}));
    // Undone, the step's change is as before; a search text that is no
    // longer found shows the file as the steps before leave it.
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rows(*t.view), before);
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("zz"));
    QCOMPARE(rows(*t.view), (QStringList{"a", "b", "c", "d", "e"}));
    QVERIFY(t.view->changeMarks().empty());
    QVERIFY(t.caption->text().contains(QStringLiteral("is not there")));
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rows(*t.view), before);
}

void StepResultViewTest::reportLinesLeadIntoTheFile() {
    Shown t(kModAbove);
    // Step 3's "e" is line 5 on disk, and line 6 once step 2 has put a line in.
    auto* panel = child<ReportPanel>(*t.window, "pnlTestReport");
    QTest::keyClick(t.window.get(), Qt::Key_F9);
    const QModelIndexList found = panel->view()->model()->match(
        panel->view()->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("Step 3"), 1,
        Qt::MatchStartsWith | Qt::MatchRecursive);
    QVERIFY(!found.isEmpty());
    const QString text = found.first().data().toString();
    QCOMPARE(text, QStringLiteral("Step 3: found at line 6 (line 5 on disk)"));
    QTreeView* view = panel->view();
    view->scrollTo(found.first());
    const QRect rect = view->visualRect(found.first());
    const int textEnd = rect.left() + 28 + view->fontMetrics().horizontalAdvance(text);
    const struct {
        int x;
        bool result;
        QString line;
        int number;
    } clicks[] = {
        {rect.left() + 40, true, "e", 6},   // the file as steps 1 and 2 leave it
        {textEnd - 12, false, "e", 5},      // the file on disk
    };
    for (const auto& c : clicks) {
        t.click(t.index(0, 0));
        const QPoint at(c.x, rect.center().y());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(t.window->selectedNode(), t.window->model().document().topLevel(0)->child(2));
        QTRY_COMPARE(command(*t.window, "actStepResult")->isChecked(), c.result);
        const int line = t.view->cursorPosition().line;
        QCOMPARE(t.view->lineText(line), c.line);
        QCOMPARE(t.view->numberOfLine(line), c.number);
        QCOMPARE(QApplication::focusWidget(), t.view);
    }
    // The view of the steps before step 3 marks step 2's change.
    t.click(t.index(0, 0));
    const QPoint left(rect.left() + 40, rect.center().y());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, left);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, left);
    QTRY_VERIFY(t.caption->text().startsWith(
        QStringLiteral("Sources/A.pm as the steps before step 3 leave it; marked: the change of step 2")));
    QCOMPARE(t.view->changeMarks(), (std::vector<Mark>{{0, 1, true}}));
}

QTEST_MAIN(StepResultViewTest)
#include "test_step_result_view.moc"
