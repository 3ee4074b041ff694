// The in-memory installer held to YaBB 2.7's own, run under Perl by
// tests/yabmod/driver.pl: same end, same steps, byte for byte the same files.
#include "check/install_file.h"
#include "check/mod_check.h"
#include "check/yabmod.h"

#include "test_support.h"
#include "yabmod_cases.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace torvale;
using namespace torvale::test;

namespace {

constexpr std::uint32_t kRandomCases = 200;

struct InstallerRun {
    std::string end;
    int failedStep = 0;
    std::vector<std::pair<long, long>> steps;
    std::vector<std::string> refused;
    std::string message;
};

struct Prepared {
    const YabmodCase* source = nullptr;
    fs::path root;
    fs::path mod;
    std::map<std::string, std::string> before;
    yabmod::Run model;
};

// The driver writes JSON in ASCII, bytes above 127 as \u00XX: back to bytes.
std::string bytesOf(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto ch = static_cast<unsigned char>(utf8[i]);
        if ((ch == 0xC2 || ch == 0xC3) && i + 1 < utf8.size())
            out += char(((ch & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        else
            out += char(ch);
    }
    return out;
}

InstallerRun parseRun(const std::string& line) {
    const auto json = nlohmann::json::parse(line);
    InstallerRun run;
    run.end = json.at("end").get<std::string>();
    run.failedStep = json.at("failed_step").get<int>();
    run.message = bytesOf(json.at("message").get<std::string>());
    for (const auto& step : json.at("steps"))
        run.steps.emplace_back(step.at(0).get<long>(), step.at(1).get<long>());
    for (const auto& path : json.at("refused"))
        run.refused.push_back(bytesOf(path.get<std::string>()));
    return run;
}

std::string visible(const std::string& bytes) {
    std::string out;
    for (char ch : bytes) {
        if (ch == '\r')
            out += "\\r";
        else if (ch == '\t')
            out += "\\t";
        else
            out += ch;
    }
    return out;
}

const char* endName(yabmod::Run::End end) {
    switch (end) {
    case yabmod::Run::End::Done: return "done";
    case yabmod::Run::End::InstallError: return "install_error";
    case yabmod::Run::End::FatalError: return "fatal_error";
    case yabmod::Run::End::Died: return "die";
    case yabmod::Run::End::NotTested: return "not_tested";
    }
    return "?";
}

bool isLog(const std::string& relative) {
    return relative.rfind("board/Mods/", 0) == 0;
}

// Where two versions of a file part: the line and its bytes in each.
std::string fileDifference(const std::string& path, const std::string* model, const std::string* perl) {
    if (!model || !perl)
        return path + (model ? " is only in the model's tree" : " is only in the installer's tree");
    std::size_t at = 0;
    while (at < model->size() && at < perl->size() && (*model)[at] == (*perl)[at])
        ++at;
    const std::size_t line = 1 + std::size_t(std::count(model->begin(), model->begin() + long(at), '\n'));
    const std::size_t from = at < 40 ? 0 : at - 40;
    return path + " differs at byte " + std::to_string(at) + " (line " + std::to_string(line) + ")\n  model:     \"" +
           visible(model->substr(from, at - from + 40)) + "\"\n  installer: \"" +
           visible(perl->substr(from, at - from + 40)) + "\"";
}

// The first way the model's run differs from the installer's, or nothing.
std::string firstDifference(const Prepared& p, const InstallerRun& perl,
                            const std::map<std::string, std::string>& after) {
    const yabmod::Run& model = p.model;
    if (perl.end != endName(model.end))
        return std::string("end: model ") + endName(model.end) + " (" + model.message + "), installer " + perl.end +
               " (" + perl.message + ")";
    if (perl.failedStep != model.failedStep)
        return "failed step: model " + std::to_string(model.failedStep) + ", installer " +
               std::to_string(perl.failedStep) + " (" + perl.message + ")";
    // The installer prints a step once it is done: not the one it failed at.
    std::vector<std::pair<long, long>> steps;
    for (const auto& step : model.steps)
        if (step.found && (model.end == yabmod::Run::End::Done || step.number != model.failedStep))
            steps.emplace_back(step.number, long(*step.found));
    for (std::size_t i = 0; i < std::max(steps.size(), perl.steps.size()); ++i) {
        auto show = [&](const auto& list) {
            return i < list.size() ? "step " + std::to_string(list[i].first) + " at line " +
                                         std::to_string(list[i].second)
                                   : std::string("no step");
        };
        if (i >= steps.size() || i >= perl.steps.size() || steps[i] != perl.steps[i])
            return "step #" + std::to_string(i + 1) + ": model " + show(steps) + ", installer " + show(perl.steps);
    }
    std::map<std::string, std::string> expected = p.before;
    for (const auto& [path, bytes] : model.changes) {
        const std::string relative = fs::path(path).lexically_normal().lexically_relative(p.root).generic_string();
        if (relative.empty() || relative.rfind("..", 0) == 0) {
            if (std::find(perl.refused.begin(), perl.refused.end(), path) == perl.refused.end())
                return "the model changes " + path + " outside the forum, the installer does not";
            continue;
        }
        if (isLog(relative))
            continue;
        if (bytes)
            expected[relative] = *bytes;
        else
            expected.erase(relative);
    }
    std::map<std::string, std::string> actual;
    for (const auto& [path, bytes] : after)
        if (!isLog(path))
            actual[path] = bytes;
    for (auto e = expected.begin(), a = actual.begin(); e != expected.end() || a != actual.end();) {
        if (a == actual.end() || (e != expected.end() && e->first < a->first))
            return fileDifference(e->first, &e->second, nullptr);
        if (e == expected.end() || a->first < e->first)
            return fileDifference(a->first, nullptr, &a->second);
        if (e->second != a->second)
            return fileDifference(e->first, &e->second, &a->second);
        ++e;
        ++a;
    }
    return {};
}

// Runs every case through the driver in one batch: one result a case.
std::vector<InstallerRun> runDriver(const std::vector<Prepared>& cases, const char* mode, const fs::path& batch) {
    std::string lines;
    for (const auto& p : cases)
        lines += std::string(mode) + "\t" + (p.root / "board").string() + "\t" + (p.root / "html").string() + "\t" +
                 p.mod.string() + "\n";
    writeBytes(batch, lines);
    const auto result = runProcess(TORVALE_PERL, {TORVALE_YABMOD_DRIVER, "--yabb",
                                                  (sharedDir() / "forum/yabb2").string(), batch.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<InstallerRun> runs;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);)
        runs.push_back(parseRun(line));
    EXPECT_EQ(runs.size(), cases.size()) << result.err;
    return runs;
}

// Compares one phase; reports the first few cases that differ in full.
void compare(std::vector<Prepared>& cases, const char* mode, const fs::path& batch) {
    const auto runs = runDriver(cases, mode, batch);
    int differing = 0;
    for (std::size_t i = 0; i < std::min(runs.size(), cases.size()); ++i) {
        const std::string why = firstDifference(cases[i], runs[i], readTree(cases[i].root));
        if (why.empty())
            continue;
        if (++differing <= 3)
            ADD_FAILURE() << mode << " of case \"" << cases[i].source->name << "\": " << why << "\nmod:\n"
                          << visible(cases[i].source->mod) << "\n";
    }
    EXPECT_EQ(differing, 0) << "cases whose " << mode << " differs from YaBB's, of " << cases.size();
}

bool perlPresent() {
    return std::string(TORVALE_PERL).size() > 0 && access(TORVALE_PERL, X_OK) == 0;
}

} // namespace

TEST(YabmodDifferential, InstallAndUninstallAsYaBBsOwnInstaller) {
    if (!perlPresent()) {
        if (std::getenv("CI"))
            FAIL() << "perl is needed to run YaBB's installer, and CI must have it";
        GTEST_SKIP() << "perl is not installed: YaBB's own installer cannot run here";
    }
    std::vector<YabmodCase> sources = yabmodTable();
    for (std::uint32_t seed = 1; seed <= kRandomCases; ++seed)
        sources.push_back(randomYabmodCase(seed));

    // As the check runs it: lines from the mod are not copied into the files,
    // and their keys are taken as the mod's carriage returns allow.
    yabmod::Options options;
    options.modOutlivesRun = true;
    TempDir dir;
    fs::create_directories(dir / "mods");
    std::vector<Prepared> cases;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        Prepared p;
        p.source = &sources[i];
        p.root = dir / ("case" + std::to_string(i));
        p.mod = dir / "mods" / ("case" + std::to_string(i) + ".mod");
        writeYabmodForum(sources[i], p.root);
        writeBytes(p.mod, sources[i].mod);
        p.before = readTree(p.root);
        const yabmod::Folders folders{(p.root / "board").string(), (p.root / "html").string()};
        options.modCrsOnlyBeforeLfs = crsOnlyBeforeLfs(sources[i].mod);
        p.model = yabmod::runInstaller(sources[i].mod, folders, yabmod::Mode::Install,
                                       yabmod::readFromDisk, options);
        cases.push_back(std::move(p));
    }
    compare(cases, "install", dir / "install.cases");

    // Uninstall from what the installer left, the model reading the same tree.
    for (auto& p : cases) {
        p.before = readTree(p.root);
        const yabmod::Folders folders{(p.root / "board").string(), (p.root / "html").string()};
        options.modCrsOnlyBeforeLfs = crsOnlyBeforeLfs(p.source->mod);
        p.model = yabmod::runInstaller(p.source->mod, folders, yabmod::Mode::Uninstall,
                                       yabmod::readFromDisk, options);
    }
    compare(cases, "uninstall", dir / "uninstall.cases");
}

// Each step of the report names the first line of its search text as the
// mod has it, whether the step was found, failed, was not reached or had no
// file, on the table's mods and the random ones.
TEST(ModCheck, NamesEachStepsFirstSearchLineAsTheModHasIt) {
    std::vector<YabmodCase> sources = yabmodTable();
    for (std::uint32_t seed = 1; seed <= 60; ++seed)
        sources.push_back(randomYabmodCase(seed));
    TempDir dir;
    std::size_t steps = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const fs::path root = dir / ("case" + std::to_string(i));
        CheckOptions options = writeForumToCheck(sources[i], root);
        const CheckReport report = checkMod(sources[i].mod, options);
        const std::vector<std::string_view> lines = perlLines(sources[i].mod);
        for (const StepCheck& s : report.steps) {
            ++steps;
            ASSERT_EQ(s.firstLine, s.modLine < lines.size() ? lineKey(lines[s.modLine]) : "")
                << sources[i].name << ", step " << s.step;
        }
    }
    EXPECT_GT(steps, 200u);
}
