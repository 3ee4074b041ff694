// The recent-files list: the mod files opened, oldest first, at most a
// maximum long; the window shows it as the Reopen submenu.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// Appends path unless an entry equals it without regard to letter case (an
// entry keeps the place it first got), then trims the list to maximum.
void AddMRU(std::vector<std::string>& list, std::string_view path, std::int32_t maximum);

// Drops the oldest entries while there are more than maximum; a negative
// maximum (only a hand-edited settings file has one) empties the list.
void CheckMRU(std::vector<std::string>& list, std::int32_t maximum);

} // namespace torvale
