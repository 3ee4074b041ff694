// Testing a mod against a forum: the forum file as the installer holds it,
// held to a plain array of lines; the diff that patch applies; the report.
#include "check/install_file.h"
#include "check/line_diff.h"
#include "check/mod_check.h"
#include "check/near_miss.h"
#include "check/reading_differences.h"
#include "check/yabmod.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <random>
#include <thread>

using namespace torvale;

namespace {

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
    std::size_t first = 0; // past the header lines
    while (first < patch.size() && !patch[first].starts_with("@@"))
        ++first;
    for (std::size_t i = first; i < patch.size(); ++i) {
        const std::string& line = patch[i];
        if (line.starts_with("@@ -")) {
            if (oldLeft || newLeft)
                return std::nullopt;
            // "@@ -start[,count] +start[,count] @@": a count of 1 may be left out.
            const auto count = [&line](std::size_t sign) {
                const std::size_t comma = line.find(',', sign);
                return comma < line.find(' ', sign) ? std::stol(line.substr(comma + 1)) : 1L;
            };
            std::size_t start = std::stoul(line.substr(4));
            oldLeft = count(3);
            newLeft = count(line.find('+'));
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


// Perl's array of lines: each with its own line feed, compared without
// carriage returns.
std::string key(const std::string& line) {
    return lineKey(line);
}

} // namespace

// Searches, strips and splices against a plain array of lines, as Perl does
// them, on files long enough to span several of the engine's blocks.
TEST(InstallFile, AgreesWithPerlsArrayOfLines) {
    std::mt19937 rng(11);
    const std::string words[] = {"a", "b", "c", "", " a", "a\r", "b\rc"};
    const auto line = [&] {
        std::string l = words[rng() % std::size(words)];
        return l + (rng() % 3 == 0 ? "\r\n" : "\n");
    };
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> model;
        for (int i = 0, n = int(rng() % (round % 10 == 0 ? 600 : 12)); i < n; ++i)
            model.push_back(line());
        if (!model.empty() && rng() % 4 == 0) {
            model.back().pop_back(); // no final line feed
            if (model.back().empty())
                model.pop_back();
        }
        std::string original;
        for (const std::string& l : model)
            original += l;
        std::deque<std::string> kept; // texts lines were put in from, kept as long as the file
        InstallFile file(original);
        // Copies share blocks with the file: each must keep its own lines as
        // the file changes on.
        std::vector<std::pair<InstallFile, std::string>> copies;
        const auto joined = [](const std::vector<std::string>& lines) {
            std::string text;
            for (const std::string& l : lines)
                text += l;
            return text;
        };
        for (int s = 0, steps = int(rng() % (round % 10 == 0 ? 60 : 6)); s < steps; ++s) {
            if (rng() % 4 == 0)
                copies.emplace_back(file, joined(model));
            if (rng() % 8 == 0)
                file = InstallFile(file);
            std::vector<std::string> search;
            for (int i = 0, n = 1 + int(rng() % 3); i < n; ++i)
                search.push_back(key(line()));
            const std::vector<std::string_view> views(search.begin(), search.end());
            std::vector<std::size_t> hits;
            for (std::size_t at = 0; at + search.size() <= model.size(); ++at) {
                std::size_t k = 0;
                while (k < search.size() && key(model[at + k]) == search[k])
                    ++k;
                if (k == search.size())
                    hits.push_back(at);
            }
            const auto found = file.find(views);
            ASSERT_EQ(found.has_value(), !hits.empty()) << original;
            const std::size_t end = found ? found->line + search.size() : model.size();
            file.stripBefore(end);
            for (std::size_t i = 0; i < end; ++i)
                std::erase(model[i], '\r');
            if (!found)
                continue;
            ASSERT_EQ(found->line, hits[0]);
            ASSERT_EQ(found->again, hits.size() > 1 ? hits[1] : std::string_view::npos);
            // Now and then more lines than a block holds; and lines from a
            // text that outlives the file, which it then need not copy.
            std::vector<std::string> added;
            for (int i = 0, n = int(rng() % 50 ? rng() % 4 : 300); i < n; ++i)
                added.push_back(line());
            std::vector<std::string_view> lines(added.begin(), added.end());
            Lasting lasting;
            if (rng() % 2) {
                std::string& text = kept.emplace_back(joined(added));
                lines = perlLines(text);
                lasting = Lasting(text, crsOnlyBeforeLfs(text));
            }
            const auto at = model.begin() + std::ptrdiff_t(hits[0]);
            switch (rng() % 3) {
            case 0:
                file.replace(hits[0], search.size(), lines, lasting);
                model.insert(model.erase(at, at + std::ptrdiff_t(search.size())), added.begin(),
                             added.end());
                break;
            case 1:
                file.insert(hits[0], lines, lasting);
                model.insert(at, added.begin(), added.end());
                break;
            default:
                file.erase(hits[0], 1);
                model.erase(at);
            }
            ASSERT_EQ(file.lineCount(), model.size()) << testing::PrintToString(original);
        }
        const std::string expected = joined(model);
        ASSERT_EQ(file.text(), expected) << testing::PrintToString(original);
        for (const auto& [copy, text] : copies)
            ASSERT_EQ(copy.text(), text) << testing::PrintToString(original);
        // Read back, the text is the same lines unless one is empty or a line
        // feed is missing before the end.
        bool regular = true;
        for (std::size_t i = 0; i < model.size(); ++i)
            regular &= !model[i].empty() && (i + 1 == model.size() || model[i].ends_with('\n'));
        ASSERT_EQ(file.readsBackAsIs(), regular) << testing::PrintToString(original);
        if (regular) {
            ASSERT_EQ(InstallFile(expected).keys(), file.keys());
        }
        ASSERT_EQ(file.changed(), expected != original);
        const std::string diff = unifiedDiff(original, expected, "f");
        ASSERT_EQ(diff.empty(), expected == original);
        if (!diff.empty()) {
            ASSERT_EQ(applyDiff(original, diff), expected) << testing::PrintToString(diff);
        }
    }
}

// A large mod is split by two threads: the same lines, wherever its middle
// falls and whatever its line ends.
TEST(InstallFile, SplitsLargeTextsInParallelAsPerlDoes) {
    std::mt19937 rng(5);
    const std::string pieces[] = {"\n", "\r\n", "x", "<edit file>", "    print;", "\r"};
    // And whether every carriage return stands right before a line feed.
    const auto crsBeforeLfs = [](const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
                return false;
        return true;
    };
    for (int round = 0; round < 6; ++round) {
        std::string text;
        // From round 3 on without lone carriage returns, but for one.
        const std::size_t kinds = std::size(pieces) - (round >= 3 ? 1u : 0u);
        while (text.size() < (std::size_t(5) << 20))
            text += pieces[rng() % kinds];
        if (round == 1)
            text += std::string(std::size_t(6) << 20, 'y'); // no line feed after the middle
        if (round == 2)
            text += '\n';
        if (round == 4)
            text.insert(rng() % text.size(), "\rx");
        if (round == 5)
            text += '\r';
        bool clean = false;
        ASSERT_EQ(perlLinesInParallel(text, &clean), perlLines(text)) << round;
        EXPECT_EQ(clean, crsBeforeLfs(text)) << round;
        EXPECT_EQ(crsOnlyBeforeLfs(text), clean) << round;
    }
}

// The blocks of files come from slabs shared by all threads: each block is
// its own, and a slab is free again once the last of its blocks is,
// whichever thread made it and whichever frees it.
TEST(InstallFile, BlockSlabsGoBackWhenTheirBlocksDo) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "each block is allocated on its own under the sanitizer";
#else
    struct Block {
        char bytes[3000];
    };
    using Allocator = install::BlockAllocator<Block>;
    const std::size_t before = Allocator::slabs();
    std::vector<Block*> made;
    std::thread([&made] {
        for (int i = 0; i < 3000; ++i)
            made.push_back(Allocator().allocate(1));
    }).join();
    EXPECT_GT(Allocator::slabs(), before);
    for (Block* block : made) {
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(block) % 64, 0u);
        std::memset(block->bytes, int(reinterpret_cast<std::uintptr_t>(block) % 251), sizeof block->bytes);
    }
    for (Block* block : made) // none overlaps another
        ASSERT_EQ(block->bytes[sizeof block->bytes - 1], char(reinterpret_cast<std::uintptr_t>(block) % 251));
    std::shuffle(made.begin(), made.end(), std::mt19937(3));
    std::thread([&made] {
        for (Block* block : made)
            Allocator().deallocate(block, 1);
    }).join();
    EXPECT_EQ(Allocator::slabs(), before);
#endif
}

// A forum, a mod's bytes, and what the report says of each step.
TEST(ModCheck, ReportsWhatTheInstallerDoesAndWhy) {
    test::TempDir forum;
    std::filesystem::create_directories(forum / "Sources");
    test::writeBytes(forum / "YaBB.pl", "print 1;\n");
    test::writeBytes(forum / "Sources" / "Post.pm", "sub post {\n    return;\n}\n");
    test::writeBytes(forum / "Sources" / "Other.pm", "if ($x) {\n    Call( $y );\n}\n");
    const std::string head = "<id>\nm\n</id>\n\n";
    const auto block = [](const char* tag, const std::string& text) {
        return std::string("<") + tag + ">\n" + text + "\n</" + tag + ">\n\n";
    };
    const auto step = [&](const char* kind, const std::string& search, const std::string& action) {
        return block("search for", search) + block(kind, action);
    };
    using S = StepCheck::Status;
    struct Case {
        const char* what;
        std::string mod;
        std::vector<S> statuses;
        std::vector<std::size_t> lines; // found: the line, else 0
        std::string reason;             // in the first step's that failed
        bool passes;
    };
    const Case cases[] = {
        {"found, the second step in what the first left",
         head + block("edit file", "Sources/Post.pm") + step("add after", "sub post {", "    1;") +
             step("replace", "    1;", "    2;"),
         {S::Found, S::Found}, {1, 2}, "", true},
        {"a near miss names the line in the file as the steps before left it, and on disk",
         head + block("edit file", "Sources/Post.pm") + step("add after", "sub post {", "    1;") +
             step("replace", "    RETURN;", "x"),
         {S::Found, S::NotFound}, {1, 0}, "at line 3, line 2 on disk, but differ in letter case",
         false},
        {"the installer stops at the first failure; later steps are not reached",
         head + block("edit file", "Sources/Post.pm") + step("replace", "nothing", "x") +
             step("replace", "}", "};"),
         {S::NotFound, S::NotReached}, {0, 0}, "not present at all", false},
        {"letter case in a name: a Linux server does not find the file",
         head + block("edit file", "sources/post.pm") + step("replace", "}", "x"),
         {S::FileMissing}, {0}, "in other letters", false},
        {"../ in a name is refused",
         head + block("edit file", "../x/Sources/Post.pm") + step("replace", "}", "x"),
         {S::FileMissing}, {0}, "refuses", false},
        {"backslashes are slashes to the installer",
         head + block("edit file", "Sources\\Post.pm") + step("replace", "}", "x"),
         {S::Found}, {3}, "", true},
        {"blanks and letter case named",
         head + block("edit file", "Sources/Other.pm") + step("replace", "IF ($x) {\n    Call($y);", "x"),
         {S::NotFound}, {0}, "differ in blanks, tabs and letter case", false},
        {"an empty last line of a search text is searched for too",
         head + block("edit file", "Sources/Post.pm") + step("replace", "    return;\n", "x"),
         {S::NotFound}, {0}, "an empty last line", false},
    };
    for (const Case& c : cases) {
        CheckOptions options;
        options.forumDirectory = forum.path().string();
        const CheckReport report = checkMod(c.mod, options);
        std::vector<S> statuses;
        std::vector<std::size_t> lines;
        std::string reason;
        for (const StepCheck& s : report.steps) {
            statuses.push_back(s.status);
            lines.push_back(s.status == S::Found ? s.line : 0);
            if (reason.empty())
                reason = s.reason;
        }
        EXPECT_EQ(statuses, c.statuses) << c.what << "\n" << formatReport(report);
        EXPECT_EQ(lines, c.lines) << c.what;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
        EXPECT_EQ(report.passes(), c.passes) << c.what;
    }
    // Nothing on disk changed, and without a forum nothing is tested.
    EXPECT_EQ(test::readBytes(forum / "Sources" / "Post.pm"), "sub post {\n    return;\n}\n");
    const CheckReport untested = checkMod(cases[0].mod, {});
    ASSERT_EQ(untested.steps.size(), 2u);
    EXPECT_EQ(untested.steps[0].status, S::NotTested);
    EXPECT_FALSE(untested.passes());
}

// The places where the editor and the installer read a mod apart, each at
// its line.
TEST(ModCheck, NamesWhereTheInstallerReadsTheModOtherwise) {
    const std::string file = "<edit file>\nSources/A.pm\n</edit file>\n\n";
    const struct {
        const char* what;
        std::string mod;
        std::size_t line;
        const char* words;
    } cases[] = {
        {"the same reading", file + "<search for>\na\n</search for>\n\n<replace>\nb\n</replace>\n", 0, ""},
        {"blanks before a tag", file + " <search for>\na\n</search for>\n\n<replace>\nb\n</replace>\n", 5,
         "blanks before it"},
        {"no empty line after a closing tag",
         file + "<search for>\na\n</search for>\n<replace>\nb\n</replace>\n<search for>\nc\n</search for>\n\n<add after>\nd\n</add after>\n",
         11, "right after a closing tag"},
        {"a tab in a tag", file + "<search\tfor>\na\n</search for>\n\n<replace>\nb\n</replace>\n", 5,
         "does not show"},
        {"an empty first line the editor drops",
         file + "<search for>\n\na\n</search for>\n\n<replace>\nb\n</replace>\n", 5, "search text differently"},
        {"two lines in a file-name block",
         "<edit file>\nA.pm\nB.pm\n</edit file>\n\n<search for>\na\n</search for>\n\n<replace>\nb\n</replace>\n",
         6, "file name"},
    };
    // A forum where every step is found, so that the check compares with
    // the install itself instead of a run that only reads.
    const yabmod::ReadFile forum = [](const std::string& path) {
        using K = yabmod::DiskEntry::Kind;
        if (path.ends_with(".pm"))
            return yabmod::DiskEntry{K::File, "\na\nc\n"};
        return path == "/forum" || path == "/forum/Sources" ? yabmod::DiskEntry{K::Folder, {}}
                                                            : yabmod::DiskEntry{};
    };
    const auto listed = [](const std::vector<ReadingDifference>& found) {
        std::vector<std::pair<std::size_t, std::string>> list;
        for (const ReadingDifference& d : found)
            list.emplace_back(d.modLine, d.what);
        return list;
    };
    for (const auto& c : cases) {
        const std::vector<ReadingDifference> found = readingDifferences(c.mod);
        const std::vector<std::string_view> lines = perlLines(c.mod);
        yabmod::Options options;
        options.keepGoing = true;
        const yabmod::Run installed =
            yabmod::runInstaller(c.mod, {"/forum", "/html"}, yabmod::Mode::Install, forum, options);
        ASSERT_EQ(installed.end, yabmod::Run::End::Done) << c.what << ": " << installed.message;
        EXPECT_EQ(listed(EditorReading(c.mod, lines).differencesFrom(installed)), listed(found))
            << c.what;
        if (!c.line) {
            EXPECT_TRUE(found.empty()) << c.what << ": " << found.front().what;
            continue;
        }
        ASSERT_FALSE(found.empty()) << c.what;
        EXPECT_EQ(found.front().modLine, c.line) << c.what << ": " << found.front().what;
        EXPECT_NE(found.front().what.find(c.words), std::string::npos) << c.what << ": " << found.front().what;
    }
}
