// Everything the window asks of the user or of the desktop, in one place, so
// that tests can answer instead of a person.
#pragma once

#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

namespace torvale {

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // The save prompt; returns QMessageBox::Yes, No or Cancel.
    virtual QMessageBox::StandardButton confirmSave(QWidget* parent, const QString& text);
    // A message of the program's own with one OK button; detail, when given,
    // stands below it in smaller words.
    virtual void showMessage(QWidget* parent, const QString& text, const QString& detail = {});
    // An error of the platform (a file that cannot be read or written).
    virtual void showError(QWidget* parent, const QString& text);

    // The offer of a copy that a program left unsaved: Yes to recover it,
    // Discard to remove it, Cancel to keep it for a later start.
    virtual QMessageBox::StandardButton offerRecovery(QWidget* parent, const QString& text);
    // A question before a file is written over; true for Yes.
    virtual bool confirmOverwrite(QWidget* parent, const QString& text);
    // The warning before a save that the mod would not read back as it is;
    // true for "Save anyway", false for "Cancel".
    virtual bool confirmSaveAnyway(QWidget* parent, const QString& text);

    struct FileDialogOptions {
        QString caption;
        QString directory;
        QString selectedName; // preset file name, empty for none
        QString filter;       // Qt's form: "mod file (*.mod)"
        QString defaultSuffix;
    };
    // The chosen path, or an empty string when the user cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogOptions& options);
    virtual QString saveFileName(QWidget* parent, const FileDialogOptions& options);
    // A folder that exists, starting at directory; empty when cancelled.
    virtual QString existingFolder(QWidget* parent, const QString& caption, const QString& directory);

    // The font chooser, with the text colour; true when the user confirmed,
    // and then font and color hold the choice.
    virtual bool chooseFont(QWidget* parent, QFont& font, QColor& color);

    // Asked when the user typed or pasted characters that the mod's
    // Windows-1252 cannot hold; true to convert the whole mod to UTF-8, false
    // to leave the characters out.
    virtual bool convertToUtf8(QWidget* parent, const QStringList& characters);

    // Go to Line: a line number from 1 to lineCount, current to start with;
    // 0 when the user cancelled.
    virtual int askLineNumber(QWidget* parent, int lineCount, int current);
    // A menu of choices at pos (global coordinates), worked by keys or mouse;
    // the index chosen, -1 for none.
    virtual int chooseFromMenu(QWidget* parent, const QStringList& choices, QPoint pos);

    // Starts a program on its own, without a shell; false if it could not start.
    virtual bool startProgram(const QString& program, const QStringList& arguments);
};

} // namespace torvale
