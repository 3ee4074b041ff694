// Looking names up on disk, ExpandShortName and the resolution of edit-file
// names against the forum installation.
#include "name_lookup.h"

#include "paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace torvale {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return fold(x) == fold(y);
    });
}

} // namespace

std::optional<std::string> findEntry(const std::string& directory, const std::string& name) {
    namespace fs = std::filesystem;
    if (name.empty())
        return std::nullopt;
    const fs::path dir = directory.empty() ? fs::path(".") : fs::path(directory);
    std::error_code ec;
    // symlink_status: a link counts as an entry even when it leads nowhere.
    if (fs::exists(fs::symlink_status(dir / name, ec)))
        return name;
    std::optional<std::string> found;
    for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (sameIgnoringCase(entry, name) && (!found || entry < *found))
            found = std::move(entry);
    }
    return found;
}

std::string ExpandShortName(std::string_view name, PathStyle style, const EntryLookup& lookup) {
    // No name this long can be opened, so looking its components up would
    // only cost time: a hand-made mod may name 60,000 folders.
    if (name.size() > kMaxPathLength)
        return std::string(name);
    // From the end towards the root: each last component, and what stays to
    // be expanded before it. The separator goes with the component, except
    // the root's own: "/" stays "/" and is not taken for the current
    // directory; a folder, a drive or a root ends the walk.
    std::vector<std::string_view> components;
    std::string_view rest = name;
    while (true) {
        std::size_t split = rest.size();
        while (split > 0 && rest[split - 1] != style.separator &&
               !(style.drives && rest[split - 1] == ':'))
            --split;
        if (split == rest.size())
            break;
        components.push_back(rest.substr(split));
        rest = rest.substr(0, split);
        if (!rest.empty() && rest.back() == style.separator && rest.size() > rootLength(rest, style))
            rest.remove_suffix(1);
    }
    std::string expanded(rest);
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        if (!expanded.empty() && expanded.back() != style.separator)
            expanded.push_back(style.separator);
        const std::optional<std::string> entry = lookup(expanded, std::string(*it));
        expanded += entry ? *entry : std::string(*it);
    }
    return expanded;
}

std::string resolveEditFile(std::string_view forumDirectory, std::string_view fileName,
                            PathStyle style, const EntryLookup& lookup) {
    const std::string name = localPathOf(fileName, style);
    if (name.empty())
        return {};
    const std::string path =
        isAbsolutePath(name, style) ? name : chabspath(forumDirectory, name, style);
    if (path.empty())
        return {};
    return ExpandShortName(path, style, lookup);
}

} // namespace torvale
