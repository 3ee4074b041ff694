// OpenMod: the one owner of the open mod. It holds the document, its
// encoding and line ends, its path and its undo history; every change goes through it as
// a step of that history, and its views hear of each one.
#pragma once

#include "document/drop_rule.h"
#include "document/edit_ops.h"
#include "document/line_ends.h"
#include "document/recovery_store.h"
#include "document/saved_text.h"
#include "document/text_encoding.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QUndoStack;

namespace torvale {

// The texts of a node that editing fields change.
enum class NodeField { FileName, SearchText, ActionText };

// What an undo or redo changed, for the window to show.
struct HistoryStep {
    std::optional<NodePath> place; // the node to show, if any
    // For a step that set one text: which, and what it held before.
    std::optional<NodeField> field;
    std::optional<Property> property;
    Text before;
    // A group that comes back shows expanded, as it was when removed.
    bool expanded = false;
};

class OpenMod : public QObject {
    Q_OBJECT

public:
    using Field = NodeField;

    explicit OpenMod(QObject* parent = nullptr);
    ~OpenMod() override;

    const ModDocument& document() const { return doc_; }
    TextEncoding encoding() const { return encoding_; }
    // The line ends it is saved with; its texts hold CR LF whichever they are.
    LineEnds lineEnds() const { return lineEnds_; }
    // The file it belongs to; empty while untitled.
    const QString& path() const { return path_; }
    // Whether the document differs from what was last opened or saved.
    bool isModified() const;
    QUndoStack* history() const { return history_; }

    // Told of every change of the tree, before and after, as it happens.
    void addObserver(EditObserver* observer) { observers_.push_back(observer); }

    // A document of its own, as New and Open make one: the history starts
    // anew and the document counts as saved. stamp is the file as read,
    // lineEnds those of its bytes (detectLineEnds); a new mod has LF.
    void replace(ModDocument doc, TextEncoding encoding, QString path,
                 std::optional<FileStamp> stamp = std::nullopt,
                 LineEnds lineEnds = LineEnds::Lf);
    // A document that differs from its file from the start, as a recovered
    // copy does. Saving it over a file that changed since stamp asks first.
    void replaceUnsaved(ModDocument doc, TextEncoding encoding, QString path,
                        std::optional<FileStamp> stamp, LineEnds lineEnds = LineEnds::Lf);
    void setPath(QString path) { path_ = std::move(path); }
    // A property that a new document starts with: part of the document as it
    // begins, not a step, so it stays as clean as it was.
    void setStartingProperty(Property property, Text value);
    // The document is now what its file holds.
    void markSaved();
    // For a recovered document: its file as it was when the copy was made.
    // Empty for every other document.
    const std::optional<FileStamp>& stampToCheck() const { return stampToCheck_; }
    // The stamp its file had when last opened or saved, empty when unknown.
    const std::optional<FileStamp>& diskStamp() const { return diskStamp_; }

    std::string assemble() const;

    // The editing operations, each one step of the history.
    const Node* addNode(const Node* parent, TItem item);
    void removeNode(const Node* node);
    // A node with its children put in at a place, as Paste and Duplicate do.
    const Node* insertNode(NodePath at, NodeCopy node);
    // False when the node would stay where it is.
    bool moveNode(const Node* node, DropPlace place);
    void setKind(const Node* node, std::int32_t kind);
    void convertToUtf8();
    // Saves it with LF from now on; one step of the history.
    void convertToLf();
    // A text typed or put into a field. Keys typed into one field of one
    // node, with no pause between them, make one step; typing says that the
    // change came from a key. Nothing happens when the text stays the same.
    void setText(const Node* node, Field field, Text text, bool typing);
    void setProperty(Property property, Text value, bool typing);
    // The next key typed starts a step of its own.
    void endTyping();

    // Tells whether the view shows a group expanded, so that a removed
    // group comes back as it was.
    void setExpandedQuery(std::function<bool(const Node*)> query) { isExpanded_ = std::move(query); }

    // Applies an edit of the history; called only by the history's commands.
    // expanded: for an insertion, whether the node is to show expanded; a
    // removal sets it to whether the node was.
    Edit apply(Edit edit, bool undoOrRedo, bool& expanded);

signals:
    void modifiedChanged(bool modified);
    // The document changed: an edit, an undo or a redo.
    void changed();
    void aboutToBeReplaced();
    void replaced();
    // Undo or Redo changed the document.
    void historyApplied(const HistoryStep& step);

private:
    class Fanout;
    struct TypingKey {
        int field; // a Field, or 3 + a Property
        NodePath at;
        bool operator==(const TypingKey&) const = default;
    };
    friend class EditStep;
    friend class LineEndStep;
    void push(Edit edit, std::optional<TypingKey> typing);
    void setModified(bool modified);
    HistoryStep stepOf(const Edit& edit) const;
    void replaceWith(ModDocument doc, TextEncoding encoding, LineEnds lineEnds, QString path,
                     bool unsaved);
    // Sets the line ends; gives back those it had.
    LineEnds applyLineEnds(LineEnds lineEnds, bool undoOrRedo);
    void refreshModified();

    ModDocument doc_;
    SavedText saved_;
    bool modified_ = false;
    TextEncoding encoding_ = TextEncoding::Utf8;
    LineEnds lineEnds_ = LineEnds::Lf;
    LineEnds savedLineEnds_ = LineEnds::Lf;
    QString path_;
    std::optional<FileStamp> diskStamp_;
    std::optional<FileStamp> stampToCheck_;
    QUndoStack* history_;
    std::vector<EditObserver*> observers_;
    std::optional<TypingKey> typing_;
    int typingRun_ = 0;
    QElapsedTimer lastKey_;
    std::function<bool(const Node*)> isExpanded_;
};

} // namespace torvale
