// Reading and writing the settings file without losing one that cannot be
// read: it is renamed aside before anything is written in its place.
#include "settings_file.h"

#include <system_error>

namespace torvale {

namespace {

// Renames the file at path to the first free name "<path>.bad", "<path>.bad2",
// ...; error says why when it cannot.
SettingsFileOutcome setAside(const std::filesystem::path& path, std::string why) {
    namespace fs = std::filesystem;
    SettingsFileOutcome outcome{std::move(why), {}};
    std::error_code ec;
    for (int n = 1; n <= 100; ++n) {
        fs::path aside = path;
        aside += n == 1 ? ".bad" : ".bad" + std::to_string(n);
        if (fs::exists(fs::symlink_status(aside, ec)))
            continue;
        fs::rename(path, aside, ec);
        if (!ec)
            outcome.keptAs = aside;
        else
            outcome.error += " It could not be set aside as \"" + aside.string() +
                             "\" either: " + ec.message() + ".";
        return outcome;
    }
    outcome.error += " It could not be set aside: \"" + path.string() +
                     ".bad\" up to \".bad100\" are all taken.";
    return outcome;
}

bool isThere(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

} // namespace

SettingsFileOutcome loadSettingsFile(TIniPlus& ini) {
    const bool there = isThere(ini.FileName());
    std::string error = ini.Load();
    if (error.empty() || !there)
        return {};
    std::error_code ec;
    if (std::filesystem::is_directory(ini.FileName(), ec))
        return {std::move(error), {}}; // no settings in it to lose, and nothing to write over
    return setAside(ini.FileName(), std::move(error));
}

SettingsFileOutcome saveSettingsFile(const std::filesystem::path& path, const Settings& settings) {
    TIniPlus ini(path);
    SettingsFileOutcome outcome = loadSettingsFile(ini);
    if (!outcome.error.empty() && outcome.keptAs.empty())
        return outcome; // still in place, and not to be written over
    if (const std::size_t left = SaveSettings(ini, settings); left > 0 && outcome.keptAs.empty()) {
        outcome = setAside(path, std::to_string(left) + " keys of other programs did not fit "
                                                        "into a file this program reads back.");
        if (outcome.keptAs.empty())
            return outcome;
    }
    if (const WriteResult written = ini.UpdateFile(); !written.ok)
        outcome.error = outcome.error.empty() ? written.error : outcome.error + " " + written.error;
    return outcome;
}

} // namespace torvale
