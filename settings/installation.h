// Whether the running program is an installed Torvale (its package, or cmake --install): the
// desktop entry and MIME type it brings then serve the association, and its folder is no
// place for settings.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace torvale {

// The id ("<app id>.desktop") of the desktop entry installed with the program at programPath,
// found relative to it (bin/ to share/applications/); empty when there is none.
std::string installedDesktopId(const std::filesystem::path& programPath);

// The same, only when the desktop looks there: the installation's share folder is one of
// searched ($XDG_DATA_HOME and $XDG_DATA_DIRS) and it holds the mod MIME type.
std::string usableInstalledDesktopId(const std::filesystem::path& programPath,
                                     const std::vector<std::filesystem::path>& searched);

// $XDG_DATA_HOME and then $XDG_DATA_DIRS (by default /usr/local/share and /usr/share): the
// folders whose applications/ and mime/ the desktop reads.
std::vector<std::filesystem::path> searchedDataDirs();

} // namespace torvale
