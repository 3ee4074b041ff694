// Mending steps the forum no longer matches, as an author does: Test Mod says
// where their lines went, the forum file marks them, Use the Forum's Lines.
#include "gui_support.h"

#include "ui/widgets/plain_text_view.h"
#include "ui/widgets/report_panel.h"

#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QToolButton>
#include <QTreeView>
#include <QUndoStack>

using namespace torvale;
using namespace torvale::test;

namespace {

const char kForumFile[] = "package Sample;\n"
                          "use strict;\n"
                          "sub greet {\n"
                          "    my ($name) = @_;\n"
                          "    print \"Hello, $name\\n\";\n"
                          "    return 1;\n"
                          "}\n"
                          "sub farewell {\n"
                          "    my ($name, $when) = @_;\n"
                          "    print \"Goodbye, $name\\n\";\n"
                          "    return 0;\n"
                          "}\n"
                          "1;\n";

// Step 1 is found; step 2 differs by its indentation, step 3 by a changed
// line, and step 4 stands about as well at two places.
QByteArray modOfSteps() {
    return "<id>\nt\n</id>\n\n<version>\n1\n</version>\n\n<mod info>\nx\n</mod info>\n\n"
           "<author>\nx\n</author>\n\n<homepage>\nx\n</homepage>\n\n"
           "<edit file>\nSources/Sample.pm\n</edit file>\n\n"
           "<search for>\npackage Sample;\n</search for>\n\n<add after>\n# one\n</add after>\n\n"
           "<search for>\nsub greet {\n  my ($name) = @_;\n</search for>\n\n"
           "<replace>\nsub greet {\n  my ($name, $how) = @_;\n</replace>\n\n"
           "<search for>\nsub farewell {\n    my ($name) = @_;\n    print \"Goodbye, $name\\n\";\n"
           "</search for>\n\n<add after>\n    log_it();\n</add after>\n\n"
           "<search for>\n    return 2;\n</search for>\n\n<add before>\n# four\n</add before>\n";
}

QStringList entryTexts(const ReportPanel& panel) {
    QStringList texts;
    for (const ReportModel::Row& row : panel.report().rows())
        for (const ReportModel::Entry& entry : row.entries)
            texts << entry.text;
    return texts;
}

QString searchText(const Node* node) {
    return QString::fromStdString(node->item().SearchText.str());
}

} // namespace

class ForumLinesTest : public QObject {
    Q_OBJECT

private slots:
    void theForumsLinesMendAFailedStepInOneUndoableStep();
};

void ForumLinesTest::theForumsLinesMendAFailedStepInOneUndoableStep() {
    Opened t(modOfSteps());
    QVERIFY(QDir(t.dir.path()).mkpath(QStringLiteral("forum/Sources")));
    writeFile(t.dir.filePath(QStringLiteral("forum/YaBB.pl")), "#!/usr/bin/perl\n");
    writeFile(t.dir.filePath(QStringLiteral("forum/Sources/Sample.pm")), kForumFile);
    t.window->setForumScriptLocation(t.dir.filePath(QStringLiteral("forum/YaBB.pl")));
    auto* panel = child<ReportPanel>(*t.window, "pnlTestReport");
    auto* view = child<PlainTextView>(*t.window, "memEditingFile");
    QAction* useLines = command(*t.window, "actUseForumLines");
    const ModDocument& doc = t.window->model().document();
    const Node* greet = doc.topLevel(0)->child(1);
    const Node* farewell = doc.topLevel(0)->child(2);
    QVERIFY(!useLines->isEnabled());

    QTest::keyClick(t.window.get(), Qt::Key_F9);
    // Below each failed step, where its lines went in the file on disk.
    const QStringList shown = entryTexts(*panel);
    const auto below = [&](const QString& step) {
        const qsizetype at =
            shown.indexOf(QRegularExpression(QStringLiteral("^") + step + QStringLiteral(":.*")));
        return at >= 0 && at + 1 < shown.size() ? shown[at + 1] : QString();
    };
    QCOMPARE(below(QStringLiteral("Step 2")),
             QStringLiteral("    \u21B3 Its lines are at lines 3-4 of the file, the same but for "
                            "blanks and tabs."));
    QVERIFY2(below(QStringLiteral("Step 3"))
                 .contains(QRegularExpression(QStringLiteral(
                     "^    \u21B3 Its lines most likely went to lines 8-10 of the file \\(\\d+% "
                     "alike\\): 1 line changed\\.$"))),
             qPrintable(shown.join('\n')));
    QVERIFY2(below(QStringLiteral("Step 4")).contains(QStringLiteral("is about as good")),
             qPrintable(shown.join('\n')));

    // Choosing step 3 in the report selects it, and the forum file marks
    // its lines as they stand on disk: the second one changed.
    QTreeView* entries = panel->view();
    const QModelIndex step3 =
        entries->model()
            ->match(entries->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("Step 3"), 1,
                    Qt::MatchStartsWith | Qt::MatchRecursive)
            .value(0);
    entries->scrollTo(step3);
    QTest::mouseClick(entries->viewport(), Qt::LeftButton, {}, entries->visualRect(step3).center());
    QCOMPARE(t.window->selectedNode(), farewell);
    showPage(*t.window, "tsEditingFile");
    using Kind = PlainTextView::LineMark::Kind;
    std::vector<std::pair<int, Kind>> marks;
    for (const PlainTextView::LineMark& m : view->lineMarks())
        marks.emplace_back(m.line, m.kind);
    QCOMPARE(marks, (std::vector<std::pair<int, Kind>>{
                        {7, Kind::Same}, {8, Kind::Changed}, {9, Kind::Same}}));
    QVERIFY(view->lineMarks()[1].note.contains(QStringLiteral("my ($name) = @_;")));

    // The report's button takes the file's lines, as one step, and tests again.
    QToolButton* button = nullptr;
    for (QToolButton* b : panel->findChildren<QToolButton*>())
        if (b->defaultAction() == useLines)
            button = b;
    QVERIFY(button && useLines->isEnabled());
    const int steps = t.window->openMod().history()->count();
    QTest::mouseClick(button, Qt::LeftButton);
    const QString farewellLines = QStringLiteral(
        "sub farewell {\r\n    my ($name, $when) = @_;\r\n    print \"Goodbye, $name\\n\";");
    QCOMPARE(searchText(farewell), farewellLines);
    QCOMPARE(child<QPlainTextEdit>(*t.window, "memSearch")->toPlainText(),
             QString(farewellLines).remove(u'\r'));
    QCOMPARE(t.window->openMod().history()->count(), steps + 1);
    QVERIFY(panel->windowTitle() == QStringLiteral("Test Mod"));
    // Step 3 is found past the failure of step 2; what it adds wants a look.
    QVERIFY(entryTexts(*panel).contains(QStringLiteral(
        "    Review step 3: its search text now holds the forum's lines, but the text it adds "
        "beside them was written for the old ones.")));
    QVERIFY(view->lineMarks().empty());
    QVERIFY(!useLines->isEnabled());

    // From the tree with the shortcut: step 2 is found, its replacement to review.
    showPage(*t.window, "tsModAction");
    t.click(t.index(0, 1));
    QTest::keyClick(t.window.get(), Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(searchText(greet), QStringLiteral("sub greet {\r\n    my ($name) = @_;"));
    const QString after = entryTexts(*panel).join(QLatin1Char('\n'));
    for (const char* line : {"^Step 2: found at line 4 ", "^Step 3: found at line 9 ",
                             "^    Review step 2: .* the text that replaces them"})
        QVERIFY2(after.contains(
                     QRegularExpression(QLatin1String(line), QRegularExpression::MultilineOption)),
                 qPrintable(line + QStringLiteral(" in:\n") + after));

    // Of two places about as good the author chooses one: here the second.
    t.click(t.index(0, 3));
    t.prompts.choiceAnswers << 1;
    QTest::keyClick(t.window.get(), Qt::Key_L, Qt::ControlModifier);
    const QStringList choices = t.prompts.menus.value(0);
    QVERIFY2(choices.size() == 2 && choices[0].startsWith(QStringLiteral("Use line 6 (")) &&
                 choices[1].startsWith(QStringLiteral("Use line 11 (")),
             qPrintable(choices.join('\n')));
    QCOMPARE(searchText(doc.topLevel(0)->child(3)), QStringLiteral("    return 0;"));
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);

    // Each comes undone in one step, back to what the author wrote.
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(searchText(greet), QStringLiteral("sub greet {\r\n  my ($name) = @_;"));
    QCOMPARE(searchText(farewell), farewellLines);
    QTest::keyClick(t.window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(searchText(farewell),
             QStringLiteral(
                 "sub farewell {\r\n    my ($name) = @_;\r\n    print \"Goodbye, $name\\n\";"));
    QVERIFY(!t.window->isModified());
}

QTEST_MAIN(ForumLinesTest)
#include "test_forum_lines.moc"
