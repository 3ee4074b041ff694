// Comparing names without regard to letter case, as the settings file and the
// recent-files list of a Windows program do (ASCII letters only).
#pragma once

#include <algorithm>
#include <string_view>

namespace torvale {

constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

} // namespace torvale
