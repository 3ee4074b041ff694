// The mod installed and uninstalled again in memory, and each file's bytes
// before the install and after the uninstall, compared as Perl splits them.
#include "round_trip.h"

#include "install_file.h"

#include <string_view>
#include <vector>

namespace torvale {

std::string describeRoundTrip(const std::string& name, const std::optional<std::string>& before,
                              const std::optional<std::string>& now) {
    if (!before || !now)
        return name + ": " + (before ? "is gone" : "was made") + " after the round trip";
    const std::vector<std::string_view> a = perlLines(*before), b = perlLines(*now);
    std::size_t first = 0;
    while (first < a.size() && first < b.size() && a[first] == b[first])
        ++first;
    bool endsOnly = a.size() == b.size();
    std::size_t lines = 0;
    for (std::size_t i = 0; endsOnly && i < a.size(); ++i)
        if (a[i] != b[i]) {
            endsOnly = lineKey(a[i]) == lineKey(b[i]);
            ++lines;
        }
    if (endsOnly)
        return name + ": the line ends of " + std::to_string(lines) +
               (lines == 1 ? " line change" : " lines change") + " (from line " +
               std::to_string(first + 1) + "): the installer took out their carriage returns";
    return name + ": differs from line " + std::to_string(first + 1) + " on";
}

UninstallCheck uninstallAfter(
    const yabmod::Run& installed, std::string_view mod, const yabmod::Folders& folders,
    const yabmod::ReadFile& read, const yabmod::Options& options,
    const std::function<std::optional<std::string>(const std::string&)>& original) {
    using yabmod::Run;
    UninstallCheck check;
    if (installed.end != Run::End::Done) {
        check.restores = false;
        check.problems.push_back("the mod does not install, so it cannot be uninstalled");
        return check;
    }
    const yabmod::ReadFile afterInstall = [&](const std::string& path) {
        const auto change = installed.changes.find(path);
        if (change == installed.changes.end())
            return read(path);
        if (!change->second)
            return yabmod::DiskEntry{};
        return yabmod::DiskEntry{yabmod::DiskEntry::Kind::File, *change->second};
    };
    const Run removed =
        yabmod::runInstaller(mod, folders, yabmod::Mode::Uninstall, afterInstall, options);
    if (removed.end != Run::End::Done) {
        check.restores = false;
        check.problems.push_back("the uninstall stops at step " +
                                 std::to_string(removed.failedStep) + " (line " +
                                 std::to_string(removed.failedModLine) + " of the mod): " +
                                 removed.message);
    }
    for (const auto& [path, bytes] : installed.changes) {
        if (path.ends_with(".bak"))
            continue;
        const auto after = removed.changes.find(path);
        const std::optional<std::string> now =
            after != removed.changes.end() ? after->second.value() : bytes.value();
        const std::optional<std::string> before = original(path);
        if (now == before)
            continue;
        check.restores = false;
        const std::string name = path.starts_with(folders.board + "/")
                                     ? path.substr(folders.board.size() + 1)
                                     : path;
        check.problems.push_back(describeRoundTrip(name, before, now));
    }
    return check;
}

} // namespace torvale
