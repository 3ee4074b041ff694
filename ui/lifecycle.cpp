// The document's lifecycle: new, open, save, the save prompt, the caption,
// the command line and files dropped on the window.
#include "main_window.h"

#include "check/reading_differences.h"

#include "settings_mapping.h"
#include "text_codec.h"
#include "widgets/action_tree_view.h"
#include "widgets/plain_text_view.h"

#include "document/file_io.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/read_findings.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
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

bool isTypingKey(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        return true;
    default:
        return !key->text().isEmpty() && key->text().front().isPrint() &&
               !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    }
}

} // namespace

// ---- Properties ------------------------------------------------------------

void TFormMain::ModPropertyChange() {
    for (QWidget* field :
         std::initializer_list<QWidget*>{edtId, edtVersion, memDescription, edtAuthor, edtHomepage})
        keepEncodable(field);
    const TextEncoding encoding = mod_->encoding();
    // Only the field that changed makes a step: the others hold their property.
    const std::pair<QString, Property> fields[] = {{edtId->text(), Property::Id},
                                                   {edtVersion->text(), Property::Version},
                                                   {editorText(memDescription), Property::ModInfo},
                                                   {edtAuthor->text(), Property::Author},
                                                   {edtHomepage->text(), Property::Homepage}};
    for (const auto& [text, property] : fields)
        mod_->setProperty(property, encodeText(text, encoding), typingKey_);
}

void TFormMain::showProperties() {
    const ModDocument& doc = mod_->document();
    const TextEncoding encoding = mod_->encoding();
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

// The defaults belong to the new document as it starts, not to its history:
// it stays clean, and no Undo takes them out again.
void TFormMain::AutoFillInfo() {
    const TextEncoding encoding = mod_->encoding();
    mod_->setStartingProperty(Property::Author,
                              encodeText(settingText(settings_.Your_Name), encoding));
    mod_->setStartingProperty(Property::Homepage,
                              encodeText(settingText(settings_.Your_Homepage), encoding));
    showProperties();
}

// ---- Caption and prompts ---------------------------------------------------

void TFormMain::UpdateCaption() {
    setWindowTitle(QStringLiteral("Torvale - ") + mod_->path());
}

QMessageBox::StandardButton TFormMain::ConfirmSaveOrNot() {
    const QString name = mod_->path().isEmpty() ? QStringLiteral("File") : mod_->path();
    return prompts().confirmSave(
        this, name + QStringLiteral(" has changed.\nDo you want to save the changes?"));
}

// True when the document may be dropped: it is clean, the user said No, or
// the user said Yes and it was saved.
bool TFormMain::saveBeforeDiscard() {
    if (!mod_->isModified())
        return true;
    switch (ConfirmSaveOrNot()) {
    case QMessageBox::Yes:
        actSaveExecute();
        return !mod_->isModified();
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
    SetInputFieldEnabled();
    AutoFillInfo();
    refreshShownPage();
}

void TFormMain::actOpenExecute() {
    UserPrompts::FileDialogOptions options;
    options.caption = QStringLiteral("Open");
    // The folder set by browsing for the file to edit, else the folder of
    // the file the dialog last held: opened, reopened or named on the
    // command line. Its name is emptied first.
    options.directory = openDialogDir_;
    if (options.directory.isEmpty() && !openDialogName_.isEmpty())
        options.directory = QFileInfo(openDialogName_).absolutePath();
    options.filter = kModFilter;
    options.defaultSuffix = QStringLiteral("mod");
    const QString path = prompts().openFileName(this, options);
    if (!path.isEmpty())
        CheckModifiedAndOpen(path);
}

void TFormMain::CheckModifiedAndOpen(const QString& path) {
    // The Open dialog's file name, whoever put it there, also when the user
    // then keeps the mod that is open.
    openDialogName_ = path;
    if (!saveBeforeDiscard())
        return;
    ClearAllValue();
    mod_->setPath(path);
    OpenFile();
    refreshShownPage();
}

void TFormMain::ClearAllValue() {
    setWindowTitle(QStringLiteral("Torvale"));
    loading_ = true;
    mod_->replace(ModDocument(), TextEncoding::Utf8, QString());
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
    const QString path = mod_->path();
    const std::string localPath = QFile::encodeName(path).toStdString();
    const FileBytes file = readFileBytes(localPath, kMaxModFileSize);
    if (!file.ok) {
        // Nothing was read, so there is nothing that Save could put back.
        mod_->setPath({});
        prompts().showError(
            this, QStringLiteral("Cannot open the file \"%1\".\n%2")
                      .arg(QDir::toNativeSeparators(path), QString::fromStdString(file.error)));
        return;
    }
    ModDocument doc;
    // The document's texts point into the bytes read.
    std::vector<Finding> findings;
    const ReadOutcome outcome = readMod(file.content, doc, findings);
    const TextEncoding encoding = detectEncoding(file.bytes());

    // The tree takes the whole document at once; the selection is made once
    // at the end, as it stands when a read has placed every node. Show what
    // a stopped read got, but never let a plain Save write that part over the
    // file it came from: the document is then untitled.
    loading_ = true;
    mod_->replace(std::move(doc), encoding, outcome.complete() ? path : QString(),
                  fileStamp(localPath), detectLineEnds(file.bytes()));
    showProperties();
    selectNode(outcome.selected);
    loading_ = false;
    // The installer reads the file's own bytes, by rules of its own.
    showReadFindings(findings, readingDifferences(file.bytes()));

    if (!outcome.complete()) {
        if (outcome.status == ReadOutcome::Status::MissingClosingTag)
            ErrorNotFound(outcome.missingTag,
                          QStringLiteral("The block that is not closed begins at line %1 of %2.")
                              .arg(outcome.stopLine)
                              .arg(QDir::toNativeSeparators(path)));
        else
            prompts().showMessage(this, QString::fromStdString(outcome.message));
        return;
    }
    tvActions->expandAll();
    UpdateCaption();
    AddMRU();
}

void TFormMain::ErrorNotFound(int index, const QString& detail) {
    prompts().showMessage(this, QString::fromStdString(notFoundMessage(index)), detail);
}

// ---- Assembly and pages ----------------------------------------------------

void TFormMain::AssembleMod() {
    preview_ = std::make_shared<const std::string>(mod_->assemble());
    memPreview->setText(preview_, mod_->encoding());
}

// The page showing shows the document, also when a new document replaced the
// old one under it: the Preview its assembled text, the EditingFile page the
// forum file of the selection, which a fresh document has not loaded yet.
void TFormMain::refreshShownPage() {
    QWidget* current = PageControl1->currentWidget();
    if (current == tsPreview)
        AssembleMod();
    else if (current == tsEditingFile)
        loadEditingFileIfNotLoaded();
}

void TFormMain::PageControl1Change() {
    refreshShownPage();
    if (PageControl1->currentWidget() == tsModAction)
        SetInputFieldEnabled();
    updateCommandStates();
}

// ---- Save ------------------------------------------------------------------

void TFormMain::actSaveExecute() {
    if (!mod_->isModified())
        return; // Save is disabled on a clean document, also when called directly
    if (mod_->path().isEmpty()) {
        actSaveAsExecute();
        return;
    }
    if (!mayOverwrite(mod_->path()))
        return;
    if (auto text = textToSave())
        saveTo(mod_->path(), std::move(text));
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
    auto text = textToSave();
    if (!text)
        return;
    lastSaveAsName_ = path;
    mod_->setPath(path);
    setWindowTitle(path + QStringLiteral(" - Torvale"));
    saveTo(path, std::move(text));
}

// A recovered document belongs to a file that may have changed since the
// copy was made; writing over such a file asks first.
bool TFormMain::mayOverwrite(const QString& path) {
    const auto& expected = mod_->stampToCheck();
    if (!expected || fileStamp(QFile::encodeName(path).toStdString()) == expected)
        return true;
    return prompts().confirmOverwrite(
        this, QStringLiteral("%1 has changed on disk since this mod was recovered.\n"
                             "Do you want to overwrite it?")
                  .arg(QDir::toNativeSeparators(path)));
}

// Writes the document's text to path; what was saved is what the Preview
// shows next.
bool TFormMain::saveTo(const QString& path, std::shared_ptr<const std::string> text) {
    if (!writeDocument(path, *text))
        return false;
    mod_->markSaved();
    preview_ = std::move(text);
    memPreview->setText(preview_, mod_->encoding());
    return true;
}

// The text goes to a temporary file beside the file, which replaces it only
// when all of it was written, so a failed save leaves the old file as it was.
bool TFormMain::writeDocument(const QString& path, const std::string& text) {
    QSaveFile file(path);
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
                                      .arg(QDir::toNativeSeparators(path), reason));
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
    case QEvent::KeyPress: {
        // A command's key that reaches a field belongs to a disabled command,
        // which does nothing: the field must not read it as its own.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isWindowShortcut(key))
            return true;
        // Keys typed into a field merge into one step of the history; what
        // changes a field otherwise (cut, paste, replace) is a step of its own.
        typingKey_ = isTypingKey(key);
        break;
    }
    case QEvent::KeyRelease:
        typingKey_ = false;
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
