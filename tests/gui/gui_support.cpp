#include "gui_support.h"

#include "test_support.h"

#include "ui/widgets/action_tree_view.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>

#include <tuple>

namespace torvale::test {

QMessageBox::StandardButton ScriptedPrompts::confirmSave(QWidget*, const QString& text) {
    confirmTexts << text;
    return saveAnswers.isEmpty() ? QMessageBox::Cancel : saveAnswers.takeFirst();
}

void ScriptedPrompts::showMessage(QWidget*, const QString& text, const QString& detail) {
    messages << text;
    messageDetails << detail;
}

void ScriptedPrompts::showError(QWidget*, const QString& text) {
    errors << text;
}

QString ScriptedPrompts::openFileName(QWidget*, const FileDialogOptions& options) {
    openDialogs << options;
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
}

QString ScriptedPrompts::saveFileName(QWidget*, const FileDialogOptions& options) {
    saveDialogs << options;
    return saveAsAnswers.isEmpty() ? QString() : saveAsAnswers.takeFirst();
}

QString ScriptedPrompts::existingFolder(QWidget*, const QString&, const QString& directory) {
    folderDialogs << directory;
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}

bool ScriptedPrompts::chooseFont(QWidget*, QFont& font, QColor& color) {
    fontDialogs << std::pair(font, color);
    if (fontAnswers.isEmpty())
        return false;
    std::tie(font, color) = fontAnswers.takeFirst();
    return true;
}

bool ScriptedPrompts::convertToUtf8(QWidget*, const QStringList& characters) {
    convertQuestions << characters;
    if (whileAsking)
        whileAsking();
    return !convertAnswers.isEmpty() && convertAnswers.takeFirst();
}

int ScriptedPrompts::askLineNumber(QWidget*, int, int) {
    return lineAnswers.isEmpty() ? 0 : lineAnswers.takeFirst();
}

int ScriptedPrompts::chooseFromMenu(QWidget*, const QStringList& choices, QPoint) {
    menus << choices;
    return choiceAnswers.isEmpty() ? -1 : choiceAnswers.takeFirst();
}

bool ScriptedPrompts::startProgram(const QString& program, const QStringList& arguments) {
    started << (QStringList{program} + arguments);
    return true;
}

QMessageBox::StandardButton ScriptedPrompts::offerRecovery(QWidget*, const QString& text) {
    recoveryOffers << text;
    return recoveryAnswers.isEmpty() ? QMessageBox::Cancel : recoveryAnswers.takeFirst();
}

bool ScriptedPrompts::confirmOverwrite(QWidget*, const QString& text) {
    overwriteQuestions << text;
    return !overwriteAnswers.isEmpty() && overwriteAnswers.takeFirst();
}

bool ScriptedPrompts::confirmSaveAnyway(QWidget*, const QString& text) {
    saveAnywayQuestions << text;
    return !saveAnywayAnswers.isEmpty() && saveAnywayAnswers.takeFirst();
}

std::unique_ptr<TFormMain> makeWindow(ScriptedPrompts& prompts, const WindowOptions& options) {
    auto window = std::make_unique<TFormMain>(&prompts, options);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("the window did not become active");
    return window;
}

OpenWindow::OpenWindow(const QByteArray& mod, const QString& name) : path(dir.filePath(name)) {
    writeFile(path, mod);
    window = makeWindow(prompts);
    window->openCommandLine({path});
}

QString sharedFolder() {
    return QDir::cleanPath(QString::fromStdString(sharedDir().string()));
}

QString forumFolder() {
    return sharedFolder() + QStringLiteral("/forum/yabb2");
}

QByteArray twoFilesMod() {
    QByteArray text = "<id>\r\nTwo\r\n</id>\r\n";
    for (const char* file : {"Sources/A.pm", "Sources/B.pm"}) {
        text += QByteArray("<edit file>\r\n") + file + "\r\n</edit file>\r\n";
        const int actions = file[8] == 'A' ? 2 : 3;
        for (int i = 0; i < actions; ++i)
            text += QByteArray("<search for>\r\n") + file + "#" + QByteArray::number(i) +
                    "\r\n</search for>\r\n<add after>\r\nadded\r\n</add after>\r\n";
    }
    return text;
}

QByteArray manyFilesMod(int files) {
    QByteArray text;
    for (int i = 0; i < files; ++i)
        text += "<edit file>\r\nSources/F" + QByteArray::number(i) +
                ".pm\r\n</edit file>\r\n<search for>\r\nfind " + QByteArray::number(i) +
                "\r\n</search for>\r\n<replace>\r\nr\r\n</replace>\r\n";
    return text;
}

void showPage(QWidget& window, const char* page) {
    child<QTabWidget>(window, "PageControl1")->setCurrentWidget(child<QWidget>(window, page));
}

void drag(QWidget* viewport, QPoint from, const QList<QPoint>& path, int pauseMs,
          const std::function<void()>& beforeRelease) {
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    // Qt's views take the first move past the drag distance as the start of
    // a drag, and start it at the next one.
    const QPoint step(0, QApplication::startDragDistance() + 2);
    QTest::mouseMove(viewport, from + step);
    QTimer::singleShot(0, viewport, [=] {
        for (const QPoint& to : path) {
            QTest::mouseMove(viewport, to);
            if (pauseMs > 0)
                QTest::qWait(pauseMs);
        }
        if (beforeRelease)
            beforeRelease();
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, path.constLast());
    });
    QTest::mouseMove(viewport, from + 2 * step);
    QCoreApplication::processEvents(); // the rest of the path, had no drag started
}

QAction* command(const QWidget& window, const char* name) {
    return child<QAction>(window, name);
}

Opened::Opened(const QByteArray& mod) : OpenWindow(mod) {
    tree = child<ActionTreeView>(*window, "tvActions");
    child<QTabWidget>(*window, "PageControl1")
        ->setCurrentWidget(child<QWidget>(*window, "tsModAction"));
}

QModelIndex Opened::index(int row, int childRow) const {
    QModelIndex i = tree->model()->index(row, 0);
    return childRow < 0 ? i : tree->model()->index(childRow, 0, i);
}

void Opened::click(const QModelIndex& index) const {
    tree->scrollTo(index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
}

QString Opened::step() const {
    return child<QLabel>(*window, "StatusBarPanel0")->text();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray sampleMod() {
    return QByteArray::fromStdString(sampleModText());
}

} // namespace torvale::test
