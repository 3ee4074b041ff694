// The mod's encoding and line ends in the window: the status bar names them, a
// character it cannot hold is never stored as something else, and a CR LF mod
// converts to LF.
#include "main_window.h"

#include "open_mod.h"
#include "text_codec.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>

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
