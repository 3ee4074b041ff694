// The font string codec: FontToString, StringToFont and the colour names of
// the original toolkit, so that files written on Windows read the same here.
#include "font_codec.h"

#include "text_compare.h"

#include <array>
#include <cstdio>

namespace torvale {

namespace {

constexpr std::int32_t sys(int n) {
    return std::int32_t(0x80000000u + unsigned(n));
}

// Values are BGR: clRed is 0000FF.
constexpr std::array<ColorIdentifier, 49> kColors = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clActiveBorder", sys(10)},
    {"clActiveCaption", sys(2)},
    {"clAppWorkSpace", sys(12)},
    {"clBackground", sys(1)},
    {"clBtnFace", sys(15)},
    {"clBtnHighlight", sys(20)},
    {"clBtnShadow", sys(16)},
    {"clBtnText", sys(18)},
    {"clCaptionText", sys(9)},
    {"clDefault", 0x20000000},
    {"clGradientActiveCaption", sys(27)},
    {"clGradientInactiveCaption", sys(28)},
    {"clGrayText", sys(17)},
    {"clHighlight", sys(13)},
    {"clHighlightText", sys(14)},
    {"clInactiveBorder", sys(11)},
    {"clInactiveCaption", sys(3)},
    {"clInactiveCaptionText", sys(19)},
    {"clInfoBk", sys(24)},
    {"clInfoText", sys(23)},
    {"clMenu", sys(4)},
    {"clMenuText", sys(7)},
    {"clNone", 0x1FFFFFFF},
    {"clScrollBar", sys(0)},
    {"cl3DDkShadow", sys(21)},
    {"cl3DLight", sys(22)},
    {"clWindow", sys(5)},
    {"clWindowFrame", sys(6)},
    {"clWindowText", sys(8)},
}};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string notAnInteger(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

// Face names are at most 31 bytes; a cut never splits a UTF-8 character.
std::string faceName(std::string_view name) {
    if (name.size() <= 31)
        return std::string(name);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(name[i]); };
    std::size_t end = 31;
    // Back to the first byte of the character at the cut, when that is a
    // UTF-8 one; bytes that are no UTF-8 are cut where they stand.
    std::size_t start = end;
    while (end - start < 3 && (byte(start) & 0xC0) == 0x80)
        --start;
    if ((byte(start) & 0xC0) == 0xC0)
        end = start;
    return std::string(name.substr(0, end));
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view text) {
    std::string_view digits;
    if (text.starts_with('$'))
        digits = text.substr(1);
    else if (text.starts_with("0x") || text.starts_with("0X"))
        digits = text.substr(2);
    if (digits.data()) {
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        std::uint32_t value = 0;
        for (char c : digits) {
            const int d = hexDigit(c);
            if (d < 0)
                return std::nullopt;
            value = value * 16 + std::uint32_t(d);
        }
        return std::int32_t(value);
    }
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+'))
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::int64_t(1) << 31)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX)
        return std::nullopt;
    return std::int32_t(value);
}

std::basic_string_view<ColorIdentifier> colorIdentifiers() {
    return {kColors.data(), kColors.size()};
}

std::string ColorToString(std::int32_t color) {
    for (const ColorIdentifier& entry : kColors)
        if (entry.value == color)
            return entry.name;
    char text[10];
    std::snprintf(text, sizeof text, "$%08X", unsigned(color));
    return text;
}

std::optional<std::int32_t> StringToColor(std::string_view text) {
    for (const ColorIdentifier& entry : kColors)
        if (equalsIgnoringCase(text, entry.name))
            return entry.value;
    return parseInteger(text);
}

std::string FontToString(const FontDescription& font) {
    std::string text = font.name + "," + std::to_string(font.size) + ",";
    for (bool on : {font.bold, font.italic, font.underline, font.strikeOut})
        text += on ? '1' : '0';
    return text + "," + ColorToString(font.color);
}

std::string StringToFont(std::string_view text, FontDescription& font) {
    std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::string(kInvalidFontString);
    if (comma > 0)
        font.name = faceName(text.substr(0, comma));
    text.remove_prefix(comma + 1);

    comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::string(kInvalidFontString);
    const auto size = parseInteger(text.substr(0, comma));
    if (!size)
        return notAnInteger(text.substr(0, comma));
    font.size = *size;
    text.remove_prefix(comma + 1);

    if (text.find(',') != 4)
        return std::string(kInvalidFontString);
    font.bold = text[0] == '1';
    font.italic = text[1] == '1';
    font.underline = text[2] == '1';
    font.strikeOut = text[3] == '1';
    text.remove_prefix(5);

    const auto color = StringToColor(text);
    if (!color)
        return notAnInteger(text);
    font.color = *color;
    return {};
}

} // namespace torvale
