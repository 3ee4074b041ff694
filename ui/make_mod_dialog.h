// File > New Mod from Changes...: the forum as it was and its changed copy
// chosen, the files and steps found shown, the mod made kept for the window.
#pragma once

#include "check/make_mod.h"

#include <QDialog>

#include <optional>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace torvale {

class UserPrompts;

class MakeModDialog : public QDialog {
    Q_OBJECT

public:
    // original: the folder the original field starts with (the forum's).
    MakeModDialog(UserPrompts& prompts, const QString& original, QWidget* parent = nullptr);
    ~MakeModDialog() override;

    // The mod found last; nothing before Find Changes or after a field changed.
    const std::optional<MadeMod>& made() const { return made_; }
    MadeMod takeMade();

private:
    void browse(QLineEdit* field, const QString& caption);
    void findChanges();
    void forget();

    UserPrompts& prompts_;
    QLineEdit* edOriginal = nullptr;
    QLineEdit* edChanged = nullptr;
    QTreeWidget* lvFiles = nullptr;
    QLabel* lblSummary = nullptr;
    QDialogButtonBox* buttons = nullptr;
    std::optional<MadeMod> made_;
};

} // namespace torvale
