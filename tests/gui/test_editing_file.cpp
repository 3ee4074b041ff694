// The EditingFile page as a user meets it: the forum file of the selected
// group, when a selection change loads it again, files it does not show, and
// browsing for the file to edit.
#include "gui_support.h"

#include "ui/widgets/action_tree_view.h"
#include "ui/widgets/plain_text_view.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace torvale;
using namespace torvale::test;

namespace {

const QString kShared = sharedFolder();
const QString kForum = forumFolder();

QByteArray viewBytes(const TFormMain& window) {
    const std::string_view bytes = child<PlainTextView>(window, "memEditingFile")->bytes();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

const char* viewData(const TFormMain& window) {
    return child<PlainTextView>(window, "memEditingFile")->bytes().data();
}

QString caption(const TFormMain& window) {
    return child<QLabel>(window, "pnlEditingFile")->text();
}

QString fileName(const Opened& t, int row) {
    const Text& name = t.window->model().document().topLevel(row)->item().FileName;
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

QByteArray editFiles(const QStringList& names) {
    QByteArray mod;
    for (const QString& name : names)
        mod += "<edit file>\r\n" + name.toUtf8() +
               "\r\n</edit file>\r\n<search for>\r\nx\r\n</search for>\r\n"
               "<replace>\r\ny\r\n</replace>\r\n";
    return mod;
}

} // namespace

class EditingFileTest : public QObject {
    Q_OBJECT

private slots:
    void eachGroupShowsItsForumFile();
    void movingInsideAGroupLoadsOnlyAnEmptyView();
    void showingThePageLoadsTheSelectionsFile();
    void filesThatAreNotShownSayWhy();
    void namesThatCannotExistSayWhy();
    void browsingWritesTheRelativeName();
    void browsingNeedsAnEditFileNodeAndAForum();
    void searchForSelectionWritesStepsBesideTheFile();
};

void EditingFileTest::eachGroupShowsItsForumFile() {
    Opened t(fileBytes(kShared + QStringLiteral("/realmods/apache24_fix_2.mod")));
    t.window->setForumScriptLocation(kForum + QStringLiteral("/YaBB.pl"));
    const int groups = t.tree->model()->rowCount();
    QCOMPARE(groups, 13);
    for (int row = 0; row < groups; ++row) {
        t.click(t.index(row));
        const QString path = kForum + QLatin1Char('/') + fileName(t, row);
        QCOMPARE(caption(*t.window), path);
        QCOMPARE(viewBytes(*t.window), fileBytes(path));
    }
    // A search action of another group shows its own group's file.
    t.click(t.index(2, 3));
    QCOMPARE(caption(*t.window), kForum + QStringLiteral("/Sources/Subs.pm"));
    QCOMPARE(viewBytes(*t.window), fileBytes(kForum + QStringLiteral("/Sources/Subs.pm")));

    // A new node gets its name typed; it is looked for when next selected.
    command(*t.window, "actAddEditFile")->trigger();
    QCOMPARE(caption(*t.window), QStringLiteral("No forum file: the edit-file node names none."));
    QTest::keyClicks(child<QLineEdit>(*t.window, "memFileToEdit"),
                     QStringLiteral("Sources/Post.pl"));
    t.click(t.index(0));
    t.click(t.index(groups));
    QCOMPARE(caption(*t.window), QStringLiteral("File not found: Sources/Post.pl"));
    QVERIFY(viewBytes(*t.window).isEmpty());

    t.click(t.index(1));
    QVERIFY(!viewBytes(*t.window).isEmpty());
    command(*t.window, "actNew")->trigger();
    t.prompts.saveAnswers << QMessageBox::No;
    command(*t.window, "actNew")->trigger();
    QVERIFY(viewBytes(*t.window).isEmpty());
    QCOMPARE(caption(*t.window), QStringLiteral("No forum file is shown."));
    QVERIFY(t.prompts.errors.isEmpty());
}

void EditingFileTest::movingInsideAGroupLoadsOnlyAnEmptyView() {
    Opened t(fileBytes(kShared + QStringLiteral("/realmods/apache24_fix_2.mod")));
    t.window->setForumScriptLocation(kForum + QStringLiteral("/YaBB.pl"));
    // Opening loads nothing; the first move, even inside the group that the
    // read selected, does.
    const Node* read = t.window->selectedNode();
    const Node* group = read->parent() ? read->parent() : read;
    QVERIFY(viewBytes(*t.window).isEmpty());
    t.click(read == group ? t.index(group->row(), 0) : t.index(group->row()));
    const char* loaded = viewData(*t.window);
    QVERIFY(loaded);
    t.click(t.index(group->row()));
    QCOMPARE(viewData(*t.window), loaded);

    // Once loaded, moving inside a group keeps the view as it is.
    t.click(t.index(1));
    loaded = viewData(*t.window);
    for (int action = 0; action < 8; ++action) {
        t.click(t.index(1, action));
        QCOMPARE(viewData(*t.window), loaded);
    }
    t.click(t.index(2, 0));
    QCOMPARE(caption(*t.window), kForum + QStringLiteral("/Sources/Subs.pm"));
}

void EditingFileTest::showingThePageLoadsTheSelectionsFile() {
    Opened t(fileBytes(kShared + QStringLiteral("/realmods/apache24_fix_2.mod")));
    t.window->setForumScriptLocation(kForum + QStringLiteral("/YaBB.pl"));
    const auto groupFile = [&] {
        const Node* node = t.window->selectedNode();
        return kForum + QLatin1Char('/') +
               fileName(t, (node->parent() ? node->parent() : node)->row());
    };
    showPage(*t.window, "tsEditingFile");
    QCOMPARE(caption(*t.window), groupFile());
    QCOMPARE(viewBytes(*t.window), fileBytes(groupFile()));

    // A mod opened while the page shows shows its own file at once.
    const QString other = t.dir.filePath(QStringLiteral("other.mod"));
    writeFile(other, editFiles({QStringLiteral("Sources/Subs.pm")}));
    t.prompts.openAnswers << other;
    command(*t.window, "actOpen")->trigger();
    QCOMPARE(t.window->currentFileName(), other);
    QCOMPARE(caption(*t.window), kForum + QStringLiteral("/Sources/Subs.pm"));
}

void EditingFileTest::filesThatAreNotShownSayWhy() {
    QTemporaryDir forum;
    QDir(forum.path()).mkpath(QStringLiteral("Sources"));
    const QString post = forum.filePath(QStringLiteral("Sources/Post.pl"));
    writeFile(post, "print \"caf\xe9\";\r\n");
    writeFile(forum.filePath(QStringLiteral("bin.gif")), QByteArray("GIF89a\0\0", 8));
    QFile big(forum.filePath(QStringLiteral("big.pl")));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(65) << 20)); // sparse
    big.close();
    // A file the system lists as regular but fails to read.
    const QString mem = forum.filePath(QStringLiteral("mem.pl"));
    QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), mem));

    Opened t(editFiles({"Sources/Post.pl", "bin.gif", "big.pl", "SOURCES/post.PL",
                        "Sources/Missing.pl", "", "mem.pl"}));
    t.window->setForumScriptLocation(forum.filePath(QStringLiteral("YaBB.pl")));
    const std::pair<int, QString> rows[] = {
        {0, post},
        {1, QStringLiteral("bin.gif is not shown. It holds NUL bytes, so it is not a text file.")},
        {2, QStringLiteral("big.pl is not shown. It is larger than 64 MiB.")},
        {3, post}, // found in another letter case, as on the system mods come from
        {4, QStringLiteral("File not found: Sources/Missing.pl")},
        {5, QStringLiteral("No forum file: the edit-file node names none.")},
        {0, post},
        {6, post}, // unreadable: reported, and the view keeps its text
    };
    for (const auto& [row, expected] : rows) {
        t.click(t.index(row));
        QCOMPARE(caption(*t.window), expected);
        QCOMPARE(viewBytes(*t.window), expected == post ? fileBytes(post) : QByteArray());
    }
    QCOMPARE(
        t.prompts.errors,
        QStringList{QStringLiteral("Cannot read the file \"%1\".\nInput/output error.").arg(mem)});
    // Not UTF-8 throughout, so shown as Windows-1252.
    QCOMPARE(child<PlainTextView>(*t.window, "memEditingFile")->lineText(0),
             QStringLiteral("print \"caf\u00e9\";"));

    t.window->setForumScriptLocation({});
    t.click(t.index(0));
    QCOMPARE(caption(*t.window),
             QStringLiteral("Sources/Post.pl is not shown: the forum script location is not set."));
    QVERIFY(viewBytes(*t.window).isEmpty());
}

// Names no file can have (60,000 folders deep, folders that are links round
// in a loop) open, empty the view and say why in its caption, with no box.
void EditingFileTest::namesThatCannotExistSayWhy() {
    QTemporaryDir forum;
    QVERIFY(QFile::link(QStringLiteral("loop"), forum.filePath(QStringLiteral("loop"))));
    const QString deep = QStringLiteral("a/").repeated(60000) + QStringLiteral("x.pl");
    Opened t(editFiles({QStringLiteral("Sources/Post.pl"), deep, QStringLiteral("loop/x.pl")}));
    t.window->setForumScriptLocation(forum.filePath(QStringLiteral("YaBB.pl")));
    const QString reasons[] = {QStringLiteral("longer than this system allows"),
                               QStringLiteral("links that lead round in a loop")};
    for (int row = 1; row <= 2; ++row) {
        t.click(t.index(row));
        const QString shown = caption(*t.window);
        QVERIFY2(shown.startsWith(QStringLiteral("File not found: ")) &&
                     shown.contains(QStringLiteral("No file can have this name")) &&
                     shown.contains(reasons[row - 1]) && shown.size() < 400,
                 qPrintable(shown.left(400)));
        QVERIFY(viewBytes(*t.window).isEmpty());
    }
    QCOMPARE(t.prompts.errors, QStringList());
}

void EditingFileTest::browsingWritesTheRelativeName() {
    Opened t(fileBytes(kShared + QStringLiteral("/realmods/apache24_fix_2.mod")));
    t.window->setForumScriptLocation(kForum + QStringLiteral("/YaBB.pl"));
    t.click(t.index(0));
    QVERIFY(!t.window->isModified());

    const struct {
        QString chosen;
        QString written;
    } cases[] = {
        {kForum + QStringLiteral("/Sources/Subs.pm"), QStringLiteral("Sources/Subs.pm")},
        {kForum + QStringLiteral("/YaBB.pl"), QStringLiteral("YaBB.pl")},
    };
    auto* field = child<QLineEdit>(*t.window, "memFileToEdit");
    for (const auto& c : cases) {
        t.prompts.openAnswers << c.chosen;
        command(*t.window, "actBrowseFileToEdit")->trigger();
        QCOMPARE(t.prompts.openDialogs.last().directory, kForum + QLatin1Char('/'));
        QCOMPARE(field->text(), c.written);
        QCOMPARE(t.index(0).data().toString(), QStringLiteral("<edit file>") + c.written);
        QCOMPARE(fileName(t, 0), c.written);
        QVERIFY(t.window->isModified());
        QCOMPARE(caption(*t.window), c.chosen);
        QCOMPARE(viewBytes(*t.window), fileBytes(c.chosen));
    }
    // A file outside the forum folder, which YaBB's installer would refuse:
    // said so, and the choice is offered again, here cancelled.
    const qsizetype dialogs = t.prompts.openDialogs.size();
    t.prompts.openAnswers << kShared + QStringLiteral("/realmods/add_Dutch_language.mod");
    command(*t.window, "actBrowseFileToEdit")->trigger();
    QCOMPARE(t.prompts.openDialogs.size(), dialogs + 2);
    QCOMPARE(t.prompts.messages.size(), 1);
    QVERIFY2(t.prompts.messages.last().contains(QStringLiteral("outside the forum folder")),
             qPrintable(t.prompts.messages.last()));
    QCOMPARE(field->text(), cases[1].written);
    t.prompts.openAnswers << kShared + QStringLiteral("/realmods/add_Dutch_language.mod")
                          << kForum + QStringLiteral("/Sources/Subs.pm");
    command(*t.window, "actBrowseFileToEdit")->trigger();
    QCOMPARE(field->text(), cases[0].written);
    // Cancelled: nothing changes.
    command(*t.window, "actBrowseFileToEdit")->trigger();
    QCOMPARE(field->text(), cases[0].written);
    // Later Open dialogs start in the forum folder.
    command(*t.window, "actOpen")->trigger();
    QCOMPARE(t.prompts.openDialogs.last().directory, kForum + QLatin1Char('/'));
}

void EditingFileTest::browsingNeedsAnEditFileNodeAndAForum() {
    Opened t(fileBytes(kShared + QStringLiteral("/realmods/apache24_fix_2.mod")));
    QAction* browse = command(*t.window, "actBrowseFileToEdit");
    const QString location = kForum + QStringLiteral("/YaBB.pl");
    const struct {
        QModelIndex selected;
        QString location;
        bool enabled;
    } cases[] = {
        {t.index(0), location, true},
        {t.index(0), QString(), false},
        {t.index(1, 2), location, false},
        {QModelIndex(), location, false},
    };
    for (const auto& c : cases) {
        t.window->setForumScriptLocation(c.location);
        t.tree->selectionModel()->setCurrentIndex(c.selected, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(browse->isEnabled(), c.enabled);
        browse->trigger();
    }
    QCOMPARE(t.prompts.openDialogs.size(), 1);
}

// With the forum file beside the step editor, its selected lines, whole and
// without the last line break, become the search text of a new step of the
// chosen kind or of the selected step; Go to Line leads there by keys.
void EditingFileTest::searchForSelectionWritesStepsBesideTheFile() {
    Opened t(editFiles({QStringLiteral("Sources/Subs.pm")}));
    t.window->setForumScriptLocation(kForum + QStringLiteral("/YaBB.pl"));
    t.click(t.index(0));
    QTest::keyClick(t.window.get(), Qt::Key_F8);
    auto* view = child<PlainTextView>(*t.window, "memEditingFile");
    QVERIFY(view->isVisible());
    QCOMPARE(caption(*t.window), kForum + QStringLiteral("/Sources/Subs.pm"));
    const auto step = [&](int row) { return t.window->model().document().topLevel(0)->child(row); };
    const auto lines = [&](int first, int last) {
        QStringList text;
        for (int line = first; line <= last; ++line)
            text << view->lineText(line);
        return text.join(QStringLiteral("\r\n")).toStdString();
    };

    t.prompts.lineAnswers << 20;
    QTest::keyClick(t.window.get(), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(t.window->focusWidget(), view);
    QCOMPARE(view->cursorPosition().line, 19);
    // From inside line 20 to inside line 21, chosen as a new add-after step.
    view->setSelection(19, 2, 20, 1);
    t.prompts.choiceAnswers << 2;
    QTest::keyClick(view, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(t.prompts.menus.last().size(), 3);
    QCOMPARE(t.window->model().document().topLevel(0)->childCount(), 2);
    QCOMPARE(step(1)->kind(), akSearchAddAfter);
    QCOMPARE(step(1)->item().SearchText.str(), lines(19, 20));
    QCOMPARE(t.tree->currentIndex(), t.index(0, 1));
    QCOMPARE(t.window->focusWidget(), child<QPlainTextEdit>(*t.window, "memAndAction"));

    // The selected step's own search text; a selection that ends where a line
    // starts leaves that line out.
    view->setFocus();
    view->setSelection(30, 4, 33, 0);
    t.prompts.choiceAnswers << 0;
    QTest::keyClick(view, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(t.prompts.menus.last().size(), 4);
    QCOMPARE(step(1)->item().SearchText.str(), lines(30, 32));
    QCOMPARE(child<QPlainTextEdit>(*t.window, "memSearch")->toPlainText(),
             QString::fromStdString(lines(30, 32)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    command(*t.window, "actUndo")->trigger();
    QCOMPARE(step(1)->item().SearchText.str(), lines(19, 20));
    command(*t.window, "actUndo")->trigger();
    QCOMPARE(t.window->model().document().topLevel(0)->childCount(), 1);
}

QTEST_MAIN(EditingFileTest)
#include "test_editing_file.moc"
