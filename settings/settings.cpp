// LoadSettings and SaveSettings over a Settings value, and where the settings
// file lives.
#include "settings.h"

#include "installation.h"
#include "text_compare.h"

#include <algorithm>
#include <array>
#include <string_view>

#include <unistd.h>

namespace torvale {

namespace {

constexpr std::string_view kGeneral = "General";
constexpr std::string_view kMRU = "MRU";

// The keys of [General] in the order they are written.
constexpr std::array<std::string_view, 13> kGeneralKeys = {
    "YaBB",        "BoardMod",       "Tree_Width",  "Your_Name", "Your_Homepage",
    "Editor_Font", "MRU_Max_Number", "Association", "Left",      "Top",
    "Width",       "Height",         "State"};

std::string mruKey(std::size_t index) {
    return "MRU" + std::to_string(index);
}

bool isOwnKey(std::string_view section, std::string_view key) {
    if (equalsIgnoringCase(section, kGeneral))
        return std::any_of(kGeneralKeys.begin(), kGeneralKeys.end(),
                           [&](std::string_view own) { return equalsIgnoringCase(own, key); });
    // Every MRU key is rewritten from the list.
    return equalsIgnoringCase(section, kMRU);
}

} // namespace

void LoadSettings(const TIniPlus& ini, Settings& settings, const FontDescription& freshFont) {
    settings.YaBB = ini.ReadString(kGeneral, "YaBB", "");
    settings.BoardMod = ini.ReadString(kGeneral, "BoardMod", "");
    settings.Tree_Width = ini.ReadInteger(kGeneral, "Tree_Width", 200);
    settings.Your_Name = ini.ReadString(kGeneral, "Your_Name", "");
    settings.Your_Homepage = ini.ReadString(kGeneral, "Your_Homepage", "");
    settings.Editor_Font = freshFont;
    ini.ReadFont(kGeneral, "Editor_Font", settings.Editor_Font);

    settings.MRU_Max_Number = ini.ReadInteger(kGeneral, "MRU_Max_Number", 10);
    settings.MRU.clear();
    for (std::int32_t i = 0; i < settings.MRU_Max_Number; ++i) {
        // Only the keys below the maximum are read; a gap is skipped.
        std::string path = ini.ReadString(kMRU, mruKey(std::size_t(i)), "");
        if (!path.empty())
            settings.MRU.push_back(std::move(path));
    }

    settings.Association = ini.ReadBool(kGeneral, "Association", false);
    settings.Left = ini.ReadInteger(kGeneral, "Left", settings.Left);
    settings.Top = ini.ReadInteger(kGeneral, "Top", settings.Top);
    settings.Width = ini.ReadInteger(kGeneral, "Width", settings.Width);
    settings.Height = ini.ReadInteger(kGeneral, "Height", settings.Height);
    const std::int32_t state = ini.ReadInteger(kGeneral, "State", wsNormal) & 0xFF;
    if (state == wsNormal || state == wsMinimized || state == wsMaximized)
        settings.State = state;
}

void SaveSettings(TIniPlus& ini, const Settings& settings) {
    const std::vector<IniSection> previous = ini.Sections();
    ini.Clear();
    ini.WriteString(kGeneral, "YaBB", settings.YaBB);
    ini.WriteString(kGeneral, "BoardMod", settings.BoardMod);
    ini.WriteInteger(kGeneral, "Tree_Width", settings.Tree_Width);
    ini.WriteString(kGeneral, "Your_Name", settings.Your_Name);
    ini.WriteString(kGeneral, "Your_Homepage", settings.Your_Homepage);
    ini.WriteFont(kGeneral, "Editor_Font", settings.Editor_Font);
    ini.WriteInteger(kGeneral, "MRU_Max_Number", settings.MRU_Max_Number);
    ini.WriteBool(kGeneral, "Association", settings.Association);
    ini.WriteInteger(kGeneral, "Left", settings.Left);
    ini.WriteInteger(kGeneral, "Top", settings.Top);
    ini.WriteInteger(kGeneral, "Width", settings.Width);
    ini.WriteInteger(kGeneral, "Height", settings.Height);
    ini.WriteInteger(kGeneral, "State", settings.State);

    // Keys the program does not know may be another version's: keep them, the
    // first of each name, after the program's own.
    const auto keepOthers = [&](bool generalOnly) {
        for (const IniSection& section : previous) {
            const bool general = equalsIgnoringCase(section.name, kGeneral);
            if (general != generalOnly || section.keys.empty())
                continue;
            for (const auto& [key, value] : section.keys)
                if (!isOwnKey(section.name, key) && !ini.ValueExists(section.name, key))
                    ini.WriteString(section.name, key, value);
        }
    };
    keepOthers(true);
    for (std::size_t i = 0; i < settings.MRU.size(); ++i)
        ini.WriteString(kMRU, mruKey(i), settings.MRU[i]);
    keepOthers(false);
}

std::filesystem::path settingsFileFor(const std::filesystem::path& programPath,
                                      const std::filesystem::path& configHome) {
    std::filesystem::path beside = programPath;
    beside.replace_extension(".ini");
    std::error_code ec;
    const std::filesystem::path folder = beside.has_parent_path() ? beside.parent_path() : ".";
    // An installed program's folder (/usr/bin, ~/.local/bin) is writable for root or for its
    // owner, and still no place for settings.
    if (std::filesystem::exists(beside, ec) ||
        (::access(folder.c_str(), W_OK) == 0 && installedDesktopId(programPath).empty()))
        return beside;
    return configHome / "torvale" / "torvale.ini";
}

} // namespace torvale
