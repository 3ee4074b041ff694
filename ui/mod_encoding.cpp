// The mod's encoding in the window: the status bar names it, and a character
// typed or pasted that it cannot hold is never stored as something else.
#include "main_window.h"

#include "open_mod.h"
#include "text_codec.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>

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

} // namespace torvale
