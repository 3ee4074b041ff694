// Undo and Redo of the document's one history, what the window shows after
// each, and moving the selected node up or down by keyboard.
#include "main_window.h"

#include "text_codec.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QUndoStack>
#include <array>

namespace torvale {

namespace {

// Puts the caret where after differs from before, both with '\n' breaks: at
// the end of what is new.
void putCaretAtChange(QWidget* widget, const QString& before, const QString& after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    widget->setFocus();
    TextField field(widget);
    field.select(TextField::offsetLength(after.left(after.size() - suffix)), 0);
    field.ensureVisible();
}

} // namespace

void TFormMain::createHistory() {
    command("actRedo")->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    QUndoStack* history = mod_->history();
    connect(command("actUndo"), &QAction::triggered, history, &QUndoStack::undo);
    connect(command("actRedo"), &QAction::triggered, history, &QUndoStack::redo);
    connect(command("actMoveUp"), &QAction::triggered, this,
            [this] { actMoveExecute(Direction::Up); });
    connect(command("actMoveDown"), &QAction::triggered, this,
            [this] { actMoveExecute(Direction::Down); });
    connect(history, &QUndoStack::indexChanged, this, [this] { updateCommandStates(); });
    connect(mod_, &OpenMod::modifiedChanged, this, [this] { updateCommandStates(); });
    connect(mod_, &OpenMod::historyApplied, this, &TFormMain::showHistoryStep);
    mod_->setExpandedQuery(
        [this](const Node* node) { return tvActions->isExpanded(model_->indexFromNode(node)); });
}

// After an undo or redo: the node the step touched is selected and shown,
// and the caret stands where a text changed.
void TFormMain::showHistoryStep(const HistoryStep& step) {
    QWidget* changed = nullptr;
    if (step.property) {
        PageControl1->setCurrentWidget(tsModProperty);
        showProperties();
        const std::array<QWidget*, kPropertyCount> fields = {edtId, edtVersion, memDescription,
                                                             edtAuthor, edtHomepage};
        changed = fields[std::size_t(*step.property)];
    } else if (step.place) {
        PageControl1->setCurrentWidget(tsModAction);
        const Node* node = nodeAt(mod_->document(), *step.place);
        selectNode(node);
        if (step.expanded)
            tvActions->expand(model_->indexFromNode(node));
        // The same node may stay selected while the tree changed around it.
        showSelectionAnew(!step.field && !step.property);
        if (step.field)
            changed = *step.field == NodeField::FileName     ? static_cast<QWidget*>(memFileToEdit)
                      : *step.field == NodeField::SearchText ? memSearch
                                                             : memAndAction;
    } else {
        // Every text was recoded, or the tree is empty now.
        showProperties();
        showSelectionAnew(true);
    }
    if (changed && changed->isEnabled())
        putCaretAtChange(changed, decodeText(step.before, mod_->encoding()),
                         TextField::withNewlines(TextField(changed).text()));
    refreshShownPage();
    updateCommandStates();
}

std::optional<DropPlace> TFormMain::movePlace(Direction where) const {
    const Node* node = tvActions ? selectedNode() : nullptr;
    return node ? stepPlacement(mod_->document(), node, where) : std::nullopt;
}

void TFormMain::actMoveExecute(Direction where) {
    const Node* node = selectedNode();
    const auto place = movePlace(where);
    if (!node || !place || PageControl1->currentWidget() != tsModAction)
        return;
    const Node* group = node->parent() ? node->parent() : node;
    mod_->moveNode(node, *place);
    // The node keeps its selection; into a collapsed group it is shown.
    selectNode(node);
    // Still the current node, so nothing else shows it anew: moved into
    // another group, its file field would still name the group it left.
    showSelectionAnew(group != (node->parent() ? node->parent() : node));
}

// After a step that changed the tree under the selection: the fields, their
// enabling and the forum file of the selected node's group, as selecting it
// would show them; all empty when nothing is selected. groupChanged: the
// selected node may belong to another group than before the step.
void TFormMain::showSelectionAnew(bool groupChanged) {
    SetInputFieldEnabled();
    showSelectedNode();
    const Node* node = selectedNode();
    if (!node) {
        // The view showed the file of a group that is gone.
        emptyEditingFile({});
        editingFileLoaded_ = false;
    } else if (groupChanged && editingFileLoaded_) {
        LoadEditingFile(node);
    }
    highlightSearchInEditingFile();
    UpdateStepStatus();
    updateCommandStates();
}

} // namespace torvale
