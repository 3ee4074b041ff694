// The tag scanner held to a plain byte-by-byte walk over the lines: the same
// tagged lines, and never a claim of CR LF line ends that the text lacks.
#include "document/tag_scanner.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {
namespace {

struct ModelLine {
    std::size_t start;
    std::size_t next;
    TagMasks masks;
};

std::vector<ModelLine> modelTaggedLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<ModelLine> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const std::size_t next =
            end == text.size() ? end : end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        std::string lowered(text.substr(start, end - start));
        for (char& c : lowered)
            c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        TagMasks masks;
        for (int t = 0; t < kTagCount; ++t) {
            if (lowered.find(openingTag(t)) != std::string::npos)
                masks.open |= std::uint16_t(1u << t);
            if (lowered.find(closingTag(t)) != std::string::npos)
                masks.close |= std::uint16_t(1u << t);
        }
        if (masks.open || masks.close)
            lines.push_back({start, next, masks});
        start = next;
    }
    return lines;
}

bool modelCrLfOnlyBefore(std::string_view text, std::size_t end) {
    text = text.substr(0, text.find('\0'));
    for (std::size_t i = 0; i < end && i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
            return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    }
    return true;
}

TEST(TagScanner, AgreesWithALineByLineScan) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = test::randomMod(rng);
        const std::vector<ModelLine> expected = modelTaggedLines(text);
        const bool crLfFile = modelCrLfOnlyBefore(text, text.size());
        TagScanner scanner(text);
        TaggedLine line;
        std::size_t k = 0;
        for (; scanner.next(line); ++k) {
            ASSERT_LT(k, expected.size()) << "round " << round;
            ASSERT_EQ(line.start, expected[k].start) << "round " << round << ", line " << k;
            ASSERT_EQ(line.next, expected[k].next) << "round " << round << ", line " << k;
            ASSERT_EQ(line.masks.open, expected[k].masks.open) << "round " << round;
            ASSERT_EQ(line.masks.close, expected[k].masks.close) << "round " << round;
            // What the reader asks: the line ends up to a tagged line it has.
            // A wrong yes would corrupt texts; a needless no only slows them.
            const bool crLfOnly = scanner.crLfOnlyBefore(line.start);
            if (crLfOnly)
                ASSERT_TRUE(modelCrLfOnlyBefore(text, line.start)) << "round " << round;
            else
                ASSERT_FALSE(crLfFile) << "round " << round << ", line " << k;
        }
        ASSERT_EQ(k, expected.size()) << "round " << round;
        ASSERT_EQ(scanner.size(), text.substr(0, text.find('\0')).size()) << "round " << round;
    }
}

} // namespace
} // namespace torvale
