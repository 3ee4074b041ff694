// A mod carried over to another version of the forum: each search text that
// is no longer found replaced by the forum's own lines, where they clearly went.
#pragma once

#include "mod_check.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// A place is taken only when its similarity is at least kPortFloor and the
// best other place is at least kPortMargin worse: below, a person decides.
inline constexpr double kPortFloor = 0.6;
inline constexpr double kPortMargin = 0.1;

struct PortedStep {
    int step = 0;            // the installer's number, from 1
    std::size_t modLine = 0; // the line of its "<search for>" in the ported mod, from 1
    bool changed = false;
    std::string what;        // the lines taken, or why the step was left
};

struct PortResult {
    std::string mod;                // the ported mod's bytes
    std::vector<PortedStep> steps;  // each failed step, changed or left
    CheckReport report;             // the check of the ported mod
};

// The mod's bytes with each failed search text replaced, step after step, as
// each check of the mod so far places it; every other byte kept, and the
// lines put in ended as the mod ends its lines.
PortResult portMod(std::string_view mod, const CheckOptions& options);

// The ported mod's steps in words, one line each.
std::string formatPort(const PortResult& result);

} // namespace torvale
