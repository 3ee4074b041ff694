// What an install followed by an uninstall leaves different in a file, in
// words: gone, made, only line ends changed, or differing from a line on.
#pragma once

#include <optional>
#include <string>

namespace torvale {

// name as the report shows it; before and now the file's bytes (nothing: no
// file) before the install and after the uninstall.
std::string describeRoundTrip(const std::string& name, const std::optional<std::string>& before,
                              const std::optional<std::string>& now);

} // namespace torvale
