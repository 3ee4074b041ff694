// String operations on paths.
#pragma once

#include <string>
#include <string_view>

namespace torvale {

// Source with every occurrence of Find replaced by Replacement, found from the
// left without overlaps; the replacement is never searched again.
std::string Rep(std::string_view Source, std::string_view Find, std::string_view Replacement);

// The directory path with a backslash appended when it does not end in one.
std::string IncludeDelimiter(std::string_view path);

} // namespace torvale
