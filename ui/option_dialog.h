// TFormOption: the Options dialog, where the user sets the forum and installer
// locations, name, homepage, editor font, recent-files maximum and the .mod
// association. It edits a copy of the settings; OK hands it back.
#pragma once

#include "settings/settings.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;

namespace torvale {

class UserPrompts;

class TFormOption : public QDialog {
    Q_OBJECT

public:
    TFormOption(const Settings& settings, UserPrompts& prompts, QWidget* parent = nullptr);

    // The settings as given, or after OK as the dialog's controls set them.
    const Settings& settings() const { return settings_; }

private:
    void FormCreate();
    void actBrowseYaBBExecute();
    void actBrowseBoardModExecute();
    void browseInto(QLineEdit* edit, const QString& filter);
    void actSelectFontExecute();
    void FontUpdate();
    void btnOKClick();

    Settings settings_;
    UserPrompts& prompts_;
    // The font being chosen; lblFont shows it.
    FontDescription font_;
    // The browse dialog starts where it last picked a file in this dialog.
    QString lastPicked_;

    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* edtYaBB = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLineEdit* edtBoardMod = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QLineEdit* edtYourName = nullptr;
    QLineEdit* edtYourHomepage = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QLabel* lblFont = nullptr;
    QSpinBox* udMRU = nullptr;
    QCheckBox* cbAssociation = nullptr;
};

} // namespace torvale
