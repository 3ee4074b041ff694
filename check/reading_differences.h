// Where the editor's reading of a mod and YaBB's installer's reading of the
// same bytes part: steps one of them skips, texts they split differently.
#pragma once

#include "mod_check.h"

#include <string_view>
#include <vector>

namespace torvale {

// Each place, by the mod's line, in the order of the mod.
// modLines, when given, are perlLines(mod).
std::vector<ReadingDifference> readingDifferences(
    std::string_view mod, const std::vector<std::string_view>* modLines = nullptr);

} // namespace torvale
