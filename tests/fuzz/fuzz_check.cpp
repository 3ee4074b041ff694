// libFuzzer target of the check of a mod against a small forum made from the
// input: its first bytes make the forum's files (names from a list the mods
// use, in any letter case, contents from the input), the rest is the mod.
#include "check/mod_check.h"
#include "document/mod_reader.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <stdlib.h>

namespace {

constexpr std::array<std::string_view, 8> kNames = {
    "Sources/Post.pl",   "Sources/Subs.pm", "Admin/ModList.pm", "YaBB.pl",
    "Languages/English/Main.lng", "sources/post.pl", "Variables/Settings.pm", "x"};

// Takes n bytes from the front of input, fewer when it has fewer.
std::string_view take(std::string_view& input, std::size_t n) {
    const std::string_view taken = input.substr(0, n);
    input.remove_prefix(taken.size());
    return taken;
}

std::size_t number(std::string_view& input) {
    std::size_t n = 0;
    for (const char c : take(input, 2))
        n = n * 256 + static_cast<unsigned char>(c);
    return n;
}

// One folder for the whole run, emptied before each input and removed at the end.
struct ForumFolder {
    std::filesystem::path path;
    ForumFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "torvale-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        path = pattern;
    }
    ~ForumFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    static const ForumFolder folder;
    const fs::path& forum = folder.path;
    std::string_view input(reinterpret_cast<const char*>(data), size);

    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(forum))
        fs::remove_all(entry.path(), ec);
    for (std::size_t files = number(input) % 5; files > 0; --files) {
        const std::size_t pick = number(input);
        const fs::path name = forum / std::string(kNames[pick % kNames.size()]);
        fs::create_directories(name.parent_path(), ec);
        const std::string_view content = take(input, number(input) % 4096);
        std::ofstream(name, std::ios::binary).write(content.data(), std::streamsize(content.size()));
    }

    torvale::ModDocument doc;
    torvale::readMod(input, doc, std::size_t(1) << 16);
    torvale::CheckOptions options;
    options.forumDirectory = forum.string() + "/";
    options.diffs = true;
    const torvale::CheckReport report = torvale::checkMod(doc, options);
    for (const torvale::StepCheck& step : report.steps)
        if ((step.status != torvale::StepCheck::Status::NoEditFile &&
             step.file >= report.files.size()) ||
            (step.status == torvale::StepCheck::Status::Found && step.line == 0))
            std::abort();
    const std::string text = torvale::formatReport(report);
    if (text.empty())
        std::abort();
    return 0;
}
