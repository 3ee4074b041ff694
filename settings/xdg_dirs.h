// The user's data and configuration folders of a freedesktop system
// ($XDG_DATA_HOME, $XDG_CONFIG_HOME), where per-user settings and desktop
// registrations go.
#pragma once

#include <filesystem>

namespace torvale {

struct XdgDirs {
    std::filesystem::path dataHome;   // ~/.local/share
    std::filesystem::path configHome; // ~/.config

    // From the environment; a variable that is unset or not an absolute path
    // gives the default under the home folder.
    static XdgDirs fromEnvironment();
};

} // namespace torvale
