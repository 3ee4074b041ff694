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

// The values of the keys "MRU0" up to "MRU<end - 1>" in [MRU], in the order of
// their numbers, as ReadString would find them one by one; a hand-edited end
// may be two thousand million, so the keys that are there are looked at.
std::vector<std::string> mruValues(const TIniPlus& ini, std::int32_t end) {
    std::vector<std::pair<std::int32_t, std::string>> found;
    for (const IniSection& section : ini.Sections()) {
        if (!equalsIgnoringCase(section.name, kMRU))
            continue;
        for (const auto& [key, value] : section.keys) {
            const std::string_view number =
                std::string_view(key).substr(std::min<std::size_t>(3, key.size()));
            const auto n = parseInteger(number);
            if (!equalsIgnoringCase(std::string_view(key).substr(0, 3), kMRU) || !n || *n < 0 ||
                *n >= end || mruKey(std::size_t(*n)) != "MRU" + std::string(number))
                continue;
            found.emplace_back(*n, value.substr(0, TIniPlus::kMaxValueLength));
        }
        break; // only the first [MRU] counts
    }
    // By number; of two keys with one number, the first in the file counts.
    const auto byNumber = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(found.begin(), found.end(), byNumber);
    found.erase(std::unique(found.begin(), found.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                found.end());
    std::vector<std::string> values;
    for (auto& [n, value] : found)
        values.push_back(std::move(value));
    return values;
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
    // Only the keys below the maximum are read; a gap is skipped.
    for (std::string& path : mruValues(ini, settings.MRU_Max_Number))
        if (!path.empty())
            settings.MRU.push_back(std::move(path));

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
