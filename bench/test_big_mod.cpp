// The generator must write only mods that the editor reads back to themselves,
// whatever code lines it is given; otherwise the measurements time a file the
// editor would not save.
#include "big_mod.h"

#include "document/mod_assembler.h"
#include "document/mod_reader.h"

#include <gtest/gtest.h>

namespace torvale::bench {
namespace {

TEST(BigModLines, TagsInAnyCaseAndLineBreakingBytesAreRefused) {
    for (const std::string_view line :
         {"<id>", "x </ID> y", "print '<Mod Info>';", "\t<Edit File>Sources/Subs.pm",
          "if ($l =~ /^<SEARCH for>/) {", "<replace>", "</Add Before>", "qq~</add after>~",
          "</homepage>", "<AUTHOR>", "<version>1.0"}) {
        EXPECT_FALSE(usableLine(line)) << line;
    }
    using namespace std::string_literals;
    for (const std::string& line : {"a\rb"s, "a\nb"s, "a\0b"s, "\x1b[0m"s})
        EXPECT_FALSE(usableLine(line));

    // Near misses of tags are ordinary code, as are tabs and bytes above 127.
    for (const std::string_view line :
         {"", "\t", "$yymain .= qq~<tr><td class=\"windowbg2\">$txt{'123'}</td></tr>~;",
          "<a href=\"$scripturl\">", "<address>", "<id >", "< id>", "<idx>", "<edit files>",
          "<search>", "</add>", "caf\xe9 <b>", "<input type=\"submit\" />"}) {
        EXPECT_TRUE(usableLine(line)) << line;
    }
}

// Counts the nodes of a document by kind, in the generator's terms.
BigModStats countNodes(const ModDocument& doc) {
    BigModStats counted;
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* file = doc.topLevel(r);
        EXPECT_EQ(file->kind(), akEditFile);
        ++counted.editFiles;
        for (int c = 0; c < file->childCount(); ++c) {
            switch (file->child(c)->kind()) {
            case akSearchReplace:
                ++counted.replaces;
                break;
            case akSearchAddBefore:
                ++counted.addBefores;
                break;
            case akSearchAddAfter:
                ++counted.addAfters;
                break;
            default:
                ADD_FAILURE() << "a nested edit-file node";
            }
        }
    }
    return counted;
}

void expectReadsBack(const CodePool& pool, std::size_t target) {
    BigModStats stats;
    const std::string text = makeBigMod(target, 7, pool, &stats);
    EXPECT_GE(text.size(), target);
    EXPECT_LE(text.size(), target + (std::size_t(64) << 10));

    ModDocument doc;
    ASSERT_TRUE(readMod(text, doc).complete());
    EXPECT_EQ(doc.property(Property::Id), "Torvale Benchmark Mod");
    EXPECT_NE(doc.property(Property::ModInfo).view().find("\r\n"), std::string::npos);
    const BigModStats counted = countNodes(doc);
    EXPECT_EQ(counted.editFiles, stats.editFiles);
    EXPECT_EQ(counted.replaces, stats.replaces);
    EXPECT_EQ(counted.addBefores, stats.addBefores);
    EXPECT_EQ(counted.addAfters, stats.addAfters);
    EXPECT_GT(stats.addBefores, 0u);
    EXPECT_GT(stats.addAfters, 0u);
    EXPECT_TRUE(assembleMod(doc) == text) << "the assembled text differs from the generated one";
}

TEST(BigModText, ReadsBackToItselfFromAnyCode) {
    expectReadsBack(builtinCode(), std::size_t(256) << 10);

    // Lines the reader treats specially: empty ones (dropped at the start of a
    // block), blank ones, "<" without a tag, and a file that is mostly empty.
    CodePool awkward;
    awkward.files.push_back(
        {"Sources/Awkward.pm", {"x", "", "", "   ", "\t}", "", "<", "<a", "</", "<id", "", "y"}});
    awkward.files.push_back({"Sources/Sparse.pm", {"z", "", "", "", "", "", "", "", ""}});
    awkward.files.push_back({"Sources/One.pm", {"only line"}});
    awkward.files.push_back({"Sources/Empty.pm", {}});
    awkward.files.push_back({"Sources/Blank.pm", {"", ""}});
    expectReadsBack(awkward, std::size_t(64) << 10);
}

TEST(BigModText, PoolWithoutTextFallsBackToBuiltInLines) {
    CodePool none;
    none.files.push_back({"Sources/Blank.pm", {"", ""}});
    EXPECT_EQ(makeBigMod(std::size_t(16) << 10, 3, none),
              makeBigMod(std::size_t(16) << 10, 3, builtinCode()));
    EXPECT_EQ(codePoolFor("/nonexistent/forum").origin, "built-in lines");
}

} // namespace
} // namespace torvale::bench
