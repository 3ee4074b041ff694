// The mod's encoding in the window: the status bar names it, and a character
// typed or pasted that it cannot hold is never stored as something else.
#include "main_window.h"

#include "open_mod.h"
#include "text_codec.h"

#include <QLabel>
#include <QSignalBlocker>

namespace torvale {

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
    if (mod_->encoding() == TextEncoding::Windows1252 && prompts().convertToUtf8(this, lacking)) {
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
