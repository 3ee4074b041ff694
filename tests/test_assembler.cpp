#include "document/mod_assembler.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace torvale;
using torvale::test::crlfLines;

namespace {

const std::string kEmptyProperties = crlfLines(
    {"<id>",        "", "</id>",    "", "<version>", "", "</version>", "", "<mod info>",  "",
     "</mod info>", "", "<author>", "", "</author>", "", "<homepage>", "", "</homepage>", ""});

} // namespace

TEST(Assembler, WritesTheSampleModByteForByte) {
    EXPECT_EQ(assembleMod(test::sampleModDocument()), test::sampleModText());
}

TEST(Assembler, PiecesMakeTheSameText) {
    const ModDocument doc = test::sampleModDocument();
    std::string streamed;
    int pieces = 0;
    EXPECT_TRUE(assembleMod(doc, [&](std::string_view piece) {
        streamed += piece;
        ++pieces;
        return true;
    }));
    EXPECT_EQ(streamed, assembleMod(doc));
    // A writer that fails stops the assembly.
    pieces = 0;
    EXPECT_FALSE(assembleMod(doc, [&](std::string_view) { return ++pieces < 1; }));
    EXPECT_EQ(pieces, 1);
}

TEST(Assembler, EmptyDocumentIsTwentyLines) {
    const std::string text = assembleMod(ModDocument());
    EXPECT_EQ(text, kEmptyProperties);
    EXPECT_TRUE(text.ends_with("</homepage>\r\n\r\n"));
}

TEST(Assembler, EndsWithoutLineEndOnlyAfterALastSearchAction) {
    ModDocument doc;
    Node* a = doc.appendNode(nullptr, TItem{"a.pl", akEditFile, "", ""});
    EXPECT_TRUE(assembleMod(doc).ends_with("<edit file>\r\na.pl\r\n</edit file>\r\n\r\n"));

    Node* s = doc.appendNode(a, TItem{"", akSearchAddBefore, "find", "add"});
    EXPECT_TRUE(assembleMod(doc).ends_with("<add before>\r\nadd\r\n</add before>"));

    // Moving that search action before an edit file gives the tags their line ends back.
    Node* b = doc.appendNode(nullptr, TItem{"b.pl", akEditFile, "", ""});
    doc.moveNode(s, b, 0);
    doc.appendNode(a, TItem{"", akSearchReplace, "x", "y"});
    doc.moveNode(b, nullptr, 0);
    const std::string text = assembleMod(doc);
    EXPECT_EQ(text, kEmptyProperties + crlfLines({"<edit file>",  "b.pl", "</edit file>",  "",
                                                  "<search for>", "find", "</search for>", "",
                                                  "<add before>", "add",  "</add before>", "",
                                                  "<edit file>",  "a.pl", "</edit file>",  "",
                                                  "<search for>", "x",    "</search for>", "",
                                                  "<replace>",    "y"}) +
                        "</replace>");
}

TEST(Assembler, WritesTextsAsTheyAre) {
    ModDocument doc;
    doc.setProperty(Property::ModInfo, "line 1\r\n\r\nline 3\r\n");
    doc.appendNode(nullptr, TItem{"", akSearchReplace, "", ""}); // top level, empty texts
    doc.appendNode(nullptr, TItem{"", akEditFile, "", ""});      // empty file name
    Node* f = doc.topLevel(1);
    doc.appendNode(f, TItem{"", akSearchAddAfter, "ends with a break\r\n", "<added>"});
    const std::string text = assembleMod(doc);
    EXPECT_NE(text.find("<mod info>\r\nline 1\r\n\r\nline 3\r\n\r\n</mod info>\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("</homepage>\r\n\r\n<search for>\r\n\r\n</search for>\r\n\r\n"
                        "<replace>\r\n\r\n</replace>\r\n\r\n<edit file>\r\n\r\n</edit file>"),
              std::string::npos)
        << "top-level search actions stay before the first edit file; empty texts give one "
           "empty line";
    EXPECT_TRUE(text.ends_with("<search for>\r\nends with a break\r\n\r\n</search for>\r\n\r\n"
                               "<add after>\r\n<added>\r\n</add after>"));
}
