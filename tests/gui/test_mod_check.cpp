// Checking a mod in the window as its author does: the report of what a read
// dropped, the warning before a save that would not read back, Test Mod with
// its panel and marks, and the search text's place in the forum file.
#include "gui_support.h"
#include "test_support.h"

#include "ui/widgets/action_tree_view.h"
#include "ui/widgets/plain_text_view.h"
#include "ui/widgets/report_panel.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTreeView>

using namespace torvale;
using namespace torvale::test;

namespace {

const QString kShared = sharedFolder();
const QString kForum = forumFolder();

QStringList entries(const ReportPanel& panel) {
    QStringList texts;
    for (const ReportModel::Row& row : panel.report().rows()) {
        texts << row.entry.text;
        for (const ReportModel::Entry& entry : row.entries)
            texts << QStringLiteral("  ") + entry.text;
    }
    return texts;
}

// The entry whose text starts so, as the panel's view shows it.
QModelIndex entry(const ReportPanel& panel, const QString& start) {
    const QModelIndexList found =
        panel.view()->model()->match(panel.view()->model()->index(0, 0), Qt::DisplayRole, start, 1,
                                     Qt::MatchStartsWith | Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found.first();
}

void doubleClick(const ReportPanel& panel, const QModelIndex& index) {
    QTreeView* view = panel.view();
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    // As the system sends one: a click, then the second press as a double click.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class ModCheckTest : public QObject {
    Q_OBJECT

private slots:
    void testModReportsEachStepAndMarksTheFailed();
    void aReadThatDropsContentSaysWhatAndWhere();
    void aSaveThatWouldNotReadBackAsksFirst();
    void theSearchTextIsHighlightedInTheForumFile();
};

void ModCheckTest::testModReportsEachStepAndMarksTheFailed() {
    Opened t(fileBytes(kShared + QStringLiteral("/realmods/add_Dutch_language.mod")));
    auto* panel = child<ReportPanel>(*t.window, "pnlTestReport");
    QVERIFY(!panel->isVisible());
    // Without a forum nothing can be tested: the panel says so, lists the
    // steps as untested, and the tree shows no failure.
    const ModDocument& doc = t.window->model().document();
    const ActionTreeModel& model = t.window->model();
    QTest::keyClick(t.window.get(), Qt::Key_F9);
    QVERIFY(panel->isVisible());
    QVERIFY(panel->summary().startsWith(QStringLiteral("No forum script is configured")));
    QCOMPARE(entries(*panel).first(),
             QStringLiteral("Admin/ModList.pm: no forum script configured"));
    for (const ReportModel::Row& row : panel->report().rows()) {
        if (row.entry.mark == ReportModel::Mark::Warning)
            continue; // the warnings about the mod itself: its CR LF line ends
        QCOMPARE(row.entry.mark, ReportModel::Mark::Untested);
        for (const ReportModel::Entry& step : row.entries)
            QCOMPARE(step.mark, ReportModel::Mark::Untested);
    }
    for (int r = 0; r < doc.topLevelCount(); ++r)
        for (int c = -1; c < doc.topLevel(r)->childCount(); ++c)
            QVERIFY(!model.isMarked(c < 0 ? doc.topLevel(r) : doc.topLevel(r)->child(c)));

    t.window->setForumScriptLocation(kForum + QStringLiteral("/YaBB.pl"));
    // Both models keep to Qt's rules while reports come and marks go.
    QAbstractItemModelTester reportRules(&panel->report(),
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester treeRules(const_cast<ActionTreeModel*>(&t.window->model()),
                                       QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTest::keyClick(t.window.get(), Qt::Key_F9);
    // The installer stops at step 3; the steps after it are not reached,
    // and the file it wrote before stays changed: a CR LF mod gets no backups.
    const QStringList shown = entries(*panel);
    for (const QString& line :
         {QStringLiteral("Admin/ModList.pm: changed"), QStringLiteral("  Step 1: found at line 53"),
          QStringLiteral("  Step 3: not found: not present at all"),
          QStringLiteral("Admin/YaBMod.pm: not reached"),
          QStringLiteral("  Step 4: not reached: the installer stops before it (past the "
                         "failures it would be found at line 29)"),
          QStringLiteral("Languages/Lang.lng: file missing: not found at ") + kForum +
              QStringLiteral("/Languages/Lang.lng")})
        QVERIFY2(shown.contains(line), qPrintable(line + QStringLiteral(" in:\n") + shown.join('\n')));
    QVERIFY(panel->summary().startsWith(QStringLiteral("The installer would stop at step 3")));
    QVERIFY(panel->summary().endsWith(QStringLiteral("2 of 6 steps found.")));
    QVERIFY(shown.join('\n').contains(QStringLiteral("CR LF line ends")));

    // The failed steps' nodes are marked in the tree, and say why.
    const Node* notFound = doc.topLevel(1)->child(1);
    const Node* missing = doc.topLevel(3)->child(0);
    QVERIFY(model.isMarked(notFound) && model.isMarked(missing));
    QVERIFY(!model.isMarked(doc.topLevel(0)->child(0)));
    QVERIFY(!model.isMarked(doc.topLevel(2)->child(0))); // not reached, but found past the failure
    QVERIFY(t.index(1, 1).data(Qt::ToolTipRole).toString().startsWith("Test Mod: not found"));
    // Its picture has the red sign: the lower right corner is red.
    const QImage marked =
        t.index(1, 1).data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
    QCOMPARE(marked.pixelColor(13, 13), QColor(200, 30, 30));

    // Double-clicking a step goes to its node, from any page.
    showPage(*t.window, "tsPreview");
    doubleClick(*panel, entry(*panel, QStringLiteral("Step 3")));
    QCOMPARE(t.window->selectedNode(), notFound);
    QCOMPARE(child<QTabWidget>(*t.window, "PageControl1")->currentWidget()->objectName(),
             QStringLiteral("tsModAction"));

    // An edit takes the marks away; the panel says its report is old.
    QTest::keyClicks(child<QPlainTextEdit>(*t.window, "memSearch"), QStringLiteral(" "));
    QVERIFY(!model.isMarked(notFound) && !model.isMarked(missing));
    QVERIFY(panel->windowTitle().contains(QStringLiteral("changed since")));
    QTest::keyClick(t.window.get(), Qt::Key_F9);
    QVERIFY(model.isMarked(notFound));
    QCOMPARE(panel->windowTitle(), QStringLiteral("Test Mod"));

    // Another mod: the report and the marks are gone.
    t.prompts.saveAnswers << QMessageBox::No;
    command(*t.window, "actNew")->trigger();
    QVERIFY(!panel->isVisible());
    QVERIFY(panel->report().rows().empty());
}

void ModCheckTest::aReadThatDropsContentSaysWhatAndWhere() {
    OpenWindow script(
        fileBytes(kShared + QStringLiteral("/realmods/uninstall_apache24_fix_2.mod")));
    auto* panel = child<ReportPanel>(*script.window, "pnlFindings");
    QVERIFY(panel->isVisible());
    QCOMPARE(entries(*panel),
             QStringList{QStringLiteral("Line 1: This file holds no mod tags: it is not a mod "
                                        "file.  \u201Cmod|apache24_fix_2.mod\u201D")});
    QVERIFY(panel->summary().contains(QStringLiteral("not a mod file")));
    // Dismissed by its close button, and gone with a clean mod.
    panel->close();
    QVERIFY(!panel->isVisible());

    OpenWindow dropped(
        torvale::test::crlfLines({"<id>Name</id>", "</id>", "<version>", "1.0",
                                  "</version> of today", "<edit file>", "a.pl", "</edit file>",
                                  "<search for>", "x", "</search for>"})
            .c_str());
    panel = child<ReportPanel>(*dropped.window, "pnlFindings");
    QStringList kinds;
    int installer = 0; // the places the installer reads otherwise, listed after
    for (const QString& e : entries(*panel)) {
        if (e.contains(QStringLiteral("YaBB's installer")))
            ++installer;
        else
            kinds << e.section(u'.', 0, 0);
    }
    QCOMPARE(installer, 1); // the search without an action it still runs
    QCOMPARE(kinds, QStringList({"Line 1: A block on one line: its text is dropped, and the "
                                 "block runs on to the next closing tag",
                                 "Line 5: Text beside a tag is dropped",
                                 "Line 9: A search block with no action block after it is "
                                 "dropped"}));
    // A finding leads to where the Preview lost it: the block of the node
    // read last before its line, or the top.
    auto* preview = child<PlainTextView>(*dropped.window, "memPreview");
    doubleClick(*panel, entry(*panel, QStringLiteral("Line 9")));
    QTRY_COMPARE(preview->selectedText(), QStringLiteral("<edit file>"));
    QVERIFY(preview->isVisible());
    doubleClick(*panel, entry(*panel, QStringLiteral("Line 5")));
    QTRY_COMPARE(preview->selectedText(), QStringLiteral("<id>"));
    dropped.prompts.saveAnswers << QMessageBox::No;
    dropped.prompts.openAnswers << kShared + QStringLiteral("/realmods/apache24_fix_2.mod");
    command(*dropped.window, "actOpen")->trigger();
    QVERIFY(!panel->isVisible());

    // A block never closed: the message says where it began.
    OpenWindow cut(
        torvale::test::crlfLines({"<id>", "Cut", "</id>", "", "<replace>", "x"}).c_str());
    QCOMPARE(cut.prompts.messages, QStringList{QStringLiteral("</replace>not found!")});
    QCOMPARE(cut.prompts.messageDetails,
             QStringList{QStringLiteral("The block that is not closed begins at line 5 of %1.")
                             .arg(QDir::toNativeSeparators(cut.path))});
}

void ModCheckTest::aSaveThatWouldNotReadBackAsksFirst() {
    Opened t(sampleMod());
    const QByteArray saved = fileBytes(t.path);
    t.click(t.index(0, 0));
    auto* search = child<QPlainTextEdit>(*t.window, "memSearch");
    search->setPlainText(
        QStringLiteral("for (@modfile) {\n if ( $modfile[$i] =~ /^<replace>/ixsm ) {"));
    QTest::keyClick(t.window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(t.prompts.saveAnywayQuestions.size(), 1);
    const QString question = t.prompts.saveAnywayQuestions.first();
    QVERIFY2(question.contains(QStringLiteral(
                 "Step 1 (search and replace) of Sources/Sample.pl, search text, line 2:\n"
                 "     if ( $modfile[$i] =~ /^<replace>/ixsm ) {\n"
                 "It holds \"<replace>\", which opens a block of its own.")),
             qPrintable(question));
    // Cancelled: nothing written, and the field to mend has the focus.
    QCOMPARE(fileBytes(t.path), saved);
    QVERIFY(t.window->isModified());
    QVERIFY(command(*t.window, "actSave")->isEnabled());
    QVERIFY(command(*t.window, "actUndo")->isEnabled());
    QCOMPARE(QApplication::focusWidget(), search);

    t.prompts.saveAnywayAnswers << true;
    QTest::keyClick(t.window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!t.window->isModified());
    QVERIFY(fileBytes(t.path).contains("/^<replace>/ixsm"));

    // A text that reads back as it is saves without a word.
    search->setPlainText(QStringLiteral("plain text"));
    QTest::keyClick(t.window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(t.prompts.saveAnywayQuestions.size(), 2);
    QVERIFY(!t.window->isModified());
}

void ModCheckTest::theSearchTextIsHighlightedInTheForumFile() {
    Opened t(fileBytes(kShared + QStringLiteral("/realmods/apache24_fix_2.mod")));
    t.window->setForumScriptLocation(kForum + QStringLiteral("/YaBB.pl"));
    auto* view = child<PlainTextView>(*t.window, "memEditingFile");
    // The first steps of Admin/ModList.pm and of Sources/Subs.pm, found at
    // lines 53 and 28 of their files.
    for (const auto& [group, line] : {std::pair{0, 53}, std::pair{2, 28}}) {
        t.click(t.index(group, 0));
        showPage(*t.window, "tsEditingFile");
        const Text& text = t.window->selectedNode()->item().SearchText;
        const int lines = int(QByteArray(text.data(), qsizetype(text.size())).count('\n')) + 1;
        QCOMPARE(view->highlightedLines(),
                 (std::vector<PlainTextView::LineRange>{{line - 1, lines}}));
        const int first = view->firstVisibleLine();
        // All of its lines in sight.
        QVERIFY(first <= line - 1 &&
                line - 1 + lines <= first + view->verticalScrollBar()->pageStep());
        showPage(*t.window, "tsModAction");
    }
    // An edit-file node has no search text.
    t.click(t.index(2));
    showPage(*t.window, "tsEditingFile");
    QVERIFY(view->highlightedLines().empty());
}

QTEST_MAIN(ModCheckTest)
#include "test_mod_check.moc"
