// The mod's encoding and line ends in the window: the status bar names them, a
// character it cannot hold is never stored as something else, and a CR LF mod
// converts to LF.
#include "main_window.h"

#include "open_mod.h"
#include "text_codec.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>
#include <QStatusBar>

#include <vector>

namespace torvale {

namespace {

// While the question is open, the user may still be typing: the keys that
// were meant for the field are held back from the question (a letter would
// otherwise answer it or vanish) and typed into the field once it is answered.
// Enter, Escape, Tab and Alt with a letter still answer it.
class KeysTypedMeanwhile : public QObject {
public:
    KeysTypedMeanwhile() { qApp->installEventFilter(this); }
    ~KeysTypedMeanwhile() override { qApp->removeEventFilter(this); }

    void typeInto(QWidget* field) {
        qApp->removeEventFilter(this);
        for (const auto& key : held_)
            QCoreApplication::postEvent(field, new QKeyEvent(QEvent::KeyPress, key.key,
                                                             key.modifiers, key.text));
        held_.clear();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool typing = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier |
                                                  Qt::MetaModifier));
        if (!typing)
            return QObject::eventFilter(watched, event);
        if (event->type() == QEvent::KeyPress)
            held_.push_back({key->key(), key->modifiers(), key->text()});
        return true;
    }

private:
    struct Key {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
    };
    std::vector<Key> held_;
};

} // namespace

void TFormMain::updateEncodingStatus() {
    encodingPanel_->setText(mod_->encoding() == TextEncoding::Utf8
                                ? QStringLiteral("UTF-8")
                                : QStringLiteral("Windows-1252"));
}

// Runs before a field's text is stored. The field, the document and the saved
// file must hold the same text, so a character the mod's encoding lacks is
// not turned into "?": the user converts the mod to UTF-8, or it is left out
// of the field too.
void TFormMain::keepEncodable(QWidget* widget) {
    TextField field(widget);
    QStringList lacking = unencodableCharacters(field.text(), mod_->encoding());
    if (lacking.isEmpty())
        return;
    KeysTypedMeanwhile meanwhile;
    const bool convert =
        mod_->encoding() == TextEncoding::Windows1252 && prompts().convertToUtf8(this, lacking);
    // Posted, so they arrive after the change under way is stored.
    meanwhile.typeInto(widget);
    if (convert) {
        convertModToUtf8();
        // Halves of surrogate pairs are characters in no encoding.
        lacking = unencodableCharacters(field.text(), mod_->encoding());
    }
    if (!lacking.isEmpty())
        leaveOut(field, lacking);
}

// One step of the history, which Undo takes back.
void TFormMain::convertModToUtf8() {
    mod_->convertToUtf8();
    updateEncodingStatus();
}

void TFormMain::leaveOut(TextField field, const QStringList& characters) {
    const QSignalBlocker blocker(field.widget());
    qint64 caret = field.selectionStart() + field.selectionLength();
    for (const QString& character : characters) {
        for (qint64 at = field.find(character, 0); at >= 0; at = field.find(character, at)) {
            field.select(at, character.size());
            field.replaceSelection(QString());
            if (at < caret)
                caret -= character.size();
        }
    }
    field.select(caret, 0);
}

// ---- Line ends ---------------------------------------------------------------

void TFormMain::createLineEndsStatus() {
    lineEndsPanel_ = new QLabel(this);
    lineEndsPanel_->setObjectName(QStringLiteral("StatusBarLineEnds"));
    lineEndsPanel_->setToolTip(QStringLiteral("The line ends the mod is saved with"));
    statusBar()->addPermanentWidget(lineEndsPanel_);
    showLineEnds();
    // A new document is shown by whoever replaced it; Undo and Redo of a
    // conversion change the Preview too.
    connect(mod_, &OpenMod::replaced, this, [this] {
        showLineEnds();
        updateCommandStates();
    });
    connect(mod_, &OpenMod::historyApplied, this, [this] {
        if (showLineEnds())
            refreshShownPage();
    });
}

bool TFormMain::showLineEnds() {
    const QString name =
        mod_->lineEnds() == LineEnds::CrLf ? QStringLiteral("CR LF") : QStringLiteral("LF");
    if (lineEndsPanel_->text() == name)
        return false;
    lineEndsPanel_->setText(name);
    return true;
}

// YaBB's installer keeps the CR of a CR LF mod in each file name and in the
// lines it inserts; one step of the history, which Undo takes back.
void TFormMain::convertModToLf() {
    mod_->convertToLf();
    showLineEnds();
    refreshShownPage();
}

} // namespace torvale
