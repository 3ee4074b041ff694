// Find and Replace over a whole mod, held to a plain loop of std::string::find
// over allTexts(), and nodes taken to mod text and read back as Paste does.
#include "document/assembled_lines.h"
#include "document/find_in_mod.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/node_text.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvale;

namespace {

std::size_t lineOf(std::string_view text, std::size_t at) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < at; ++i)
        line += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    return line;
}

} // namespace

TEST(FindInMod, FindsWhatAPlainLoopFindsOnRandomMods) {
    std::mt19937 rng(21);
    const std::string_view needles[] = {"text", "e", "<", "~;", "x = q", "ext\r\nte"};
    for (int round = 0; round < 300; ++round) {
        ModDocument doc;
        readMod(test::randomMod(rng), doc);
        const std::vector<Text> texts = allTexts(doc);
        for (const std::string_view needle : needles) {
            const std::size_t limit = round % 3 == 0 ? 5 : 1000000;
            const ModHits found = findInMod(doc, needle, limit);
            std::vector<std::pair<std::string_view, std::size_t>> expected; // text and offset
            const bool crLf = needle.find('\r') != std::string_view::npos;
            for (const Text& text : texts) {
                if (crLf) // line breaks of any form: held to findText by its own test
                    break;
                for (std::size_t at = text.view().find(needle); at != std::string_view::npos;
                     at = text.view().find(needle, at + needle.size()))
                    expected.emplace_back(text.view(), at);
            }
            if (crLf) {
                for (const ModHit& hit : found.hits)
                    EXPECT_LT(hit.begin, hit.end);
                continue;
            }
            ASSERT_EQ(found.total, expected.size());
            ASSERT_EQ(found.hits.size(), std::min(limit, expected.size()));
            for (std::size_t i = 0; i < found.hits.size(); ++i) {
                const ModHit& hit = found.hits[i];
                const Text* text = textAt(doc, hit.place);
                ASSERT_TRUE(text);
                EXPECT_EQ(text->view(), expected[i].first);
                EXPECT_EQ(hit.begin, expected[i].second);
                EXPECT_EQ(hit.end, hit.begin + needle.size());
                EXPECT_EQ(hit.line, lineOf(text->view(), hit.begin));
            }
        }
    }
}

TEST(FindInMod, ReplaceTakesEachOccurrenceOnceLeftToRight) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text(std::uniform_int_distribution<int>(0, 20)(rng), 'a');
        for (char& c : text)
            c = "ab"[rng() % 2];
        const std::string needle = std::string(1 + rng() % 2, 'a') + (rng() % 2 ? "b" : "");
        const std::string with = rng() % 2 ? "ba" : "";
        std::string expected;
        std::size_t count = 0, taken = 0;
        for (std::size_t at = text.find(needle); at != std::string::npos;
             at = text.find(needle, at + needle.size()), ++count) {
            expected += text.substr(taken, at - taken) + with;
            taken = at + needle.size();
        }
        expected += text.substr(taken);
        std::size_t replaced = 99;
        const auto result = replaceInText(text, needle, with, &replaced);
        EXPECT_EQ(replaced, count);
        EXPECT_EQ(result.has_value(), count > 0);
        EXPECT_EQ(result.value_or(text), expected);
    }
}

// Copy writes the nodes of real mods as mod text; Paste reads the same nodes
// back, search actions before any edit file apart.
TEST(NodeText, RealModsComeBackFromTheirText) {
    for (const auto& entry : std::filesystem::directory_iterator(test::sharedDir() / "realmods")) {
        ModDocument doc;
        readMod(test::readBytes(entry.path()), doc);
        std::vector<NodeCopy> nodes;
        for (int row = 0; row < doc.topLevelCount(); ++row)
            nodes.push_back(copyOf(doc.topLevel(row)));
        const std::string text = modTextOf(nodes);
        const PastedNodes pasted = nodesFromModText(text);
        std::vector<NodeCopy> back = pasted.actions;
        back.insert(back.end(), pasted.editFiles.begin(), pasted.editFiles.end());
        EXPECT_EQ(modTextOf(back), text) << entry.path();
        ASSERT_EQ(back.size(), nodes.size()) << entry.path();
        for (std::size_t i = 0; i < nodes.size(); ++i)
            EXPECT_EQ(back[i].children.size(), nodes[i].children.size());
    }
    // A forum post: words around the blocks, line breaks as LF, no edit file.
    const PastedNodes post = nodesFromModText("Try this:\n<search for>\na\n</search for>\n"
                                              "<add after>\nb\n</add after>\nThanks!\n");
    ASSERT_EQ(post.actions.size(), 1u);
    EXPECT_TRUE(post.editFiles.empty());
    EXPECT_EQ(post.actions[0].item.Kind, akSearchAddAfter);
    EXPECT_EQ(post.actions[0].item.SearchText, "a");
    EXPECT_TRUE(nodesFromModText("no mod here").empty());
}

// Each line of a real mod's assembled text leads to the block that wrote it:
// the line that opens a node's first block leads to the next node in order.
TEST(AssembledLines, EachNodesFirstLineLeadsToIt) {
    for (const auto& entry : std::filesystem::directory_iterator(test::sharedDir() / "realmods")) {
        ModDocument doc;
        readMod(test::readBytes(entry.path()), doc);
        const std::string text = assembleMod(doc);
        const std::vector<std::string_view> lines = splitLines(text);
        std::vector<NodePath> starts;
        std::optional<NodePath> previous;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const AssembledLineOwner owner = ownerOfAssembledLine(doc, i);
            ASSERT_TRUE(owner.property || owner.node) << entry.path() << " line " << i;
            if (owner.property && i == 0) {
                EXPECT_EQ(lines[i], "<id>");
            }
            if (owner.node && owner.node != previous) {
                const Node* node = nodeAt(doc, *owner.node);
                EXPECT_EQ(lines[i], node->kind() == akEditFile ? "<edit file>" : "<search for>")
                    << entry.path() << " line " << i;
                starts.push_back(*owner.node);
            }
            previous = owner.node;
        }
        EXPECT_EQ(starts.size(), doc.nodeCount()) << entry.path();
        EXPECT_FALSE(ownerOfAssembledLine(doc, lines.size() + 1).node);
    }
}
