// Reading what the assembler wrote gives the document back.
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "reference_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvale;

namespace {

class RealMods : public ::testing::TestWithParam<std::string> {};

std::string realMod(const std::string& name) {
    return test::readBytes(test::sharedDir() / "realmods" / name);
}

} // namespace

TEST_P(RealMods, ReadCompletelyAndSurviveAssembly) {
    const std::string original = realMod(GetParam());
    ModDocument doc;
    const ReadOutcome outcome = readMod(original, doc);
    ASSERT_TRUE(outcome.complete()) << outcome.message;

    // Saved with its own line ends, it keeps them.
    const LineEnds ends = test::referenceLineEnds(original);
    const std::string assembled = assembleMod(doc, ends);
    EXPECT_EQ(test::referenceLineEnds(assembled), ends);
    ModDocument again;
    ASSERT_TRUE(readMod(assembled, again).complete());
    EXPECT_TRUE(again == doc);
    EXPECT_EQ(assembleMod(again, ends), assembled) << "assembly is a fixed point";
}

INSTANTIATE_TEST_SUITE_P(Shared, RealMods,
                         ::testing::Values("add_Dutch_language.mod", "add_German_language.mod",
                                           "add_Russian_language.mod", "add_Suomi_language.mod",
                                           "apache24_fix_2.mod", "uninstall_apache24_fix_2.mod"),
                         [](const auto& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(RealModContent, ApacheFixHasItsEditFilesAndSteps) {
    ModDocument doc;
    ASSERT_TRUE(readMod(realMod("apache24_fix_2.mod"), doc).complete());
    EXPECT_EQ(doc.property(Property::Id), "Apache 2.4 fix for YaBB 2.7.00");
    EXPECT_EQ(doc.property(Property::Version), "0.4 alpha");
    ASSERT_GT(doc.topLevelCount(), 1);
    for (int r = 0; r < doc.topLevelCount(); ++r)
        EXPECT_EQ(doc.topLevel(r)->kind(), akEditFile);
    EXPECT_GT(doc.GetTotalSteps(), doc.topLevelCount() - 1);
}

namespace {

// Texts the format can carry unchanged: no tags, no lone CR or LF, multi-line
// texts without empty lines at the start.
class TextMaker {
public:
    explicit TextMaker(unsigned seed) : rng_(seed) {}

    std::string line() {
        static const std::string_view words[] = {"my",  "$x",           "=",  "q~", "<tr>", "</td>",
                                                 "é",   "\xE2\x82\xAC", "\t", " ",  "id",   ">",
                                                 "\xFF"};
        std::string s;
        const int n = int(rng_() % 8);
        for (int i = 0; i < n; ++i)
            s += words[rng_() % std::size(words)];
        return s;
    }

    std::string multiLine() {
        const int n = int(rng_() % 5);
        std::string s;
        for (int i = 0; i < n; ++i) {
            std::string l = line();
            if (i == 0 && l.empty())
                l = "first";
            if (i)
                s += "\r\n";
            s += l;
        }
        return s;
    }

    unsigned pick(unsigned n) { return rng_() % n; }

private:
    std::mt19937 rng_;
};

} // namespace

TEST(RoundTrip, GeneratedDocumentsReadBackUnchanged) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        TextMaker make(seed);
        ModDocument doc;
        for (Property p : {Property::Id, Property::Version, Property::Author, Property::Homepage})
            doc.setProperty(p, make.line());
        doc.setProperty(Property::ModInfo, make.multiLine());
        const int files = int(make.pick(5));
        for (int f = 0; f < files; ++f) {
            Node* file =
                doc.appendNode(nullptr, TItem{make.line(), akEditFile, "", ""}, LabelForm::Read);
            const int actions = int(make.pick(4));
            for (int a = 0; a < actions; ++a)
                doc.appendNode(
                    file,
                    TItem{"", std::int32_t(1 + make.pick(3)), make.multiLine(), make.multiLine()},
                    LabelForm::Read);
        }
        const std::string text = assembleMod(doc, seed % 2 ? LineEnds::Lf : LineEnds::CrLf);
        ModDocument again;
        const ReadOutcome outcome = readMod(text, again);
        ASSERT_TRUE(outcome.complete()) << "seed " << seed << ": " << outcome.message;
        ASSERT_TRUE(again == doc) << "seed " << seed << "\n" << text;
    }
}
