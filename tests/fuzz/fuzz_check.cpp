// libFuzzer target of the installer run in memory against a small forum made
// from the input: its first bytes make the forum's files (names from a list
// the mods use, in any letter case, contents from the input), the rest is the
// mod, installed and then uninstalled.
#include "check/yabmod.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 8> kNames = {
    "/forum/cgi-bin/Sources/Post.pl",  "/forum/cgi-bin/Sources/Subs.pm",
    "/forum/cgi-bin/Admin/ModList.pm", "/forum/cgi-bin/YaBB.pl",
    "/forum/cgi-bin/sources/post.pl",  "/forum/html/yabbfiles/x.js",
    "/forum/cgi-bin/Variables/Settings.pm", "/forum/cgi-bin/x"};

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace ym = torvale::yabmod;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::map<std::string, std::string> forum;
    for (std::size_t files = number(input) % 5; files > 0; --files) {
        const std::size_t pick = number(input);
        forum[std::string(kNames[pick % kNames.size()])] = take(input, number(input) % 4096);
    }
    // A path is a file of the forum, a folder above one, or missing.
    const ym::ReadFile read = [&forum](const std::string& path) {
        ym::DiskEntry entry;
        if (const auto it = forum.find(path); it != forum.end()) {
            entry.kind = ym::DiskEntry::Kind::File;
            entry.bytes = it->second;
        } else if (const auto below = forum.lower_bound(path + "/");
                   below != forum.end() && below->first.starts_with(path + "/")) {
            entry.kind = ym::DiskEntry::Kind::Folder;
        }
        return entry;
    };
    const ym::Folders folders{"/forum/cgi-bin", "/forum/html"};
    for (const ym::Mode mode : {ym::Mode::Install, ym::Mode::Uninstall})
        for (const bool keepGoing : {false, true}) {
            ym::Options options;
            options.keepGoing = keepGoing;
            const ym::Run run = ym::runInstaller(input, folders, mode, read, options);
            for (const ym::StepRun& step : run.steps)
                if ((!run.files.empty() && step.file >= run.files.size()) || step.number <= 0)
                    std::abort();
            if (run.end != ym::Run::End::Done && run.message.empty())
                std::abort();
        }
    return 0;
}
