// TFormMain's creation, start-up and shut-down, and the image list that its
// menus, tool bars and tree share.
#include "main_window.h"

#include "about_page.h"
#include "settings_mapping.h"
#include "widgets/action_tree_view.h"
#include "widgets/plain_text_view.h"

#include "forum/name_lookup.h"
#include "forum/path_cfg.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUndoStack>

#include <array>

// Resources compiled into a static library are registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(icons);
}

namespace torvale {

namespace {

// Image-list slots and their pictures; slot 15 is the font button of the
// options dialog.
constexpr std::array<const char*, 19> kImageList = {
    "edit-file", "search-replace", "add-before", "add-after", "add-action", "delete-action", "new",
    "open",      "save",           "print",      "browse",    "undo",       "cut",           "copy",
    "paste",     "font",           "search",     "replace",   "redo"};

} // namespace

QIcon TFormMain::imageListIcon(int slot) {
    initResources();
    static const std::vector<QIcon> icons = [] {
        std::vector<QIcon> list;
        for (const char* name : kImageList)
            list.emplace_back(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
        return list;
    }();
    if (slot < 0 || std::size_t(slot) >= icons.size())
        return {};
    return icons[std::size_t(slot)];
}

TFormMain::TFormMain(UserPrompts* prompts, const WindowOptions& options, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts ? prompts : &defaultPrompts_), mod_(new OpenMod(this)),
      model_(new ActionTreeModel(*mod_, this)), settingsFile_(options.settingsFile),
      association_(options.association), programPath_(QCoreApplication::applicationFilePath()) {
    initResources();
    // With no settings file the editor shows this desktop's fixed-width font.
    settings_.Editor_Font = desktopEditorFont();
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Torvale"));
    QIcon appIcon;
    for (const char* file :
         {"torvale", "torvale-32", "torvale-48", "torvale-64", "torvale-128", "torvale-256"})
        appIcon.addFile(QStringLiteral(":/icons/%1.png").arg(QLatin1String(file)));
    setWindowIcon(appIcon);
    model_->setKindIcons({imageListIcon(akEditFile), imageListIcon(akSearchReplace),
                          imageListIcon(akSearchAddBefore), imageListIcon(akSearchAddAfter)});

    createCommands();
    createHistory();
    createRecovery();
    createPages();
    createToolBarsAndMenus();
    createStatusBar();
    createCheckPanels();
    createForumFileCommands();
    createForumLinesCommand();
    createStepResultView();
    applyWindowBounds();
    FormCreate();
}

TFormMain::~TFormMain() {
    FormDestroy();
    // Closing the widget below moves the focus; by then there is nothing left
    // whose state could follow it.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    // A line edit that loses the focus as the window goes says its editing
    // finished, to a window that is no longer there.
    disconnect(memFileToEdit, nullptr, this, nullptr);
    // The open mod outlives the recovery writer, which goes first.
    disconnect(mod_, nullptr, this, nullptr);
    disconnect(mod_->history(), nullptr, this, nullptr);
    commands_.clear();
}

UserPrompts& TFormMain::prompts() const {
    return *prompts_;
}

void TFormMain::FormCreate() {
    // Files dropped from the desktop start new instances (see dropEvent).
    setAcceptDrops(true);
    programDir_ = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    static_cast<AboutPage*>(tsAbout)->setSettingsFile(settingsFile_);
    if (!settingsFile_.isEmpty() && QFileInfo::exists(settingsFile_)) {
        LoadSettings();
    } else {
        startAtComfortableSize();
        // Before any settings are stored, path.cfg beside the program may name
        // the forum script; everything else keeps its designed value.
        const QString pathCfg = programDir_ + QStringLiteral("path.cfg");
        if (QFileInfo::exists(pathCfg)) {
            const PathCfg cfg = LoadFrom_path_cfg(QFile::encodeName(programDir_).toStdString());
            if (cfg.ok)
                settings_.YaBB = cfg.location;
            else
                prompts().showError(this, QStringLiteral("The forum script location is not set: "
                                                         "\"%1\" cannot be used.\n%2")
                                              .arg(QDir::toNativeSeparators(pathCfg),
                                                   QString::fromStdString(cfg.error)));
        }
    }
    AutoFillInfo();
    emptyEditingFile({});
    SetInputFieldEnabled();
    updateCommandStates();
}

void TFormMain::openCommandLine(const QStringList& arguments) {
    if (arguments.isEmpty() || arguments.constFirst().isEmpty())
        return;
    // The name as typed may differ in letter case from the one on disk.
    const QString path = QFileInfo(arguments.constFirst()).absoluteFilePath();
    CheckModifiedAndOpen(QFile::decodeName(
        QByteArray::fromStdString(ExpandShortName(QFile::encodeName(path).toStdString()))));
}

// The modified flag says whether the document differs from what was last
// opened or saved; showing the window changes neither, so it is left alone.
void TFormMain::FormShow() {}

void TFormMain::FormDestroy() {
    if (!settingsFile_.isEmpty())
        SaveSettings();
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

} // namespace torvale
