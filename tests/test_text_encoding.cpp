#include "document/text_encoding.h"

#include <gtest/gtest.h>

#include <set>

using namespace torvale;

TEST(Utf8, AcceptsOnlyStrictUtf8) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain ASCII <id>"));
    EXPECT_TRUE(isValidUtf8("\xD0\x96\xD0\xB8 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF")) << "U+10FFFF";
    EXPECT_FALSE(isValidUtf8("\xE4")) << "a Windows-1252 umlaut";
    EXPECT_FALSE(isValidUtf8("caf\xE9 au lait"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF")) << "overlong slash";
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF")) << "overlong";
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")) << "surrogate";
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")) << "above U+10FFFF";
    EXPECT_FALSE(isValidUtf8("\xE2\x82")) << "cut short";
    EXPECT_FALSE(isValidUtf8("\x80"));
    EXPECT_EQ(detectEncoding("Stra\xC3\x9F"
                             "e"),
              TextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("Stra\xDF"
                             "e"),
              TextEncoding::Windows1252);
}

TEST(Windows1252, IsABijectionOfAllBytes) {
    std::set<char16_t> seen;
    for (int b = 0; b < 256; ++b) {
        const char16_t u = windows1252ToUnicode(static_cast<unsigned char>(b));
        EXPECT_TRUE(seen.insert(u).second) << b;
        EXPECT_EQ(unicodeToWindows1252(u), b);
    }
    EXPECT_EQ(windows1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(unicodeToWindows1252(u'\u0416'), -1) << "Cyrillic has no byte here";
}
