// Random changes to real forum files, for holding the made mods to the
// installer: an original, its changed copy, and what was done to it.
#pragma once

#include "check/make_mod.h"

#include <cstdint>
#include <string>

namespace torvale::test {

struct MakeCase {
    FilePair pair;         // a stretch of a real forum file and its changed copy
    bool crlf = false;     // its lines end in CR LF
    std::size_t edits = 0; // the changed places put in (some may touch or undo each other)
    std::string what;      // the changes, for a failure's message
};

// Insertions, removals and changes, at the start, in the middle and at the
// end, in a stretch with repeated code, with and without a last line break.
MakeCase randomMakeCase(std::uint32_t seed);

} // namespace torvale::test
