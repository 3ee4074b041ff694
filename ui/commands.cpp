// The command table: every command of the window as a QAction, its handler,
// and the rules that enable, show or check it.
#include "main_window.h"

#include "widgets/action_tree_view.h"
#include "widgets/find_replace_dialog.h"
#include "widgets/plain_text_view.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QUndoStack>

namespace torvale {

namespace {

struct CommandEntry {
    const char* name;
    const char* category;
    const char* caption;
    const char* tooltip;
    int shortcut; // a combined key, 0 for none
    int tag;
    int picture; // image-list slot, -1 for none
};

constexpr int key(QKeyCombination combination) {
    return combination.toCombined();
}

// The retype commands' captions are the node labels of their kinds.
const CommandEntry kCommands[] = {
    {"actNew", "File", "&New", "New File", key(Qt::CTRL | Qt::Key_N), 0, 6},
    {"actNewModFromChanges", "File", "New Mod from &Changes...",
     "Make a mod from the forum and a changed copy of it", 0, 0, -1},
    {"actOpen", "File", "&Open...", "Open File", key(Qt::CTRL | Qt::Key_O), 0, 7},
    {"actReopen", "File", "&Reopen", nullptr, 0, 0, -1},
    {"actSave", "File", "&Save", "Save File", key(Qt::CTRL | Qt::Key_S), 0, 8},
    {"actSaveAs", "File", "Save &As...", nullptr, 0, 0, -1},
    {"actPrint", "File", "&Print...", nullptr, key(Qt::CTRL | Qt::Key_P), 0, 9},
    {"actPrintSetup", "File", "P&rint Setup...", nullptr, 0, 0, -1},
    {"actExit", "File", "E&xit", nullptr, 0, 0, -1},
    {"actAddEditFile", "Action", "Edit File", "Add <edit file> tag", key(Qt::CTRL | Qt::Key_1),
     akEditFile, 0},
    {"actAddReplace", "Action", "Search And Replace", nullptr, key(Qt::CTRL | Qt::Key_2),
     akSearchReplace, 1},
    {"actAddBefore", "Action", "Search and Add Before", nullptr, key(Qt::CTRL | Qt::Key_3),
     akSearchAddBefore, 2},
    {"actAddAfter", "Action", "Search and Add After", nullptr, key(Qt::CTRL | Qt::Key_4),
     akSearchAddAfter, 3},
    {"actAddAction", "Action", "Add Action", nullptr, 0, 0, 4},
    {"actDeleteAction", "Action", "Delete Action", nullptr, key(Qt::CTRL | Qt::Key_Delete), 0, 5},
    {"actBrowseFileToEdit", "", "", "Browse", 0, 0, 10},
    {"EditUndo1", "Edit", "&Undo", nullptr, key(Qt::ALT | Qt::Key_Backspace), 0, 11},
    {"EditCut1", "Edit", "Cu&t", nullptr, key(Qt::CTRL | Qt::Key_X), 0, 12},
    {"EditCopy1", "Edit", "&Copy", nullptr, key(Qt::CTRL | Qt::Key_C), 0, 13},
    {"EditPaste1", "Edit", "&Paste", nullptr, key(Qt::CTRL | Qt::Key_V), 0, 14},
    {"EditSelectAll1", "Edit", "Select A&ll", nullptr, 0, 0, -1},
    {"actSearch", "Edit", "&Search...", nullptr, key(Qt::CTRL | Qt::Key_F), 0, 16},
    {"actReplace", "Edit", "&Replace...", nullptr, key(Qt::CTRL | Qt::Key_R), 0, 17},
    {"actTestMod", "Tool", "&Test Mod", "Test the mod against the forum's files, in memory",
     key(Qt::Key_F9), 0, -1},
    {"actUseForumLines", "Tool", "Use the &Forum's Lines",
     "Put the forum file's lines, where the failed step's search text most likely went, into "
     "its search text, and test again",
     key(Qt::CTRL | Qt::Key_L), 0, -1},
    {"actConvertLineEnds", "Tool", "Convert Line Ends to &LF",
     "Save the mod with LF line ends, which the forum's installer handles", 0, 0, -1},
    {"actOption", "Tool", "P&reference...", nullptr, 0, 0, -1},
    {"actAbout", "", "&About", nullptr, 0, 0, -1},
    {"actSearchAndReplace", "ActionTree", NodeLabels[1].data(), nullptr, 0, akSearchReplace, -1},
    {"actSearchAndAddBefore", "ActionTree", NodeLabels[2].data(), nullptr, 0, akSearchAddBefore,
     -1},
    {"actSearchAndAddAfter", "ActionTree", NodeLabels[3].data(), nullptr, 0, akSearchAddAfter, -1},
    {"actTreeFullExpand", "", "", nullptr, key(Qt::Key_F11), 0, -1},
    {"actTreeFullCollapse", "", "", nullptr, key(Qt::Key_F12), 0, -1},
    {"actUndo", "Action", "&Undo", "Undo", key(Qt::CTRL | Qt::Key_Z), 0, 11},
    {"actRedo", "Action", "&Redo", "Redo", key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), 0, 18},
    {"actMoveUp", "Action", "Move &Up", nullptr, key(Qt::ALT | Qt::SHIFT | Qt::Key_Up), 0, -1},
    {"actMoveDown", "Action", "Move Do&wn", nullptr, key(Qt::ALT | Qt::SHIFT | Qt::Key_Down), 0,
     -1},
    {"actDuplicate", "Edit", "&Duplicate", nullptr, key(Qt::CTRL | Qt::Key_D), 0, -1},
    {"actFindInMod", "Edit", "Find in &Mod...", nullptr, key(Qt::CTRL | Qt::SHIFT | Qt::Key_F), 0,
     -1},
    {"actGoToLine", "Edit", "&Go to Line...", nullptr, key(Qt::CTRL | Qt::Key_G), 0, -1},
    {"actSearchForSelection", "Edit", "Search for Se&lection", nullptr,
     key(Qt::CTRL | Qt::Key_E), 0, -1},
    {"actForumFileBeside", "View", "&Forum File beside the Steps", nullptr, key(Qt::Key_F8), 0,
     -1},
    {"actStepResult", "View", "Res&ult of the Step",
     "The forum file as the mod leaves it after the selected step, or as it is on disk",
     key(Qt::Key_F7), 0, -1},
};

} // namespace

void TFormMain::createCommands() {
    auto* kinds = new QActionGroup(this);
    kinds->setExclusive(true);
    for (const CommandEntry& entry : kCommands) {
        auto* action = new QAction(QString::fromLatin1(entry.caption), this);
        action->setObjectName(QLatin1String(entry.name));
        action->setProperty("category", QLatin1String(entry.category));
        action->setData(entry.tag);
        if (entry.tooltip)
            action->setToolTip(QString::fromLatin1(entry.tooltip));
        if (entry.shortcut)
            action->setShortcut(QKeySequence(QKeyCombination::fromCombined(entry.shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
        action->setProperty("imageIndex", entry.picture);
        if (entry.picture >= 0)
            action->setIcon(imageListIcon(entry.picture));
        if (QLatin1String(entry.category) == QLatin1String("ActionTree")) {
            action->setCheckable(true);
            kinds->addAction(action);
        }
        // Window-wide: the shortcuts work whether or not a menu shows the command.
        addAction(action);
        commands_.push_back(action);
    }
    command("actPrint")->setVisible(false);
    command("actPrintSetup")->setVisible(false);

    const auto on = [this](const char* name, auto handler) {
        connect(command(name), &QAction::triggered, this, handler);
    };
    on("actNew", [this] { actNewExecute(); });
    on("actNewModFromChanges", [this] { actNewModFromChangesExecute(); });
    on("actOpen", [this] { actOpenExecute(); });
    on("actSave", [this] { actSaveExecute(); });
    on("actSaveAs", [this] { actSaveAsExecute(); });
    on("actExit", [this] { actExitExecute(); });
    for (const char* name : {"actAddEditFile", "actAddReplace", "actAddBefore", "actAddAfter"}) {
        QAction* action = command(name);
        on(name, [this, action] { AddAction(action->data().toInt()); });
    }
    on("actDeleteAction", [this] { actDeleteActionExecute(); });
    on("actBrowseFileToEdit", [this] { actBrowseFileToEditExecute(); });
    // The fields' own Undo takes back steps of the document's one history.
    on("EditUndo1", [this] { command("actUndo")->trigger(); });
    // In the tree they take whole nodes, in a text field its text.
    on("EditCut1", [this] { treeHasFocus() ? cutNode() : runEditCommand(TextField::EditCommand::Cut); });
    on("EditCopy1",
       [this] { treeHasFocus() ? copyNode() : runEditCommand(TextField::EditCommand::Copy); });
    on("EditPaste1",
       [this] { treeHasFocus() ? pasteNodes() : runEditCommand(TextField::EditCommand::Paste); });
    on("actDuplicate", [this] { duplicateNode(); });
    on("actFindInMod", [this] { actFindInModExecute(); });
    on("EditSelectAll1", [this] { runEditCommand(TextField::EditCommand::SelectAll); });
    on("actSearch", [this] { actSearchExecute(); });
    on("actReplace", [this] { actReplaceExecute(); });
    on("actTestMod", [this] { actTestModExecute(); });
    on("actConvertLineEnds", [this] { convertModToLf(); });
    on("actOption", [this] { actOptionExecute(); });
    on("actAbout", [this] { PageControl1->setCurrentWidget(tsAbout); });
    for (const char* name :
         {"actSearchAndReplace", "actSearchAndAddBefore", "actSearchAndAddAfter"}) {
        QAction* action = command(name);
        on(name, [this, action] { actSearchAndReplaceExecute(action->data().toInt()); });
    }
    on("actTreeFullExpand", [this] { actTreeFullExpandExecute(); });
    on("actTreeFullCollapse", [this] { actTreeFullCollapseExecute(); });

    // What the enabling depends on beyond the window's own state.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        noteFocus(now);
        // Leaving a field ends a run of typing in it, also in the middle of
        // a key whose release then goes elsewhere (a question that opens).
        typingKey_ = false;
        mod_->endTyping();
        updateCommandStates();
    });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { updateCommandStates(); });
}

QAction* TFormMain::command(const char* name) const {
    for (QAction* action : commands_)
        if (action->objectName() == QLatin1String(name))
            return action;
    Q_ASSERT_X(false, "TFormMain::command", name);
    return nullptr;
}

TextField TFormMain::focusedTextField() const {
    QWidget* focus = QApplication::focusWidget();
    return TextField(focus && focus->window() == this ? focus : nullptr);
}

void TFormMain::updateCommandStates() {
    if (commands_.empty() || !PageControl1)
        return;
    const bool onActionPage = PageControl1->currentWidget() == tsModAction;
    const Node* selected = selectedNode();

    command("actSave")->setEnabled(mod_->isModified());
    command("actConvertLineEnds")->setEnabled(mod_->lineEnds() == LineEnds::CrLf);
    command("actUndo")->setEnabled(mod_->history()->canUndo());
    command("actRedo")->setEnabled(mod_->history()->canRedo());
    command("actMoveUp")->setEnabled(onActionPage && movePlace(Direction::Up));
    command("actMoveDown")->setEnabled(onActionPage && movePlace(Direction::Down));
    command("actAddEditFile")->setEnabled(onActionPage);
    for (const char* name : {"actAddReplace", "actAddBefore", "actAddAfter", "actDeleteAction"})
        command(name)->setEnabled(onActionPage && selected);
    command("actBrowseFileToEdit")
        ->setEnabled(memFileToEdit && memFileToEdit->isEnabled() && !settings_.YaBB.empty());

    const bool searchAction = selected && selected->kind() != akEditFile;
    for (const char* name :
         {"actSearchAndReplace", "actSearchAndAddBefore", "actSearchAndAddAfter"}) {
        QAction* action = command(name);
        action->setVisible(searchAction);
        action->setChecked(searchAction && selected->kind() == action->data().toInt());
    }

    // Replace cannot change the read-only views; finding works everywhere.
    const TextField target = searchTarget();
    const bool replaceable = target.isNull() || !target.isReadOnly();
    command("actReplace")->setEnabled(replaceable);
    if (replaceDialog_)
        replaceDialog_->setReplaceEnabled(replaceable);

    // The standard edit commands follow the focused text field.
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    const TextField::EditState edit =
        focusedTextField().editState(clipboard && clipboard->hasText());
    // The field's Undo is the document's, offered where the field is editable.
    const TextField focused = focusedTextField();
    command("EditUndo1")
        ->setEnabled(!focused.isNull() && !focused.isReadOnly() && mod_->history()->canUndo());
    command("EditCut1")->setEnabled(edit.cut);
    command("EditCopy1")->setEnabled(edit.copy);
    command("EditPaste1")->setEnabled(edit.paste);
    command("EditSelectAll1")->setEnabled(edit.selectAll);
    if (treeHasFocus()) {
        command("EditCut1")->setEnabled(selected);
        command("EditCopy1")->setEnabled(selected);
        command("EditPaste1")->setEnabled(clipboard && clipboard->hasText());
    }
    command("actDuplicate")->setEnabled(onActionPage && selected);
    command("actUseForumLines")->setEnabled(nearestPlaceOf(selected) != nullptr);
    command("actGoToLine")->setEnabled(lineView() != nullptr);
    command("actSearchForSelection")
        ->setEnabled(selected && memEditingFile->isVisible() && memEditingFile->hasSelection());
}

void TFormMain::runEditCommand(TextField::EditCommand which) {
    // A command from the menu is a step of its own, never typing.
    typingKey_ = false;
    focusedTextField().run(which);
    updateCommandStates();
}

bool TFormMain::isWindowShortcut(const QKeyEvent* event) const {
    const QKeySequence pressed(event->keyCombination());
    for (QAction* action : commands_)
        for (const QKeySequence& shortcut : action->shortcuts())
            if (shortcut.matches(pressed) == QKeySequence::ExactMatch)
                return true;
    return false;
}

} // namespace torvale
