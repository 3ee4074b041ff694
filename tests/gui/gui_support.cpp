#include "gui_support.h"

#include "test_support.h"

#include "ui/widgets/action_tree_view.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTabWidget>

namespace torvale::test {

QMessageBox::StandardButton ScriptedPrompts::confirmSave(QWidget*, const QString& text) {
    confirmTexts << text;
    return saveAnswers.isEmpty() ? QMessageBox::Cancel : saveAnswers.takeFirst();
}

void ScriptedPrompts::showMessage(QWidget*, const QString& text) {
    messages << text;
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

bool ScriptedPrompts::startProgram(const QString& program, const QStringList& arguments) {
    started << (QStringList{program} + arguments);
    return true;
}

std::unique_ptr<TFormMain> makeWindow(ScriptedPrompts& prompts) {
    auto window = std::make_unique<TFormMain>(&prompts);
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
