// The About page, drawn as designed, with the settings file in use named in
// plain text at its foot (selectable, for a user who looks for the file).
#include "about_page.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace torvale {

namespace {

QFont arial(int pixels, bool boldItalic) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(boldItalic);
    font.setItalic(boldItalic);
    return font;
}

const QColor kGreen(0, 128, 0);

} // namespace

AboutPage::AboutPage(QWidget* parent) : QWidget(parent), settingsLine_(new QLabel(this)) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    settingsLine_->setObjectName(QStringLiteral("lblSettingsFile"));
    settingsLine_->setAlignment(Qt::AlignHCenter);
    settingsLine_->setWordWrap(true);
    settingsLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(settingsLine_);
}

void AboutPage::setSettingsFile(const QString& path) {
    settingsLine_->setText(path.isEmpty() ? QString()
                                          : QStringLiteral("Settings file: ") +
                                                QDir::toNativeSeparators(path));
}

QString AboutPage::creditLine() {
    return QStringLiteral("A mod file editor for YaBB forums");
}
QString AboutPage::versionLine() {
    return QStringLiteral("Ver 1.0.3beta");
}

void AboutPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QString title = QStringLiteral("Torvale");
    const QFont titleFont = arial(44, true);
    const QFont lineFont = arial(21, false);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics lineMetrics(lineFont);

    const int blockHeight = titleMetrics.height() + 2 * lineMetrics.height() + 24;
    int y = std::max(24, (height() - blockHeight) / 3) + titleMetrics.ascent();
    const int titleX = (width() - titleMetrics.horizontalAdvance(title)) / 2;

    // The black copy shows as a shadow below and to the right of the green one.
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    painter.drawText(titleX, y, title);
    painter.setPen(kGreen);
    painter.drawText(titleX - 2, y - 3, title);

    painter.setFont(lineFont);
    for (const QString& line : {creditLine(), versionLine()}) {
        y += lineMetrics.height() + 12;
        painter.drawText((width() - lineMetrics.horizontalAdvance(line)) / 2, y, line);
    }
}

} // namespace torvale
