// The file after a step, held to the installer's whole run past the failures:
// its rows less those put in are the file before the step, less those taken
// out the file after it, on random mods and forums.
#include "check/install_file.h"
#include "check/step_result.h"
#include "check/yabmod_disk.h"

#include "test_support.h"
#include "yabmod_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace torvale;
using namespace torvale::test;

namespace {

// The lines of a text, without their line feeds and carriage returns (which
// the installer takes out of the lines it looks at); a last line feed
// starts no line.
std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t lf = text.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        lines.push_back(lineKey(text.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

// The rows with those marked as put in (or as taken out) left out.
std::vector<std::string> rowsWithout(const StepResult& r, bool added) {
    std::vector<std::string> rows = linesOf(r.text), kept;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const bool dropped = std::ranges::any_of(r.marks, [&](const StepResult::Mark& m) {
            return m.added == added && row >= m.row && row < m.row + m.rows;
        });
        if (!dropped)
            kept.push_back(rows[row]);
    }
    return kept;
}

// What the whole run makes of each step's file, before and after the step.
struct Seen {
    std::string before, after;
    bool applied = false;
    std::string file;
};

std::map<int, Seen> wholeRun(const std::string& mod, const yabmod::Folders& folders) {
    std::map<int, Seen> seen;
    yabmod::Options options;
    options.keepGoing = true;
    options.onStep = [&](const yabmod::StepView& view) {
        Seen& s = seen[view.step.number];
        s.file = yabmod::Disk::keyOf(view.fileRun.path);
        (view.after ? s.after : s.before) = view.file.text();
        s.applied = s.applied || view.after;
    };
    yabmod::runInstaller(mod, folders, yabmod::Mode::Install, yabmod::readFromDisk, options);
    return seen;
}

TEST(StepResult, MatchesTheWholeRunOnRandomMods) {
    int applied = 0, notFound = 0, withEarlierChange = 0;
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        const YabmodCase c = randomYabmodCase(seed);
        TempDir dir;
        writeYabmodForum(c, dir.path());
        const yabmod::Folders folders = forumFolders((dir.path() / "board").string());
        const std::map<int, Seen> seen = wholeRun(c.mod, folders);
        yabmod::Options reading;
        reading.readingOnly = true;
        const yabmod::Run steps = yabmod::runInstaller(c.mod, folders, yabmod::Mode::Install,
                                                       yabmod::readFromDisk, reading);
        for (const yabmod::StepRun& step : steps.steps) {
            SCOPED_TRACE(c.name + ", step " + std::to_string(step.number));
            const StepResult after = stepResult(c.mod, folders, step.modLine, StepMoment::After);
            const StepResult before = stepResult(c.mod, folders, step.modLine, StepMoment::Before);
            EXPECT_EQ(after.step, step.number);
            const auto s = seen.find(step.number);
            if (s == seen.end()) {
                EXPECT_EQ(after.status, StepResult::Status::NotRun);
                EXPECT_FALSE(after.problem.empty());
                continue;
            }
            EXPECT_EQ(rowsWithout(before, false), linesOf(s->second.before));
            EXPECT_EQ(before.found, after.found);
            if (s->second.applied) {
                ++applied;
                EXPECT_EQ(after.status, StepResult::Status::Applied);
                EXPECT_EQ(after.shownStep, step.number);
                EXPECT_EQ(rowsWithout(after, false), linesOf(s->second.after));
                EXPECT_EQ(rowsWithout(after, true), linesOf(s->second.before));
                // The step before that changed the file shows its own change.
                if (before.shownStep) {
                    ++withEarlierChange;
                    EXPECT_LT(before.shownStep, step.number);
                    EXPECT_EQ(seen.at(before.shownStep).file, s->second.file);
                    EXPECT_EQ(rowsWithout(before, false), linesOf(seen.at(before.shownStep).after));
                }
            } else {
                ++notFound;
                EXPECT_EQ(after.status, StepResult::Status::NotFound);
                EXPECT_EQ(after.found, 0u);
                EXPECT_EQ(rowsWithout(after, false), linesOf(s->second.before));
            }
            for (const int skipped : after.skipped) {
                EXPECT_LT(skipped, step.number);
                EXPECT_FALSE(seen.at(skipped).applied);
            }
        }
    }
    // The cases reach every kind of result.
    EXPECT_GT(applied, 50);
    EXPECT_GT(notFound, 20);
    EXPECT_GT(withEarlierChange, 10);
}

// A file edited in two groups: the second sees the first's change; a
// replacement marks only the lines it changes; lines of the file after it
// are found past the rows taken out.
TEST(StepResult, MarksWhatTheStepChanges) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "Sources");
    writeBytes(dir.path() / "Sources/A.pm", "a\nb\nc\nd\ne\n");
    writeBytes(dir.path() / "Sources/B.pm", "z\n");
    // The line after a closing tag the installer never reads: left empty.
    const std::string mod = "<edit file>\nSources/A.pm\n</edit file>\n"
                            "<search for>\nb\nc\n</search for>\n<replace>\nb\nC\nC2\n</replace>\n\n"
                            "<edit file>\nSources/B.pm\n</edit file>\n"
                            "<search for>\nnothing\n</search for>\n<add after>\nx\n</add after>\n\n"
                            "<edit file>\nSources/A.pm\n</edit file>\n"
                            "<search for>\nd\n</search for>\n<add before>\nD\n</add before>\n\n"
                            "<search for>\nmissing\n</search for>\n<add before>\nM\n</add before>\n\n"
                            "<search for>\ne\n</search for>\n<add after>\nE\n</add after>\n\n";
    const yabmod::Folders folders = forumFolders(dir.path().string());
        struct Row {
        std::size_t searchLine;
        StepMoment moment;
        StepResult::Status status;
        int shownStep;
        std::string text;
        std::vector<std::pair<std::size_t, std::size_t>> out, in; // rows, counts
    } const rows[] = {
        {4, StepMoment::After, StepResult::Status::Applied, 1, "a\nb\nc\nC\nC2\nd\ne\n", {{2, 1}}, {{3, 2}}},
        {4, StepMoment::Before, StepResult::Status::Applied, 0, "a\nb\nc\nd\ne\n", {}, {}},
        {27, StepMoment::After, StepResult::Status::Applied, 3, "a\nb\nC\nC2\nD\nd\ne\n", {}, {{4, 1}}},
        {27, StepMoment::Before, StepResult::Status::Applied, 1, "a\nb\nc\nC\nC2\nd\ne\n", {{2, 1}}, {{3, 2}}},
        {34, StepMoment::After, StepResult::Status::NotFound, 3, "a\nb\nC\nC2\nD\nd\ne\n", {}, {{4, 1}}},
        {41, StepMoment::After, StepResult::Status::Applied, 5, "a\nb\nC\nC2\nD\nd\ne\nE\n", {}, {{7, 1}}},
        {17, StepMoment::After, StepResult::Status::NotFound, 0, "z\n", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("line " + std::to_string(row.searchLine));
        const StepResult r = stepResult(mod, folders, row.searchLine, row.moment);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.shownStep, row.shownStep);
        EXPECT_EQ(r.text, row.text);
        std::vector<std::pair<std::size_t, std::size_t>> out, in;
        for (const StepResult::Mark& m : r.marks) {
            (m.added ? in : out).emplace_back(m.row, m.rows);
            std::string marked;
            for (std::size_t k = 0; k < m.rows; ++k)
                marked += linesOf(r.text)[m.row + k] + "\n";
            EXPECT_EQ(r.text.substr(m.begin, m.end - m.begin), marked);
        }
        EXPECT_EQ(out, row.out);
        EXPECT_EQ(in, row.in);
    }
    const StepResult skipped = stepResult(mod, folders, 41, StepMoment::After);
    EXPECT_EQ(skipped.skipped, std::vector<int>{4});
    // Line 3 of the file after step 1 ("C") stands past the row taken out.
    const StepResult first = stepResult(mod, folders, 4, StepMoment::After);
    EXPECT_EQ(first.text.substr(first.offsetOfLine(3), 2), "C\n");
    EXPECT_EQ(first.offsetOfLine(8), first.text.size());
    const StepResult none = stepResult(mod, folders, 5, StepMoment::After);
    EXPECT_EQ(none.status, StepResult::Status::NotRun);
}

} // namespace
