// Cut, Copy, Paste and Duplicate of the tree's nodes. The clipboard holds
// them as mod text, so that steps go to and come from any text editor.
#include "main_window.h"

#include "text_codec.h"

#include "document/node_text.h"

#include <QApplication>
#include <QClipboard>
#include <QTabWidget>
#include <QUndoStack>

namespace torvale {

bool TFormMain::treeHasFocus() const {
    return QApplication::focusWidget() == tvActions && PageControl1->currentWidget() == tsModAction;
}

void TFormMain::copyNode() {
    if (const Node* node = selectedNode())
        QGuiApplication::clipboard()->setText(
            decodeText(modTextOf({copyOf(node)}), mod_->encoding()));
}

void TFormMain::cutNode() {
    const Node* node = selectedNode();
    if (!node)
        return;
    copyNode();
    mod_->removeNode(node);
    SetInputFieldEnabled();
}

void TFormMain::duplicateNode() {
    const Node* node = selectedNode();
    if (!node || PageControl1->currentWidget() != tsModAction)
        return;
    const NodePath at = pathOf(node);
    selectNode(mod_->insertNode({at.parentRow, at.row + 1}, copyOf(node)));
}

// A character the mod's encoding lacks is handled as when it is typed: the
// mod becomes UTF-8, or the character is left out.
QString TFormMain::encodableText(QString text) {
    const QStringList lacking = unencodableCharacters(text, mod_->encoding());
    if (lacking.isEmpty())
        return text;
    if (mod_->encoding() == TextEncoding::Windows1252 && prompts().convertToUtf8(this, lacking)) {
        convertModToUtf8();
        return text;
    }
    for (const QString& character : lacking)
        text.remove(character);
    return text;
}

// The steps of the clipboard's mod text go after the selected step, into its
// group; edit files go after the selected group. Everything is one step.
void TFormMain::pasteNodes() {
    if (PageControl1->currentWidget() != tsModAction)
        return;
    const QString clipboard = QGuiApplication::clipboard()->text();
    PastedNodes pasted = nodesFromModText(encodeText(clipboard, mod_->encoding()));
    if (pasted.empty()) {
        prompts().showMessage(this, QStringLiteral("The clipboard holds no steps to paste."),
                              QStringLiteral("Steps are pasted from mod text: blocks such as "
                                             "<edit file>, <search for> and <replace>."));
        return;
    }
    const QString text = encodableText(clipboard);
    if (text != clipboard)
        pasted = nodesFromModText(encodeText(text, mod_->encoding()));
    const ModDocument& doc = mod_->document();
    const Node* selected = selectedNode();
    const Node* group = !selected                       ? nullptr
                        : selected->kind() == akEditFile ? selected
                                                         : selected->parent();
    if (!selected && doc.topLevelCount() > 0)
        group = doc.topLevel(doc.topLevelCount() - 1);
    if (group && group->kind() != akEditFile)
        group = nullptr;

    mod_->endTyping();
    mod_->history()->beginMacro(QStringLiteral("Paste"));
    const Node* last = nullptr;
    NodePath at;
    if (group)
        at = {group->row(), selected && selected->parent() == group ? selected->row() + 1
                                                                    : group->childCount()};
    else // before the first edit file, where steps of no edit file stand
        at = {-1, selected ? selected->row() + 1 : doc.topLevelCount()};
    for (NodeCopy& node : pasted.actions) {
        last = mod_->insertNode(at, std::move(node));
        ++at.row;
    }
    at = {-1, group ? group->row() + 1 : doc.topLevelCount()};
    for (NodeCopy& node : pasted.editFiles) {
        last = mod_->insertNode(at, std::move(node));
        ++at.row;
    }
    mod_->history()->endMacro();
    if (last)
        selectNode(last);
}

} // namespace torvale
