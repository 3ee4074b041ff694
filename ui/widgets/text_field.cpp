// TextField: the one adapter over the window's kinds of text field.
#include "text_field.h"

#include "plain_text_view.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

namespace torvale {

namespace {

// Line breaks as the editable fields count them: one '\n' each.
qsizetype newlinesBefore(const QString& text, qsizetype position) {
    return QStringView(text).left(position).count(u'\n');
}

// Every occurrence of needle in text, left to right, none overlapping.
QList<qsizetype> occurrences(const QString& text, const QString& needle) {
    QList<qsizetype> found;
    if (needle.isEmpty())
        return found;
    for (qsizetype at = text.indexOf(needle); at >= 0;
         at = text.indexOf(needle, at + needle.size()))
        found << at;
    return found;
}

} // namespace

TextField::TextField(QWidget* widget) : widget_(widget) {
    if (qobject_cast<QLineEdit*>(widget))
        kind_ = Kind::Line;
    else if (qobject_cast<QPlainTextEdit*>(widget))
        kind_ = Kind::Text;
    else if (qobject_cast<PlainTextView*>(widget))
        kind_ = Kind::View;
    else
        widget_ = nullptr;
}

QString TextField::withNewlines(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    out.replace(QChar::ParagraphSeparator, u'\n');
    return out;
}

qint64 TextField::offsetLength(const QString& text) {
    const QString lines = withNewlines(text);
    return lines.size() + lines.count(u'\n');
}

bool TextField::isReadOnly() const {
    switch (kind_) {
    case Kind::Line:
        return static_cast<QLineEdit*>(widget_)->isReadOnly();
    case Kind::Text:
        return static_cast<QPlainTextEdit*>(widget_)->isReadOnly();
    default:
        return true;
    }
}

// The editable fields' text, line breaks as '\n', positions as the widget's.
QString TextField::plainText() const {
    if (kind_ == Kind::Line)
        return static_cast<QLineEdit*>(widget_)->text();
    if (kind_ == Kind::Text) {
        // One character for one, so that positions stay the document's.
        QString text = static_cast<QPlainTextEdit*>(widget_)->document()->toRawText();
        return text.replace(QChar::ParagraphSeparator, u'\n');
    }
    return {};
}

qint64 TextField::crLfOffset(qint64 position) const {
    return position + newlinesBefore(plainText(), position);
}

qint64 TextField::plainPosition(qint64 offset) const {
    const QString text = plainText();
    qint64 position = 0;
    for (qint64 units = 0; position < text.size() && units < offset; ++position)
        units += text[position] == u'\n' ? 2 : 1;
    return position;
}

QString TextField::text() const {
    if (kind_ == Kind::View) {
        const auto* view = static_cast<PlainTextView*>(widget_);
        QString text = view->toPlainText();
        return text.replace(u'\n', QStringLiteral("\r\n"));
    }
    return plainText().replace(u'\n', QStringLiteral("\r\n"));
}

qint64 TextField::selectionStart() const {
    switch (kind_) {
    case Kind::Line: {
        const auto* line = static_cast<QLineEdit*>(widget_);
        return line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    }
    case Kind::Text:
        return crLfOffset(static_cast<QPlainTextEdit*>(widget_)->textCursor().selectionStart());
    case Kind::View: {
        const auto* view = static_cast<PlainTextView*>(widget_);
        return view->offsetAt(view->selectionStart(), 2);
    }
    case Kind::None:
        break;
    }
    return 0;
}

qint64 TextField::selectionLength() const {
    switch (kind_) {
    case Kind::Line:
        return static_cast<QLineEdit*>(widget_)->selectedText().size();
    case Kind::Text: {
        const QTextCursor cursor = static_cast<QPlainTextEdit*>(widget_)->textCursor();
        return crLfOffset(cursor.selectionEnd()) - crLfOffset(cursor.selectionStart());
    }
    case Kind::View: {
        const auto* view = static_cast<PlainTextView*>(widget_);
        if (!view->hasSelection())
            return 0;
        return view->offsetAt(view->selectionEnd(), 2) - view->offsetAt(view->selectionStart(), 2);
    }
    case Kind::None:
        break;
    }
    return 0;
}

qint64 TextField::find(const QString& text, qint64 from) const {
    if (text.isEmpty() || kind_ == Kind::None)
        return -1;
    if (kind_ == Kind::View) {
        // Searched in the view's bytes: the text may be tens of megabytes.
        const auto* view = static_cast<PlainTextView*>(widget_);
        PlainTextView::Position start, end;
        if (!view->find(text, view->positionAtOffset(from, 2), &start, &end))
            return -1;
        return view->offsetAt(start, 2);
    }
    const qsizetype at = plainText().indexOf(withNewlines(text), plainPosition(from));
    return at < 0 ? -1 : crLfOffset(at);
}

void TextField::select(qint64 start, qint64 length) {
    switch (kind_) {
    case Kind::Line: {
        auto* line = static_cast<QLineEdit*>(widget_);
        line->setSelection(int(start), int(length));
        break;
    }
    case Kind::Text: {
        auto* edit = static_cast<QPlainTextEdit*>(widget_);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(int(plainPosition(start)));
        cursor.setPosition(int(plainPosition(start + length)), QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
        break;
    }
    case Kind::View: {
        auto* view = static_cast<PlainTextView*>(widget_);
        const auto from = view->positionAtOffset(start, 2);
        const auto to = view->positionAtOffset(start + length, 2);
        view->setSelection(from.line, from.column, to.line, to.column);
        break;
    }
    case Kind::None:
        break;
    }
}

void TextField::replaceSelection(const QString& text) {
    if (isReadOnly())
        return;
    if (kind_ == Kind::Line) {
        static_cast<QLineEdit*>(widget_)->insert(text);
        return;
    }
    auto* edit = static_cast<QPlainTextEdit*>(widget_);
    QTextCursor cursor = edit->textCursor();
    cursor.insertText(withNewlines(text));
    edit->setTextCursor(cursor);
}

int TextField::replaceAll(const QString& find, const QString& replacement) {
    if (isReadOnly())
        return 0;
    const QString text = plainText();
    const QString needle = withNewlines(find);
    const QList<qsizetype> found = occurrences(text, needle);
    if (found.isEmpty())
        return 0;
    // One edit from the first occurrence to the end of the last.
    const qsizetype first = found.constFirst();
    const qsizetype end = found.constLast() + needle.size();
    const QString with = withNewlines(replacement);
    QString middle;
    middle.reserve(end - first + found.size() * (with.size() - needle.size()));
    for (qsizetype i = 0; i < found.size(); ++i) {
        middle += with;
        const qsizetype next = i + 1 < found.size() ? found[i + 1] : end;
        middle += QStringView(text).mid(found[i] + needle.size(), next - found[i] - needle.size());
    }
    if (kind_ == Kind::Line) {
        auto* line = static_cast<QLineEdit*>(widget_);
        line->setSelection(int(first), int(end - first));
        line->insert(middle);
    } else {
        auto* edit = static_cast<QPlainTextEdit*>(widget_);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(int(first));
        cursor.setPosition(int(end), QTextCursor::KeepAnchor);
        cursor.insertText(middle);
        edit->setTextCursor(cursor);
    }
    return int(found.size());
}

void TextField::ensureVisible() {
    if (kind_ == Kind::Text)
        static_cast<QPlainTextEdit*>(widget_)->ensureCursorVisible();
    else if (kind_ == Kind::View)
        static_cast<PlainTextView*>(widget_)->ensureCursorVisible();
    // A line edit always keeps its caret in view.
}

TextField::EditState TextField::editState(bool clipboardHasText) const {
    EditState state;
    switch (kind_) {
    case Kind::Line: {
        const auto* line = static_cast<QLineEdit*>(widget_);
        state.undo = line->isUndoAvailable();
        state.copy = line->hasSelectedText();
        state.selectAll = !line->text().isEmpty();
        break;
    }
    case Kind::Text: {
        const auto* edit = static_cast<QPlainTextEdit*>(widget_);
        state.undo = edit->document()->isUndoAvailable() && !edit->isReadOnly();
        state.copy = edit->textCursor().hasSelection();
        state.selectAll = !edit->document()->isEmpty();
        break;
    }
    case Kind::View: {
        const auto* view = static_cast<PlainTextView*>(widget_);
        state.copy = view->hasSelection();
        state.selectAll = !view->isEmpty();
        break;
    }
    case Kind::None:
        break;
    }
    state.cut = state.copy && !isReadOnly();
    state.paste = clipboardHasText && !isReadOnly() && kind_ != Kind::None;
    return state;
}

namespace {

// QLineEdit and QPlainTextEdit share these slots but no base class that has them.
template <class Field> void apply(Field* field, TextField::EditCommand command) {
    switch (command) {
    case TextField::EditCommand::Undo:
        field->undo();
        break;
    case TextField::EditCommand::Cut:
        field->cut();
        break;
    case TextField::EditCommand::Copy:
        field->copy();
        break;
    case TextField::EditCommand::Paste:
        field->paste();
        break;
    case TextField::EditCommand::SelectAll:
        field->selectAll();
        break;
    }
}

} // namespace

void TextField::run(EditCommand command) {
    switch (kind_) {
    case Kind::Line:
        apply(static_cast<QLineEdit*>(widget_), command);
        break;
    case Kind::Text:
        apply(static_cast<QPlainTextEdit*>(widget_), command);
        break;
    case Kind::View: {
        // Read-only: only copying and selecting apply.
        auto* view = static_cast<PlainTextView*>(widget_);
        if (command == EditCommand::Copy)
            view->copy();
        else if (command == EditCommand::SelectAll)
            view->selectAll();
        break;
    }
    case Kind::None:
        break;
    }
}

void TextField::clear() {
    if (kind_ == Kind::Line)
        static_cast<QLineEdit*>(widget_)->clear();
    else if (kind_ == Kind::Text)
        static_cast<QPlainTextEdit*>(widget_)->clear();
    else if (kind_ == Kind::View)
        static_cast<PlainTextView*>(widget_)->clear();
}

void TextField::watch(QObject* context, const std::function<void()>& onChange) const {
    switch (kind_) {
    case Kind::Line: {
        auto* line = static_cast<QLineEdit*>(widget_);
        QObject::connect(line, &QLineEdit::selectionChanged, context, onChange);
        QObject::connect(line, &QLineEdit::textChanged, context, onChange);
        break;
    }
    case Kind::Text: {
        auto* edit = static_cast<QPlainTextEdit*>(widget_);
        QObject::connect(edit, &QPlainTextEdit::selectionChanged, context, onChange);
        QObject::connect(edit, &QPlainTextEdit::undoAvailable, context, onChange);
        QObject::connect(edit, &QPlainTextEdit::textChanged, context, onChange);
        break;
    }
    case Kind::View:
        QObject::connect(static_cast<PlainTextView*>(widget_), &PlainTextView::selectionChanged,
                         context, onChange);
        break;
    case Kind::None:
        break;
    }
}

} // namespace torvale
