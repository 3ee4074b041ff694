#include "document/mod_reader.h"
#include "reference_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvale;
using torvale::test::crlfLines;

namespace {

struct Read {
    ModDocument doc;
    ReadOutcome outcome;
};

Read readText(std::string_view text, std::size_t limit = kMaxBlockText) {
    Read r;
    r.outcome = readMod(text, r.doc, limit);
    return r;
}

std::string prop(const Read& r, Property p) {
    return r.doc.property(p).str();
}

} // namespace

TEST(SplitLines, BreaksAtEveryKindOfLineEnd) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(splitLines(""), V{});
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n"), V{"a"}) << "a final line end adds no empty line";
    EXPECT_EQ(splitLines("\r\n"), V{""});
    EXPECT_EQ(splitLines("a\r\r\nb"), (V{"a", "", "b"})) << "CR then CR LF";
    EXPECT_EQ(splitLines("a\n\rb"), (V{"a", "", "b"})) << "LF then a lone CR";
    EXPECT_EQ(splitLines("a\rb\rc\nd\n"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines(std::string_view("a\r\nb\0c\r\nd", 10)), (V{"a", "b"}))
        << "a NUL ends the text";
    EXPECT_EQ(splitLines("  x\t \r\n"), V{"  x\t "}) << "no trimming";
}

TEST(Reader, ReadsTheSampleMod) {
    const Read r = readText(test::sampleModText());
    ASSERT_TRUE(r.outcome.complete());
    EXPECT_TRUE(r.outcome.message.empty());
    EXPECT_TRUE(r.doc == test::sampleModDocument());
    ASSERT_EQ(r.doc.topLevelCount(), 1);
    const Node* file = r.doc.topLevel(0);
    EXPECT_EQ(file->label(), "<edit file> Sources/Sample.pl");
    EXPECT_EQ(file->child(0)->label(), "search and replace");
    EXPECT_EQ(file->child(1)->label(), "search and addafter");
    EXPECT_EQ(r.outcome.selected, file);
    // With or without a final line end, the same document.
    const Read withEnd = readText(test::sampleModText() + "\r\n");
    EXPECT_TRUE(withEnd.doc == r.doc);
}

TEST(Reader, RecognisesTagsByLowercaseSubstringOnly) {
    const Read r = readText(
        crlfLines({"junk <ID> junk", "Name", "xx</Id>yy", "<Edit File>", "a.pl", "</EDIT FILE>",
                   "< id>", "<modinfo>", "<search  for>", "<replace >", "x"}));
    EXPECT_TRUE(r.outcome.complete());
    EXPECT_EQ(prop(r, Property::Id), "Name");
    ASSERT_EQ(r.doc.topLevelCount(), 1);
    EXPECT_EQ(r.doc.topLevel(0)->item().FileName, "a.pl");
    EXPECT_EQ(r.doc.topLevel(0)->childCount(), 0) << "misspaced tags hold nothing";
}

TEST(Reader, BlockOnOneLineLooksForItsClosingTagFromTheNextLine) {
    Read r = readText(crlfLines({"<id>Name</id>", "next", "</id>"}));
    EXPECT_TRUE(r.outcome.complete());
    EXPECT_EQ(prop(r, Property::Id), "next");

    r = readText(crlfLines({"<id>Name</id>", "next", "last"}));
    EXPECT_FALSE(r.outcome.complete());
    EXPECT_EQ(r.outcome.status, ReadOutcome::Status::MissingClosingTag);
    EXPECT_EQ(r.outcome.missingTag, 1);
    EXPECT_EQ(r.outcome.message, "</id>not found!");
    EXPECT_EQ(prop(r, Property::Id), "nextlast");
}

TEST(Reader, AccumulatesEachKindOfBlock) {
    const Read r = readText(crlfLines({
        "<id>",
        "Part one",
        " and two",
        "</id>", // single-line: joined with nothing
        "<id>",
        "+more",
        "</id>", // a second block appends
        "<mod info>",
        "",
        "",
        "first",
        "",
        "second",
        "",
        "</mod info>",
        "<mod info>",
        "again",
        "</mod info>", // joined by CR LF
        "<edit file>",
        "old/name.pl",
        "new/name.pl",
        "</edit file>",
        "<edit file>",
        "kept.pl",
        "",
        "</edit file>", // empty last line wins
        "<search for>",
        "",
        "s1",
        "</search for>",
        "<search for>",
        "s2",
        "</search for>", // joins the first
        "<add before>",
        "",
        "a1",
        "",
        "</add before>",
    }));
    ASSERT_TRUE(r.outcome.complete());
    EXPECT_EQ(prop(r, Property::Id), "Part one and two+more");
    EXPECT_EQ(prop(r, Property::ModInfo), "first\r\n\r\nsecond\r\n\r\nagain")
        << "leading empty lines vanish, inner and trailing ones stay";
    ASSERT_EQ(r.doc.topLevelCount(), 2);
    EXPECT_EQ(r.doc.topLevel(0)->item().FileName, "new/name.pl");
    EXPECT_EQ(r.doc.topLevel(1)->item().FileName, "");
    EXPECT_EQ(r.doc.topLevel(1)->label(), "<edit file> ");
    ASSERT_EQ(r.doc.topLevel(1)->childCount(), 1);
    const TItem& action = r.doc.topLevel(1)->child(0)->item();
    EXPECT_EQ(action.Kind, akSearchAddBefore);
    EXPECT_EQ(action.SearchText, "s1\r\ns2");
    EXPECT_EQ(action.ActionText, "a1\r\n");
    EXPECT_EQ(r.outcome.selected, r.doc.topLevel(1));
}

TEST(Reader, GroupsSearchActionsByPosition) {
    const Read r = readText(crlfLines({
        "<replace>",
        "lonely",
        "</replace>", // before any edit file: top level, no search
        "<edit file>",
        "a.pl",
        "</edit file>",
        "<search for>",
        "x",
        "</search for>",
        "<add after>",
        "y",
        "</add after>",
        "<edit file>",
        "b.pl",
        "</edit file>",
        "<search for>",
        "p",
        "</search for>",
        "<replace>",
        "q",
        "</replace>",
        "<search for>",
        "r",
        "</search for>",
        "<add before>",
        "s",
        "</add before>",
        "<search for>",
        "dropped at the end",
        "</search for>",
    }));
    ASSERT_TRUE(r.outcome.complete());
    ASSERT_EQ(r.doc.topLevelCount(), 3);
    const Node* lonely = r.doc.topLevel(0);
    EXPECT_EQ(lonely->item(), (TItem{"", akSearchReplace, "", "lonely"}));
    EXPECT_EQ(lonely->label(), "search and replace");
    EXPECT_EQ(r.doc.topLevel(1)->childCount(), 1);
    ASSERT_EQ(r.doc.topLevel(2)->childCount(), 2);
    EXPECT_EQ(r.doc.topLevel(2)->child(0)->item().Kind, akSearchReplace);
    EXPECT_EQ(r.doc.topLevel(2)->child(1)->item().SearchText, "r");
    EXPECT_EQ(r.doc.nodeCount(), 6u);
    EXPECT_EQ(r.outcome.selected, r.doc.topLevel(2));

    const Read none = readText(crlfLines({"<id>", "x", "</id>"}));
    EXPECT_EQ(none.outcome.selected, nullptr);
}

TEST(Reader, ContentLinesThatHoldTagsOpenOrCloseBlocks) {
    // Forum code that contains a tag: the format has no escape for it.
    const Read r = readText(crlfLines({
        "<edit file>",
        "a.pl",
        "</edit file>",
        "<search for>",
        "print '<replace>';",
        "more",
        "</replace>",
        "</search for>",
        "<replace>",
        "new",
        "</replace>",
        "<search for>",
        "ends </search for> early",
        "tail",
        "</search for>",
        "<add after>",
        "z",
        "</add after>",
    }));
    ASSERT_TRUE(r.outcome.complete());
    const Node* file = r.doc.topLevel(0);
    ASSERT_EQ(file->childCount(), 3);
    // The "<replace>" inside the search text made a search action of its own,
    // with the search text as collected so far.
    EXPECT_EQ(file->child(0)->item(),
              (TItem{"", akSearchReplace, "print '<replace>';\r\nmore\r\n</replace>", "more"}));
    EXPECT_EQ(file->child(1)->item(), (TItem{"", akSearchReplace, "", "new"}));
    EXPECT_EQ(file->child(2)->item().SearchText, "")
        << "the block ended at its own closing tag inside the content";
}

TEST(Reader, OpeningTagOnTheLastLineIsIgnored) {
    for (const std::string end : {"", "\r\n"}) {
        const Read r = readText(crlfLines({"<id>", "x", "</id>"}) + "<version>" + end);
        EXPECT_TRUE(r.outcome.complete());
        EXPECT_EQ(prop(r, Property::Version), "");
    }
}

TEST(Reader, StopsAtAMissingClosingTagKeepingWhatWasRead) {
    Read r = readText(crlfLines(
        {"<edit file>", "a.pl", "</edit file>", "<homepage>", "http://", "example.org", "", "/x"}));
    EXPECT_EQ(r.outcome.status, ReadOutcome::Status::MissingClosingTag);
    EXPECT_EQ(r.outcome.missingTag, 9);
    EXPECT_EQ(r.outcome.message, "</homepage>not found!");
    EXPECT_EQ(prop(r, Property::Homepage), "http://example.org/x");
    EXPECT_EQ(r.doc.topLevelCount(), 1);

    r = readText(crlfLines({"<edit file>", "a.pl", "</edit file>", "<search for>", "x",
                            "</search for>", "<replace>", "y", "</replace>", "<search for>", "p",
                            "</search for>", "<replace>", "never closed"}));
    EXPECT_EQ(r.outcome.message, "</replace>not found!");
    ASSERT_EQ(r.doc.topLevelCount(), 1);
    EXPECT_EQ(r.doc.topLevel(0)->childCount(), 1) << "no node for the open action";

    r = readText(crlfLines({"<search for>", "x", "y"}));
    EXPECT_EQ(r.outcome.message, "</search for>not found!");
    EXPECT_EQ(r.doc.nodeCount(), 0u);
}

TEST(Reader, TextsOfACrLfFileShareItsBytes) {
    // A mod of CR LF lines is not copied: its texts point into the file.
    const SharedBytes source = SharedBytes::copyOf(test::sampleModText());
    ModDocument doc;
    ASSERT_TRUE(readMod(source, doc).complete());
    const auto inSource = [&](const Text& text) {
        return text.data() >= source.bytes.data() &&
               text.data() + text.size() <= source.bytes.data() + source.bytes.size();
    };
    const Node* file = doc.topLevel(0);
    EXPECT_TRUE(inSource(file->item().FileName));
    EXPECT_TRUE(inSource(file->child(1)->item().ActionText));
    EXPECT_EQ(file->child(1)->item().ActionText, "first added line\r\nsecond added line");
    EXPECT_TRUE(inSource(doc.property(Property::ModInfo)));
}

TEST(Reader, TextAfterANulIsNotRead) {
    std::string text = crlfLines({"<id>", "A", "</id>"});
    text.push_back('\0');
    text += crlfLines({"<version>", "2", "</version>"});
    const Read r = readText(text);
    EXPECT_TRUE(r.outcome.complete());
    EXPECT_EQ(prop(r, Property::Id), "A");
    EXPECT_EQ(prop(r, Property::Version), "");
}

TEST(Reader, PassesEveryByteOfContentThrough) {
    std::string line;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n' && b != '<')
            line.push_back(char(b));
    const Read r = readText(crlfLines({"<mod info>", line, "</mod info>"}));
    EXPECT_EQ(prop(r, Property::ModInfo), line);
}

// Inputs whose blocks would take in far more text than the file holds.
TEST(ReaderLimits, ManyBlocksClosingAtTheEndStopWithAMessage) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "<search for>\r\nsome forum code with < and > in it\r\n";
    text += "</search for>\r\n";
    const Read r = readText(text, std::size_t(4) << 20);
    EXPECT_EQ(r.outcome.status, ReadOutcome::Status::TooMuchText);
    EXPECT_NE(r.outcome.message.find("4 MiB"), std::string::npos) << r.outcome.message;
    // The same file under the default limit reads completely.
    EXPECT_TRUE(readText(text).outcome.complete());
}

TEST(ReaderLimits, EmptyLinesDoNotMakeTheReadHang) {
    // Every "<id>" block spans two million empty lines that add nothing to the
    // mod name, so only the limit on the text taken in can end this quickly.
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "<id>\n";
    text.append(std::size_t(2) << 20, '\n');
    text += "</id>\n<edit file>\nx\n</edit file>\n";
    const Read r = readText(text);
    EXPECT_EQ(r.outcome.status, ReadOutcome::Status::TooMuchText);
    EXPECT_EQ(r.doc.topLevelCount(), 0);
}

TEST(ReaderLimits, LoneCarriageReturnsSplitInLinearTime) {
    std::string text = "<id>\r";
    text.append(std::size_t(4) << 20, '\r');
    text += "</id>\n";
    const Read r = readText(text);
    EXPECT_TRUE(r.outcome.complete());
    EXPECT_EQ(prop(r, Property::Id), "");
}

TEST(ReaderLimits, RandomBytesReadWithoutHarm) {
    std::mt19937 rng(20261208);
    const std::string_view pieces[] = {"<id>",
                                       "</id>",
                                       "<edit file>",
                                       "</edit file>",
                                       "<search for>",
                                       "</search for>",
                                       "<REPLACE>",
                                       "</replace>",
                                       "<add after>",
                                       "</add before>",
                                       "\r",
                                       "\n",
                                       "\r\n",
                                       "x",
                                       "<",
                                       std::string_view("\0", 1)};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int n = int(rng() % 400);
        for (int i = 0; i < n; ++i) {
            if (rng() % 3 == 0)
                text.push_back(char(rng()));
            else
                text += pieces[rng() % std::size(pieces)];
        }
        const Read r = readText(text);
        if (r.outcome.complete())
            EXPECT_TRUE(r.outcome.message.empty());
        else
            EXPECT_FALSE(r.outcome.message.empty());
    }
}

// The reader against the rules followed word for word.
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\0')
            out += "\\0";
        else
            out += c;
    }
    return out;
}

std::string describe(const ModDocument& doc) {
    std::string out;
    for (int p = 0; p < kPropertyCount; ++p)
        out += "[" + doc.property(Property(p)).str() + "]";
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        out += "\n" + top->label() + "|" + top->item().SearchText.str() + "|" +
               top->item().ActionText.str();
        for (int c = 0; c < top->childCount(); ++c)
            out += "\n  " + std::to_string(top->child(c)->kind()) + "|" +
                   top->child(c)->item().SearchText.str() + "|" +
                   top->child(c)->item().ActionText.str();
    }
    return out;
}

} // namespace

TEST(ReaderAgreesWithTheRules, OnRandomMods) {
    std::mt19937 rng(42);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = test::randomMod(rng);
        const std::size_t limit = round % 7 == 0 ? 300 : kMaxBlockText;
        ModDocument fast, slow;
        const ReadOutcome a = readMod(text, fast, limit);
        const ReadOutcome b = test::referenceRead(text, slow, limit);
        ASSERT_EQ(a.status, b.status) << "round " << round;
        ASSERT_EQ(a.message, b.message) << "round " << round;
        ASSERT_TRUE(fast == slow) << "round " << round << ", text " << escaped(text) << "\n"
                                  << describe(fast) << "\n---\n"
                                  << describe(slow);
        ASSERT_EQ(a.selected ? a.selected->row() : -1, b.selected ? b.selected->row() : -1);
    }
}

TEST(ReaderAgreesWithTheRules, OnTheRealMods) {
    for (const char* name : {"add_Dutch_language.mod", "add_Russian_language.mod",
                             "apache24_fix_2.mod", "uninstall_apache24_fix_2.mod"}) {
        const std::string text = test::readBytes(test::sharedDir() / "realmods" / name);
        ModDocument fast, slow;
        readMod(text, fast);
        test::referenceRead(text, slow);
        EXPECT_TRUE(fast == slow) << name;
    }
}
