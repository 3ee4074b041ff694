// Path operations on byte strings: the parent directory, a relative name
// resolved against a directory, and a chosen file made relative to the forum.
#pragma once

#include "path_style.h"

#include <string>
#include <string_view>

namespace torvale {

// Source with every occurrence of Find replaced by Replacement, found from the
// left without overlaps; the replacement is never searched again.
std::string Rep(std::string_view Source, std::string_view Find, std::string_view Replacement);

// The directory path with a separator appended when it does not end in one.
std::string IncludeDelimiter(std::string_view path, PathStyle style = kNativePaths);

// The drive of a path: "C:", "\\server\share", or empty. Paths of a style
// without drives have none.
std::string_view driveOf(std::string_view path, PathStyle style = kNativePaths);

// How many leading bytes of path name its root: "/", "C:", "C:\", "\",
// "\\server\share\"; 0 for a relative path.
std::size_t rootLength(std::string_view path, PathStyle style = kNativePaths);

// True for a path that does not depend on the current directory's place:
// one with a root.
bool isAbsolutePath(std::string_view path, PathStyle style = kNativePaths);

// The parent directory of path, ending in a separator: C:\yabb\cgi-bin and
// C:\yabb\cgi-bin\ both give C:\yabb\ ; C:\ and a bare name give "".
std::string updir(std::string_view path, PathStyle style = kNativePaths);

// relative resolved against the directory of base; "/" in relative counts as a
// separator. "" when base has no directory or relative climbs above the root.
std::string chabspath(std::string_view base, std::string_view relative,
                      PathStyle style = kNativePaths);

// The directory of the forum script: its location up to and including the
// last separator (or, with drives, colon); "" for an empty location.
std::string forumScriptDirectory(std::string_view location, PathStyle style = kNativePaths);

// The chosen file's path relative to the directory of the forum script at
// location, as "..\" steps and names; the chosen path itself when it lies on
// another drive (or, without drives, when only one of them has a root).
std::string relativeToForum(std::string_view chosen, std::string_view location,
                            PathStyle style = kNativePaths);

// A file name as mods store it ("/" between directories) and as a local path.
std::string localPathOf(std::string_view fileName, PathStyle style = kNativePaths);
std::string fileNameOf(std::string_view localPath, PathStyle style = kNativePaths);

} // namespace torvale
