// What kind of file a mod file is, and where the forum keeps its html
// folder: the facts the check needs before it runs the installer.
#include "mod_facts.h"

#include "install_file.h"
#include "mod_check.h"

#include <algorithm>

namespace torvale {

std::string withoutSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

// Every line of the mod starts "word|": the list YaBB keeps of a mod's files
// to delete its package.
bool isPackageList(std::string_view mod) {
    bool any = false;
    for (std::size_t start = 0; start < mod.size();) {
        std::size_t lf = mod.find('\n', start);
        if (lf == std::string_view::npos)
            lf = mod.size();
        const std::string key = lineKey(mod.substr(start, lf - start));
        if (!key.empty()) {
            const std::size_t bar = key.find('|');
            if (bar == std::string::npos || bar == 0 ||
                !std::all_of(key.begin(), key.begin() + std::ptrdiff_t(bar),
                             [](char c) { return c >= 'a' && c <= 'z'; }))
                return false;
            any = true;
        }
        start = lf + 1;
    }
    return any;
}

bool holdsModTag(std::string_view mod) {
    static constexpr std::string_view kTags[] = {
        "<id>",          "<version>",    "<mod info>", "<author>",     "<homepage>",
        "<edit file>",   "<search for>", "<replace>",  "<add before>", "<add after>"};
    mod = mod.substr(0, std::min<std::size_t>(mod.size(), std::size_t(64) << 20));
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    // A mod has one near its start: stop at the first.
    for (std::size_t at = mod.find('<'); at != std::string_view::npos; at = mod.find('<', at + 1))
        for (const std::string_view tag : kTags)
            if (mod.size() - at >= tag.size() &&
                std::ranges::equal(mod.substr(at, tag.size()), tag, {}, lower))
                return true;
    return false;
}

std::string htmlDirectoryOf(const std::string& forumDirectory, const yabmod::ReadFile& read) {
    const yabmod::DiskEntry paths = read(withoutSlash(forumDirectory) + "/Paths.pm");
    if (paths.kind != yabmod::DiskEntry::Kind::File)
        return {};
    const std::string& text = paths.bytes;
    for (std::size_t at = text.find("$htmldir"); at != std::string::npos;
         at = text.find("$htmldir", at + 1)) {
        std::size_t i = at + 8;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= text.size() || text[i] != '=')
            continue;
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= text.size() || (text[i] != '"' && text[i] != '\''))
            continue;
        const std::size_t end = text.find(text[i], i + 1);
        if (end == std::string::npos)
            continue;
        std::string dir = text.substr(i + 1, end - i - 1);
        if (!dir.starts_with('/'))
            dir = withoutSlash(forumDirectory) + "/" + dir;
        return withoutSlash(dir);
    }
    return {};
}

} // namespace torvale
