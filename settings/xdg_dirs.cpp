// XdgDirs from the environment.
#include "xdg_dirs.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace torvale {

namespace {

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        return user->pw_dir;
    return "/";
}

std::filesystem::path fromVariable(const char* name, const char* fallbackUnderHome) {
    const char* value = std::getenv(name);
    if (value && std::filesystem::path(value).is_absolute())
        return value;
    return homeFolder() / fallbackUnderHome;
}

} // namespace

XdgDirs XdgDirs::fromEnvironment() {
    return {fromVariable("XDG_DATA_HOME", ".local/share"),
            fromVariable("XDG_CONFIG_HOME", ".config")};
}

} // namespace torvale
