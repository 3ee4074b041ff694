// The tag scanner held to a plain byte-by-byte walk over the lines: the same
// tagged lines, and never a claim of CR LF (or LF) line ends that the text lacks.
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

bool modelSameLineEndsBefore(std::string_view text, std::size_t end, LineEnds ends) {
    text = text.substr(0, text.find('\0'));
    if (ends == LineEnds::Lf)
        return text.substr(0, end).find('\r') == std::string_view::npos;
    for (std::size_t i = 0; i < end && i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
            return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    }
    return true;
}

template <LineEnds kTracked> void expectModelScan(const std::string& text, int round) {
    const std::vector<ModelLine> expected = modelTaggedLines(text);
    const bool sameFile = modelSameLineEndsBefore(text, text.size(), kTracked);
    TagScanner<kTracked> scanner(text);
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
        if (scanner.sameLineEndsBefore(line.start))
            ASSERT_TRUE(modelSameLineEndsBefore(text, line.start, kTracked)) << "round " << round;
        else
            ASSERT_FALSE(sameFile) << "round " << round << ", line " << k;
    }
    ASSERT_EQ(k, expected.size()) << "round " << round;
    ASSERT_EQ(scanner.size(), text.substr(0, text.find('\0')).size()) << "round " << round;
}

TEST(TagScanner, AgreesWithALineByLineScan) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        std::string text = test::randomMod(rng);
        // Every other round tracks LF, half of those in a file of LF alone.
        if (round % 4 == 1)
            std::erase(text, '\r');
        if (round % 2)
            expectModelScan<LineEnds::Lf>(text, round);
        else
            expectModelScan<LineEnds::CrLf>(text, round);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

} // namespace
} // namespace torvale
