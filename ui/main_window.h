// TFormMain: the one main window. It is a view of the open mod: the property
// fields and the action tree show the document that OpenMod owns, and every
// edit goes back into it at once, as a step that can be undone.
//
// The class is split by concern:
//   main_window.cpp   creation, start-up and shut-down, the image list
//   window_layout.cpp the pages, tool bars, menus and status bar
//   commands.cpp      the command table and when each command is enabled
//   lifecycle.cpp     new, open, save, the save prompt, caption, dropped files
//   tree_editing.cpp  the action tree: selection, live write-back, add, delete
//   editing_file.cpp  the forum file the selection edits, and browsing for it
//   window_settings.cpp the settings file, recent files, the Options command
//   history.cpp       undo and redo, and moving nodes by keyboard
//   recovery.cpp      the copies kept against a crash, and the offer at start
//   node_clipboard.cpp Cut, Copy, Paste and Duplicate of nodes as mod text
//   find_in_mod.cpp   Find in Mod and Replace All over every text of the mod
//   forum_file_commands.cpp line numbers, Go to Line, Search for Selection,
//                     the forum file beside the steps, Preview lines to nodes
//   step_result_view.cpp the forum file after the selected step, its change marked
//   edit_menu.cpp     the Edit menu
//   mod_check.cpp     what a read dropped, the check before a save, Test Mod
//                     against the forum, and the search text in the forum file
//   forum_lines.cpp   where a failed step's lines went, and Use the Forum's Lines
#pragma once

#include "action_tree_model.h"
#include "open_mod.h"
#include "user_prompts.h"
#include "widgets/action_tree_view.h"
#include "widgets/report_model.h"
#include "widgets/text_field.h"

#include "check/nearest_place.h"

#include "settings/file_association.h"
#include "settings/settings.h"

#include "document/find_in_mod.h"
#include "document/node_moves.h"
#include "document/recovery_writer.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <unordered_map>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;

namespace torvale {

class FindInModDialog;
class FindReplaceDialog;
class ReportPanel;
struct CheckReport;
struct StepCheck;
struct StepResult;
struct Finding;
struct ReadingDifference;
class PlainTextView;
class SideSplitter;
class SplitPane;

// When recovery copies are taken; tests shorten the waits.
struct RecoveryTiming {
    int delayMs = 2000;    // after the last change, so that typing writes no copies
    int longestMs = 30000; // at the longest after a change, however long typing goes on
    int retryMs = 10000;   // after a copy that could not be written
};

// What the window is given from outside, like its prompts.
struct WindowOptions {
    // The settings file, read at start when it exists and written at the end;
    // empty for none (tests and benchmarks that must not touch one).
    QString settingsFile;
    // Registers the program for .mod files; nullptr for this desktop's way.
    // The window does not own it.
    FileAssociation* association = nullptr;
};

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    // prompts answers the window's questions; nullptr asks the user. The
    // window does not own it.
    explicit TFormMain(UserPrompts* prompts = nullptr, const WindowOptions& options = {},
                       QWidget* parent = nullptr);
    ~TFormMain() override;

    // Opens the first argument, if any, as the start-up does; the rest are
    // ignored. arguments excludes the program's own name.
    void openCommandLine(const QStringList& arguments);

    // Offers the copies that ended programs left unsaved, then opens the
    // command line's file, as the program does when it starts.
    void startUp(const QStringList& arguments);
    // When recovery copies are taken from now on.
    void setRecoveryTiming(const RecoveryTiming& timing) { recoveryTiming_ = timing; }

    const QString& currentFileName() const { return mod_->path(); }
    bool isModified() const { return mod_->isModified(); }
    OpenMod& openMod() const { return *mod_; }
    const ActionTreeModel& model() const { return *model_; }
    Node* selectedNode() const;
    int GetStep() const;
    int GetTotalSteps() const;
    // Every setting the settings file keeps, as the window uses them now.
    const Settings& settings() const { return settings_; }
    const QString& settingsFile() const { return settingsFile_; }
    // The text of the last assembly, which Save writes.
    std::shared_ptr<const std::string> previewText() const { return preview_; }

    // The full path of the forum's YaBB.pl or YaBB.cgi; empty when not set.
    void setForumScriptLocation(const QString& location);
    QString forumScriptLocation() const;

    // The program that dropped files are opened with; the running one by default.
    void setProgramPath(const QString& path) { programPath_ = path; }

    // The picture of an image-list slot.
    static QIcon imageListIcon(int slot);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // main_window.cpp
    void FormCreate();
    void FormShow();
    void FormDestroy();
    UserPrompts& prompts() const;

    // window_layout.cpp
    void createPages();
    QWidget* createPropertyPage();
    QWidget* createActionPage();
    void createToolBarsAndMenus();
    void createEditMenu();
    void createStatusBar();
    // Every text field of the window, which share the edit commands and menu.
    std::vector<QWidget*> textFields() const;

    // commands.cpp
    void createCommands();
    QAction* command(const char* name) const;
    void updateCommandStates();
    TextField focusedTextField() const;
    // The standard edit commands, on the focused text field.
    void runEditCommand(TextField::EditCommand which);
    bool isWindowShortcut(const QKeyEvent* event) const;

    // lifecycle.cpp
    void actNewExecute();
    void actNewModFromChangesExecute();
    void actOpenExecute();
    void actSaveExecute();
    void actSaveAsExecute();
    void actExitExecute();
    QMessageBox::StandardButton ConfirmSaveOrNot();
    bool saveBeforeDiscard();
    void CheckModifiedAndOpen(const QString& path);
    void OpenFile();
    void ClearAllValue();
    void ErrorNotFound(int index, const QString& detail = {});
    void UpdateCaption();
    void AutoFillInfo();
    void ModPropertyChange();
    void AssembleMod();
    void PageControl1Change();
    void refreshShownPage();
    bool saveTo(const QString& path, std::shared_ptr<const std::string> text);
    bool writeDocument(const QString& path, const std::string& text);
    bool mayOverwrite(const QString& path);
    void showProperties();

    // find_replace.cpp
    TextField searchTarget() const;
    FindReplaceDialog* findReplaceDialog(bool replacing);
    void actSearchExecute();
    void actReplaceExecute();
    void findNext(FindReplaceDialog* dialog);
    void FindDialogFind();
    void ReplaceDialogFind();
    void ReplaceDialogReplace();
    void ReplaceDialogReplaceAll();
    void notFoundInField(QWidget* dialog, const QString& text);
    bool isSearchable(QWidget* widget) const;
    void noteFocus(QWidget* now);

    // mod_encoding.cpp
    void updateEncodingStatus();
    void keepEncodable(QWidget* field);
    void convertModToUtf8();
    void leaveOut(TextField field, const QStringList& characters);
    void createLineEndsStatus();
    // False when the status bar showed them already.
    bool showLineEnds();
    void convertModToLf();

    // tree_editing.cpp
    void tvActionsChange(const QModelIndex& current, const QModelIndex& previous);
    void showSelectedNode();
    void SaveRightNow();
    void SetInputFieldEnabled();
    void AddAction(int tag);
    void actDeleteActionExecute();
    void actSearchAndReplaceExecute(int tag);
    void actTreeFullExpandExecute();
    void actTreeFullCollapseExecute();
    void UpdateStepStatus();
    void selectNode(const Node* node);
    ActionTreeView::DropSpot dropSpot(const QModelIndex& dragged, const QModelIndex& target) const;
    void dropNode(Node* dragged, Node* target);
    bool handleFileDrop(QEvent* event);

    // node_clipboard.cpp
    bool treeHasFocus() const;
    void copyNode();
    void cutNode();
    void pasteNodes();
    void duplicateNode();
    QString encodableText(QString text);

    // find_in_mod.cpp
    void actFindInModExecute();
    void findInMod();
    void replaceAllInMod();
    void goToModHit(const QVariant& key);

    // forum_file_commands.cpp
    void createForumFileCommands();
    void showForumFileBeside(bool on);
    PlainTextView* lineView() const;
    void actGoToLineExecute();
    void actSearchForSelectionExecute();
    void selectNodeOfPreviewLine(int line);
    void showFileLineInPreview(int line);
    void showReportedLine(QPoint pos);

    // step_result_view.cpp
    void createStepResultView();
    bool showStepResult();
    void showDiskFile();
    void showFileLineOfStep(std::size_t line, bool onDisk);

    // history.cpp
    void createHistory();
    void showHistoryStep(const HistoryStep& step);
    void showSelectionAnew(bool groupChanged);
    void actMoveExecute(Direction where);
    std::optional<DropPlace> movePlace(Direction where) const;

    // recovery.cpp
    void createRecovery();
    bool offerRecovery(const QStringList& arguments);
    void scheduleRecoveryCopy();
    void keepRecoveryCopy();
    void recoveryCopyWritten(const QString& error);

    // mod_check.cpp
    void createCheckPanels();
    void showReadFindings(const std::vector<Finding>& findings,
                          const std::vector<ReadingDifference>& differences);
    std::shared_ptr<const std::string> textToSave();
    bool installerReadsAsShown(const std::string& text);
    void actTestModExecute();
    void showTestReport(const CheckReport& report);
    void goToReportedNode(const QVariant& key);
    void highlightSearchInEditingFile();

    // forum_lines.cpp
    void createForumLinesCommand();
    const Node* existingNode(const QVariant& key) const;
    void forgetNearestPlaces();
    void addNearestPlaceEntries(const StepCheck& step, const Node* node,
                                std::vector<ReportModel::Entry>& entries);
    const NearestPlace* nearestPlaceOf(const Node* node) const;
    void showNearestPlace(const Node* node);
    void actUseForumLinesExecute();

    // editing_file.cpp
    void tvActionsChanging(const Node* selected, const Node* next);
    void LoadEditingFile(const Node* node);
    void loadEditingFileIfNotLoaded();
    void showForumFile(const std::string& path, const QString& name);
    void emptyEditingFile(const QString& why);
    void actBrowseFileToEditExecute();

    // window_settings.cpp
    void LoadSettings();
    void SaveSettings();
    void applyWindowBounds();
    void startAtComfortableSize();
    void applyEditorFont();
    void AddMRU();
    void keepSettings();
    void mmiFileClick();
    void MRUClick(const QString& path);
    void actOptionExecute();

    UserPrompts defaultPrompts_;
    UserPrompts* prompts_;
    OpenMod* mod_;
    ActionTreeModel* model_;
    std::unique_ptr<RecoveryStore> recoveryStore_;
    std::unique_ptr<RecoveryWriter> recoveryWriter_;
    QTimer* recoveryTimer_ = nullptr;
    RecoveryTiming recoveryTiming_;
    // Runs from the first change that no copy holds yet.
    QElapsedTimer recoveryDue_;
    // What the status bar says of the copy that could not be written; empty
    // while copies are written.
    QString recoveryFailure_;

    // Program-wide state.
    QString programDir_;
    QString settingsFile_;
    // The one place that holds the settings while the program runs.
    Settings settings_;
    FileAssociation* association_;
    std::unique_ptr<FileAssociation> desktopAssociation_;
    // Whether the key being handled by a text field types into it.
    bool typingKey_ = false;
    // Set while the program itself fills or clears the tree: those selection
    // changes leave the reload decision as it was.
    bool loading_ = false;
    // Whether the selection change under way loads the file-to-edit view.
    bool reload_ = false;
    // Whether the view has been loaded since the document was made or opened.
    bool editingFileLoaded_ = false;
    bool shownOnce_ = false;
    QString openDialogDir_;
    QString openDialogName_; // the path the Open dialog last held
    QString lastSaveAsName_;
    QString programPath_;
    std::shared_ptr<const std::string> preview_;

    // Controls, named as elsewhere in the program and in tests.
    QTabWidget* PageControl1 = nullptr;
    QWidget* tsModProperty = nullptr;
    QWidget* tsModAction = nullptr;
    QWidget* tsPreview = nullptr;
    QWidget* tsEditingFile = nullptr;
    QWidget* tsAbout = nullptr;
    QLineEdit* edtId = nullptr;
    QLineEdit* edtVersion = nullptr;
    QPlainTextEdit* memDescription = nullptr;
    QLineEdit* edtAuthor = nullptr;
    QLineEdit* edtHomepage = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QWidget* pnlFileToEdit = nullptr;
    QLineEdit* memFileToEdit = nullptr;
    QToolButton* sbBrowseForFile = nullptr;
    ActionTreeView* tvActions = nullptr;
    SideSplitter* Splitter1 = nullptr;
    SplitPane* pnlCodeEditor = nullptr;
    // The step editor, and the forum file beside it when asked for.
    QSplitter* forumBeside_ = nullptr;
    QLabel* pnlSearchString = nullptr;
    QLabel* pnlActionString = nullptr;
    QPlainTextEdit* memSearch = nullptr;
    QPlainTextEdit* memAndAction = nullptr;
    PlainTextView* memPreview = nullptr;
    PlainTextView* memEditingFile = nullptr;
    QLabel* pnlEditingFile = nullptr;
    QLabel* stepPanel_ = nullptr;
    QLabel* encodingPanel_ = nullptr;
    QLabel* lineEndsPanel_ = nullptr;
    QMenu* mmiReopen = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* pmForMemo = nullptr;
    QMenu* pmActionTree = nullptr;
    // Made on first use; they keep their texts while the window lives.
    ReportPanel* pnlFindings = nullptr;
    ReportPanel* pnlTestReport = nullptr;
    // Whether the search text's place is to be shown once the page shows.
    bool highlightPending_ = false;
    // The selected node, while the forum file shows what the steps before it
    // leave, for a line of the Test Mod report; else nullptr.
    const Node* resultBefore_ = nullptr;
    // Whether the forum file's view holds a step's result, not the file on disk.
    bool resultInView_ = false;
    std::shared_ptr<const StepResult> stepResult_; // the one in the view
    // Each step of the last Test Mod report with its line in the file as the
    // steps before left it, and on disk.
    std::unordered_map<const Node*, std::pair<std::size_t, std::size_t>> reportedLines_;
    // The text field or view that last had the focus, which Find from the tree searches.
    QPointer<QWidget> lastTextField_;
    FindReplaceDialog* findDialog_ = nullptr;
    FindInModDialog* findInModDialog_ = nullptr;
    ReportPanel* pnlFindInMod = nullptr;
    // What the Find in Mod panel lists.
    std::vector<ModHit> modHits_;
    FindReplaceDialog* replaceDialog_ = nullptr;
    std::vector<QAction*> commands_;
    // Where the last Test Mod found the lines of each failed step, with the
    // search text it tested.
    struct NearestOf {
        Text searchText;
        NearestPlace place;
    };
    std::unordered_map<const Node*, NearestOf> nearest_;
    // The search texts Use the Forum's Lines set, and whether the step's
    // action text wants another look.
    struct Repaired {
        Text text;
        bool review = false;
    };
    std::unordered_map<const Node*, Repaired> repaired_;
};

} // namespace torvale
