// Finding names on disk as the user spelled them: each component of a path
// looked up in its directory, in the letter case stored there.
#pragma once

#include "path_style.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace torvale {

// The longest path this system opens (PATH_MAX less its NUL); a longer name
// names no file, whatever its components.
inline constexpr std::size_t kMaxPathLength = 4095;

// Looks for the entry name in a directory (given with its trailing separator,
// or "" for the current directory) and returns the entry's name as stored,
// or nothing.
using EntryLookup = std::function<std::optional<std::string>(const std::string& directory,
                                                             const std::string& name)>;

// On disk: the name itself when the entry exists; else, because mods are
// written on systems that ignore letter case, the entry that differs from it
// only in ASCII letter case (the first in byte order when several do).
std::optional<std::string> findEntry(const std::string& directory, const std::string& name);

// name with each component, from the root down, replaced by the entry that
// lookup finds for it; components it does not find stay as they are. A name
// longer than kMaxPathLength stays as it is, unlooked-at.
std::string ExpandShortName(std::string_view name, PathStyle style = kNativePaths,
                            const EntryLookup& lookup = findEntry);

// The local path of an edit-file node's file: fileName ("/" between
// directories) resolved against the forum script directory, or taken as it
// is when it has a root or a drive, and then looked up as ExpandShortName
// does. "" when fileName is empty or climbs above the root.
std::string resolveEditFile(std::string_view forumDirectory, std::string_view fileName,
                            PathStyle style = kNativePaths, const EntryLookup& lookup = findEntry);

} // namespace torvale
