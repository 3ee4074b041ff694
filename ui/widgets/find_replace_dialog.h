// The modeless Find and Replace dialogs: a search text, for Replace a
// replacement, and buttons that ask the owner to act. They keep their texts
// from one use to the next; the owner decides what a search means.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace torvale {

class FindReplaceDialog : public QDialog {
    Q_OBJECT

public:
    enum class Mode { Find, Replace };

    FindReplaceDialog(Mode mode, QWidget* parent);

    QString findText() const;
    QString replaceText() const;
    // Replace and Replace All, for a field that cannot be changed.
    void setReplaceEnabled(bool enabled);
    // Shows the dialog, or brings it forward when it shows, with the search
    // text selected to type over.
    void present();
    // Moves the dialog above or below area, in global coordinates, when it
    // covers any of it, so that what was found can be seen.
    void keepClearOf(const QRect& area);

signals:
    void findNextRequested();
    void replaceRequested();
    void replaceAllRequested();

private:
    void updateButtons();

    QLineEdit* findEdit_ = nullptr;
    QLineEdit* replaceEdit_ = nullptr;
    QPushButton* findNext_ = nullptr;
    QPushButton* replace_ = nullptr;
    QPushButton* replaceAll_ = nullptr;
    bool replaceEnabled_ = true;
};

} // namespace torvale
