// What reading a mod drops or joins, reported with the file's line numbers,
// and held to a plain line-by-line reading of the same rules.
#include "document/line_cursor.h"
#include "document/read_findings.h"
#include "reference_findings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

using namespace torvale;

namespace {

std::vector<Finding> findingsOf(std::string_view text, ReadOutcome* outcome = nullptr,
                                std::size_t limit = kMaxBlockText) {
    ModDocument doc;
    std::vector<Finding> findings;
    const ReadOutcome read = readMod(SharedBytes::copyOf(text), doc, findings, limit);
    if (outcome)
        *outcome = read;
    return findings;
}

std::string describe(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings)
        out += std::string(findingName(f.kind)) + "@" + std::to_string(f.line) + " ";
    return out;
}

} // namespace

TEST(ReadFindings, EachKindWithItsLine) {
    using K = FindingKind;
    struct Case {
        std::string text;
        std::vector<std::pair<K, std::size_t>> expected;
    };
    const Case cases[] = {
        {test::crlfLines({"<id> My mod", "Name", "</id>"}), {{K::TextBesideTag, 1}}},
        {test::crlfLines({"<version>1.0</version>", "2.0", "</version>"}), {{K::OneLineBlock, 1}}},
        {test::crlfLines({"<id>", "x", "</id>", "Install this first."}),
         {{K::TextOutsideBlocks, 4}}},
        // The trial's line of YaBB's own code: it opens a replace block that
        // runs past the search block and takes in the real "<replace>" line.
        {test::crlfLines({"<search for>", "if ( $modfile[$i] =~ /^<replace>/ixsm ) {",
                          "</search for>", "<replace>", "new", "</replace>"}),
         {{K::TagInsideBlock, 2}, {K::TagInsideBlock, 4}}},
        {test::crlfLines(
             {"<edit file>", "a.pl", "</edit file>", "<search for>", "x", "</search for>"}),
         {{K::SearchWithoutAction, 4}}},
        {test::crlfLines({"<search for>", "a", "</search for>", "<search for>", "b",
                          "</search for>", "<replace>", "c", "</replace>"}),
         {{K::SearchesJoined, 4}}},
        {test::crlfLines({"<id>", "A", "</id>", "", "<id>", "B", "</id>"}),
         {{K::PropertyJoined, 5}}},
        {test::crlfLines({"<author>", "A.", "Writer", "</author>"}), {{K::PropertyLinesJoined, 3}}},
        {test::crlfLines({"<edit file>", "Sources/Post.pl", "Sources/Display.pl", "</edit file>"}),
         {{K::FileNameLines, 2}}},
        {test::crlfLines({"<mod info>", "", "", "Text", "</mod info>"}),
         {{K::LeadingEmptyLines, 2}}},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), {{K::NoModTags, 1}}},
        {test::crlfLines({"#!/bin/sh", "rm -f Sources/Post.pl.bak"}), {{K::NoModTags, 1}}},
        {test::crlfLines({"<id>", "A", "</id>"}) + std::string("\0<version>", 10),
         {{K::NulByte, 4}}},
        // After a stop only what comes before the unclosed block counts.
        {test::crlfLines({"junk", "<id>", "x"}), {{K::TextOutsideBlocks, 1}}},
        {test::sampleModText(), {}},
        {"", {}},
        {"\r\n  \r\n\t", {}},
    };
    for (const Case& c : cases) {
        std::vector<Finding> expected;
        for (const auto& [kind, line] : c.expected)
            expected.push_back({kind, line, {}});
        std::vector<Finding> found = findingsOf(c.text);
        for (Finding& f : found)
            f.text.clear();
        EXPECT_EQ(describe(found), describe(expected)) << c.text;
    }
}

TEST(ReadFindings, CarryTheLineAndTheStop) {
    const std::vector<Finding> found =
        findingsOf(test::crlfLines({"<id>", "Name", "</id> trailing words", "<replace>", "x"}));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, "</id> trailing words");
    ReadOutcome outcome;
    findingsOf(test::crlfLines({"<id>", "Name", "</id>", "", "<replace>", "x"}), &outcome);
    EXPECT_EQ(outcome.status, ReadOutcome::Status::MissingClosingTag);
    EXPECT_EQ(outcome.stopLine, 5u);
    const std::string longLine(1000, 'z');
    EXPECT_EQ(findingsOf(longLine)[0].text.size(), kMaxFindingText);
}

TEST(ReadFindings, RealModsHaveNoneButTheScript) {
    for (const auto& entry : std::filesystem::directory_iterator(test::sharedDir() / "realmods")) {
        const std::vector<Finding> found = findingsOf(test::readBytes(entry.path()));
        if (entry.path().filename() == "uninstall_apache24_fix_2.mod")
            EXPECT_EQ(describe(found), "no-mod-tags@1 ");
        else
            EXPECT_EQ(describe(found), "") << entry.path();
    }
}

TEST(ReadFindings, AgreeWithAPlainReadingOfTheRules) {
    std::mt19937 rng(20261208);
    for (int i = 0; i < 4000; ++i) {
        const std::string text = test::randomMod(rng);
        // Now and then a limit small enough to stop the read.
        const std::size_t limit = i % 5 == 0 ? rng() % 400 : kMaxBlockText;
        ASSERT_EQ(findingsOf(text, nullptr, limit), test::referenceFindings(text, limit))
            << "case " << i << ": " << testing::PrintToString(text);
    }
}

// Line numbers far into a file come from counting line ends in bulk, and
// carriage returns are counted the same way.
TEST(ReadFindings, LineEndsAndBytesCountedInBulkAsOneByOne) {
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        std::string text(rng() % 20000, 'a');
        for (char& c : text)
            c = "\r\na"[rng() % 3];
        std::size_t plain = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            plain += text[i] == '\n' ||
                     (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
        ASSERT_EQ(countLineBreaks(text), plain) << round;
        ASSERT_EQ(countByte(text, '\r'), std::size_t(std::ranges::count(text, '\r'))) << round;
    }
}
