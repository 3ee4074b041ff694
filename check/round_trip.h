// What an install followed by an uninstall leaves different in a file, in
// words: gone, made, only line ends changed, or differing from a line on.
#pragma once

#include "mod_check.h"
#include "yabmod.h"

#include <functional>
#include <optional>
#include <string>

namespace torvale {

// name as the report shows it; before and now the file's bytes (nothing: no
// file) before the install and after the uninstall.
std::string describeRoundTrip(const std::string& name, const std::optional<std::string>& before,
                              const std::optional<std::string>& now);

// The mod uninstalled, from itself, on the disk the install left, and each
// file that does not come back as original gives it. options are those of
// the uninstall's run.
UninstallCheck uninstallAfter(
    const yabmod::Run& installed, std::string_view mod, const yabmod::Folders& folders,
    const yabmod::ReadFile& read, const yabmod::Options& options,
    const std::function<std::optional<std::string>(const std::string&)>& original);

} // namespace torvale
