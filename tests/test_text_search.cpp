// Byte search with line breaks of any form, held to std::string::find over
// the text with every line break written as CR LF.
#include "document/text_encoding.h"
#include "document/text_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace torvale;

namespace {

// text with every line break as CR LF, and for each of its offsets (and its
// end) the offset of text it came from.
struct CrLfText {
    std::string text;
    std::vector<std::size_t> origin;
    explicit CrLfText(std::string_view from) {
        for (std::size_t i = 0; i < from.size(); ++i) {
            const bool crLf = from[i] == '\r' && i + 1 < from.size() && from[i + 1] == '\n';
            if (from[i] == '\r' || from[i] == '\n') {
                text += "\r\n";
                origin.insert(origin.end(), {i, i});
                i += crLf;
            } else {
                text += from[i];
                origin.push_back(i);
            }
        }
        origin.push_back(from.size());
    }
};

std::string randomText(std::mt19937& rng, std::size_t maxLength, bool onlyCrLf) {
    static constexpr std::string_view kAlphabet = "ab\r\n";
    std::string text(std::uniform_int_distribution<std::size_t>(0, maxLength)(rng), 'a');
    for (char& c : text)
        c = kAlphabet[std::uniform_int_distribution<std::size_t>(0, 3)(rng)];
    return onlyCrLf ? CrLfText(text).text : text;
}

} // namespace

TEST(FindText, AgreesWithFindOverTheTextWithCrLfBreaks) {
    std::mt19937 rng(20261208);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(rng, 40, false);
        const std::string needle = randomText(rng, 6, true);
        const CrLfText model(text);
        // Any start but the inside of a CR LF.
        std::size_t from = std::uniform_int_distribution<std::size_t>(0, text.size())(rng);
        if (from > 0 && from < text.size() && text[from - 1] == '\r' && text[from] == '\n')
            --from;
        const std::size_t modelFrom =
            std::find(model.origin.begin(), model.origin.end(), from) - model.origin.begin();
        const std::size_t expected =
            needle.empty() ? std::string::npos : model.text.find(needle, modelFrom);
        const auto found = findText(text, needle, from);
        SCOPED_TRACE(testing::Message()
                     << "text \"" << text << "\" needle \"" << needle << "\" from " << from);
        ASSERT_EQ(found.has_value(), expected != std::string::npos);
        if (found) {
            EXPECT_EQ(*found,
                      (ByteRange{model.origin[expected], model.origin[expected + needle.size()]}));
        }
    }
}

TEST(FindText, FindsAcrossTensOfMegabytes) {
    std::string text(32u << 20, 'x');
    text.replace(text.size() - 100, 6, "needle");
    EXPECT_EQ(findText(text, "needle", 0), (ByteRange{text.size() - 100, text.size() - 94}));
    EXPECT_FALSE(findText(text, "needle", text.size() - 99));
}

TEST(Utf16Length, CountsUnitsAsQtWould) {
    EXPECT_EQ(utf16Length("plain", TextEncoding::Utf8), 5u);
    EXPECT_EQ(utf16Length("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", TextEncoding::Utf8), 4u)
        << "é, €, and an emoji as a surrogate pair";
    EXPECT_EQ(utf16Length("\xE9\x80", TextEncoding::Windows1252), 2u);
}
