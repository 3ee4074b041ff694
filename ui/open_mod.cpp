// The owner of the open mod and the one kind of step in its history: an edit
// value that flips between doing and undoing itself.
#include "open_mod.h"

#include "document/mod_assembler.h"
#include "document/node_moves.h"

#include <QUndoCommand>
#include <QUndoStack>

namespace torvale {

namespace {

// Keys typed with no longer pause between them make one step.
constexpr qint64 kTypingPauseMs = 1000;
// The id under which Qt offers a typing step to merge into the one before.
constexpr int kTypingId = 1;

// Whether the texts that edit would set are the document's already.
bool holdsAlready(const ModDocument& doc, const Edit& edit) {
    const auto node = [&](NodePath at) { return nodeAt(doc, at); };
    if (auto* e = std::get_if<edits::SetFileName>(&edit))
        return node(e->at) && node(e->at)->item().FileName == e->fileName &&
               node(e->at)->labelForm() == e->form;
    if (auto* e = std::get_if<edits::SetSearchText>(&edit))
        return node(e->at) && node(e->at)->item().SearchText == e->text;
    if (auto* e = std::get_if<edits::SetActionText>(&edit))
        return node(e->at) && node(e->at)->item().ActionText == e->text;
    if (auto* e = std::get_if<edits::SetProperty>(&edit))
        return doc.property(e->property) == e->value;
    return false;
}

} // namespace

// Passes every change on to the views.
class OpenMod::Fanout : public EditObserver {
public:
    explicit Fanout(const std::vector<EditObserver*>& to) : to_(to) {}
    void beforeInsert(const Node* parent, int row) override {
        for (EditObserver* o : to_)
            o->beforeInsert(parent, row);
    }
    void afterInsert(const Node* node) override {
        for (EditObserver* o : to_)
            o->afterInsert(node);
    }
    void beforeRemove(const Node* node) override {
        for (EditObserver* o : to_)
            o->beforeRemove(node);
    }
    void afterRemove() override {
        for (EditObserver* o : to_)
            o->afterRemove();
    }
    void beforeMove(const Node* node, const Node* newParent, int beforeRow) override {
        for (EditObserver* o : to_)
            o->beforeMove(node, newParent, beforeRow);
    }
    void afterMove(const Node* node) override {
        for (EditObserver* o : to_)
            o->afterMove(node);
    }
    void nodeChanged(const Node* node) override {
        for (EditObserver* o : to_)
            o->nodeChanged(node);
    }
    void propertyChanged(Property property) override {
        for (EditObserver* o : to_)
            o->propertyChanged(property);
    }
    void allTextsChanged() override {
        for (EditObserver* o : to_)
            o->allTextsChanged();
    }

private:
    const std::vector<EditObserver*>& to_;
};

// One step of the history. It holds the edit that its next undo or redo
// applies, and swaps it for the edit that applying gives back.
class EditStep : public QUndoCommand {
public:
    // run counts the runs of typing: a key merges only into the step that
    // its own run began, never into one from before a pause.
    EditStep(OpenMod& mod, Edit edit, std::optional<OpenMod::TypingKey> typing, int run)
        : mod_(mod), edit_(std::move(edit)), typing_(typing), run_(run) {}

    int id() const override { return typing_ ? kTypingId : -1; }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const EditStep*>(other);
        if (next->run_ != run_ || next->typing_ != typing_)
            return false;
        // The next key is done already; undoing this step still gives back
        // the text from before its first key. Typed and taken back again,
        // the step changes nothing and leaves the history.
        setObsolete(holdsAlready(mod_.document(), edit_));
        return true;
    }

    void redo() override {
        // QUndoStack::push applies a new step through redo(); that is no redo.
        edit_ = mod_.apply(std::move(edit_), !first_, expanded_);
        first_ = false;
    }
    void undo() override { edit_ = mod_.apply(std::move(edit_), true, expanded_); }

private:
    OpenMod& mod_;
    Edit edit_;
    std::optional<OpenMod::TypingKey> typing_;
    int run_;
    bool first_ = true;
    // Whether the group this step removes was expanded, to come back so.
    bool expanded_ = false;
};

// The step that changes no text: the line ends the mod is saved with.
class LineEndStep : public QUndoCommand {
public:
    LineEndStep(OpenMod& mod, LineEnds lineEnds) : mod_(mod), lineEnds_(lineEnds) {}

    void redo() override {
        lineEnds_ = mod_.applyLineEnds(lineEnds_, !first_);
        first_ = false;
    }
    void undo() override { lineEnds_ = mod_.applyLineEnds(lineEnds_, true); }

private:
    OpenMod& mod_;
    LineEnds lineEnds_; // those the next undo or redo sets
    bool first_ = true;
};

OpenMod::OpenMod(QObject* parent) : QObject(parent), history_(new QUndoStack(this)) {
    saved_.take(doc_);
}

OpenMod::~OpenMod() {
    // The steps refer to this object; they go first, and quietly: nobody
    // needs to hear of a history that ends with its document.
    const QSignalBlocker blocker(history_);
    history_->clear();
}

bool OpenMod::isModified() const {
    return modified_;
}

void OpenMod::setModified(bool modified) {
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

// The text Save would write differs from the file: in the document, or in
// the line ends it is written with.
void OpenMod::refreshModified() {
    setModified(saved_.differs(doc_) || lineEnds_ != savedLineEnds_);
}

void OpenMod::replaceWith(ModDocument doc, TextEncoding encoding, LineEnds lineEnds,
                          QString path, bool unsaved) {
    emit aboutToBeReplaced();
    typing_.reset();
    // Without signals: the old steps' signals would announce a state that
    // the new document never had.
    {
        const QSignalBlocker blocker(history_);
        history_->clear();
    }
    doc_ = std::move(doc);
    saved_.take(doc_);
    if (unsaved) {
        // No step leads back to a clean state: only saving does.
        saved_.forget();
        history_->resetClean();
    }
    encoding_ = encoding;
    lineEnds_ = lineEnds;
    savedLineEnds_ = lineEnds;
    path_ = std::move(path);
    stampToCheck_.reset();
    emit replaced();
    setModified(unsaved);
}

void OpenMod::replace(ModDocument doc, TextEncoding encoding, QString path,
                      std::optional<FileStamp> stamp, LineEnds lineEnds) {
    diskStamp_ = stamp;
    replaceWith(std::move(doc), encoding, lineEnds, std::move(path), false);
}

void OpenMod::replaceUnsaved(ModDocument doc, TextEncoding encoding, QString path,
                             std::optional<FileStamp> stamp, LineEnds lineEnds) {
    diskStamp_ = stamp;
    replaceWith(std::move(doc), encoding, lineEnds, std::move(path), true);
    stampToCheck_ = stamp;
}

void OpenMod::setStartingProperty(Property property, Text value) {
    Fanout fanout(observers_);
    saved_.apply(doc_, edits::SetProperty{property, std::move(value)}, &fanout);
    if (!modified_)
        saved_.take(doc_);
}

void OpenMod::markSaved() {
    typing_.reset();
    diskStamp_ = fileStamp(path_.toStdString());
    stampToCheck_.reset();
    saved_.take(doc_);
    savedLineEnds_ = lineEnds_;
    // Also keeps the next key from merging into the step before the save.
    history_->setClean();
    setModified(false);
}

std::string OpenMod::assemble() const {
    return assembleMod(doc_, lineEnds_);
}

// What a step is about to change, taken before it changes it.
HistoryStep OpenMod::stepOf(const Edit& edit) const {
    HistoryStep step;
    const auto text = [&](NodePath at, NodeField field, Text nodeText) {
        step.place = at;
        step.field = field;
        step.before = nodeText;
    };
    if (auto* e = std::get_if<edits::SetFileName>(&edit)) {
        if (const Node* node = nodeAt(doc_, e->at))
            text(e->at, NodeField::FileName, node->item().FileName);
    } else if (auto* e = std::get_if<edits::SetSearchText>(&edit)) {
        if (const Node* node = nodeAt(doc_, e->at))
            text(e->at, NodeField::SearchText, node->item().SearchText);
    } else if (auto* e = std::get_if<edits::SetActionText>(&edit)) {
        if (const Node* node = nodeAt(doc_, e->at))
            text(e->at, NodeField::ActionText, node->item().ActionText);
    } else if (auto* e = std::get_if<edits::SetProperty>(&edit)) {
        step.property = e->property;
        step.before = doc_.property(e->property);
    }
    return step;
}

Edit OpenMod::apply(Edit edit, bool undoOrRedo, bool& expanded) {
    if (undoOrRedo)
        typing_.reset();
    HistoryStep step;
    std::optional<Edit> shape;
    if (undoOrRedo) {
        step = stepOf(edit);
        // The node a structural step touched is known once it is applied;
        // texts are shared, so the copy holds no more than paths.
        if (!step.place && !step.property && !std::holds_alternative<edits::SetAllTexts>(edit))
            shape = edit;
    }
    if (std::holds_alternative<edits::Insert>(edit)) {
        step.expanded = expanded;
    } else if (const auto* remove = std::get_if<edits::Remove>(&edit)) {
        const Node* node = nodeAt(doc_, remove->at);
        expanded = node && isExpanded_ && isExpanded_(node);
    }
    if (std::holds_alternative<edits::SetAllTexts>(edit))
        // Only a change of the mod's encoding rewrites every text, and only
        // between the two encodings: doing or undoing it flips the encoding.
        encoding_ =
            encoding_ == TextEncoding::Utf8 ? TextEncoding::Windows1252 : TextEncoding::Utf8;
    Fanout fanout(observers_);
    Edit inverse = saved_.apply(doc_, std::move(edit), &fanout);
    refreshModified();
    if (undoOrRedo) {
        if (shape)
            step.place = placeToShow(doc_, *shape);
        emit historyApplied(step);
    }
    emit changed();
    return inverse;
}

void OpenMod::push(Edit edit, std::optional<TypingKey> typing) {
    const bool continues =
        typing && typing_ == typing && lastKey_.isValid() && lastKey_.elapsed() < kTypingPauseMs;
    if (!continues)
        ++typingRun_;
    history_->push(new EditStep(*this, std::move(edit), typing, typingRun_));
    typing_ = typing;
    if (typing)
        lastKey_.restart();
}

const Node* OpenMod::addNode(const Node* parent, TItem item) {
    const NodePath at{parent ? parent->row() : -1, doc_.childCount(parent)};
    push(edits::Insert{at, NodeCopy{std::move(item), LabelForm::Added, {}}}, std::nullopt);
    return nodeAt(doc_, at);
}

const Node* OpenMod::insertNode(NodePath at, NodeCopy node) {
    push(edits::Insert{at, std::move(node)}, std::nullopt);
    return nodeAt(doc_, at);
}

void OpenMod::removeNode(const Node* node) {
    push(edits::Remove{pathOf(node)}, std::nullopt);
}

bool OpenMod::moveNode(const Node* node, DropPlace place) {
    edits::Move move = moveTo(node, place);
    if (move.from == move.to)
        return false;
    push(std::move(move), std::nullopt);
    return true;
}

void OpenMod::setKind(const Node* node, std::int32_t kind) {
    if (node->kind() != kind)
        push(edits::SetKind{pathOf(node), kind}, std::nullopt);
}

void OpenMod::convertToUtf8() {
    if (encoding_ != TextEncoding::Utf8)
        push(recodeToUtf8(doc_), std::nullopt);
}

void OpenMod::convertToLf() {
    if (lineEnds_ == LineEnds::Lf)
        return;
    typing_.reset();
    history_->push(new LineEndStep(*this, LineEnds::Lf));
}

LineEnds OpenMod::applyLineEnds(LineEnds lineEnds, bool undoOrRedo) {
    typing_.reset();
    const LineEnds before = std::exchange(lineEnds_, lineEnds);
    if (undoOrRedo)
        emit historyApplied({}); // nothing in the tree to show
    refreshModified();
    emit changed();
    return before;
}

void OpenMod::setText(const Node* node, Field field, Text text, bool typing) {
    const NodePath at = pathOf(node);
    Edit edit;
    switch (field) {
    case Field::FileName:
        // Typing a name gives the label its edited form even when the name
        // stays as it was.
        edit = edits::SetFileName{at, std::move(text), LabelForm::Edited};
        break;
    case Field::SearchText:
        edit = edits::SetSearchText{at, std::move(text)};
        break;
    case Field::ActionText:
        edit = edits::SetActionText{at, std::move(text)};
        break;
    }
    if (holdsAlready(doc_, edit))
        return;
    push(std::move(edit), typing ? std::optional(TypingKey{int(field), at}) : std::nullopt);
}

void OpenMod::setProperty(Property property, Text value, bool typing) {
    Edit edit = edits::SetProperty{property, std::move(value)};
    if (holdsAlready(doc_, edit))
        return;
    push(std::move(edit), typing ? std::optional(TypingKey{3 + int(property), {}}) : std::nullopt);
}

void OpenMod::endTyping() {
    typing_.reset();
}

} // namespace torvale
