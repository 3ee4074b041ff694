// The settings file on disk, read at start and written at the end, so that a
// file the program cannot read is set aside instead of being written over.
#pragma once

#include "settings.h"

#include <filesystem>
#include <string>

namespace torvale {

struct SettingsFileOutcome {
    // Why the file could not be read, or written; empty when it could.
    std::string error;
    // Where a file that could not be read (not text, too large, not allowed)
    // now is, under a name of its own beside it; empty when none was set aside.
    std::filesystem::path keptAs;
};

// Loads ini from its file. A file that is there but cannot be read is renamed
// to "<name>.bad" (or ".bad2", ... when that is taken), so that no later
// write takes its place unseen; when even that fails, error says so. A
// missing file is no error: the program runs with its defaults.
SettingsFileOutcome loadSettingsFile(TIniPlus& ini);

// Reads the file again, so that keys another program wrote meanwhile stay,
// saves settings into it as SaveSettings does and writes it whole. A file
// that cannot be read now, or whose keys of others would not all fit, is set
// aside first as loadSettingsFile does; one that cannot be set aside is not
// written over.
SettingsFileOutcome saveSettingsFile(const std::filesystem::path& path, const Settings& settings);

} // namespace torvale
