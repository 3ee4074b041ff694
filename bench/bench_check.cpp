// Testing the generated 32 MiB mod against a forum folder of a few hundred
// files, set against reading the same files: the mod into a document and each
// forum file it names. The check should take well under reading them twice.
// And a mod of a hundred failed steps, whose report must come within a second.
//
//   BUILD/bench/torvale-bench-check [--benchmark_repetitions=5]
#include "big_mod.h"
#include "failing_mod.h"

#include "app/allocator.h"
#include "check/install_file.h"
#include "check/mod_check.h"
#include "check/mod_facts.h"
#include "check/mod_lines.h"
#include "check/yabmod.h"
#include "check/near_miss.h"
#include "document/file_io.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "forum/forum_file.h"
#include "forum/name_lookup.h"
#include "forum/paths.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kMirrors = 19; // besides the forum's own files: 20 copies of 16 files

// A forum folder made of copies of the real one, and a mod over its files,
// made once and removed at the end.
struct Forum {
    fs::path dir;
    std::string script;
    std::string directory;
    std::string modPath;
    std::size_t files = 0;

    Forum() {
        const fs::path real = TORVALE_FORUM_DIR;
        dir = fs::temp_directory_path() / ("torvale-bench-check-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        torvale::bench::CodePool pool = torvale::bench::loadForumCode(real);
        const std::size_t own = pool.files.size();
        for (int m = 0; m <= kMirrors; ++m) {
            const std::string prefix = m ? "mirror" + std::to_string(m) + "/" : "";
            fs::copy(real, dir / prefix, fs::copy_options::recursive);
            for (std::size_t f = 0; m && f < own; ++f)
                pool.files.push_back({prefix + pool.files[f].name, pool.files[f].lines});
        }
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
            files += entry.is_regular_file();
        }
        script = (dir / "YaBB.pl").string();
        directory = torvale::forumScriptDirectory(script);
        modPath = (dir / "big.mod").string();
        std::ofstream(modPath, std::ios::binary) << torvale::bench::makeBigMod(32u << 20, 1, pool);
    }
    ~Forum() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

const Forum& forum() {
    static const Forum made;
    return made;
}

void readMod(torvale::ModDocument& doc, benchmark::State& state) {
    const torvale::FileBytes file =
        torvale::readFileBytes(forum().modPath, torvale::kMaxModFileSize);
    if (!file.ok || !torvale::readMod(file.content, doc).complete())
        state.SkipWithError("the generated mod did not read");
}

// Reading what the check reads: the mod, and each forum file it names once.
double readAll(benchmark::State& state) {
    const auto start = Clock::now();
    torvale::ModDocument doc;
    readMod(doc, state);
    std::set<std::string> names;
    for (int r = 0; r < doc.topLevelCount(); ++r)
        names.insert(std::string(doc.topLevel(r)->item().FileName.view()));
    std::size_t bytes = 0;
    for (const std::string& name : names) {
        const torvale::ForumFile file =
            torvale::loadForumFile(torvale::resolveEditFile(forum().directory, name));
        bytes += file.content.bytes.size();
    }
    benchmark::DoNotOptimize(bytes);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_ReadModAndForumFiles(benchmark::State& state) {
    forum(); // made before the clock runs
    for (auto _ : state)
        readAll(state);
    state.counters["forum_files"] = double(forum().files);
}

// Checking, with a read of the same files right before each check, so that
// both meet the same load of a shared machine; the time reported is the
// check's, and the counters hold the best of each.
void checkTheMod(benchmark::State& state, unsigned threads) {
    forum();
    double bestRead = 1e9;
    double bestCheck = 1e9;
    std::size_t steps = 0, found = 0;
    for (auto _ : state) {
        bestRead = std::min(bestRead, readAll(state));
        const auto start = Clock::now();
        // As torvale-cli check does: the installer reads the file's bytes.
        const torvale::FileBytes file =
            torvale::readFileBytes(forum().modPath, torvale::kMaxModFileSize);
        torvale::CheckOptions options;
        options.forumDirectory = forum().directory;
        options.threads = threads;
        const torvale::CheckReport report = torvale::checkMod(file.content.bytes, options);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        bestCheck = std::min(bestCheck, seconds);
        steps = report.steps.size();
        found = std::size_t(std::ranges::count_if(report.steps, [](const auto& s) {
            return s.status == torvale::StepCheck::Status::Found;
        }));
    }
    state.counters["steps"] = double(steps);
    state.counters["found"] = double(found);
    state.counters["best_read_ms"] = bestRead * 1e3;
    state.counters["best_check_ms"] = bestCheck * 1e3;
    // The figure to hold: the check against reading the files twice.
    state.counters["of_reading_twice"] = bestCheck / (2 * bestRead);
}

void BM_CheckMod(benchmark::State& state) {
    checkTheMod(state, 0); // the threads as many as the machine's cores are worth
}

// The run past the failures in three shares on three threads, whatever the
// cores: what a desktop of four cores or more does, and its cost on fewer.
void BM_CheckModInThreeShares(benchmark::State& state) {
    checkTheMod(state, 3);
}

// The processor time of this process, all its threads, in seconds: on a
// shared machine it varies far less than the time on the clock.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// What Test Mod in the window does: the mod is open already; it is assembled
// into the text Save writes, and that is checked. best_cpu_ms counts the
// work of all threads, which tells changes to it apart under load.
void BM_CheckOpenMod(benchmark::State& state) {
    torvale::ModDocument doc;
    readMod(doc, state);
    torvale::CheckOptions options;
    options.forumDirectory = forum().directory;
    double bestCpu = 1e9;
    for (auto _ : state) {
        const double before = processorSeconds();
        const std::string text = torvale::assembleMod(doc);
        const torvale::CheckReport report = torvale::checkMod(text, options);
        benchmark::DoNotOptimize(report.steps.data());
        bestCpu = std::min(bestCpu, processorSeconds() - before);
    }
    state.counters["best_cpu_ms"] = bestCpu * 1e3;
}

// The part of the check that goes one step after the other, as the
// installer does, alone on one thread: the mod's lines split and the run
// past its failures, nothing looked into and no report. No check of this mod
// can take less than this on a machine whose cores do the rest beside it.
void BM_InstallerRunAlone(benchmark::State& state) {
    forum();
    const torvale::FileBytes file = torvale::readFileBytes(forum().modPath, torvale::kMaxModFileSize);
    const std::string_view mod = file.content.bytes;
    std::size_t steps = 0;
    double best = 1e9;
    for (auto _ : state) {
        const auto start = Clock::now();
        torvale::ModLines lines(mod);
        torvale::yabmod::Options options;
        options.keepGoing = true;
        options.modLines = &lines.lines;
        options.modOutlivesRun = true;
        options.modCrsOnlyBeforeLfs = lines.crsOnlyBeforeLfs;
        const torvale::yabmod::Run run = torvale::yabmod::runInstaller(
            mod, {torvale::withoutSlash(forum().directory), ""}, torvale::yabmod::Mode::Install,
            torvale::yabmod::readFromDisk, options);
        steps = run.steps.size();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["steps"] = double(steps);
    state.counters["best_run_ms"] = best * 1e3;
}

// Test Mod's check of a mod of a hundred steps that a forum file of 20,000
// lines no longer matches: the figure to hold is well under a second.
void BM_CheckHundredFailedSteps(benchmark::State& state) {
    static const torvale::bench::FailingMod made =
        torvale::bench::makeFailingMod(torvale::bench::loadForumCode(TORVALE_FORUM_DIR), 20000, 100);
    torvale::CheckOptions options;
    options.forumDirectory = "/forum";
    options.uninstall = true; // as the window asks for it
    options.read = [](const std::string& path) {
        if (path == std::string("/forum/") + torvale::bench::FailingMod::kFileName)
            return torvale::yabmod::DiskEntry{torvale::yabmod::DiskEntry::Kind::File, made.file};
        return torvale::yabmod::DiskEntry{};
    };
    std::size_t placed = 0, failed = 0;
    for (auto _ : state) {
        const torvale::CheckReport report = torvale::checkMod(made.mod, options);
        failed = placed = 0;
        for (const torvale::StepCheck& s : report.steps) {
            failed += s.status != torvale::StepCheck::Status::Found;
            placed += s.nearest.has_value();
        }
    }
    state.counters["file_lines"] = double(made.lines);
    state.counters["failed"] = double(failed);
    state.counters["placed"] = double(placed);
    // Beside it, what each failed step costs when it looks into the file on
    // its own, as it did before the file's index was shared.
    const torvale::InstallFile file(made.file);
    const auto start = Clock::now();
    for (const std::vector<std::string>& search : made.searches) {
        const std::vector<std::string_view> keys(search.begin(), search.end());
        benchmark::DoNotOptimize(torvale::nearMiss(file, keys));
        benchmark::DoNotOptimize(torvale::nearestPlace(file, keys));
    }
    state.counters["alone_ms_per_step"] =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count() /
        double(made.searches.size());
}

BENCHMARK(BM_ReadModAndForumFiles)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CheckMod)->Unit(benchmark::kMillisecond)->Iterations(7)->UseManualTime();
BENCHMARK(BM_CheckModInThreeShares)->Unit(benchmark::kMillisecond)->Iterations(7)->UseManualTime();
BENCHMARK(BM_InstallerRunAlone)->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_CheckOpenMod)->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_CheckHundredFailedSteps)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    // As the programs do: a check frees and takes again tens of MiB.
    torvale::keepFreedMemoryForReuse();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
