// The font string: the examples of files written on Windows, damaged values,
// the colour names both ways, and reading through TIniPlus.
#include "settings/font_codec.h"
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvale;

namespace {

FontDescription font(std::string name, int size, std::string_view style, std::int32_t color) {
    FontDescription f;
    f.name = std::move(name);
    f.size = size;
    f.bold = style[0] == '1';
    f.italic = style[1] == '1';
    f.underline = style[2] == '1';
    f.strikeOut = style[3] == '1';
    f.color = color;
    return f;
}

} // namespace

TEST(FontString, WritesTheFourFields) {
    EXPECT_EQ(FontToString(font("Courier New", 10, "1000", clWindowText)),
              "Courier New,10,1000,clWindowText");
    EXPECT_EQ(FontToString(font("Courier New", 10, "0110", 0x0000FF)), "Courier New,10,0110,clRed");
    EXPECT_EQ(FontToString(FontDescription{}), "MS Sans Serif,8,0000,clWindowText");
    EXPECT_EQ(FontToString(font("x", -11, "0001", 0x123456)), "x,-11,0001,$00123456");
    EXPECT_EQ(FontToString(font("a,b", 9, "0000", 0)), "a,b,9,0000,clBlack")
        << "a comma in the name is written as it is";
}

// Each text read over the same starting font: what the font is afterwards,
// and the error. A failure keeps the fields it had already set.
TEST(FontString, ReadsFieldByFieldAndStopsAtTheFirstBadOne) {
    const FontDescription start = font("Start", 12, "0101", 0x00FF00);
    const std::string longName(40, 'n');
    const std::string utf8Name = std::string(30, 'e') + "\xC3\xA9" + "zz"; // é across byte 31
    const struct {
        std::string text;
        FontDescription expected;
        std::string error;
    } cases[] = {
        {"Arial,9,1x1y,$00FF0000", font("Arial", 9, "1010", 0xFF0000), ""},
        {"Courier New,10,0110,clRed", font("Courier New", 10, "0110", 0x0000FF), ""},
        {"Arial,9,0000,clwindowTEXT", font("Arial", 9, "0000", clWindowText), ""},
        {"Arial,9,0000,255", font("Arial", 9, "0000", 0x0000FF), ""},
        {"Arial,$10,0000,-1", font("Arial", 16, "0000", -1), ""},
        {",7,1111,clNone", font("Start", 7, "1111", 0x1FFFFFFF), ""},
        {longName + ",9,0000,clBlack", font(std::string(31, 'n'), 9, "0000", 0), ""},
        {utf8Name + ",9,0000,clBlack", font(std::string(30, 'e'), 9, "0000", 0), ""},
        {std::string(40, '\xA8') + ",9,0000,clBlack", font(std::string(31, '\xA8'), 9, "0000", 0),
         ""},
        {"Arial", start, std::string(kInvalidFontString)},
        {"", start, std::string(kInvalidFontString)},
        {"Arial,9", font("Arial", 12, "0101", 0x00FF00), std::string(kInvalidFontString)},
        {"Arial,x,0000,clBlack", font("Arial", 12, "0101", 0x00FF00),
         "'x' is not a valid integer value"},
        {"Arial,9,00,clBlack", font("Arial", 9, "0101", 0x00FF00), std::string(kInvalidFontString)},
        {"Arial,9,00000,clBlack", font("Arial", 9, "0101", 0x00FF00),
         std::string(kInvalidFontString)},
        {"Arial,9,0000,notacolour", font("Arial", 9, "0000", 0x00FF00),
         "'notacolour' is not a valid integer value"},
        {"Arial,9,0000,", font("Arial", 9, "0000", 0x00FF00), "'' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        FontDescription f = start;
        EXPECT_EQ(StringToFont(c.text, f), c.error) << c.text;
        EXPECT_EQ(f, c.expected) << c.text;
    }
}

TEST(FontString, ColourNamesBothWays) {
    const auto table = colorIdentifiers();
    ASSERT_EQ(table.size(), 49u);
    for (const ColorIdentifier& entry : table) {
        EXPECT_EQ(ColorToString(entry.value), entry.name);
        std::string shouted = entry.name;
        for (char& c : shouted)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(StringToColor(shouted), entry.value) << shouted;
    }
    // Spot values: BGR order, and system colours above the top bit.
    EXPECT_EQ(StringToColor("clBlue"), 0xFF0000);
    EXPECT_EQ(StringToColor("clSkyBlue"), 0xF0CAA6);
    EXPECT_EQ(StringToColor("clBtnFace"), std::int32_t(0x8000000Fu));
    EXPECT_EQ(StringToColor("clDefault"), 0x20000000);
    EXPECT_EQ(ColorToString(0x00123456), "$00123456");
    EXPECT_EQ(ColorToString(std::int32_t(0x80000019u)), "$80000019") << "no name for 25";
    EXPECT_EQ(StringToColor("$00123456"), 0x00123456);
    EXPECT_EQ(StringToColor("clBlu"), std::nullopt);
}

TEST(FontString, EveryFontReadsBackAsWritten) {
    std::mt19937 rng(11);
    const std::int32_t colors[] = {0, 0xFF0000, clWindowText, 0x1FFFFFFF, 0x00123456, -1};
    for (int i = 0; i < 1000; ++i) {
        FontDescription f;
        f.name.clear();
        for (std::size_t n = 1 + rng() % 31; n > 0; --n)
            f.name += "Ab yz-9\xE9$"[rng() % 9];
        f.size = std::int32_t(rng()) >> (rng() % 32);
        f.bold = rng() % 2, f.italic = rng() % 2, f.underline = rng() % 2, f.strikeOut = rng() % 2;
        f.color = rng() % 2 ? colors[rng() % std::size(colors)] : std::int32_t(rng());
        FontDescription back;
        ASSERT_EQ(StringToFont(FontToString(f), back), "") << FontToString(f);
        EXPECT_EQ(back, f) << FontToString(f);
    }
}

TEST(ReadFont, AMissingOrDamagedValueKeepsTheFontOnEntry) {
    const FontDescription entry = font("DejaVu Sans Mono", 10, "0000", clWindowText);
    for (const char* value : {"Arial", "Arial,x,0000,clBlack", "Arial,9,00,clBlack",
                              "Arial,9,0000,notacolour", "a,b,9,0000,clBlack"}) {
        TIniPlus ini;
        ini.WriteString("General", "Editor_Font", value);
        FontDescription f = entry;
        ini.ReadFont("General", "Editor_Font", f);
        EXPECT_EQ(f, entry) << value;
    }
    FontDescription f = entry;
    TIniPlus().ReadFont("General", "Editor_Font", f);
    EXPECT_EQ(f, entry);

    // Even a font whose own string would not read back is restored whole.
    const FontDescription odd = font("Odd, Name", 9, "1000", 0);
    f = odd;
    TIniPlus damaged;
    damaged.WriteString("General", "Editor_Font", "damaged");
    damaged.ReadFont("General", "Editor_Font", f);
    EXPECT_EQ(f, odd);

    TIniPlus good;
    good.WriteFont("General", "Editor_Font", font("Arial", 9, "1010", 0xFF0000));
    EXPECT_EQ(good.ReadString("General", "Editor_Font", ""), "Arial,9,1010,clBlue");
    f = entry;
    good.ReadFont("general", "EDITOR_FONT", f);
    EXPECT_EQ(f, font("Arial", 9, "1010", 0xFF0000));
}
