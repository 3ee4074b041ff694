// The settings' font and texts as the widgets show them, and what the user
// chose back as settings, leaving untouched what the user did not change.
#pragma once

#include "settings/font_codec.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

#include <string>

namespace torvale {

// This desktop's fixed-width font at its default size, in the window text
// colour: the editor font when the settings name none or a damaged one.
FontDescription desktopEditorFont();

// The font a description names; a face this system lacks shows as the
// substitute the font system finds for it.
QFont toQFont(const FontDescription& description);
// A Windows colour value on this desktop: system colours (clWindowText,
// clWindow, ...) take the matching colour of the palette.
QColor toQColor(std::int32_t color, const QPalette& palette);

// The font and colour the user chose, as a description of previous: what
// still shows the same keeps its previous value, so an absent face keeps its
// name and a system colour its identifier.
FontDescription toFontDescription(const QFont& font, const QColor& color,
                                  const FontDescription& previous, const QPalette& palette);

// A text setting as the user sees it: UTF-8, or Windows-1252 when it is not.
QString settingText(const std::string& bytes);
// What the user typed as a setting: the old bytes when it reads the same.
std::string settingBytes(const QString& text, const std::string& old);

// A path kept in the settings, and back.
QString settingPath(const std::string& bytes);
std::string pathSetting(const QString& path);

} // namespace torvale
