// Testing a mod against a forum: the installer's matching rules, held to a
// plain list of lines, the diff that patch applies, and the report of files.
#include "check/install_file.h"
#include "check/mod_check.h"
#include "forum/paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace torvale;

namespace {

struct StepCase {
    InstallFile::Change change;
    std::string search;
    std::string action;
};

// Runs the steps as the check does; per step the line found (from 1) and the
// line of the next occurrence, 0 for none.
std::vector<std::pair<std::size_t, std::size_t>> runSteps(InstallFile& file,
                                                          const std::vector<StepCase>& steps) {
    std::deque<std::string> storage;
    std::vector<std::pair<std::size_t, std::size_t>> found;
    for (const StepCase& s : steps) {
        const auto search = installerLines(s.search, storage);
        const auto at = file.find(search);
        if (!at) {
            found.emplace_back(0, 0);
            continue;
        }
        found.emplace_back(at->line + 1, at->again == std::string_view::npos ? 0 : at->again + 1);
        file.apply(s.change, at->line, search.size(), installerLines(s.action, storage));
    }
    return found;
}

// Applies a unified diff the way patch does, strictly: every context and
// removed line must be there. Nothing when it does not apply.
std::optional<std::string> applyDiff(const std::string& old, const std::string& diff) {
    // Lines with their line ends, so that a missing final line end shows.
    const auto split = [](const std::string& text) {
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t lf = text.find('\n', at);
            const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
            lines.push_back(text.substr(at, end - at));
            at = end;
        }
        return lines;
    };
    const std::vector<std::string> from = split(old);
    const std::vector<std::string> patch = split(diff);
    std::string out;
    std::size_t next = 0;          // the next line of old
    long oldLeft = 0, newLeft = 0; // lines the hunk's header still promises
    for (std::size_t i = 2; i < patch.size(); ++i) {
        const std::string& line = patch[i];
        if (line.starts_with("@@ -")) {
            if (oldLeft || newLeft)
                return std::nullopt;
            std::size_t start = std::stoul(line.substr(4));
            oldLeft = std::stol(line.substr(line.find(',') + 1));
            newLeft = std::stol(line.substr(line.find(',', line.find('+')) + 1));
            if (oldLeft == 0)
                ++start; // an empty side names the line before
            if (start < next + 1)
                return std::nullopt;
            for (; next + 1 < start; ++next)
                out += from.at(next);
            continue;
        }
        oldLeft -= line[0] != '+' && line[0] != '\\';
        newLeft -= line[0] != '-' && line[0] != '\\';
        if (line[0] == '\\')
            continue;
        std::string body = line.substr(1);
        // The marker after a line says that it has no line end.
        if (i + 1 < patch.size() && patch[i + 1].starts_with("\\"))
            body.pop_back();
        if (line[0] == ' ' || line[0] == '-') {
            if (next >= from.size() || from[next++] != body)
                return std::nullopt;
        }
        if (line[0] == ' ' || line[0] == '+')
            out += body;
    }
    if (oldLeft || newLeft)
        return std::nullopt;
    for (; next < from.size(); ++next)
        out += from[next];
    return out;
}

} // namespace

TEST(InstallFile, FindsRunsOfWholeLinesAsTheInstallerDoes) {
    using C = InstallFile::Change;
    struct Case {
        const char* what;
        std::string file;
        std::vector<StepCase> steps;
        std::vector<std::pair<std::size_t, std::size_t>> found;
        std::string after;
    };
    const Case cases[] = {
        {"carriage returns are left out on both sides",
         "a\r\nb\r\nc\r\n",
         {{C::Replace, "b", "B"}, {C::AddAfter, "B\r\n", "d\re"}},
         {{2, 0}, {2, 0}},
         "a\r\nB\r\nde\r\nc\r\n"},
        {"one final line break is ignored, a second is an empty line",
         "a\nb\n\nc\n",
         {{C::AddBefore, "b\r\n", "x"}, {C::AddBefore, "b\r\n\r\n", "y"}},
         {{2, 0}, {3, 0}},
         "a\nx\ny\nb\n\nc\n"},
        {"a match at the end of a file without a final line break",
         "a\nb\nc",
         {{C::AddAfter, "b\r\nc", "d"}},
         {{2, 0}},
         "a\nb\nc\nd"},
        {"overlapping candidates: the first whole run counts",
         "a\na\nb\n",
         {{C::Replace, "a\r\nb", "z"}},
         {{2, 0}},
         "a\nz\n"},
        {"a later step finds what an earlier one added",
         "a\nb\n",
         {{C::AddAfter, "a", "new"}, {C::Replace, "new", "newer"}},
         {{1, 0}, {2, 0}},
         "a\nnewer\nb\n"},
        {"the same lines twice, overlapping too",
         "a\na\na\n",
         {{C::Replace, "a\r\na", "b"}},
         {{1, 2}},
         "b\na\n"},
        {"a search text without lines is never found",
         "\n\na\n",
         {{C::Replace, "", "x"}, {C::Replace, "\r\n", "x"}},
         {{0, 0}, {0, 0}},
         "\n\na\n"},
        {"replacing by nothing removes the lines",
         "a\nb\nc\n",
         {{C::Replace, "b", ""}},
         {{2, 0}},
         "a\nc\n"},
        {"longer than the file", "a\n", {{C::Replace, "a\r\na", "x"}}, {{0, 0}}, "a\n"},
    };
    for (const Case& c : cases) {
        InstallFile file(c.file);
        EXPECT_EQ(runSteps(file, c.steps), c.found) << c.what;
        EXPECT_EQ(file.text(), c.after) << c.what;
        EXPECT_EQ(file.changed(), c.after != c.file) << c.what;
    }
}

// The engine against a plain list of lines searched position by position,
// and its diff against the text it leaves.
TEST(InstallFile, AgreesWithAPlainListOfLinesAndItsDiffApplies) {
    std::mt19937 rng(11);
    const std::string words[] = {"a", "b", "c", "", " a", "a\r"};
    const auto pick = [&](int lines, bool breaks) {
        std::string text;
        for (int i = 0; i < lines; ++i) {
            text += words[rng() % std::size(words)];
            if (i + 1 < lines || breaks)
                text += rng() % 3 == 0 ? "\r\n" : "\n";
        }
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        // Now and then long enough to span several of the engine's blocks.
        const std::string original =
            pick(int(rng() % (round % 10 == 0 ? 400 : 12)), rng() % 4 != 0);
        InstallFile file(original);
        std::deque<std::string> added; // lines added to the file live as long as it
        // The model: the lines without carriage returns.
        std::vector<std::string> model;
        for (std::size_t at = 0; at < original.size();) {
            std::size_t lf = original.find('\n', at);
            if (lf == std::string::npos)
                lf = original.size();
            std::string line = original.substr(at, lf - at);
            std::erase(line, '\r');
            model.push_back(line);
            at = lf + 1;
        }
        for (int s = 0, steps = int(rng() % (round % 10 == 0 ? 60 : 5)); s < steps; ++s) {
            const std::string search = pick(1 + int(rng() % 3), rng() % 2 == 0);
            const std::string& action =
                added.emplace_back(pick(int(rng() % (round % 10 == 0 ? 80 : 3)), rng() % 2 == 0));
            const auto change = InstallFile::Change(rng() % 3);
            std::deque<std::string> storage;
            const auto lines = installerLines(search, storage);
            std::vector<std::size_t> hits;
            for (std::size_t at = 0; !lines.empty() && at + lines.size() <= model.size(); ++at)
                if (std::equal(lines.begin(), lines.end(), model.begin() + std::ptrdiff_t(at)))
                    hits.push_back(at);
            const auto found = file.find(lines);
            ASSERT_EQ(found.has_value(), !hits.empty()) << original << "|" << search;
            if (!found)
                continue;
            ASSERT_EQ(found->line, hits[0]);
            ASSERT_EQ(found->again, hits.size() > 1 ? hits[1] : std::string_view::npos);
            const auto actionLines = installerLines(action, added);
            file.apply(change, found->line, lines.size(), actionLines);
            const auto at = model.begin() + std::ptrdiff_t(hits[0]);
            const std::vector<std::string> insert(actionLines.begin(), actionLines.end());
            if (change == InstallFile::Change::Replace)
                model.insert(model.erase(at, at + std::ptrdiff_t(lines.size())), insert.begin(),
                             insert.end());
            else
                model.insert(change == InstallFile::Change::AddBefore
                                 ? at
                                 : at + std::ptrdiff_t(lines.size()),
                             insert.begin(), insert.end());
        }
        std::string expected = file.text();
        std::erase(expected, '\r');
        std::string joined;
        for (std::size_t i = 0; i < model.size(); ++i)
            joined +=
                model[i] +
                (i + 1 < model.size() || original.empty() || original.back() == '\n' ? "\n" : "");
        ASSERT_EQ(expected, joined) << original;
        const std::string diff = file.unifiedDiff("a/f", "b/f");
        ASSERT_EQ(diff.empty(), !file.changed());
        if (!diff.empty()) {
            ASSERT_EQ(applyDiff(original, diff), file.text())
                << testing::PrintToString(original) << "\n"
                << testing::PrintToString(diff);
        }
    }
}

// The splitting of texts into the installer's lines, read many bytes at a
// time, against its plain definition: carriage returns out, one final line
// feed ignored, split at the others. Long texts cross the reads' boundaries.
TEST(InstallFile, SplitsTextsIntoTheInstallersLines) {
    std::mt19937 rng(7);
    const char bytes[] = {'a', 'b', ' ', '\r', '\n', '\n'};
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        for (int i = 0, size = int(rng() % (round % 4 == 0 ? 300 : 20)); i < size; ++i)
            text += rng() % 3 == 0 ? std::string("\r\n") : std::string(1, bytes[rng() % 6]);
        std::string plain = text;
        std::erase(plain, '\r');
        if (plain.ends_with('\n'))
            plain.pop_back();
        std::vector<std::string> expected;
        for (std::size_t at = 0; !plain.empty();) {
            const std::size_t lf = plain.find('\n', at);
            expected.push_back(plain.substr(at, lf - at));
            if (lf == std::string::npos)
                break;
            at = lf + 1;
        }
        std::deque<std::string> storage;
        const auto lines = installerLines(text, storage);
        ASSERT_EQ(std::vector<std::string>(lines.begin(), lines.end()), expected)
            << testing::PrintToString(text);
    }
}

TEST(ModCheck, ReportsEachStepAndEachFile) {
    test::TempDir forum;
    std::filesystem::create_directories(forum / "Sources");
    test::writeBytes(forum / "YaBB.pl", "print 1;\n");
    test::writeBytes(forum / "Sources" / "Post.pm", "sub post {\n    return;\n}\n");
    test::writeBytes(forum / "Sources" / "Image.pm", std::string("\x89PNG\0\0", 6));

    ModDocument doc;
    doc.appendNode(nullptr, TItem{"", akSearchReplace, "x", "y"});
    Node* post = doc.appendNode(nullptr, TItem{"sources/post.pm", akEditFile, "", ""});
    const Node* added = doc.appendNode(post, TItem{"", akSearchAddAfter, "sub post {", "    1;"});
    doc.appendNode(post, TItem{"", akSearchReplace, "return;", "x"});
    Node* missing = doc.appendNode(nullptr, TItem{"Sources/Gone.pm", akEditFile, "", ""});
    doc.appendNode(missing, TItem{"", akSearchReplace, "x", "y"});
    // The second node of the same file sees what the first made of it.
    Node* again = doc.appendNode(nullptr, TItem{"Sources/Post.pm", akEditFile, "", ""});
    doc.appendNode(again, TItem{"", akSearchReplace, "    1;", "    2;"});
    Node* image = doc.appendNode(nullptr, TItem{"Sources/Image.pm", akEditFile, "", ""});
    doc.appendNode(image, TItem{"", akSearchReplace, "x", "y"});

    CheckOptions options;
    options.forumDirectory = forumScriptDirectory((forum / "YaBB.pl").string());
    options.diffs = true;
    const CheckReport report = checkMod(doc, options);
    using S = StepCheck::Status;
    std::vector<std::pair<int, S>> steps;
    for (const StepCheck& s : report.steps)
        steps.emplace_back(s.step, s.status);
    const std::vector<std::pair<int, S>> expected = {{0, S::NoEditFile}, {1, S::Found},
                                                     {2, S::NotFound},   {3, S::FileMissing},
                                                     {4, S::Found},      {5, S::FileUnreadable}};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(report.steps[1].node, added);
    EXPECT_EQ(report.steps[4].line, 2u);
    ASSERT_EQ(report.files.size(), 3u);
    EXPECT_EQ(report.files[0].status, FileCheck::Status::Changed);
    EXPECT_EQ(report.files[0].diffName, "Sources/Post.pm");
    EXPECT_EQ(report.files[0].diff, "--- a/Sources/Post.pm\n+++ b/Sources/Post.pm\n"
                                    "@@ -1,3 +1,4 @@\n sub post {\n+    2;\n     return;\n }\n");
    EXPECT_EQ(report.files[1].status, FileCheck::Status::Missing);
    EXPECT_EQ(report.files[2].status, FileCheck::Status::Unreadable);
    EXPECT_FALSE(report.allFound());
    EXPECT_TRUE(report.anyUnreadable());
    EXPECT_EQ(test::readBytes(forum / "Sources" / "Post.pm"), "sub post {\n    return;\n}\n");

    const CheckReport unconfigured = checkMod(doc, {});
    EXPECT_EQ(unconfigured.steps[1].status, S::NoForumScript);
    // Untested steps are not counted as failed; the one before any edit file is.
    EXPECT_TRUE(formatReport(unconfigured)
                    .ends_with("6 steps: 0 found, 1 failed, 5 not tested: no forum script "
                               "configured.\n"))
        << formatReport(unconfigured);
}
