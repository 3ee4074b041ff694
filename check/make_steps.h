// The steps that turn one forum file into its changed copy under YaBB's
// installer: each changed place, with the shortest search text that finds it.
#pragma once

#include "document/mod_format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

struct MadeStep {
    std::int32_t kind = akSearchReplace; // akSearchReplace, akSearchAddBefore or akSearchAddAfter
    std::string search;                  // lines joined by CR LF, as the document holds texts
    std::string action;
    std::size_t searchLines = 0;
    std::size_t line =
        0; // where the search text starts, from 1, in the file as the steps before left it
};

struct FileSteps {
    std::vector<MadeStep> steps;
    // Why no steps can make the changed file; empty when they can.
    std::string problem;
};

// The steps in file order. They compare lines as the installer does (carriage
// returns left out), so a change of line ends alone makes no step.
FileSteps makeFileSteps(std::string_view original, std::string_view changed);

} // namespace torvale
