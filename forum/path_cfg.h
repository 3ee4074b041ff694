// path.cfg beside the program: on a first run, before any settings are
// stored, its first line names the forum script.
#pragma once

#include <string>
#include <string_view>

namespace torvale {

struct PathCfg {
    // False when the file could not be read or is not text; location is
    // then empty and error says why.
    bool ok = false;
    // The first line exactly as written, blanks included, after a UTF-8
    // byte-order mark; empty for an empty file.
    std::string location;
    std::string error;
};

// The content of a path.cfg.
PathCfg parsePathCfg(std::string_view bytes);
// Reads programDirectory + "path.cfg"; programDirectory ends in a separator.
PathCfg LoadFrom_path_cfg(std::string_view programDirectory);

} // namespace torvale
