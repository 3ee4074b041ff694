// A keep-going install run in shares of its files on several threads comes
// to what the run of the whole comes to, and so does the check built on it.
#include "check/check_json.h"
#include "check/install_file.h"
#include "check/mod_check.h"
#include "check/yabmod.h"

#include "test_support.h"
#include "yabmod_cases.h"

#include <gtest/gtest.h>

#include <future>

namespace fs = std::filesystem;
using namespace torvale;
using namespace torvale::test;

namespace {

std::vector<YabmodCase> cases(std::uint32_t randomOnes) {
    std::vector<YabmodCase> out = yabmodTable();
    for (std::uint32_t seed = 1; seed <= randomOnes; ++seed)
        out.push_back(randomYabmodCase(seed));
    return out;
}

void expectSameRun(const yabmod::Run& whole, const yabmod::Run& merged, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(merged.end, whole.end);
    EXPECT_EQ(merged.failedStep, whole.failedStep);
    EXPECT_EQ(merged.failedModLine, whole.failedModLine);
    EXPECT_EQ(merged.message, whole.message);
    ASSERT_EQ(merged.files.size(), whole.files.size());
    for (std::size_t f = 0; f < whole.files.size(); ++f) {
        const auto& a = whole.files[f];
        const auto& b = merged.files[f];
        EXPECT_EQ(std::tie(a.name, a.path, a.modLine, a.problem, a.elsewhere),
                  std::tie(b.name, b.path, b.modLine, b.problem, b.elsewhere))
            << "file " << f;
    }
    ASSERT_EQ(merged.steps.size(), whole.steps.size());
    for (std::size_t k = 0; k < whole.steps.size(); ++k) {
        const auto& a = whole.steps[k];
        const auto& b = merged.steps[k];
        EXPECT_EQ(std::tie(a.number, a.modLine, a.actionLine, a.action, a.file, a.found, a.result,
                           a.again, a.searchLines, a.searchRead, a.actionRead),
                  std::tie(b.number, b.modLine, b.actionLine, b.action, b.file, b.found, b.result,
                           b.again, b.searchLines, b.searchRead, b.actionRead))
            << "step " << a.number;
    }
    ASSERT_EQ(merged.changes.size(), whole.changes.size());
    for (auto a = whole.changes.begin(), b = merged.changes.begin(); a != whole.changes.end(); ++a, ++b) {
        EXPECT_EQ(a->first, b->first);
        EXPECT_EQ(a->second.value(), b->second.value()) << a->first;
    }
}

} // namespace

// Every share walks the whole mod and tells of every step, its own or not;
// put together, the shares are the whole run, file for file and byte for byte.
TEST(YabmodShares, TheSharesOfAKeepGoingInstallMakeTheWholeRun) {
    const std::vector<YabmodCase> sources = cases(200);
    TempDir dir;
    std::size_t merged = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const fs::path root = dir / ("case" + std::to_string(i));
        writeYabmodForum(sources[i], root);
        const yabmod::Folders folders{(root / "board").string(), (root / "html").string()};
        yabmod::Options options;
        options.keepGoing = true;
        options.modOutlivesRun = true;
        const yabmod::Run whole = yabmod::runInstaller(sources[i].mod, folders, yabmod::Mode::Install,
                                                       yabmod::readFromDisk, options);
        for (const unsigned count : {2u, 3u}) {
            std::vector<std::future<yabmod::Run>> runs;
            for (unsigned s = 0; s < count; ++s) {
                runs.push_back(std::async(std::launch::async, [&, s] {
                    yabmod::Options share = options;
                    share.share = {s, count};
                    int told = 0;
                    share.onStep = [&told](const yabmod::StepView& view) { told += !view.after; };
                    yabmod::Run run = yabmod::runInstaller(sources[i].mod, folders,
                                                           yabmod::Mode::Install,
                                                           yabmod::readFromDisk, share);
                    // Each step the share walked, in its files or not, was told.
                    EXPECT_GE(told, int(std::ranges::count_if(run.steps, [](const auto& st) {
                                  return st.result == yabmod::StepRun::Result::Found ||
                                         st.result == yabmod::StepRun::Result::NotFound ||
                                         st.result == yabmod::StepRun::Result::Elsewhere;
                              })));
                    return run;
                }));
            }
            std::vector<yabmod::Run> shares;
            for (auto& run : runs)
                shares.push_back(run.get());
            if (const std::optional<yabmod::Run> run = yabmod::mergeShares(std::move(shares))) {
                ++merged;
                expectSameRun(whole, *run, sources[i].name + ", " + std::to_string(count) + " shares");
            }
        }
    }
    // Only a run that a file ends early, or a backup copied into a folder,
    // leaves the shares apart.
    EXPECT_GT(merged, 2 * sources.size() * 9 / 10);
}

// The check's report, with the failures it looks into, is the same on one
// thread as on several, where the run past the failures goes first: for a mod
// that passes, for one that fails, and for one where more steps fail than
// the check looks into.
TEST(YabmodShares, TheCheckReportsTheSameOnOneThreadAsOnSeveral) {
    std::vector<YabmodCase> sources = cases(40);
    // Steps failing by the hundred in two files, each named again and again.
    YabmodCase many{"many failures", "", {{"board/A.pm", "one\ntwo\nthree\n"},
                                          {"board/B.pm", "four\nfive\n"}}};
    for (int block = 0; block < 12; ++block) {
        many.mod += "<edit file>\n" + std::string(block % 2 ? "B.pm" : "A.pm") + "\n</edit file>\n\n";
        for (int step = 0; step < 40; ++step)
            many.mod += "<search for>\n" + std::string(step % 7 ? "gone " + std::to_string(step) : block % 2 ? "four" : "two") +
                        "\n</search for>\n\n<add after>\nadded\n</add after>\n\n";
    }
    sources.push_back(many);
    TempDir dir;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const fs::path root = dir / ("case" + std::to_string(i));
        CheckOptions options = writeForumToCheck(sources[i], root);
        options.diffs = options.keepGoing = options.uninstall = true;
        // The text tells where each found step stands on disk, the JSON the rest.
        const auto told = [&](unsigned threads) {
            options.threads = threads;
            const CheckReport report = checkMod(sources[i].mod, options);
            return formatReport(report) + reportJson(report);
        };
        const std::string one = told(1);
        for (const unsigned threads : {2u, 3u}) {
            EXPECT_EQ(told(threads), one)
                << sources[i].name << ", " << threads << " threads";
        }
    }
}
