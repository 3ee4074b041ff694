// The document's lifecycle: new, open, save, the save prompt, the caption,
// the command line and files dropped on the window.
#include "main_window.h"

#include "text_codec.h"
#include "widgets/action_tree_view.h"
#include "widgets/plain_text_view.h"
#include "settings_mapping.h"

#include "document/file_io.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QTabWidget>

#include <cerrno>
#include <system_error>

namespace torvale {

namespace {

const QString kModFilter = QStringLiteral("mod file (*.mod)");

} // namespace

void TFormMain::setModified(bool modified) {
    modified_ = modified;
    updateCommandStates();
}

// ---- Properties ------------------------------------------------------------

void TFormMain::ModPropertyChange() {
    const TextEncoding encoding = model_->encoding();
    model_->setProperty(Property::Id, encodeText(edtId->text(), encoding));
    model_->setProperty(Property::Version, encodeText(edtVersion->text(), encoding));
    model_->setProperty(Property::ModInfo, encodeText(editorText(memDescription), encoding));
    model_->setProperty(Property::Author, encodeText(edtAuthor->text(), encoding));
    model_->setProperty(Property::Homepage, encodeText(edtHomepage->text(), encoding));
    setModified(true);
}

void TFormMain::showProperties() {
    const ModDocument& doc = model_->document();
    const TextEncoding encoding = model_->encoding();
    const std::pair<QLineEdit*, Property> lines[] = {{edtId, Property::Id},
                                                     {edtVersion, Property::Version},
                                                     {edtAuthor, Property::Author},
                                                     {edtHomepage, Property::Homepage}};
    for (const auto& [field, property] : lines) {
        const QSignalBlocker blocker(field);
        field->setText(decodeText(doc.property(property), encoding));
    }
    const QSignalBlocker blocker(memDescription);
    memDescription->setPlainText(decodeText(doc.property(Property::ModInfo), encoding));
}

void TFormMain::AutoFillInfo() {
    const TextEncoding encoding = model_->encoding();
    model_->setProperty(Property::Author, encodeText(settingText(settings_.Your_Name), encoding));
    model_->setProperty(Property::Homepage,
                        encodeText(settingText(settings_.Your_Homepage), encoding));
    showProperties();
    setModified(false);
}

// ---- Caption and prompts ---------------------------------------------------

void TFormMain::UpdateCaption() {
    setWindowTitle(QStringLiteral("Torvale - ") + currentFileName_);
}

QMessageBox::StandardButton TFormMain::ConfirmSaveOrNot() {
    const QString name = currentFileName_.isEmpty() ? QStringLiteral("File") : currentFileName_;
    return prompts().confirmSave(
        this, name + QStringLiteral(" has changed.\nDo you want to save the changes?"));
}

// True when the document may be dropped: it is clean, the user said No, or
// the user said Yes and it was saved.
bool TFormMain::saveBeforeDiscard() {
    if (!modified_)
        return true;
    switch (ConfirmSaveOrNot()) {
    case QMessageBox::Yes:
        actSaveExecute();
        return !modified_;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

// ---- New and open ----------------------------------------------------------

void TFormMain::actNewExecute() {
    if (!saveBeforeDiscard())
        return;
    ClearAllValue();
    setModified(false);
    SetInputFieldEnabled();
    AutoFillInfo();
    refreshPreviewIfShown();
}

void TFormMain::actOpenExecute() {
    UserPrompts::FileDialogOptions options;
    options.caption = QStringLiteral("Open");
    options.directory = openDialogDir_;
    options.filter = kModFilter;
    options.defaultSuffix = QStringLiteral("mod");
    const QString path = prompts().openFileName(this, options);
    if (!path.isEmpty())
        CheckModifiedAndOpen(path);
}

void TFormMain::CheckModifiedAndOpen(const QString& path) {
    if (!saveBeforeDiscard())
        return;
    ClearAllValue();
    currentFileName_ = path;
    OpenFile();
    refreshPreviewIfShown();
}

void TFormMain::ClearAllValue() {
    setWindowTitle(QStringLiteral("Torvale"));
    currentFileName_.clear();
    loading_ = true;
    model_->resetDocument(ModDocument(), TextEncoding::Utf8);
    loading_ = false;
    showProperties();
    for (QWidget* field : std::initializer_list<QWidget*>{memFileToEdit, memSearch, memAndAction}) {
        const QSignalBlocker blocker(field);
        TextField(field).clear();
    }
    preview_.reset();
    memPreview->clear();
    emptyEditingFile({});
    editingFileLoaded_ = false;
}

void TFormMain::OpenFile() {
    const FileBytes file =
        readFileBytes(QFile::encodeName(currentFileName_).toStdString(), kMaxModFileSize);
    if (!file.ok) {
        const QString path = currentFileName_;
        // Nothing was read, so there is nothing that Save could put back.
        currentFileName_.clear();
        setModified(false);
        prompts().showError(
            this, QStringLiteral("Cannot open the file \"%1\".\n%2")
                      .arg(QDir::toNativeSeparators(path), QString::fromStdString(file.error)));
        return;
    }
    ModDocument doc;
    // The document's texts point into the bytes read.
    const ReadOutcome outcome = readMod(file.content, doc);
    const TextEncoding encoding = detectEncoding(file.bytes());

    // The tree takes the whole document at once; the selection is made once
    // at the end, as it stands when a read has placed every node.
    loading_ = true;
    model_->resetDocument(std::move(doc), encoding);
    showProperties();
    selectNode(outcome.selected);
    loading_ = false;

    if (!outcome.complete()) {
        // Show what was read, but never let a plain Save write that part over
        // the file it came from: the document becomes untitled and clean.
        currentFileName_.clear();
        setModified(false);
        if (outcome.status == ReadOutcome::Status::MissingClosingTag)
            ErrorNotFound(outcome.missingTag);
        else
            prompts().showMessage(this, QString::fromStdString(outcome.message));
        return;
    }
    tvActions->expandAll();
    UpdateCaption();
    setModified(false);
    AddMRU();
}

void TFormMain::ErrorNotFound(int index) {
    prompts().showMessage(this, QString::fromStdString(notFoundMessage(index)));
}

// ---- Assembly and pages ----------------------------------------------------

void TFormMain::AssembleMod() {
    preview_ = std::make_shared<const std::string>(assembleMod(model_->document()));
    memPreview->setText(preview_, model_->encoding());
}

// The Preview shows the document whenever it is showing, also when a new
// document replaced the old one under it.
void TFormMain::refreshPreviewIfShown() {
    if (PageControl1->currentWidget() == tsPreview)
        AssembleMod();
}

void TFormMain::PageControl1Change() {
    QWidget* current = PageControl1->currentWidget();
    if (current == tsPreview)
        AssembleMod();
    else if (current == tsModAction)
        SetInputFieldEnabled();
    updateCommandStates();
}

// ---- Save ------------------------------------------------------------------

void TFormMain::actSaveExecute() {
    if (!modified_)
        return; // Save is disabled on a clean document, also when called directly
    if (currentFileName_.isEmpty()) {
        actSaveAsExecute();
        return;
    }
    AssembleMod();
    if (writeDocument())
        setModified(false);
}

void TFormMain::actSaveAsExecute() {
    UserPrompts::FileDialogOptions options;
    options.caption = QStringLiteral("Save As");
    options.filter = kModFilter;
    options.defaultSuffix = QStringLiteral("mod");
    options.selectedName = lastSaveAsName_;
    if (!lastSaveAsName_.isEmpty())
        options.directory = QFileInfo(lastSaveAsName_).absolutePath();
    const QString path = prompts().saveFileName(this, options);
    if (path.isEmpty())
        return;
    lastSaveAsName_ = path;
    currentFileName_ = path;
    setWindowTitle(currentFileName_ + QStringLiteral(" - Torvale"));
    AssembleMod();
    if (writeDocument())
        setModified(false);
}

// Writes the last assembly to the current file. The text goes to a temporary
// file beside it, which replaces the file only when all of it was written, so
// a failed save leaves the old file as it was.
bool TFormMain::writeDocument() {
    QSaveFile file(currentFileName_);
    const std::string& text = *preview_;
    QString reason;
    bool ok = file.open(QIODevice::WriteOnly) &&
              file.write(text.data(), qint64(text.size())) == qint64(text.size());
    if (ok) {
        // QSaveFile::commit() ignores a flush that fails (a full disk, a file
        // size limit) and would put a cut file in place: flush first.
        errno = 0;
        ok = file.flush();
        if (!ok && errno != 0)
            reason = QString::fromStdString(std::generic_category().message(errno));
    }
    if (ok) {
        ok = file.commit();
    } else {
        if (reason.isEmpty())
            reason = file.errorString();
        file.cancelWriting();
    }
    if (!ok && reason.isEmpty())
        reason = file.errorString();
    if (!ok)
        prompts().showError(this, QStringLiteral("Cannot save the file \"%1\".\n%2")
                                      .arg(QDir::toNativeSeparators(currentFileName_), reason));
    return ok;
}

// ---- Closing ---------------------------------------------------------------

void TFormMain::actExitExecute() {
    close();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (saveBeforeDiscard())
        event->accept();
    else
        event->ignore();
}

// ---- Dropped files ---------------------------------------------------------

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    handleFileDrop(event);
}

void TFormMain::dropEvent(QDropEvent* event) {
    handleFileDrop(event);
}

// Files dropped anywhere on the window are not opened here: each starts a new
// instance of the program with the file's whole path as its one argument, so
// this window keeps its document.
bool TFormMain::handleFileDrop(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* mime = drop->mimeData();
    if (!mime || !mime->hasUrls())
        return false;
    QStringList files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    if (files.isEmpty())
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop)
        for (const QString& path : files)
            prompts().startProgram(programPath_, {path});
    return true;
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The window's shortcuts come before the text fields' own keys.
        if (isWindowShortcut(static_cast<QKeyEvent*>(event))) {
            event->ignore();
            return true;
        }
        break;
    case QEvent::KeyPress:
        // A command's key that reaches a field belongs to a disabled command,
        // which does nothing: the field must not read it as its own.
        if (isWindowShortcut(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (handleFileDrop(event))
            return true;
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace torvale
