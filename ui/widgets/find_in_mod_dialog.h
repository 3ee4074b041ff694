// The modeless Find in Mod dialog: a search text, a replacement, and buttons
// that ask the owner to list every occurrence in the mod or to replace them.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace torvale {

class FindInModDialog : public QDialog {
    Q_OBJECT

public:
    explicit FindInModDialog(QWidget* parent);

    QString findText() const;
    QString replaceText() const;
    // Shows the dialog, or brings it forward, with the search text selected;
    // a text given replaces it first.
    void present(const QString& text = {});

signals:
    void findAllRequested();
    void replaceAllRequested();

private:
    QLineEdit* findEdit_;
    QLineEdit* replaceEdit_;
    QPushButton* findAll_;
    QPushButton* replaceAll_;
};

} // namespace torvale
