// Cases for holding the in-memory installer to YaBB's own: a small forum tree
// and a mod's bytes, from a table of named rows or built at random from a seed.
#pragma once

#include "check/mod_check.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace torvale::test {

struct YabmodCase {
    std::string name;                         // the table row, or "seed N"
    std::string mod;                          // the mod file's bytes
    // The forum: paths under the case's folder, "board/..." for $boarddir and
    // "html/..." for $htmldir, with their bytes.
    std::map<std::string, std::string> files;
    bool realForum = false;                   // plus every file of ../shared/forum/yabb2 under board/
};

// One row per rule of the installer's reading, naming, applying and restoring.
std::vector<YabmodCase> yabmodTable();

// A forum of a few real and generated files (LF, CR LF, a lone CR, no last
// line end, empty files, names differing in letter case, stale backups, a file
// in the html folder) and a mod for it that hits the installer's rules: tags
// in other letter case, with a tab or a blank before them, missing and
// doubled blocks, empty and blank-edged texts, CR LF and LF, odd file names.
YabmodCase randomYabmodCase(std::uint32_t seed);

// Writes the case's forum under root: root/board and root/html, made
// writable.
void writeYabmodForum(const YabmodCase& c, const std::filesystem::path& root);
// The same, and the options of a check against the forum written.
CheckOptions writeForumToCheck(const YabmodCase& c, const std::filesystem::path& root);

// Every regular file under root, by its path relative to root ("/" between
// folders), with its bytes.
std::map<std::string, std::string> readTree(const std::filesystem::path& root);

} // namespace torvale::test
