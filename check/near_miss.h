// Why a search text is not found, when its lines nearly stand in the file:
// the same lines but for blanks and tabs, letter case, or empty lines at the
// ends of the search text.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace torvale {

class InstallFile;

// "the lines stand at line 12 but differ in letter case", or "not present at
// all" when no such place is there.
std::string nearMiss(const InstallFile& file, std::span<const std::string_view> search);

} // namespace torvale
