// Find and Replace in the window's text fields: which field they act on, where
// a search starts, what is selected and shown, and what Replace changes.
#include "main_window.h"

#include "widgets/find_replace_dialog.h"
#include "widgets/plain_text_view.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace torvale {

namespace {

// The line of a field that the caret stands on, in global coordinates.
QRect caretLine(const QWidget* field) {
    const QRect caret = field->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    return {field->mapToGlobal(QPoint(0, caret.top())), QSize(field->width(), caret.height())};
}

} // namespace

// The text field that has, or last had, the focus in the window: the one the
// dialogs act on. Only the six text fields of the mod's texts count, and only
// while they take input. From the tree, the dialogs act on the text field or
// view that had the focus last, while it is in sight.
TextField TFormMain::searchTarget() const {
    QWidget* focus = focusWidget();
    if (focus == tvActions && lastTextField_ && lastTextField_->isVisible())
        focus = lastTextField_;
    if (!isSearchable(focus))
        return TextField();
    return TextField(focus);
}

bool TFormMain::isSearchable(QWidget* widget) const {
    const std::initializer_list<QWidget*> searchable = {memDescription, memSearch,  memAndAction,
                                                        memFileToEdit,  memPreview, memEditingFile};
    return widget && std::find(searchable.begin(), searchable.end(), widget) != searchable.end() &&
           widget->isEnabled();
}

void TFormMain::noteFocus(QWidget* now) {
    if (isSearchable(now))
        lastTextField_ = now;
}

FindReplaceDialog* TFormMain::findReplaceDialog(bool replacing) {
    auto& dialog = replacing ? replaceDialog_ : findDialog_;
    if (!dialog) {
        dialog = new FindReplaceDialog(
            replacing ? FindReplaceDialog::Mode::Replace : FindReplaceDialog::Mode::Find, this);
        connect(dialog, &FindReplaceDialog::findNextRequested, this,
                [this, replacing] { replacing ? ReplaceDialogFind() : FindDialogFind(); });
        if (replacing) {
            connect(dialog, &FindReplaceDialog::replaceRequested, this,
                    [this] { ReplaceDialogReplace(); });
            connect(dialog, &FindReplaceDialog::replaceAllRequested, this,
                    [this] { ReplaceDialogReplaceAll(); });
        }
        updateCommandStates();
    }
    return dialog;
}

void TFormMain::actSearchExecute() {
    findReplaceDialog(false)->present();
}

void TFormMain::actReplaceExecute() {
    findReplaceDialog(true)->present();
}

// Selects the next occurrence after the selection, or the first one when
// nothing is selected, and shows it. No wrap-around: past the last one
// nothing is found until the selection is gone.
void TFormMain::findNext(FindReplaceDialog* dialog) {
    TextField field = searchTarget();
    if (field.isNull())
        return;
    const QString text = dialog->findText();
    const qint64 length = field.selectionLength();
    const qint64 at = field.find(text, length > 0 ? field.selectionStart() + length : 0);
    if (at < 0) {
        notFoundInField(dialog, text);
        return;
    }
    field.widget()->setFocus();
    field.select(at, TextField::offsetLength(text));
    field.ensureVisible();
    dialog->keepClearOf(caretLine(field.widget()));
}

void TFormMain::FindDialogFind() {
    findNext(findDialog_);
}

// Shows the match as the Find dialog does: one out of sight would look as if
// nothing had been found.
void TFormMain::ReplaceDialogFind() {
    findNext(replaceDialog_);
}

// Replaces the first occurrence in the field, wherever the selection is.
void TFormMain::ReplaceDialogReplace() {
    TextField field = searchTarget();
    if (field.isNull() || field.isReadOnly())
        return;
    const QString text = replaceDialog_->findText();
    const qint64 at = field.find(text, 0);
    if (at < 0) {
        notFoundInField(replaceDialog_, text);
        return;
    }
    field.select(at, TextField::offsetLength(text));
    // Each press is a step of its own, never typing.
    typingKey_ = false;
    field.replaceSelection(replaceDialog_->replaceText());
}

void TFormMain::ReplaceDialogReplaceAll() {
    TextField field = searchTarget();
    if (field.isNull() || field.isReadOnly())
        return;
    const QString text = replaceDialog_->findText();
    typingKey_ = false;
    if (field.replaceAll(text, replaceDialog_->replaceText()) == 0)
        notFoundInField(replaceDialog_, text);
}

void TFormMain::notFoundInField(QWidget* dialog, const QString& text) {
    prompts().showError(dialog,
                        QStringLiteral("Could not find \"%1\" in this field.").arg(text));
}

} // namespace torvale
