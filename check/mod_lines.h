// A mod split into lines once for all who read it in a check: the
// installer's runs, the comparison with the editor's reading, the report.
#pragma once

#include "install_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// The lines' starts are found once, for the mod may have tens of
// thousands of steps.
class ModLines {
public:
    explicit ModLines(std::string_view mod)
        : lines(perlLinesInParallel(mod, &crsOnlyBeforeLfs)) {}
    // The first line of a step's search text: the mod's line after its tag.
    std::string firstSearchLine(std::size_t modLine) const {
        if (modLine >= lines.size())
            return {};
        const std::optional<std::string_view> key =
            keyInPlace(withoutLf(lines[modLine]), crsOnlyBeforeLfs);
        return key ? std::string(*key) : lineKey(lines[modLine]);
    }
    // Found by the split, which is why it stands first.
    bool crsOnlyBeforeLfs = false;
    // Split once for all who read the mod: the installer's runs and the
    // comparison with the editor's reading.
    const std::vector<std::string_view> lines;
};

} // namespace torvale
