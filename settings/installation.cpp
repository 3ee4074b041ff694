// Finding the installation the running program belongs to, from its own path and the
// install layout this build was configured with.
#include "installation.h"

#include "xdg_dirs.h"

#include <cstdlib>
#include <string_view>

namespace torvale {

namespace {

std::filesystem::path installedShare(const std::filesystem::path& programPath) {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::weakly_canonical(programPath, ec);
    if (ec || !program.has_parent_path())
        return {};
    return (program.parent_path() / TORVALE_DATADIR_FROM_BINDIR).lexically_normal();
}

bool sameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

std::string installedDesktopId(const std::filesystem::path& programPath) {
    const std::string id = std::string(TORVALE_APP_ID) + ".desktop";
    std::error_code ec;
    const std::filesystem::path share = installedShare(programPath);
    if (share.empty() || !std::filesystem::is_regular_file(share / "applications" / id, ec))
        return {};
    return id;
}

std::string usableInstalledDesktopId(const std::filesystem::path& programPath,
                                     const std::vector<std::filesystem::path>& searched) {
    std::string id = installedDesktopId(programPath);
    const std::filesystem::path share = installedShare(programPath);
    std::error_code ec;
    if (id.empty() ||
        !std::filesystem::is_regular_file(share / "mime" / "packages" / "torvale-mod.xml", ec))
        return {};
    for (const std::filesystem::path& folder : searched)
        if (sameFolder(folder, share))
            return id;
    return {};
}

std::vector<std::filesystem::path> searchedDataDirs() {
    std::vector<std::filesystem::path> all{XdgDirs::fromEnvironment().dataHome};
    const char* value = std::getenv("XDG_DATA_DIRS");
    std::string_view dirs = value && *value ? value : "/usr/local/share:/usr/share";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::filesystem::path folder(dirs.substr(0, colon));
        if (folder.is_absolute())
            all.push_back(folder);
        dirs.remove_prefix(colon == std::string_view::npos ? dirs.size() : colon + 1);
    }
    return all;
}

} // namespace torvale
