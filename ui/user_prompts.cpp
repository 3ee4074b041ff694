#include "user_prompts.h"

#include "widgets/font_color_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMenu>
#include <QProcess>
#include <QPushButton>

namespace torvale {

QMessageBox::StandardButton UserPrompts::confirmSave(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Confirmation"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    // The close box counts as Cancel.
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
        return QMessageBox::Cancel;
    return QMessageBox::StandardButton(answer);
}

void UserPrompts::showMessage(QWidget* parent, const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.setInformativeText(detail);
    if (!detail.isEmpty()) {
        // A short message would make the box as narrow, and the detail wrap
        // at every few words.
        auto* grid = qobject_cast<QGridLayout*>(box.layout());
        if (grid)
            grid->addItem(new QSpacerItem(box.fontMetrics().averageCharWidth() * 60, 0),
                          grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

void UserPrompts::showError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

QMessageBox::StandardButton UserPrompts::offerRecovery(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text,
                    QMessageBox::NoButton, parent);
    QPushButton* recover = box.addButton(QStringLiteral("&Recover"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QMessageBox::Discard);
    // Escape and the close box keep the copy for the next start.
    QPushButton* later = box.addButton(QStringLiteral("&Later"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == recover)
        return QMessageBox::Yes;
    return box.clickedButton() == discard ? QMessageBox::Discard : QMessageBox::Cancel;
}

bool UserPrompts::confirmOverwrite(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Confirmation"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool UserPrompts::confirmSaveAnyway(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text,
                    QMessageBox::NoButton, parent);
    QPushButton* save = box.addButton(QStringLiteral("&Save anyway"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    // The safe answer is the one a hasty Enter gives.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == save;
}

namespace {

QString runFileDialog(QWidget* parent, const UserPrompts::FileDialogOptions& options,
                      QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, options.caption, options.directory, options.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (!options.selectedName.isEmpty())
        dialog.selectFile(options.selectedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString UserPrompts::openFileName(QWidget* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, QFileDialog::AcceptOpen);
}

QString UserPrompts::saveFileName(QWidget* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, QFileDialog::AcceptSave);
}

QString UserPrompts::existingFolder(QWidget* parent, const QString& caption, const QString& directory) {
    return QFileDialog::getExistingDirectory(parent, caption, directory);
}

bool UserPrompts::chooseFont(QWidget* parent, QFont& font, QColor& color) {
    FontColorDialog dialog(font, color, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.selectedFont();
    color = dialog.selectedColor();
    return true;
}

bool UserPrompts::convertToUtf8(QWidget* parent, const QStringList& characters) {
    const QString quoted =
        QLatin1Char('"') + characters.join(QStringLiteral("\", \"")) + QLatin1Char('"');
    QMessageBox box(QMessageBox::Question, QStringLiteral("Encoding"),
                    QStringLiteral("This mod is saved as Windows-1252, which cannot hold %1.\n\n"
                                   "Convert the whole mod to UTF-8, as YaBB 2.5 and later read "
                                   "it, or leave out what it cannot hold?")
                        .arg(quoted),
                    QMessageBox::NoButton, parent);
    QPushButton* convert =
        box.addButton(QStringLiteral("&Convert to UTF-8"), QMessageBox::AcceptRole);
    QPushButton* leaveOut = box.addButton(QStringLiteral("&Leave Out"), QMessageBox::RejectRole);
    box.setDefaultButton(convert);
    box.setEscapeButton(leaveOut);
    box.exec();
    return box.clickedButton() == convert;
}

int UserPrompts::askLineNumber(QWidget* parent, int lineCount, int current) {
    bool ok = false;
    const int line = QInputDialog::getInt(parent, QStringLiteral("Go to Line"),
                                          QStringLiteral("&Line (1 to %1):").arg(lineCount),
                                          current, 1, std::max(lineCount, 1), 1, &ok);
    return ok ? line : 0;
}

int UserPrompts::chooseFromMenu(QWidget* parent, const QStringList& choices, QPoint pos) {
    QMenu menu(parent);
    for (const QString& choice : choices)
        menu.addAction(choice);
    menu.setActiveAction(menu.actions().value(0));
    QAction* chosen = menu.exec(pos);
    return chosen ? int(menu.actions().indexOf(chosen)) : -1;
}

bool UserPrompts::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

} // namespace torvale
