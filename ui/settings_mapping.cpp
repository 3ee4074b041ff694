// Settings values onto Qt's fonts, colours and strings, and back.
#include "settings_mapping.h"

#include "text_codec.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>

#include <utility>

namespace torvale {

namespace {

// The palette colour that stands for Windows system colour n.
std::pair<QPalette::ColorGroup, QPalette::ColorRole> systemColorRole(std::uint32_t n) {
    using P = QPalette;
    switch (n) {
    case 0:
        return {P::Active, P::Button}; // scroll bar
    case 1:
    case 12:
    case 16:
        return {P::Active, P::Dark}; // desktop, work space, shadow
    case 2:
    case 13:
    case 27:
        return {P::Active, P::Highlight}; // captions, selection
    case 3:
    case 28:
        return {P::Inactive, P::Highlight};
    case 4:
    case 10:
    case 11:
        return {P::Active, P::Window}; // menus, borders
    case 5:
        return {P::Active, P::Base};
    case 6:
    case 21:
        return {P::Active, P::Shadow};
    case 7:
        return {P::Active, P::WindowText};
    case 9:
    case 14:
        return {P::Active, P::HighlightedText};
    case 15:
        return {P::Active, P::Button};
    case 17:
        return {P::Disabled, P::Text};
    case 18:
        return {P::Active, P::ButtonText};
    case 19:
        return {P::Inactive, P::HighlightedText};
    case 20:
        return {P::Active, P::Light};
    case 22:
        return {P::Active, P::Midlight};
    case 23:
        return {P::Active, P::ToolTipText};
    case 24:
        return {P::Active, P::ToolTipBase};
    default:
        return {P::Active, P::Text}; // window text, and any other
    }
}

std::int32_t windowsColor(const QColor& color) {
    return std::int32_t(std::uint32_t(color.red()) | std::uint32_t(color.green()) << 8 |
                        std::uint32_t(color.blue()) << 16);
}

} // namespace

FontDescription desktopEditorFont() {
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    FontDescription font;
    font.name = fixed.family().toStdString();
    font.size = fixed.pointSize() > 0 ? fixed.pointSize() : qRound(fixed.pointSizeF());
    if (font.size <= 0)
        font.size = 10;
    return font;
}

QFont toQFont(const FontDescription& description) {
    QFont font(settingText(description.name));
    // Zero and negative sizes have no meaning here; the desktop's size stands in.
    font.setPointSize(description.size > 0 ? description.size : desktopEditorFont().size);
    font.setBold(description.bold);
    font.setItalic(description.italic);
    font.setUnderline(description.underline);
    font.setStrikeOut(description.strikeOut);
    return font;
}

QColor toQColor(std::int32_t color, const QPalette& palette) {
    const auto value = std::uint32_t(color);
    if (value & std::uint32_t(kSystemColorFlag)) {
        const auto [group, role] = systemColorRole(value & 0xFFFFFFu);
        return palette.color(group, role);
    }
    if (value == 0x20000000u || value == 0x1FFFFFFFu) // clDefault, clNone
        return palette.color(QPalette::Active, QPalette::Text);
    return QColor(int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF));
}

FontDescription toFontDescription(const QFont& font, const QColor& color,
                                  const FontDescription& previous, const QPalette& palette) {
    FontDescription result = previous;
    const QFont shown = toQFont(previous);
    if (font.family() != shown.family() && QFontInfo(font).family() != QFontInfo(shown).family())
        result.name = font.family().toStdString();
    if (font.pointSize() != shown.pointSize())
        result.size = font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
    result.bold = font.bold();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikeOut = font.strikeOut();
    if (color != toQColor(previous.color, palette))
        result.color = windowsColor(color);
    return result;
}

QString settingText(const std::string& bytes) {
    return decodeText(bytes, detectEncoding(bytes));
}

std::string settingBytes(const QString& text, const std::string& old) {
    return text == settingText(old) ? old : text.toStdString();
}

QString settingPath(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string pathSetting(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace torvale
