// A font chooser that also picks the text colour, as the classic Windows font
// dialog does: Qt's font dialog with a colour list under it.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QComboBox;
class QFontDialog;

namespace torvale {

class FontColorDialog : public QDialog {
    Q_OBJECT

public:
    FontColorDialog(const QFont& font, const QColor& color, QWidget* parent = nullptr);

    QFont selectedFont() const;
    QColor selectedColor() const;

private:
    QFontDialog* fonts_;
    QComboBox* colors_;
};

} // namespace torvale
