// The editor font as the settings file stores it: a plain description (face,
// points, style, Windows colour value) and its one-line text form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvale {

// Windows colour values: red in the lowest byte; 0x80000000 + n is system
// colour n, which the desktop decides.
inline constexpr std::int32_t clWindowText = std::int32_t(0x80000008u);
inline constexpr std::int32_t kSystemColorFlag = std::int32_t(0x80000000u);

struct FontDescription {
    // A newly made font of the original toolkit; the window replaces it with
    // this desktop's fixed-width font.
    std::string name = "MS Sans Serif";
    std::int32_t size = 8; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::int32_t color = clWindowText;

    bool operator==(const FontDescription&) const = default;
};

// A signed 32-bit integer in decimal, or in hexadecimal after "$", "0x" or
// "0X" (up to eight digits, the top bit giving the sign); nullopt otherwise.
std::optional<std::int32_t> parseInteger(std::string_view text);

// The name of the colour identifier with this value ("clBlue"), else "$" and
// eight upper-case hexadecimal digits.
std::string ColorToString(std::int32_t color);
// An identifier (any letter case) or an integer as parseInteger reads it.
std::optional<std::int32_t> StringToColor(std::string_view text);

struct ColorIdentifier {
    const char* name;
    std::int32_t value;
};
// The 49 identifiers, in the order they are searched.
std::basic_string_view<ColorIdentifier> colorIdentifiers();

// "Face,points,BIUS,colour", e.g. "Courier New,10,1000,clWindowText".
std::string FontToString(const FontDescription& font);

// Sets font from a font string, field by field; returns why it failed, or an
// empty string. A failure leaves the fields before it changed.
std::string StringToFont(std::string_view text, FontDescription& font);

// The error of StringToFont for a text of the wrong shape.
inline constexpr std::string_view kInvalidFontString = "Invalid string to font conversion";

} // namespace torvale
