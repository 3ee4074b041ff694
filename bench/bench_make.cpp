// How fast torvale-cli make reads two forum trees and makes, and proves, the
// mod of 200 changed places spread over 50 files, and how large that mod is.
#include "check/make_mod.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFiles = 50;
constexpr std::size_t kPlaces = 200;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeAll(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The two trees under a temporary folder: the forum as often as it takes to
// hold 50 files (it has fewer), and the copy with four places changed in each
// of 50 files. Made once, with a fixed seed.
struct Trees {
    fs::path root;
    std::size_t changedBytes = 0; // of the lines taken out and put in
    Trees() {
        root = fs::temp_directory_path() / ("torvale-bench-make-" + std::to_string(::getpid()));
        std::vector<fs::path> files;
        const fs::path forum = TORVALE_FORUM_DIR;
        for (const auto& e : fs::recursive_directory_iterator(forum))
            if (e.is_regular_file())
                files.push_back(e.path().lexically_relative(forum));
        std::sort(files.begin(), files.end());
        std::mt19937 rng(19);
        std::vector<std::string> own;
        for (std::size_t copy = 0; copy * files.size() < kFiles; ++copy)
            for (const fs::path& f : files) {
                const std::string name = "copy" + std::to_string(copy) + "/" + f.generic_string();
                const std::string bytes = readAll(forum / f);
                writeAll(root / "original" / name, bytes);
                writeAll(root / "changed" / name, bytes);
                own.push_back(name);
            }
        // The 50 largest files are changed: the small .htaccess files hold
        // too few lines for four places each.
        std::stable_sort(own.begin(), own.end(), [&](const std::string& a, const std::string& b) {
            return fs::file_size(root / "original" / a) > fs::file_size(root / "original" / b);
        });
        for (std::size_t i = 0; i < kFiles; ++i) {
            auto lines = linesOf(readAll(root / "original" / own[i]));
            for (std::size_t p = 0; p < kPlaces / kFiles; ++p) {
                const std::size_t at = rng() % lines.size();
                const std::string made =
                    "    $made_" + std::to_string(i) + "_" + std::to_string(p) + " = 1;\n";
                switch (rng() % 3) {
                case 0:
                    lines.insert(lines.begin() + long(at), made);
                    changedBytes += made.size();
                    break;
                case 1:
                    changedBytes += lines[at].size();
                    lines.erase(lines.begin() + long(at));
                    break;
                default:
                    changedBytes += lines[at].size() + made.size();
                    lines[at] = made;
                }
            }
            std::string bytes;
            for (const std::string& l : lines)
                bytes += l;
            writeAll(root / "changed" / own[i], bytes);
        }
    }
    ~Trees() { fs::remove_all(root); }
};

void BM_MakeModFromTwoForumTrees(benchmark::State& state) {
    static const Trees trees;
    std::size_t modBytes = 0, steps = 0, covered = 0, made = 0;
    for (auto _ : state) {
        const torvale::MakeInput input =
            torvale::readMakeInput(trees.root / "original", trees.root / "changed");
        const torvale::MadeMod mod = torvale::makeMod(input.files, {});
        modBytes = mod.text.size();
        steps = mod.steps;
        covered =
            std::size_t(std::count_if(mod.files.begin(), mod.files.end(),
                                      [](const torvale::MadeFile& f) { return f.covered(); }));
        // The CR LF files get their steps too, with the lines whose ends change named.
        made = std::size_t(std::count_if(mod.files.begin(), mod.files.end(),
                                         [](const torvale::MadeFile& f) { return f.steps > 0; }));
        benchmark::DoNotOptimize(mod.text.data());
    }
    state.counters["mod_bytes"] = double(modBytes);
    state.counters["changed_line_bytes"] = double(trees.changedBytes);
    state.counters["steps"] = double(steps);
    state.counters["files_covered"] = double(covered);
    state.counters["files_with_steps"] = double(made);
}
BENCHMARK(BM_MakeModFromTwoForumTrees)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
