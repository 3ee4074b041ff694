// LoadSettings and SaveSettings over a Settings value, and where the settings
// file lives.
#include "settings.h"

#include "installation.h"
#include "text_compare.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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

std::size_t SaveSettings(TIniPlus& ini, const Settings& settings) {
    // What the reader would not give back as it was written is not written:
    // values end before a line break or a NUL and after kMaxValueLength bytes.
    const auto ownValue = [](std::string_view value) {
        value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
        return std::string(value.substr(0, TIniPlus::kMaxValueLength));
    };
    IniSection general{std::string(kGeneral), {}};
    const auto own = [&](std::string_view key, std::string_view value) {
        general.keys.emplace_back(key, ownValue(value));
    };
    own("YaBB", settings.YaBB);
    own("BoardMod", settings.BoardMod);
    own("Tree_Width", std::to_string(settings.Tree_Width));
    own("Your_Name", settings.Your_Name);
    own("Your_Homepage", settings.Your_Homepage);
    own("Editor_Font", FontToString(settings.Editor_Font));
    own("MRU_Max_Number", std::to_string(settings.MRU_Max_Number));
    own("Association", settings.Association ? "1" : "0");
    own("Left", std::to_string(settings.Left));
    own("Top", std::to_string(settings.Top));
    own("Width", std::to_string(settings.Width));
    own("Height", std::to_string(settings.Height));
    own("State", std::to_string(settings.State));

    // A recent file whose path would read back as another is left out, not
    // cut short.
    std::vector<std::string_view> recent;
    for (const std::string& path : settings.MRU)
        if (!path.empty() && path == ownValue(path) && path.front() != ' ' &&
            path.front() != '\t' && path.back() != ' ' && path.back() != '\t')
            recent.push_back(path);

    // One pass over the keys found, each looked up in a hash table, so that
    // a file holding many keys of others is saved in linear time.
    const auto folded = [](std::string_view name) {
        std::string lower(name);
        for (char& c : lower)
            c = asciiLower(c);
        return lower;
    };
    std::vector<IniSection> sections;
    std::unordered_map<std::string, std::size_t> sectionIndex;
    // Folded section name, "]" (which no section name holds), folded key.
    std::unordered_set<std::string> written;
    for (const auto& [key, value] : general.keys)
        written.insert(folded(kGeneral) + "]" + folded(key));
    sectionIndex.emplace(folded(kGeneral), 0);
    sections.push_back(std::move(general));
    const auto sectionFor = [&](const std::string& name) -> IniSection& {
        const auto [it, added] = sectionIndex.try_emplace(folded(name), sections.size());
        if (added)
            sections.push_back({name, {}});
        return sections[it->second];
    };
    // Keys the program does not know may be another version's: keep them, the
    // first of each name, after the program's own; lines that were no key are
    // not kept. The sections each key went to, in order, to leave out the
    // last ones if the file would grow too large.
    std::vector<std::size_t> others;
    const auto keepOthers = [&](bool generalOnly) {
        for (const IniSection& section : ini.Sections()) {
            const bool isGeneral = equalsIgnoringCase(section.name, kGeneral);
            if (isGeneral != generalOnly || section.keys.empty())
                continue;
            for (const auto& [key, value] : section.keys) {
                if (isOwnKey(section.name, key) ||
                    !written.insert(folded(section.name) + "]" + folded(key)).second)
                    continue;
                IniSection& target = sectionFor(section.name);
                target.keys.emplace_back(key, value);
                others.push_back(std::size_t(&target - sections.data()));
            }
        }
    };
    keepOthers(true);
    if (!recent.empty())
        sectionFor(std::string(kMRU));
    keepOthers(false);

    // The whole file stays readable: keys of others go from the end, then the
    // oldest recent files, until it is below the reader's limit.
    std::size_t bytes = 0;
    for (const IniSection& section : sections) {
        bytes += section.name.size() + 4;
        for (const auto& [key, value] : section.keys)
            bytes += key.size() + value.size() + 3;
    }
    const auto mruLine = [](std::size_t n, std::string_view path) {
        return mruKey(n).size() + path.size() + 3;
    };
    for (std::size_t i = 0; i < recent.size(); ++i)
        bytes += mruLine(i, recent[i]);
    const std::size_t othersKept = others.size();
    while (bytes > TIniPlus::kMaxFileSize && !others.empty()) {
        IniSection& section = sections[others.back()];
        bytes -= section.keys.back().first.size() + section.keys.back().second.size() + 3;
        section.keys.pop_back();
        others.pop_back();
    }
    std::size_t oldest = 0;
    while (bytes > TIniPlus::kMaxFileSize && oldest < recent.size())
        bytes -= mruLine(0, recent[oldest++]); // the numbers only get shorter
    if (oldest < recent.size()) {
        IniSection& mru = sectionFor(std::string(kMRU));
        for (std::size_t i = oldest; i < recent.size(); ++i)
            mru.keys.emplace_back(mruKey(i - oldest), recent[i]);
    }
    std::erase_if(sections, [](const IniSection& section) { return section.keys.empty(); });
    ini.SetSections(std::move(sections));
    return othersKept - others.size();
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
