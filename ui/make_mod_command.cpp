// File > New Mod from Changes...: the mod made from the forum and a changed
// copy opens as a new, unsaved mod, with the author's name and homepage.
#include "main_window.h"

#include "make_mod_dialog.h"
#include "open_mod.h"
#include "settings_mapping.h"
#include "text_codec.h"

#include <QFileInfo>

namespace torvale {

void TFormMain::actNewModFromChangesExecute() {
    const QString script = settingPath(settings_.YaBB);
    MakeModDialog dialog(prompts(), script.isEmpty() ? QString() : QFileInfo(script).absolutePath(),
                         this);
    if (dialog.exec() != QDialog::Accepted || !dialog.made() || !saveBeforeDiscard())
        return;
    MadeMod made = dialog.takeMade();
    const TextEncoding encoding = detectEncoding(made.text);
    ClearAllValue();
    loading_ = true;
    // Unsaved from the start: it has no file yet, and Save asks for one.
    mod_->replaceUnsaved(std::move(made.document), encoding, QString(), std::nullopt, LineEnds::Lf);
    AutoFillInfo();
    const ModDocument& doc = mod_->document();
    selectNode(doc.treeEmpty() ? nullptr : doc.topLevel(0));
    loading_ = false;
    tvActions->expandAll();
    refreshShownPage();
}

} // namespace torvale
