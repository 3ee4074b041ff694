#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "reference_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

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

// Reading and assembling in one go, without a document, must give what
// assembling the document read gives.
namespace {

struct Streamed {
    StreamedAssembly result;
    std::string text;
    std::vector<std::string_view> pieces;
};

Streamed readAndAssembleText(const SharedBytes& source, std::size_t limit = kMaxBlockText) {
    Streamed s;
    s.result = readAndAssemble(
        source,
        [&s](std::string_view piece) {
            s.text += piece;
            s.pieces.push_back(piece);
            return true;
        },
        limit);
    return s;
}

void expectSameAsDocument(const std::string& text, std::size_t limit, const std::string& what) {
    const SharedBytes source = SharedBytes::copyOf(text);
    ModDocument doc;
    const ReadOutcome read = readMod(source, doc, limit);
    const Streamed s = readAndAssembleText(source, limit);
    ASSERT_EQ(s.result.outcome.status, read.status) << what;
    ASSERT_EQ(s.result.outcome.message, read.message) << what;
    ASSERT_EQ(s.result.outcome.missingTag, read.missingTag) << what;
    ASSERT_TRUE(s.result.written) << what;
    // LF mods come back in LF, every other byte as in CR LF.
    const std::string crlf = assembleMod(doc);
    const std::string lf = assembleMod(doc, LineEnds::Lf);
    ASSERT_EQ(lf, test::crLfAsLf(crlf)) << what;
    ASSERT_EQ(s.text, test::referenceLineEnds(text) == LineEnds::Lf ? lf : crlf) << what;
}

bool within(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

} // namespace

TEST(ReadAndAssemble, GivesWhatTheDocumentGives) {
    expectSameAsDocument(test::sampleModText(), kMaxBlockText, "sample mod");
    expectSameAsDocument("", kMaxBlockText, "empty file");
    // Properties after the nodes, LF and lone CR line ends, a stop at a
    // missing closing tag, a last edit file and a last search action.
    expectSameAsDocument("<edit file>\na.pl\n</edit file>\n<id>\rlate\r</id>\r\n",
                         kMaxBlockText, "late properties");
    expectSameAsDocument("<edit file>\r\na.pl\r\n</edit file>\r\n<search for>\r\nx\r\n"
                         "</search for>\r\n<replace>\r\ny\r\n</replace>",
                         kMaxBlockText, "last search action");
    expectSameAsDocument("<search for>\r\nx\r\n</search for>\r\n<add after>\r\nnever closed\r\n",
                         kMaxBlockText, "stopped");
    // Texts of their own, longer than what is gathered in small pieces.
    expectSameAsDocument("<search for>\n" + std::string(300, 'a') + "\n" + std::string(90, 'b') +
                             "\n</search for>\n<replace>\n" + std::string(65, 'c') +
                             "\n</replace>\n",
                         kMaxBlockText, "long texts of their own");
    for (const char* name : {"add_Dutch_language.mod", "add_German_language.mod",
                             "add_Russian_language.mod", "add_Suomi_language.mod",
                             "apache24_fix_2.mod", "uninstall_apache24_fix_2.mod"})
        expectSameAsDocument(test::readBytes(test::sharedDir() / "realmods" / name),
                             kMaxBlockText, name);
}

TEST(ReadAndAssemble, AgreesOnRandomMods) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        std::string text = test::randomMod(rng);
        // Some in LF alone, whose blocks the reader also takes straight from the file.
        if (round % 4 == 1)
            std::erase(text, '\r');
        expectSameAsDocument(text, round % 7 == 0 ? 300 : kMaxBlockText,
                             "round " + std::to_string(round));
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

TEST(ReadAndAssemble, KeepsTheFilesOwnLineEnds) {
    const struct {
        const char* what;
        std::string text;
        LineEnds ends;
    } cases[] = {
        {"LF", "<id>\nx\n</id>\n<edit file>\na.pl\n</edit file>\n<search for>\r\none\r\ntwo\n"
               "</search for>\n<replace>\ny\n</replace>\n",
         LineEnds::Lf},
        {"CR LF", "<id>\r\nx\r\n</id>\n<search for>\none\rtwo\n</search for>\r\n<add after>\r\n"
                  "y\r\n</add after>",
         LineEnds::CrLf},
        {"lone CR", "<id>\rx\r</id>\n<edit file>\na.pl\n</edit file>\n", LineEnds::CrLf},
        {"no line break", "<id>x</id>", LineEnds::Lf},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detectLineEnds(c.text), c.ends) << c.what;
        const SharedBytes source = SharedBytes::copyOf(c.text);
        ModDocument doc;
        ASSERT_TRUE(readMod(source, doc).complete()) << c.what;
        const std::string text = readAndAssembleText(source).text;
        EXPECT_EQ(text, assembleMod(doc, c.ends)) << c.what;
        std::size_t lf = 0;
        std::size_t crlf = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n')
                ++(i > 0 && text[i - 1] == '\r' ? crlf : lf);
        EXPECT_EQ(lf == 0, c.ends == LineEnds::CrLf) << c.what << ": all line ends alike";
        EXPECT_EQ(crlf == 0, c.ends == LineEnds::Lf) << c.what << ": all line ends alike";
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), crlf) << c.what << ": no lone CR";
        // Written back, it reads as the same document and stays as it is.
        ModDocument again;
        ASSERT_TRUE(readMod(text, again).complete()) << c.what;
        EXPECT_TRUE(again == doc) << c.what;
        EXPECT_EQ(readAndAssembleText(SharedBytes::copyOf(text)).text, text) << c.what;
    }
}

TEST(ReadAndAssemble, WritesACanonicalFileStraightFromItsBytes) {
    // A large file the assembler wrote, in either line ends, is handed back as
    // stretches of the file itself, not copied piece by piece.
    ModDocument doc;
    doc.setProperty(Property::Id, "canonical");
    for (int f = 0; f < 200; ++f) {
        Node* file = doc.appendNode(nullptr, TItem{"Sources/File" + std::to_string(f) + ".pm", akEditFile, "", ""});
        for (int a = 0; a < 10; ++a)
            doc.appendNode(file, TItem{"", akSearchReplace, "my $x = q~<tr>~;\r\n  $y++;",
                                       std::string(100, 'z') + "\r\n<b>bold</b>"});
    }
    for (const LineEnds ends : {LineEnds::CrLf, LineEnds::Lf}) {
        const SharedBytes source = SharedBytes::copyOf(assembleMod(doc, ends));
        const Streamed s = readAndAssembleText(source);
        ASSERT_EQ(s.text, source.bytes);
        std::size_t straight = 0;
        for (const std::string_view piece : s.pieces)
            straight += within(piece, source.bytes) ? piece.size() : 0;
        EXPECT_GT(straight, source.bytes.size() * 9 / 10) << lineEndOf(ends).size();
    }
}

TEST(ReadAndAssemble, StopsWritingWhenAWriteFails) {
    const SharedBytes source = SharedBytes::copyOf(test::sampleModText());
    int calls = 0;
    const StreamedAssembly result =
        readAndAssemble(source, [&calls](std::string_view) { return ++calls < 1; });
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(result.outcome.complete());
    EXPECT_EQ(calls, 1);
}
