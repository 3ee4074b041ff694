// The link to the forum installation: which forum file the EditingFile page
// shows, when a selection change reloads it, and browsing for the file to edit.
#include "main_window.h"

#include "settings_mapping.h"
#include "text_codec.h"
#include "widgets/plain_text_view.h"

#include "forum/forum_file.h"
#include "forum/name_lookup.h"
#include "forum/paths.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace torvale {

namespace {

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString shownPath(const std::string& path) {
    return QDir::toNativeSeparators(QFile::decodeName(QByteArray::fromStdString(path)));
}

// A name as a caption shows it: a hand-made one may be thousands of folders
// deep, and its middle says nothing.
QString captionName(const QString& name) {
    constexpr qsizetype kShown = 48;
    if (name.size() <= kShown)
        return name;
    return name.left(kShown / 2) + QChar(0x2026) + name.right(kShown / 2);
}

const Node* owningEditFile(const Node* node) {
    return node && node->parent() ? node->parent() : node;
}

} // namespace

QString TFormMain::forumScriptLocation() const {
    return settingPath(settings_.YaBB);
}

void TFormMain::setForumScriptLocation(const QString& location) {
    settings_.YaBB = localPath(location);
    updateCommandStates();
}

// Decides, as the selection moves from selected to next (nullptr: to
// nothing), whether the view is loaded again for the new selection.
void TFormMain::tvActionsChanging(const Node* selected, const Node* next) {
    if (loading_ || !selected)
        return;
    if (!next) {
        reload_ = true;
        return;
    }
    // Until the view is loaded for this document, moving inside one group
    // loads it too.
    reload_ = owningEditFile(next) != owningEditFile(selected) || !editingFileLoaded_;
}

void TFormMain::LoadEditingFile(const Node* node) {
    editingFileLoaded_ = true;
    const Node* editFile = owningEditFile(node);
    const QString name = decodeText(editFile->item().FileName, mod_->encoding());
    if (name.isEmpty()) {
        emptyEditingFile(QStringLiteral("No forum file: the edit-file node names none."));
        return;
    }
    if (settings_.YaBB.empty()) {
        emptyEditingFile(captionName(name) +
                         QStringLiteral(" is not shown: the forum script location is not set."));
        return;
    }
    const std::string directory = forumScriptDirectory(settings_.YaBB);
    showForumFile(resolveEditFile(directory, localPath(name)), name);
}

// Until a selection change has loaded the view for this document, showing
// the page loads the selection's forum file: a freshly opened mod should not
// wait for a click to show it.
void TFormMain::loadEditingFileIfNotLoaded() {
    if (editingFileLoaded_ || !selectedNode())
        return;
    LoadEditingFile(selectedNode());
    highlightSearchInEditingFile();
}

void TFormMain::showForumFile(const std::string& path, const QString& name) {
    ForumFile file = loadForumFile(path);
    switch (file.status) {
    case ForumFile::Status::Loaded:
        memEditingFile->setText(std::move(file.content), file.encoding);
        pnlEditingFile->setText(shownPath(path));
        break;
    case ForumFile::Status::NotFound:
        // With the reason when no file can have the name.
        emptyEditingFile(QStringLiteral("File not found: ") + captionName(name) +
                         (file.error.empty() ? QString()
                                             : QStringLiteral(". ") +
                                                   QString::fromStdString(file.error)));
        break;
    case ForumFile::Status::Refused:
        emptyEditingFile(captionName(name) + QStringLiteral(" is not shown. ") +
                         QString::fromStdString(file.error));
        break;
    case ForumFile::Status::Unreadable:
        // The view keeps what it showed, and its caption with it.
        prompts().showError(this, QStringLiteral("Cannot read the file \"%1\".\n%2")
                                      .arg(shownPath(path), QString::fromStdString(file.error)));
        return;
    }
    // Where the file is, or was looked for.
    pnlEditingFile->setToolTip(captionName(shownPath(path)));
}

void TFormMain::emptyEditingFile(const QString& why) {
    memEditingFile->clear();
    pnlEditingFile->setText(why.isEmpty() ? QStringLiteral("No forum file is shown.") : why);
    pnlEditingFile->setToolTip({});
}

void TFormMain::actBrowseFileToEditExecute() {
    if (!command("actBrowseFileToEdit")->isEnabled())
        return;
    const std::string location = localPath(QFileInfo(forumScriptLocation()).absoluteFilePath());
    UserPrompts::FileDialogOptions options;
    options.caption = QStringLiteral("Open");
    options.directory =
        QFile::decodeName(QByteArray::fromStdString(forumScriptDirectory(location)));
    // "*", not "*.*": here many forum files (.htaccess aside) have no dot.
    options.filter = QStringLiteral("All Files (*)");
    // Later Open dialogs start in the forum folder too.
    openDialogDir_ = options.directory;
    std::string chosenPath;
    QString name;
    // YaBB's installer refuses a name that climbs out of the forum folder.
    for (;;) {
        const QString chosen = prompts().openFileName(this, options);
        if (chosen.isEmpty())
            return;
        chosenPath = localPath(chosen);
        name = QFile::decodeName(
            QByteArray::fromStdString(fileNameOf(relativeToForum(chosenPath, location))));
        if (name != QLatin1String("..") && !name.startsWith(QLatin1String("../")))
            break;
        prompts().showMessage(this,
                              QStringLiteral("\"%1\" is outside the forum folder %2.")
                                  .arg(QDir::toNativeSeparators(chosen),
                                       QDir::toNativeSeparators(options.directory)),
                              QStringLiteral("YaBB's installer refuses a file name with \"../\" "
                                             "in it. Choose a file inside the forum folder."));
    }
    // The field's change handler stores the name, relabels the node and marks
    // the document modified, in a step of its own.
    typingKey_ = false;
    memFileToEdit->setText(name);
    showForumFile(chosenPath, name);
}

} // namespace torvale
