// Made mods installed by YaBB 2.7's own installer (tests/yabmod/driver.pl):
// each gives the changed file, as the model says it does.
#include "check/make_mod.h"
#include "check/yabmod.h"
#include "make_mod_random.h"
#include "test_support.h"
#include "yabmod_cases.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <unistd.h>

using namespace torvale;
using namespace torvale::test;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kCases = 100;

} // namespace

TEST(MakeModYabb, MadeModsInstallWithYaBBsOwnInstaller) {
    if (std::string(TORVALE_PERL).empty() || access(TORVALE_PERL, X_OK) != 0)
        TORVALE_SKIP_UNLESS_CI("perl is not installed: YaBB's own installer cannot run here");
    TempDir dir;
    fs::create_directories(dir / "mods");
    struct Prepared {
        std::string what;
        fs::path root;
        std::string file; // under root
        std::string expected;
    };
    std::vector<Prepared> cases;
    std::string batch;
    for (std::uint32_t seed = 1; seed <= kCases; ++seed) {
        const MakeCase c = randomMakeCase(1000 + seed);
        const MadeMod made = makeMod({c.pair}, {});
        if (made.steps == 0)
            continue;
        Prepared p{"seed " + std::to_string(1000 + seed) + " (" + c.what + ")",
                   dir / ("case" + std::to_string(seed)),
                   "board/" + c.pair.name,
                   {}};
        YabmodCase forum;
        forum.files[p.file] = *c.pair.original;
        writeYabmodForum(forum, p.root);
        // What the model installs: the changed file, or it with the line ends the report names.
        const yabmod::Folders folders{(p.root / "board").string(), (p.root / "html").string()};
        const yabmod::Run model = yabmod::runInstaller(made.text, folders, yabmod::Mode::Install);
        ASSERT_EQ(model.end, yabmod::Run::End::Done) << p.what << model.message;
        p.expected = *model.changes.at((p.root / p.file).string());
        if (made.complete()) {
            EXPECT_EQ(p.expected, *c.pair.changed) << p.what;
        }
        const fs::path mod = dir / "mods" / ("case" + std::to_string(seed) + ".mod");
        writeBytes(mod, made.text);
        batch += "install\t" + (p.root / "board").string() + "\t" + (p.root / "html").string() +
                 "\t" + mod.string() + "\n";
        cases.push_back(std::move(p));
    }
    ASSERT_GT(cases.size(), kCases / 2);
    writeBytes(dir / "cases", batch);
    const ProcessResult result = runProcess(TORVALE_PERL, {TORVALE_YABMOD_DRIVER, "--yabb",
                                                           (sharedDir() / "forum/yabb2").string(),
                                                           (dir / "cases").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream out(result.out);
    std::size_t i = 0;
    for (std::string line; std::getline(out, line) && i < cases.size(); ++i) {
        const Prepared& p = cases[i];
        EXPECT_EQ(nlohmann::json::parse(line).at("end").get<std::string>(), "done")
            << p.what << line;
        EXPECT_EQ(readBytes(p.root / p.file), p.expected) << p.what;
    }
    EXPECT_EQ(i, cases.size()) << result.err;
}
