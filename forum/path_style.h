// How paths are spelled: the Windows form that mods and their users come from,
// and this system's own. Every path operation is written once over this.
#pragma once

namespace torvale {

struct PathStyle {
    char separator;
    // Paths may begin with a drive ("C:", or "\\server\share"), and a colon
    // ends a directory part as a separator does.
    bool drives;
    // Names that differ only in letter case name the same entry.
    bool ignoreCase;
};

inline constexpr PathStyle kWindowsPaths{'\\', true, true};
inline constexpr PathStyle kPosixPaths{'/', false, false};

#ifdef _WIN32
inline constexpr PathStyle kNativePaths = kWindowsPaths;
#else
inline constexpr PathStyle kNativePaths = kPosixPaths;
#endif

} // namespace torvale
