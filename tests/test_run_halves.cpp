// A run past failed steps shared out between two runs at once, held to one
// run doing it all, on the installer's table of rules and on random mods and
// forums: the same steps, files and bytes, and the same report.
#include "check/check_json.h"
#include "check/mod_check.h"
#include "check/run_halves.h"

#include "test_support.h"
#include "yabmod_cases.h"

#include <gtest/gtest.h>

#include <limits>

using namespace torvale;
using namespace torvale::test;

namespace {

std::string stepsOf(const yabmod::Run& run) {
    std::string out;
    for (const yabmod::StepRun& s : run.steps)
        out += std::to_string(s.number) + " " + std::to_string(s.modLine) + " " +
               std::to_string(int(s.result)) + " " + std::to_string(s.found.value_or(9999)) + " " +
               std::to_string(s.again) + " " + std::to_string(s.file) + "\n";
    for (const yabmod::FileRun& f : run.files)
        out += f.path + " " + f.problem + "\n";
    for (const auto& [path, after] : run.changes)
        out += path + " " + after.value_or("(removed)") + "\n";
    return out;
}

// Files edited and then their backups: where a file and its backup fall to
// different halves, one writes what the other reads.
YabmodCase backupsEdited() {
    YabmodCase c;
    c.name = "backups edited";
    c.mod = "<id>\nbackups\n</id>\n\n<edit file>\nmissing.pm\n</edit file>\n\n"
            "<search for>\nnone\n</search for>\n\n<add after>\nx\n</add after>\n\n";
    for (int k = 0; k < 8; ++k) {
        const std::string name = "f" + std::to_string(k) + ".pm";
        c.files["board/" + name] = "line 1\nline 2\n";
        for (const std::string& edited : {name, name + ".bak"})
            c.mod += "<edit file>\n" + edited + "\n</edit file>\n\n<search for>\nline 1\n"
                     "</search for>\n\n<add after>\nadded to " + edited + "\n</add after>\n\n";
    }
    return c;
}

// More failures than are looked into, in files of both halves: the same
// first ones are.
YabmodCase manyFailures() {
    YabmodCase c;
    c.name = "many failures";
    c.mod = "<id>\nfailures\n</id>\n\n";
    for (int k = 0; k < 8; ++k) {
        const std::string name = "g" + std::to_string(k) + ".pm";
        c.files["board/" + name] = "sub one {\n    return 1;\n}\nsub two {\n    return 2;\n}\n";
        c.mod += "<edit file>\n" + name + "\n</edit file>\n\n";
        for (int s = 0; s < 40; ++s)
            c.mod += "<search for>\nsub " + std::string(s % 2 ? "one" : "three") + " {\n    return " +
                     std::to_string(s) + ";\n</search for>\n\n<add after>\n# " +
                     std::to_string(s) + "\n</add after>\n\n";
    }
    return c;
}

} // namespace

TEST(RunHalves, GiveWhatOneRunGives) {
    std::vector<YabmodCase> cases = yabmodTable();
    cases.push_back(backupsEdited());
    cases.push_back(manyFailures());
    for (std::uint32_t seed = 1; seed <= 150; ++seed)
        cases.push_back(randomYabmodCase(seed));
    int joined = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const YabmodCase& c = cases[i];
        TempDir dir;
        writeYabmodForum(c, dir.path());
        const yabmod::Folders folders{(dir / "board").string(), (dir / "html").string()};
        const auto runOf = [&](std::function<bool(std::string_view)> opens) {
            yabmod::Options options;
            options.keepGoing = true;
            options.notePaths = bool(opens);
            options.opens = std::move(opens);
            return yabmod::runInstaller(c.mod, folders, yabmod::Mode::Install, yabmod::readFromDisk,
                                        options);
        };
        Seen seen;
        int analysed = 0;
        const std::optional<yabmod::Run> halves = runInHalves(
            [&](Seen&, FailedSteps&, Looks, std::function<bool(std::string_view)> opens) {
                return runOf(std::move(opens));
            },
            seen, analysed, 200);
        if (halves) {
            ++joined;
            ASSERT_EQ(stepsOf(*halves), stepsOf(runOf({}))) << c.name;
        }
        // The whole check, with the failures looked into and the diffs.
        CheckOptions options;
        options.forumDirectory = folders.board;
        options.htmlDirectory = folders.html;
        options.diffs = options.keepGoing = options.uninstall = true;
        options.splitFrom = 0;
        const CheckReport split = checkMod(c.mod, options);
        options.splitFrom = std::numeric_limits<std::size_t>::max();
        const CheckReport one = checkMod(c.mod, options);
        ASSERT_EQ(reportJson(split), reportJson(one)) << c.name;
        ASSERT_EQ(split.files.size(), one.files.size());
        for (std::size_t f = 0; f < one.files.size(); ++f) {
            ASSERT_EQ(split.files[f].diff, one.files[f].diff) << c.name;
        }
    }
    // Most mods' halves stay apart: the comparison is not of one run with itself.
    EXPECT_GT(joined, int(cases.size()) / 2);
}
