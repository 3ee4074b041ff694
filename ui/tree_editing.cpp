// The action tree and its editing fields: what the selection shows, how edits
// go straight back into the selected node, and the commands that add, delete,
// retype, move, expand and collapse nodes.
#include "main_window.h"

#include "text_codec.h"
#include "widgets/action_tree_view.h"

#include "document/drop_rule.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

namespace torvale {

namespace {

QString caption(int kind) {
    return QString::fromLatin1(PaneCaptions[std::size_t(kind)].data(),
                               qsizetype(PaneCaptions[std::size_t(kind)].size()));
}

} // namespace

Node* TFormMain::selectedNode() const {
    return model_->nodeFromIndex(tvActions->selectionModel()->currentIndex());
}

int TFormMain::GetStep() const {
    return mod_->document().GetStep(selectedNode());
}

int TFormMain::GetTotalSteps() const {
    return mod_->document().GetTotalSteps();
}

void TFormMain::selectNode(const Node* node) {
    const QModelIndex index = model_->indexFromNode(node);
    if (index.isValid() && index.parent().isValid())
        tvActions->expand(index.parent());
    tvActions->selectionModel()->setCurrentIndex(
        index, index.isValid() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Clear);
    if (index.isValid())
        tvActions->scrollTo(index);
}

// Runs after every change of the selection: a click, a key, a command, the
// tree moving it off a deleted node, or a reset of the model dropping it.
void TFormMain::tvActionsChange(const QModelIndex& current, const QModelIndex& previous) {
    // Typing into another node is another step.
    mod_->endTyping();
    tvActionsChanging(model_->nodeFromIndex(previous), model_->nodeFromIndex(current));
    // When the tree moves the current node by itself (the node was deleted),
    // the selection follows, so that selected and current never differ.
    if (current.isValid() && !tvActions->selectionModel()->isSelected(current))
        tvActions->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    SetInputFieldEnabled();
    showSelectedNode();
    if (reload_ && selectedNode())
        LoadEditingFile(selectedNode());
    highlightSearchInEditingFile();
    UpdateStepStatus();
    updateCommandStates();
}

void TFormMain::showSelectedNode() {
    const Node* node = selectedNode();
    if (!node) {
        // The fields of a node that is gone go with it.
        const QSignalBlocker fileBlocker(memFileToEdit);
        const QSignalBlocker searchBlocker(memSearch);
        const QSignalBlocker actionBlocker(memAndAction);
        memFileToEdit->clear();
        memSearch->clear();
        memAndAction->clear();
        pnlSearchString->clear();
        pnlActionString->clear();
        return;
    }
    const TItem& item = node->item();
    const TextEncoding encoding = mod_->encoding();
    if (item.Kind != akEditFile) {
        const QSignalBlocker fileBlocker(memFileToEdit);
        const QSignalBlocker searchBlocker(memSearch);
        const QSignalBlocker actionBlocker(memAndAction);
        // The disabled file field reads as "this action edits this file": it
        // shows the action's own edit-file node, none for a top-level action.
        const Node* owner = node->parent();
        memFileToEdit->setText(owner ? decodeText(owner->item().FileName, encoding) : QString());
        memAndAction->setPlainText(decodeText(item.ActionText, encoding));
        memSearch->setPlainText(decodeText(item.SearchText, encoding));
        pnlSearchString->setText(caption(0));
        pnlActionString->setText(caption(item.Kind));
        return;
    }
    const QSignalBlocker fileBlocker(memFileToEdit);
    const QSignalBlocker searchBlocker(memSearch);
    const QSignalBlocker actionBlocker(memAndAction);
    memFileToEdit->setText(decodeText(item.FileName, encoding));
    memSearch->clear();
    memAndAction->clear();
    pnlSearchString->clear();
    pnlActionString->clear();
}

void TFormMain::SetInputFieldEnabled() {
    const Node* node = selectedNode();
    const bool editFile = node && node->kind() == akEditFile;
    const bool searchAction = node && node->kind() != akEditFile;
    memFileToEdit->setEnabled(editFile);
    memSearch->setEnabled(searchAction);
    memAndAction->setEnabled(searchAction);
}

void TFormMain::SaveRightNow() {
    const Node* node = selectedNode();
    if (!node)
        return;
    if (node->kind() == akEditFile) {
        keepEncodable(memFileToEdit);
    } else {
        keepEncodable(memSearch);
        keepEncodable(memAndAction);
    }
    const TextEncoding encoding = mod_->encoding();
    // Only the field that changed makes a step: the other holds the node's text.
    if (node->kind() == akEditFile) {
        mod_->setText(node, OpenMod::Field::FileName, encodeText(memFileToEdit->text(), encoding),
                      typingKey_);
    } else {
        mod_->setText(node, OpenMod::Field::SearchText, encodeText(editorText(memSearch), encoding),
                      typingKey_);
        mod_->setText(node, OpenMod::Field::ActionText,
                      encodeText(editorText(memAndAction), encoding), typingKey_);
    }
}

void TFormMain::AddAction(int tag) {
    TItem item;
    item.Kind = tag;
    const Node* added;
    if (tag == akEditFile) {
        added = mod_->addNode(nullptr, std::move(item));
    } else {
        const Node* selected = selectedNode();
        if (!selected || PageControl1->currentWidget() != tsModAction)
            return;
        // A new search action goes to the end of the selected node's group.
        const Node* parent = selected->level() == 0 ? selected : selected->parent();
        loading_ = true;
        added = mod_->addNode(parent, std::move(item));
        loading_ = false;
    }
    selectNode(added);
    // On to the field that the new node needs filled first.
    (tag == akEditFile ? static_cast<QWidget*>(memFileToEdit) : memSearch)->setFocus();
}

void TFormMain::actDeleteActionExecute() {
    const Node* node = selectedNode();
    if (!node || PageControl1->currentWidget() != tsModAction)
        return;
    mod_->removeNode(node);
    // The tree moved the selection on by itself, or to nothing.
    showSelectionAnew(false);
}

void TFormMain::actSearchAndReplaceExecute(int tag) {
    const Node* node = selectedNode();
    if (!node || node->kind() == akEditFile || node->kind() == tag)
        return;
    mod_->setKind(node, tag);
    pnlActionString->setText(caption(tag));
}

ActionTreeView::DropSpot TFormMain::dropSpot(const QModelIndex& dragged,
                                             const QModelIndex& target) const {
    const Node* targetNode = model_->nodeFromIndex(target);
    const auto place = dropPlace(model_->nodeFromIndex(dragged), model_->nodeFromIndex(target));
    if (!place)
        return ActionTreeView::DropSpot::None;
    return place->parent == targetNode ? ActionTreeView::DropSpot::LastChildOf
                                       : ActionTreeView::DropSpot::Before;
}

void TFormMain::dropNode(Node* dragged, Node* target) {
    const auto place = dropPlace(dragged, target);
    // A drop that leaves the order as it is changes nothing, so it is no step
    // and leaves the modified flag alone.
    const Node* group = dragged->parent() ? dragged->parent() : dragged;
    if (place && mod_->moveNode(dragged, *place) && dragged == selectedNode())
        // The selection stays on the moved node by itself, but the fields
        // show it anew: it may belong to another edit file now.
        showSelectionAnew(group != (dragged->parent() ? dragged->parent() : dragged));
}

void TFormMain::actTreeFullExpandExecute() {
    tvActions->expandAll();
}

void TFormMain::actTreeFullCollapseExecute() {
    tvActions->collapseAllNodes();
}

void TFormMain::UpdateStepStatus() {
    stepPanel_->setText(
        QStringLiteral("Step #%1/Total Steps: %2").arg(GetStep()).arg(GetTotalSteps()));
}

} // namespace torvale
