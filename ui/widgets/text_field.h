// One face for the three kinds of text field: the one-line QLineEdit, the
// multi-line QPlainTextEdit and the read-only PlainTextView. Find and Replace
// and the standard edit commands work on any of them through it.
//
// Offsets count UTF-16 units of the field's text taken with every line break as
// CR LF, the form in which a mod file holds it.
#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace torvale {

class TextField {
public:
    enum class EditCommand { Undo, Cut, Copy, Paste, SelectAll };
    struct EditState {
        bool undo = false;
        bool cut = false;
        bool copy = false;
        bool paste = false;
        bool selectAll = false;
    };

    // The field that widget is; a null one when it is none.
    explicit TextField(QWidget* widget = nullptr);
    bool isNull() const { return kind_ == Kind::None; }
    QWidget* widget() const { return widget_; }
    bool isReadOnly() const;

    // The whole text with CR LF breaks. Meant for the editable fields: the
    // read-only view may hold tens of megabytes.
    QString text() const;
    qint64 selectionStart() const;
    qint64 selectionLength() const;
    // Where the first occurrence of text at or after from starts; -1 if none.
    qint64 find(const QString& text, qint64 from) const;
    void select(qint64 start, qint64 length);
    // Replaces the selection as typing would: the field's change signal and
    // undo see one edit. Nothing happens in a read-only field.
    void replaceSelection(const QString& text);
    // Replaces every occurrence of find, left to right, each once (what the
    // replacement brings in is not searched again), as one edit; returns how
    // many. Nothing happens in a read-only field.
    int replaceAll(const QString& find, const QString& replacement);
    void ensureVisible();

    EditState editState(bool clipboardHasText) const;
    void run(EditCommand command);
    // Empties the field, its change signal included.
    void clear();
    // Calls onChange, for as long as context lives, whenever the text, the
    // selection or what can be undone may have changed.
    void watch(QObject* context, const std::function<void()>& onChange) const;

    // A text with every line break as '\n', as the editable fields hold it.
    static QString withNewlines(const QString& text);
    // The length of a text in offsets: its line breaks count two.
    static qint64 offsetLength(const QString& text);

private:
    enum class Kind { None, Line, Text, View };
    QString plainText() const;
    qint64 plainPosition(qint64 offset) const;
    qint64 crLfOffset(qint64 position) const;

    QWidget* widget_ = nullptr;
    Kind kind_ = Kind::None;
};

} // namespace torvale
