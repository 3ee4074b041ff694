// Find and Replace as a user works them: Ctrl+F or Ctrl+R in a field, the
// text typed into the dialog, its buttons clicked.
#include "gui_support.h"

#include "ui/widgets/plain_text_view.h"
#include "ui/widgets/report_panel.h"
#include "ui/widgets/text_field.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

using namespace torvale;
using namespace torvale::test;

namespace {

// One search action whose search text is "x" and one line more.
QByteArray oneActionMod(const QByteArray& id, const QByteArray& searchLine) {
    return "<id>\r\n" + id +
           "\r\n</id>\r\n<edit file>\r\nA.pm\r\n</edit file>\r\n"
           "<search for>\r\nx\r\n" +
           searchLine + "\r\n</search for>\r\n<replace>\r\n</replace>";
}

struct FindWindow : Opened {
    explicit FindWindow(const QByteArray& mod) : Opened(mod) { click(index(0, 0)); }

    // Opens a dialog with its shortcut from the field, as a user does.
    QDialog* open(QWidget* field, Qt::Key key) {
        showPage(*window, field == preview()                                   ? "tsPreview"
                          : field == child<QWidget>(*window, "memDescription") ? "tsModProperty"
                                                                               : "tsModAction");
        field->setFocus();
        QTest::keyClick(window.get(), key, Qt::ControlModifier);
        auto* dialog =
            window->findChild<QDialog*>(key == Qt::Key_F ? "FindDialog" : "ReplaceDialog");
        if (!dialog || !QTest::qWaitForWindowActive(dialog))
            qWarning("the dialog did not come forward");
        return dialog;
    }
    void press(QDialog* dialog, const char* button, const QString& find, const QString& with = {}) {
        child<QLineEdit>(*dialog, "edtFindText")->setText(find);
        if (QLineEdit* replace = dialog->findChild<QLineEdit*>(QStringLiteral("edtReplaceText")))
            replace->setText(with);
        QTest::mouseClick(child<QPushButton>(*dialog, button), Qt::LeftButton);
    }
    PlainTextView* preview() const { return child<PlainTextView>(*window, "memPreview"); }
    QPlainTextEdit* search() const { return child<QPlainTextEdit>(*window, "memSearch"); }
};

QPair<qint64, qint64> selection(QWidget* field) {
    const TextField text(field);
    return {text.selectionStart(), text.selectionLength()};
}

} // namespace

class FindReplaceTest : public QObject {
    Q_OBJECT

private slots:
    void findNextWalksForwardWithoutWrapping_data();
    void findNextWalksForwardWithoutWrapping();
    void findMatchesCaseExactlyInsideWords();
    void replaceTakesTheFirstOccurrenceAndStoresIt();
    void replaceAllTakesEachOnceInOneStep();
    void replaceIsOffInTheReadOnlyViews();
    void nothingHappensOffTheTextFields();
    void findFromTheTreeSearchesTheLastField();
    void findInModListsEveryTextAndReplacesAllInOneStep();
    void dialogsKeepTheirTextsAndComeForward();
    void theDialogMovesOffWhatItFound();
};

void FindReplaceTest::findNextWalksForwardWithoutWrapping_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<qint64>("first");
    // "abc abc" in each kind of field; offsets count a line break as two.
    QTest::newRow("memSearch, second line") << "memSearch" << qint64(3);
    QTest::newRow("memFileToEdit") << "memFileToEdit" << qint64(0);
    QTest::newRow("memDescription") << "memDescription" << qint64(0);
    QTest::newRow("memPreview, after <id>") << "memPreview" << qint64(6);
}

void FindReplaceTest::findNextWalksForwardWithoutWrapping() {
    QFETCH(QString, field);
    QFETCH(qint64, first);
    FindWindow t(oneActionMod("abc abc", field == "memPreview" ? "other" : "abc abc"));
    if (field == "memDescription")
        child<QPlainTextEdit>(*t.window, "memDescription")->setPlainText(QStringLiteral("abc abc"));
    QWidget* target = child<QWidget>(*t.window, qPrintable(field));
    if (field == "memFileToEdit") {
        t.click(t.index(0));
        t.search()->clear();
        child<QLineEdit>(*t.window, "memFileToEdit")->setText(QStringLiteral("abc abc"));
    }
    QDialog* dialog = t.open(target, Qt::Key_F);
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QStringLiteral("FindDialog"));

    // The caret does not matter: with nothing selected the search starts at the top.
    TextField(target).select(first + 7, 0);
    t.press(dialog, "btnFindNext", QStringLiteral("abc"));
    QCOMPARE(selection(target), (QPair<qint64, qint64>{first, 3}));
    QCOMPARE(t.window->focusWidget(), target);
    t.press(dialog, "btnFindNext", QStringLiteral("abc"));
    QCOMPARE(selection(target), (QPair<qint64, qint64>{first + 4, 3}));
    QVERIFY(t.prompts.errors.isEmpty());
    t.press(dialog, "btnFindNext", QStringLiteral("abc"));
    QCOMPARE(selection(target), (QPair<qint64, qint64>{first + 4, 3}));
    // Past the last one, the same word in the views as in the fields.
    QCOMPARE(t.prompts.errors, QStringList(QStringLiteral("Could not find \"abc\" in this field.")));
}

// Find from the tree searches the text field or view that had the focus last.
void FindReplaceTest::findFromTheTreeSearchesTheLastField() {
    FindWindow t(oneActionMod("id", "cab abc"));
    t.search()->setFocus();
    t.tree->setFocus();
    QDialog* dialog = t.open(t.tree, Qt::Key_F);
    t.press(dialog, "btnFindNext", QStringLiteral("abc"));
    QCOMPARE(selection(t.search()), (QPair<qint64, qint64>{7, 3}));
    t.tree->setFocus();
    t.press(dialog, "btnFindNext", QStringLiteral("nowhere"));
    QCOMPARE(t.prompts.errors,
             QStringList(QStringLiteral("Could not find \"nowhere\" in this field.")));
}

void FindReplaceTest::findMatchesCaseExactlyInsideWords() {
    FindWindow t(oneActionMod("id", "cab abc"));
    QDialog* dialog = t.open(t.search(), Qt::Key_F);
    t.press(dialog, "btnFindNext", QStringLiteral("ABC"));
    QCOMPARE(selection(t.search()), (QPair<qint64, qint64>{0, 0}));
    t.press(dialog, "btnFindNext", QStringLiteral("ab"));
    QCOMPARE(selection(t.search()), (QPair<qint64, qint64>{4, 2}));
    // The dialog offers no choice of case, word or direction that it ignores.
    QCOMPARE(dialog->findChildren<QAbstractButton*>().size(), 2);
}

void FindReplaceTest::replaceTakesTheFirstOccurrenceAndStoresIt() {
    FindWindow t(oneActionMod("id", "abc abc"));
    QDialog* dialog = t.open(t.search(), Qt::Key_R);
    QCOMPARE(dialog->objectName(), QStringLiteral("ReplaceDialog"));
    TextField(t.search()).select(7, 3); // the second occurrence
    t.press(dialog, "btnReplace", QStringLiteral("abc"), QStringLiteral("abc!"));
    QCOMPARE(t.search()->toPlainText(), QStringLiteral("x\nabc! abc"));
    QCOMPARE(t.window->selectedNode()->item().SearchText, "x\r\nabc! abc");
    QVERIFY(t.window->isModified());
    // The replacement holds the search text: the same occurrence comes again.
    t.press(dialog, "btnReplace", QStringLiteral("abc"), QStringLiteral("abc!"));
    QCOMPARE(t.search()->toPlainText(), QStringLiteral("x\nabc!! abc"));

    t.press(dialog, "btnReplace", QStringLiteral("zzz"), QStringLiteral("y"));
    QCOMPARE(t.prompts.errors,
             QStringList{QStringLiteral("Could not find \"zzz\" in this field.")});
    QCOMPARE(t.search()->toPlainText(), QStringLiteral("x\nabc!! abc"));

    // In the description, through the property change.
    auto* description = child<QPlainTextEdit>(*t.window, "memDescription");
    t.prompts.saveAnswers << QMessageBox::No;
    command(*t.window, "actNew")->trigger();
    description->setPlainText(QStringLiteral("old words"));
    dialog = t.open(description, Qt::Key_R);
    t.press(dialog, "btnReplace", QStringLiteral("old"), QStringLiteral("new"));
    QCOMPARE(t.window->model().document().property(Property::ModInfo), "new words");
}

void FindReplaceTest::replaceAllTakesEachOnceInOneStep() {
    FindWindow t(oneActionMod("id", "abc abc abc"));
    QDialog* dialog = t.open(t.search(), Qt::Key_R);
    t.press(dialog, "btnReplaceAll", QStringLiteral("abc"), QStringLiteral("abcabc"));
    QCOMPARE(t.window->selectedNode()->item().SearchText, "x\r\nabcabc abcabc abcabc");
    QVERIFY(t.prompts.errors.isEmpty());
    command(*t.window, "actUndo")->trigger(); // one step of the document's history
    QCOMPARE(t.search()->toPlainText(), QStringLiteral("x\nabc abc abc"));
    t.press(dialog, "btnReplaceAll", QStringLiteral("x\r\n"), QString());
    QCOMPARE(t.search()->toPlainText(), QStringLiteral("abc abc abc"));
}

void FindReplaceTest::replaceIsOffInTheReadOnlyViews() {
    FindWindow t(oneActionMod("abc", "abc"));
    QDialog* dialog = t.open(t.search(), Qt::Key_R);
    QVERIFY(child<QPushButton>(*dialog, "btnReplace")->isEnabled() == false); // nothing typed
    child<QLineEdit>(*dialog, "edtFindText")->setText(QStringLiteral("abc"));
    QVERIFY(child<QPushButton>(*dialog, "btnReplace")->isEnabled());

    dialog = t.open(t.preview(), Qt::Key_R);
    QVERIFY(!command(*t.window, "actReplace")->isEnabled());
    QVERIFY(!child<QPushButton>(*dialog, "btnReplace")->isEnabled());
    QVERIFY(!child<QPushButton>(*dialog, "btnReplaceAll")->isEnabled());
    t.press(dialog, "btnFindNext", QStringLiteral("abc"));
    QCOMPARE(selection(t.preview()), (QPair<qint64, qint64>{6, 3}));
    QCOMPARE(t.preview()->selectedText(), QStringLiteral("abc"));
    QVERIFY(command(*t.window, "actSearch")->isEnabled());
}

void FindReplaceTest::nothingHappensOffTheTextFields() {
    FindWindow t(oneActionMod("abc", "abc"));
    auto* id = child<QLineEdit>(*t.window, "edtId");
    for (QWidget* focus : std::initializer_list<QWidget*>{t.tree, id}) {
        QDialog* dialog = t.open(focus, Qt::Key_R);
        id->setCursorPosition(3);
        t.press(dialog, "btnFindNext", QStringLiteral("abc"));
        t.press(dialog, "btnReplace", QStringLiteral("abc"), QStringLiteral("x"));
        t.press(dialog, "btnReplaceAll", QStringLiteral("abc"), QStringLiteral("x"));
        QCOMPARE(id->text(), QStringLiteral("abc"));
        QVERIFY(!id->hasSelectedText());
        QCOMPARE(t.search()->toPlainText(), QStringLiteral("x\nabc"));
    }
    QVERIFY(t.prompts.errors.isEmpty());
    QVERIFY(!t.window->isModified());
}

void FindReplaceTest::dialogsKeepTheirTextsAndComeForward() {
    FindWindow t(oneActionMod("id", "abc"));
    QDialog* dialog = t.open(t.search(), Qt::Key_F);
    t.press(dialog, "btnFindNext", QStringLiteral("ab"));
    QTest::mouseClick(child<QPushButton>(*dialog, "btnCancel"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(t.window.get()));
    QCOMPARE(t.open(t.search(), Qt::Key_F), dialog);
    QVERIFY(dialog->isVisible());
    auto* text = child<QLineEdit>(*dialog, "edtFindText");
    QCOMPARE(text->text(), QStringLiteral("ab"));
    QVERIFY(text->hasSelectedText());
    QCOMPARE(dialog->focusWidget(), text);
    // Open while it shows: the same one, brought forward.
    t.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.window.get()));
    QCOMPARE(t.open(t.search(), Qt::Key_F), dialog);
    QCOMPARE(t.window->findChildren<QDialog*>().size(), 1);
}

void FindReplaceTest::theDialogMovesOffWhatItFound() {
    FindWindow t(oneActionMod("abc", "abc"));
    t.window->move(100, 100);
    for (QWidget* field : {static_cast<QWidget*>(t.search()), static_cast<QWidget*>(t.preview())}) {
        QDialog* dialog = t.open(field, Qt::Key_F);
        // Over the top of the field, where the match will be.
        dialog->move(field->mapToGlobal(QPoint(0, 0)));
        t.press(dialog, "btnFindNext", QStringLiteral("abc"));
        QVERIFY(TextField(field).selectionLength() == 3);
        const QRect caret = field->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const QRect line(field->mapToGlobal(QPoint(0, caret.top())),
                         QSize(field->width(), caret.height()));
        QVERIFY2(!dialog->frameGeometry().intersects(line), field->objectName().toLatin1());
        dialog->close();
    }
}

// Find in Mod lists every occurrence in every text of the mod, leads to each,
// and Replace All changes the whole mod as one step.
void FindReplaceTest::findInModListsEveryTextAndReplacesAllInOneStep() {
    FindWindow t(twoFilesMod());
    QTest::keyClick(t.window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto* dialog = t.window->findChild<QDialog*>(QStringLiteral("FindInModDialog"));
    QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
    auto* find = child<QLineEdit>(*dialog, "edtFindInMod");
    auto* panel = child<ReportPanel>(*t.window, "pnlFindInMod");
    const auto findAll = [&](const QString& text) {
        find->setText(text);
        QTest::mouseClick(child<QPushButton>(*dialog, "btnFindAll"), Qt::LeftButton);
        QStringList listed;
        for (const auto& row : panel->report().rows())
            listed << row.entry.text;
        return listed;
    };
    const auto open = [&](int row) {
        QTreeView* view = panel->view();
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        // As the system sends one: a click, then the second press as a double click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    };

    QCOMPARE(findAll(QStringLiteral("A.pm")),
             QStringList({"Edit file 1, line 1: Sources/A.pm", "Step 1, search, line 1: Sources/A.pm#0",
                          "Step 2, search, line 1: Sources/A.pm#1"}));
    QCOMPARE(panel->summary(), QStringLiteral("3 occurrences of \"A.pm\" in the mod."));
    open(2);
    QCOMPARE(t.tree->currentIndex(), t.index(0, 1));
    QCOMPARE(t.window->focusWidget(), t.search());
    QCOMPARE(t.search()->textCursor().selectedText(), QStringLiteral("A.pm"));
    QCOMPARE(t.search()->textCursor().selectionStart(), 8);
    QCOMPARE(findAll(QStringLiteral("Two")), QStringList({"Mod Name, line 1: Two"}));
    open(0);
    QCOMPARE(child<QLineEdit>(*t.window, "edtId")->selectedText(), QStringLiteral("Two"));
    QCOMPARE(findAll(QStringLiteral("nowhere")), QStringList());
    QCOMPARE(panel->summary(), QStringLiteral("\"nowhere\" is nowhere in the mod."));

    // The same text again changes nothing, and is no step.
    find->setText(QStringLiteral("added"));
    child<QLineEdit>(*dialog, "edtReplaceInMod")->setText(QStringLiteral("added"));
    QTest::mouseClick(child<QPushButton>(*dialog, "btnReplaceAll"), Qt::LeftButton);
    QVERIFY(!t.window->isModified() && !command(*t.window, "actUndo")->isEnabled());

    child<QLineEdit>(*dialog, "edtReplaceInMod")->setText(QStringLiteral("put in"));
    QTest::mouseClick(child<QPushButton>(*dialog, "btnReplaceAll"), Qt::LeftButton);
    QCOMPARE(t.prompts.messages.last(), QStringLiteral("Replaced 5 occurrences of \"added\"."));
    const QString assembled = QString::fromStdString(t.window->openMod().assemble());
    QCOMPARE(assembled.count(QStringLiteral("put in")), 5);
    QCOMPARE(assembled.count(QStringLiteral("added")), 0);
    command(*t.window, "actUndo")->trigger();
    QCOMPARE(QString::fromStdString(t.window->openMod().assemble()).count(QStringLiteral("added")), 5);
    QVERIFY(!t.window->isModified());
}

QTEST_MAIN(FindReplaceTest)
#include "test_find_replace.moc"
