// Looking names up on disk, ExpandShortName and the resolution of edit-file
// names against the forum installation.
#include "name_lookup.h"

#include "paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

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
    std::size_t split = name.size();
    while (split > 0 && name[split - 1] != style.separator &&
           !(style.drives && name[split - 1] == ':'))
        --split;
    const std::string file(name.substr(split));
    if (file.empty())
        return std::string(name); // a drive or a root: nothing to look up
    std::string dir(name.substr(0, split));
    // The separator goes before the recursion, except the root's own: "/"
    // stays "/" and is not taken for the current directory.
    if (!dir.empty() && dir.back() == style.separator && dir.size() > rootLength(dir, style))
        dir.pop_back();
    dir = ExpandShortName(dir, style, lookup);
    if (!dir.empty() && dir.back() != style.separator)
        dir.push_back(style.separator);
    const std::optional<std::string> entry = lookup(dir, file);
    return dir + (entry ? *entry : file);
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
