// Path operations on byte strings, each written once for both path styles.
#include "paths.h"

#include <algorithm>
#include <vector>

namespace torvale {

namespace {

bool isSeparator(char c, PathStyle style) {
    return c == style.separator;
}

// A separator, or with drives a colon: where a directory part ends.
bool endsDirectory(char c, PathStyle style) {
    return c == style.separator || (style.drives && c == ':');
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b, PathStyle style) {
    if (!style.ignoreCase)
        return a == b;
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    return true;
}

bool startsWithShare(std::string_view path, PathStyle style) {
    return style.drives && path.size() >= 2 && isSeparator(path[0], style) &&
           isSeparator(path[1], style);
}

// Position of the n-th separator (1-based), or npos.
std::size_t nthSeparator(std::string_view path, int n, PathStyle style) {
    for (std::size_t i = 0; i < path.size(); ++i)
        if (isSeparator(path[i], style) && --n == 0)
            return i;
    return std::string_view::npos;
}

std::size_t lastSeparator(std::string_view path, PathStyle style) {
    return path.rfind(style.separator);
}

// What must match for one path to be made relative to the other: the drive,
// or without drives whether the path has a root at all.
std::string_view anchorOf(std::string_view path, PathStyle style) {
    return style.drives ? driveOf(path, style) : path.substr(0, rootLength(path, style));
}

// The directory names between the anchor and the last separator.
std::vector<std::string_view> directoryNames(std::string_view path, PathStyle style) {
    std::vector<std::string_view> names;
    const std::size_t last = lastSeparator(path, style);
    const std::size_t begin = anchorOf(path, style).size();
    if (last == std::string_view::npos || last < begin)
        return names;
    std::string_view dirs = path.substr(begin, last - begin);
    while (!dirs.empty()) {
        const std::size_t end = dirs.find(style.separator);
        if (end != 0) // doubled separators name nothing
            names.push_back(dirs.substr(0, end));
        if (end == std::string_view::npos)
            break;
        dirs.remove_prefix(end + 1);
    }
    return names;
}

} // namespace

std::string Rep(std::string_view Source, std::string_view Find, std::string_view Replacement) {
    if (Source.empty() || Find.empty())
        return std::string(Source);
    std::string result;
    result.reserve(Source.size());
    std::size_t from = 0;
    for (std::size_t hit; (hit = Source.find(Find, from)) != std::string_view::npos;
         from = hit + Find.size()) {
        result.append(Source.substr(from, hit - from));
        result.append(Replacement);
    }
    result.append(Source.substr(from));
    return result;
}

std::string IncludeDelimiter(std::string_view path, PathStyle style) {
    std::string result(path);
    if (result.empty() || !isSeparator(result.back(), style))
        result.push_back(style.separator);
    return result;
}

std::string_view driveOf(std::string_view path, PathStyle style) {
    if (!style.drives)
        return {};
    if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':')
        return path.substr(0, 2);
    if (startsWithShare(path, style))
        return path.substr(0, nthSeparator(path, 4, style));
    return {};
}

std::size_t rootLength(std::string_view path, PathStyle style) {
    if (startsWithShare(path, style)) {
        const std::size_t fourth = nthSeparator(path, 4, style);
        return fourth == std::string_view::npos ? path.size() : fourth + 1;
    }
    const std::size_t drive = driveOf(path, style).size();
    if (drive < path.size() && isSeparator(path[drive], style))
        return drive + 1;
    return drive;
}

bool isAbsolutePath(std::string_view path, PathStyle style) {
    return rootLength(path, style) > 0;
}

std::string updir(std::string_view path, PathStyle style) {
    std::string_view s = path;
    if (!s.empty() && isSeparator(s.back(), style))
        s.remove_suffix(1);
    const std::size_t k = lastSeparator(s, style);
    return std::string(k == std::string_view::npos ? std::string_view() : path.substr(0, k + 1));
}

std::string chabspath(std::string_view base, std::string_view relative, PathStyle style) {
    std::size_t last = base.size();
    while (last > 0 && !endsDirectory(base[last - 1], style))
        --last;
    if (last == 0)
        return {};
    // The separator that ends the directory goes, unless it belongs to the
    // root ("C:\", "/") or follows a colon or another separator.
    std::string dir(base.substr(0, last));
    const bool keep =
        last <= rootLength(base, style) || (last >= 2 && endsDirectory(base[last - 2], style));
    if (isSeparator(dir.back(), style) && !keep)
        dir.pop_back();
    if (dir.empty())
        return {};
    dir = IncludeDelimiter(dir, style);

    const std::string sep(1, style.separator);
    std::string rel = Rep(relative, "/", sep);
    if (rel.starts_with("." + sep))
        rel.erase(0, 2);
    while (rel.starts_with(".." + sep)) {
        rel.erase(0, 3);
        // Above the root there is nothing, and a bare name would be taken
        // from whatever the current directory is.
        if (dir.size() <= rootLength(dir, style))
            return {};
        dir = updir(dir, style);
        if (dir.empty())
            return {};
    }
    return dir + rel;
}

std::string forumScriptDirectory(std::string_view location, PathStyle style) {
    std::size_t end = location.size();
    while (end > 0 && !endsDirectory(location[end - 1], style))
        --end;
    return std::string(location.substr(0, end));
}

std::string relativeToForum(std::string_view chosen, std::string_view location, PathStyle style) {
    const std::string_view anchor = anchorOf(chosen, style);
    if (!sameName(anchor, anchorOf(location, style), style))
        return std::string(chosen);
    const auto forumDirs = directoryNames(location, style);
    const auto chosenDirs = directoryNames(chosen, style);
    std::size_t shared = 0;
    while (shared < forumDirs.size() && shared < chosenDirs.size() &&
           sameName(forumDirs[shared], chosenDirs[shared], style))
        ++shared;

    std::string result;
    for (std::size_t i = shared; i < forumDirs.size(); ++i)
        result += std::string("..") + style.separator;
    for (std::size_t i = shared; i < chosenDirs.size(); ++i)
        (result += chosenDirs[i]) += style.separator;
    const std::size_t last = lastSeparator(chosen, style);
    const std::size_t nameStart =
        last == std::string_view::npos ? anchor.size() : std::max(last + 1, anchor.size());
    result += chosen.substr(nameStart);
    return result;
}

std::string localPathOf(std::string_view fileName, PathStyle style) {
    return Rep(fileName, "/", std::string(1, style.separator));
}

std::string fileNameOf(std::string_view localPath, PathStyle style) {
    return Rep(localPath, std::string(1, style.separator), "/");
}

} // namespace torvale
