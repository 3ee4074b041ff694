// Why a search text is not found, when its lines nearly stand in the file:
// the same lines but for blanks and tabs, letter case, or empty lines at the
// ends of the search text.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

class InstallFile;

// "the lines stand at line 12 but differ in letter case", or "not present at
// all" when no such place is there.
std::string nearMiss(const InstallFile& file, std::span<const std::string_view> search);

// The same for many search texts in one file as it stands: its lines are put
// in each normal form once, when first needed.
class NearMisses {
public:
    explicit NearMisses(const InstallFile& file) : file_(file) {}
    std::string operator()(std::span<const std::string_view> search);

private:
    const std::vector<std::string>& linesIn(unsigned form);

    const InstallFile& file_;
    std::array<std::optional<std::vector<std::string>>, 4> lines_;
};

} // namespace torvale
