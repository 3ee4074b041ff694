// Settings: every value the settings file keeps, and reading and writing them
// through TIniPlus in the file's order. The window maps the value onto its
// controls; nothing here knows of them.
#pragma once

#include "font_codec.h"
#include "ini_file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace torvale {

enum WindowState : std::int32_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// Default values are the ones the program runs with when there is no
// settings file (the design's sizes, an empty recent-files list of at most 0).
struct Settings {
    std::string YaBB;     // full path of the forum's YaBB.pl or YaBB.cgi
    std::string BoardMod; // full path of the installer program; only kept
    std::int32_t Tree_Width = 218;
    std::string Your_Name;
    std::string Your_Homepage;
    FontDescription Editor_Font;
    std::int32_t MRU_Max_Number = 0;
    std::vector<std::string> MRU; // recent files, oldest first
    bool Association = false;
    // The window's bounds in its normal state, whatever state it is in.
    std::int32_t Left = 265;
    std::int32_t Top = 244;
    std::int32_t Width = 621;
    std::int32_t Height = 574;
    std::int32_t State = wsNormal;

    bool operator==(const Settings&) const = default;
};

// Reads every value from ini into settings. A missing key, or a number that is
// no number, gives the key's default: 200 for the tree width, 10 for the
// recent-files maximum, freshFont for the editor font (also for a damaged
// font string), and for the bounds the values settings holds on entry. A
// State other than 0, 1, 2 in its low byte leaves the state as it was.
void LoadSettings(const TIniPlus& ini, Settings& settings, const FontDescription& freshFont);

// Writes every value into ini: [General] first, its keys in the file's order,
// then [MRU] when the list is not empty. Keys and sections of others found in
// ini are kept after them; lines that were no key are not. Nothing is written
// that would read back otherwise: values end before a line break or a NUL
// and after TIniPlus::kMaxValueLength bytes, and a recent file that would not
// read back as itself is left out. The text stays within
// TIniPlus::kMaxFileSize: keys of others go from the end, then the oldest
// recent files, until it does. Returns how many keys of others were left
// out; linear in the number of keys.
std::size_t SaveSettings(TIniPlus& ini, const Settings& settings);

// The settings file of the program at programPath: beside it with the
// extension ".ini" when that file exists, or when its folder is writable and
// it is not an installed program (a program carried around with its
// settings); else torvale.ini in a torvale folder under configHome
// ($XDG_CONFIG_HOME).
std::filesystem::path settingsFileFor(const std::filesystem::path& programPath,
                                      const std::filesystem::path& configHome);

} // namespace torvale
