// The check before a save: a document whose mod text would read back
// different is caught, with the node, the field and the line at fault.
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/read_back.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace torvale;
using Field = ReadBackProblem::Field;

namespace {

std::optional<ReadBackProblem> check(const ModDocument& doc) {
    return findReadBackProblem(doc, assembleMod(doc));
}

} // namespace

TEST(ReadBack, NamesTheFieldAndLineAtFault) {
    struct Case {
        const char* what;
        std::function<void(ModDocument&)> change;
        Field field;
        std::size_t line;
        const char* why; // a part of the reason
    };
    const Case cases[] = {
        {"a line of YaBB's own code in a search text",
         [](ModDocument& d) {
             d.setSearchText(d.topLevel(0)->child(0),
                             "for (@modfile) {\r\n if ( $modfile[$i] =~ /^<replace>/ixsm ) {");
         },
         Field::SearchText, 2, "\"<replace>\", which opens a block"},
        {"a tag in capitals",
         [](ModDocument& d) { d.setActionText(d.topLevel(0)->child(0), "<EDIT FILE>"); },
         Field::ActionText, 1, "\"<edit file>\""},
        {"the block's own closing tag",
         [](ModDocument& d) { d.setActionText(d.topLevel(0)->child(1), "x\r\ny </add after>"); },
         Field::ActionText, 2, "ends its block early"},
        {"an empty first line",
         [](ModDocument& d) { d.setProperty(Property::ModInfo, "\r\nText"); }, Field::Property, 1,
         "first line is empty"},
        {"a file name of two lines",
         [](ModDocument& d) { d.setFileName(d.topLevel(0), "a.pl\r\nb.pl"); }, Field::FileName, 2,
         "keeps only the last"},
        {"a NUL byte",
         [](ModDocument& d) { d.setSearchText(d.topLevel(0)->child(1), std::string("a\0b", 3)); },
         Field::SearchText, 1, "NUL"},
        {"a lone line feed",
         [](ModDocument& d) { d.setSearchText(d.topLevel(0)->child(1), "a\nb"); },
         Field::SearchText, 0, "differently"},
        {"a search action after an edit-file node on the top level",
         [](ModDocument& d) {
             d.appendNode(nullptr, TItem{"", akSearchReplace, "a", "b"});
         },
         Field::Place, 0, "step of that node"},
    };
    EXPECT_FALSE(check(test::sampleModDocument()));
    for (const Case& c : cases) {
        ModDocument doc = test::sampleModDocument();
        c.change(doc);
        const auto found = check(doc);
        ASSERT_TRUE(found) << c.what;
        EXPECT_EQ(found->field, c.field) << c.what;
        EXPECT_EQ(found->line, c.line) << c.what;
        EXPECT_NE(found->why.find(c.why), std::string::npos) << c.what << ": " << found->why;
        if (c.field != Field::Property) {
            EXPECT_NE(found->node, nullptr) << c.what;
        }
    }
}

// Whatever the check lets pass reads back exactly.
TEST(ReadBack, WhatPassesReadsBackTheSame) {
    std::mt19937 rng(5);
    const std::string pieces[] = {"a",         "",
                                  "\r\n",      "\n",
                                  "<replace>", "</id>",
                                  "<Id>",      "</replace>",
                                  "x <a>",     "</search for>",
                                  "\r\n\r\n",  "</add after>",
                                  " ",         "<search for>"};
    const auto text = [&] {
        std::string t;
        for (int i = int(rng() % 4); i > 0; --i)
            t += pieces[rng() % std::size(pieces)];
        return t;
    };
    int passed = 0, caught = 0;
    for (int round = 0; round < 3000; ++round) {
        ModDocument doc;
        for (int p = 0; p < kPropertyCount; ++p)
            if (rng() % 3 == 0)
                doc.setProperty(Property(p), p == int(Property::ModInfo) ? text() : "v");
        Node* file = nullptr;
        for (int n = int(rng() % 6); n > 0; --n) {
            if (rng() % 3 == 0) {
                file = doc.appendNode(nullptr, TItem{rng() % 2 ? "a.pl" : "", akEditFile, "", ""},
                                      LabelForm::Read);
            } else {
                const auto kind = std::int32_t(1 + rng() % 3);
                doc.appendNode(rng() % 8 == 0 ? nullptr : file, TItem{"", kind, text(), text()},
                               LabelForm::Read);
            }
        }
        const std::string assembled = assembleMod(doc);
        const auto found = findReadBackProblem(doc, assembled);
        ModDocument again;
        const bool same = readMod(assembled, again).complete() && again == doc;
        ASSERT_TRUE(found || same) << assembled;
        (found ? caught : passed)++;
    }
    EXPECT_GT(passed, 300);
    EXPECT_GT(caught, 300);
}
