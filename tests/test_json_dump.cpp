#include "document/json_dump.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace torvale;

TEST(JsonString, EscapesToPureAscii) {
    std::string out;
    appendJsonString(out, std::string_view("a\"b\\c\r\n\x7F\x80\xFF\x01 \0z", 14));
    EXPECT_EQ(out, R"("a\"b\\c\u000d\u000a\u007f\u0080\u00ff\u0001 \u0000z")");
}

TEST(JsonDump, DescribesTheDocumentAndTheRead) {
    ModDocument doc = test::sampleModDocument();
    ReadOutcome outcome;
    outcome.selected = doc.topLevel(0);
    const std::string json = dumpJson(doc, outcome);
    EXPECT_EQ(json,
              R"({"complete": true, "error": null, "properties": {"id": "Sample Mod", )"
              R"("version": "1.0", "info": "Adds a line to the footer.\u000d\u000aSecond line )"
              R"(of the description.", "author": "A. Writer", "homepage": ""}, "nodes": [)"
              R"({"kind": 0, "label": "<edit file> Sources/Sample.pl", "file": )"
              R"("Sources/Sample.pl", "search": "", "action": "", "children": [)"
              R"({"kind": 1, "label": "search and replace", "file": "", "search": "old text", )"
              R"("action": "new text", "children": []}, )"
              R"({"kind": 3, "label": "search and addafter", "file": "", "search": )"
              R"("anchor line", "action": "first added line\u000d\u000asecond added line", )"
              R"("children": []}]}], "selected": 0, "findings": []})"
              "\n");

    ReadOutcome stopped;
    stopped.status = ReadOutcome::Status::MissingClosingTag;
    stopped.message = "</id>not found!";
    const std::string partial = dumpJson(ModDocument(), stopped);
    EXPECT_EQ(partial.substr(0, 46), R"({"complete": false, "error": "</id>not found!")");
    EXPECT_TRUE(partial.ends_with("\"nodes\": [], \"selected\": null, \"findings\": []}\n"));

    const std::vector<Finding> findings = {{FindingKind::TextBesideTag, 3, "<id> x\t"},
                                           {FindingKind::NoModTags, 1, ""}};
    EXPECT_TRUE(dumpJson(ModDocument(), {}, findings)
                    .ends_with(R"("findings": [{"kind": "text-beside-tag", "line": 3, )"
                               R"("text": "<id> x\u0009"}, {"kind": "no-mod-tags", "line": 1, )"
                               R"("text": ""}]})"
                               "\n"));
}
