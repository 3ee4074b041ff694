// FontColorDialog: the colours offered are the sixteen of the classic dialog,
// after the colour the font has now, so that keeping it keeps it exactly.
#include "font_color_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace torvale {

namespace {

const std::pair<const char*, QColor> kColors[] = {
    {"Black", QColor(0, 0, 0)},        {"Maroon", QColor(128, 0, 0)},
    {"Green", QColor(0, 128, 0)},      {"Olive", QColor(128, 128, 0)},
    {"Navy", QColor(0, 0, 128)},       {"Purple", QColor(128, 0, 128)},
    {"Teal", QColor(0, 128, 128)},     {"Gray", QColor(128, 128, 128)},
    {"Silver", QColor(192, 192, 192)}, {"Red", QColor(255, 0, 0)},
    {"Lime", QColor(0, 255, 0)},       {"Yellow", QColor(255, 255, 0)},
    {"Blue", QColor(0, 0, 255)},       {"Fuchsia", QColor(255, 0, 255)},
    {"Aqua", QColor(0, 255, 255)},     {"White", QColor(255, 255, 255)},
};

QIcon swatch(const QColor& color) {
    QPixmap pixmap(24, 14);
    pixmap.fill(color);
    return QIcon(pixmap);
}

} // namespace

FontColorDialog::FontColorDialog(const QFont& font, const QColor& color, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Font"));
    fonts_ = new QFontDialog(this);
    fonts_->setObjectName(QStringLiteral("fontChooser"));
    fonts_->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts_->setWindowFlags(Qt::Widget);
    // The list holds the families this system has: a face it lacks is shown
    // as the one that stands in for it, with that one's styles.
    // The style is named too: the chooser would otherwise take the first
    // style of a family whose regular one is not called "Normal".
    const QFontInfo resolved(font);
    QFont shown = font;
    shown.setFamily(resolved.family());
    shown.setStyleName(resolved.styleName());
    fonts_->setCurrentFont(shown);
    // Escape in the embedded chooser closes it as a dialog of its own: close
    // this one instead, with its answer.
    connect(fonts_, &QDialog::finished, this, [this](int result) { done(result); });

    colors_ = new QComboBox(this);
    colors_->setObjectName(QStringLiteral("colorChooser"));
    colors_->setIconSize(QSize(24, 14));
    bool listed = false;
    for (const auto& [name, value] : kColors)
        listed = listed || value == color;
    if (!listed)
        colors_->addItem(swatch(color), QStringLiteral("Current"), color);
    for (const auto& [name, value] : kColors)
        colors_->addItem(swatch(value), QLatin1String(name), value);
    colors_->setCurrentIndex(colors_->findData(color));

    auto* colorLabel = new QLabel(QStringLiteral("&Colour:"), this);
    colorLabel->setBuddy(colors_);
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(colorLabel);
    colorRow->addWidget(colors_);
    colorRow->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fonts_);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
}

QFont FontColorDialog::selectedFont() const {
    return fonts_->currentFont();
}

QColor FontColorDialog::selectedColor() const {
    return colors_->currentData().value<QColor>();
}

} // namespace torvale
