// A large forum file and a mod whose steps it no longer matches, as an
// upgrade of the forum leaves a mod: what Test Mod's failed steps cost.
#pragma once

#include "big_mod.h"

#include <cstddef>
#include <string>
#include <vector>

namespace torvale::bench {

struct FailingMod {
    static constexpr const char* kFileName = "Sources/Big.pm"; // as the mod names it
    std::string file;                                          // the forum file's bytes
    std::string mod;                                           // the mod's bytes
    std::size_t lines = 0;
    std::vector<std::vector<std::string>> searches; // each step's search lines
};

// A file of the given number of lines made of the pool's code, and a mod of
// steps search texts of three of its lines each, the first indented anew and
// a variable of the second renamed: none is found as it is.
FailingMod makeFailingMod(const CodePool& pool, std::size_t lines, int steps);

} // namespace torvale::bench
