// The settings while the program runs: read into the window at start, written
// at the end, the Reopen submenu, and the Options command with the association.
#include "main_window.h"

#include "option_dialog.h"
#include "settings_mapping.h"
#include "widgets/plain_text_view.h"
#include "widgets/side_splitter.h"

#include "settings/installation.h"
#include "settings/recent_files.h"
#include "settings/settings_file.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>

#include <utility>

namespace torvale {

namespace {

std::filesystem::path localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString inWords(const std::string& reason) {
    return QString::fromLocal8Bit(reason.data(), qsizetype(reason.size()));
}

} // namespace

void TFormMain::LoadSettings() {
    TIniPlus ini(localPath(settingsFile_));
    if (const SettingsFileOutcome read = loadSettingsFile(ini); !read.error.empty()) {
        QString message = QStringLiteral("Cannot read the settings file \"%1\".\n%2\n")
                              .arg(QDir::toNativeSeparators(settingsFile_), inWords(read.error));
        if (!read.keptAs.empty())
            message += QStringLiteral("It is kept as \"%1\"; a new settings file is written "
                                      "when Torvale closes.\n")
                           .arg(QDir::toNativeSeparators(
                               QFile::decodeName(QByteArray::fromStdString(read.keptAs.string()))));
        prompts().showError(this, message + QStringLiteral("Torvale starts with its default settings."));
    }
    torvale::LoadSettings(ini, settings_, desktopEditorFont());
    Splitter1->setSideWidth(settings_.Tree_Width);
    applyEditorFont();
    applyWindowBounds();
}

void TFormMain::SaveSettings() {
    settings_.Tree_Width = Splitter1->sideWidth();
    // The bounds of the normal state, whatever the state is.
    const QRect bounds = normalGeometry();
    settings_.Left = bounds.x();
    settings_.Top = bounds.y();
    settings_.Width = bounds.width();
    settings_.Height = bounds.height();
    settings_.State = windowState() & Qt::WindowMinimized   ? wsMinimized
                      : windowState() & Qt::WindowMaximized ? wsMaximized
                                                            : wsNormal;
    // Read again, so that keys of others written meanwhile stay; a file that
    // cannot be read is set aside, never written over.
    const SettingsFileOutcome saved = saveSettingsFile(localPath(settingsFile_), settings_);
    if (saved.error.empty())
        return;
    QString message = QStringLiteral("Cannot save the settings file \"%1\" as it was.\n%2")
                          .arg(QDir::toNativeSeparators(settingsFile_), inWords(saved.error));
    if (!saved.keptAs.empty())
        message += QStringLiteral("\nThe file as it was is kept as \"%1\".")
                       .arg(QDir::toNativeSeparators(
                           QFile::decodeName(QByteArray::fromStdString(saved.keptAs.string()))));
    prompts().showError(this, message);
}

void TFormMain::applyWindowBounds() {
    // A hand-edited file must not leave the window without size, larger than
    // the desktop (its pixels are held in memory), or out of sight.
    constexpr QSize kDesigned(621, 574);
    constexpr int kFar = 1 << 16;
    QSize largest = kDesigned;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        largest = largest.expandedTo(screen->virtualSize());
    QRect bounds(std::clamp(settings_.Left, -kFar, kFar), std::clamp(settings_.Top, -kFar, kFar),
                 std::min(settings_.Width, largest.width()),
                 std::min(settings_.Height, largest.height()));
    if (bounds.width() <= 0 || bounds.height() <= 0)
        bounds.setSize(kDesigned);
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(bounds);
    if (!onScreen)
        bounds.moveTo(265, 244);
    setGeometry(bounds);
    switch (settings_.State) {
    case wsMinimized:
        setWindowState(Qt::WindowMinimized);
        break;
    case wsMaximized:
        setWindowState(Qt::WindowMaximized);
        break;
    default:
        setWindowState(Qt::WindowNoState);
    }
}

// With no settings yet, the window opens at about two thirds of the screen,
// centred on it: room for the tree and both texts. On a screen too small for
// that to be more than the designed size, the designed size stays.
void TFormMain::startAtComfortableSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize designed(settings_.Width, settings_.Height);
    const QSize twoThirds(available.width() * 2 / 3, available.height() * 2 / 3);
    if (twoThirds.width() <= designed.width() && twoThirds.height() <= designed.height())
        return;
    const QSize size = twoThirds.expandedTo(designed).boundedTo(available.size());
    QRect bounds(QPoint(), size);
    bounds.moveCenter(available.center());
    settings_.Left = bounds.x();
    settings_.Top = bounds.y();
    settings_.Width = bounds.width();
    settings_.Height = bounds.height();
    applyWindowBounds();
}

void TFormMain::applyEditorFont() {
    const QFont font = toQFont(settings_.Editor_Font);
    for (QWidget* field : std::initializer_list<QWidget*>{memSearch, memAndAction, memPreview,
                                                          memEditingFile, memDescription}) {
        field->setFont(font);
        QPalette colors = field->palette();
        const QColor color = toQColor(settings_.Editor_Font.color, QApplication::palette(field));
        colors.setColor(QPalette::Active, QPalette::Text, color);
        colors.setColor(QPalette::Inactive, QPalette::Text, color);
        field->setPalette(colors);
    }
    // Perl that mixes tabs and spaces lines up here as in the Preview.
    for (QPlainTextEdit* field : {memSearch, memAndAction, memDescription})
        field->setTabStopDistance(PlainTextView::tabStopDistance(font));
}

// ---- Recent files ----------------------------------------------------------

void TFormMain::AddMRU() {
    torvale::AddMRU(settings_.MRU, pathSetting(mod_->path()), settings_.MRU_Max_Number);
    keepSettings();
}

// A program that is killed never reaches its end: what the user changed is
// written at once, the whole file as at the end. Quietly: a file that cannot
// be written is named once, when the program closes.
void TFormMain::keepSettings() {
    if (settingsFile_.isEmpty())
        return;
    struct Quiet : UserPrompts {
        void showError(QWidget*, const QString&) override {}
    } quiet;
    UserPrompts* own = std::exchange(prompts_, &quiet);
    SaveSettings();
    prompts_ = own;
}

void TFormMain::mmiFileClick() {
    QAction* reopen = command("actReopen");
    if (!mmiReopen) {
        mmiReopen = new QMenu(this);
        mmiReopen->setObjectName(QStringLiteral("mmiReopen"));
    }
    mmiReopen->clear();
    if (settings_.MRU.empty()) {
        reopen->setMenu(static_cast<QMenu*>(nullptr)); // "Reopen" then does nothing
        return;
    }
    for (const std::string& entry : settings_.MRU) {
        const QString path = settingPath(entry);
        QString caption = path;
        // An ampersand would mark a shortcut key, a tab start a shortcut's text.
        caption.replace(QLatin1Char('&'), QStringLiteral("&&")).replace(QLatin1Char('\t'), ' ');
        QAction* item = mmiReopen->addAction(caption);
        connect(item, &QAction::triggered, this, [this, path] { MRUClick(path); });
    }
    reopen->setMenu(mmiReopen);
}

void TFormMain::MRUClick(const QString& path) {
    // A file that is gone fails to open like any other and keeps its entry.
    CheckModifiedAndOpen(path);
}

// ---- Options ---------------------------------------------------------------

void TFormMain::actOptionExecute() {
    const bool wasAssociated = settings_.Association;
    {
        TFormOption dialog(settings_, prompts(), this);
        if (dialog.exec() == QDialog::Accepted) {
            const std::string forum = settings_.YaBB;
            settings_ = dialog.settings();
            applyEditorFont();
            updateCommandStates(); // browsing for the file to edit needs the forum
            if (settings_.YaBB != forum && selectedNode()) {
                LoadEditingFile(selectedNode()); // the file now comes from another forum
                highlightSearchInEditingFile();
            }
        }
    }
    CheckMRU(settings_.MRU, settings_.MRU_Max_Number);
    keepSettings();
    if (settings_.Association == wasAssociated)
        return;

    if (!association_) {
        desktopAssociation_ = std::make_unique<FreedesktopAssociation>(
            XdgDirs::fromEnvironment(),
            usableInstalledDesktopId(pathSetting(programPath_), searchedDataDirs()));
        association_ = desktopAssociation_.get();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string error;
    if (settings_.Association)
        error = association_->WriteAssociation(modAssociationRequest(pathSetting(programPath_)));
    else
        association_->RemoveAssociation(".mod");
    QApplication::restoreOverrideCursor();
    // The setting keeps its new value: it records the user's choice.
    if (!error.empty())
        prompts().showError(this, QStringLiteral("Torvale could not be made the program that "
                                                 "opens .mod files.\n%1")
                                      .arg(inWords(error)));
}

} // namespace torvale
