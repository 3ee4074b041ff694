// Reading the two trees a mod is made from: every file of both by its name
// relative to the forum folder, or two files under the names the forum gives them.
#include "make_mod.h"

#include "document/file_io.h"

#include <map>
#include <system_error>

namespace torvale {

namespace fs = std::filesystem;

namespace {

// The name of a forum file: relative to the nearest folder above it that
// holds the forum script, else its bare name.
std::string forumName(const fs::path& file) {
    std::error_code ec;
    const fs::path whole = fs::absolute(file, ec).lexically_normal();
    for (fs::path dir = whole.parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (fs::is_regular_file(dir / "YaBB.pl", ec) || fs::is_regular_file(dir / "YaBB.cgi", ec))
            return whole.lexically_relative(dir).generic_string();
        if (dir == dir.parent_path())
            break;
    }
    return whole.filename().generic_string();
}

bool read(const fs::path& path, std::optional<std::string>& into, std::string& error) {
    const FileBytes bytes = readFileBytes(path, kMaxModFileSize);
    if (!bytes.ok) {
        error = "cannot read " + path.string() + ": " + bytes.error;
        return false;
    }
    into = std::string(bytes.bytes());
    return true;
}

// Every file under root by its name; false with error when the folder cannot
// be walked through.
bool walk(const fs::path& root, std::map<std::string, fs::path>& names, std::string& error) {
    std::error_code ec;
    fs::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec))
            names.emplace(it->path().lexically_relative(root).generic_string(), it->path());
        if (ec)
            break;
    }
    if (ec) {
        error = "cannot read " + root.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// The last name of a path, also of one that ends in "/" or ".".
std::string lastName(const fs::path& path) {
    std::error_code ec;
    fs::path whole = fs::absolute(path, ec).lexically_normal();
    if (!whole.has_filename())
        whole = whole.parent_path();
    const std::string name = whole.filename().string();
    return name.empty() ? path.string() : name;
}

} // namespace

MakeProperties propertiesFor(const fs::path& original, const fs::path& changed) {
    MakeProperties properties;
    properties.id = lastName(changed);
    properties.version = "1.0";
    properties.info =
        "The changes of " + lastName(changed) + " against " + lastName(original) + ".";
    return properties;
}

MakeInput readMakeInput(const fs::path& original, const fs::path& changed) {
    MakeInput in;
    std::error_code ec;
    for (const fs::path& p : {original, changed}) {
        if (!fs::exists(p, ec)) {
            in.error =
                "cannot read " + p.string() + ": " + (ec ? ec.message() : "no such file or folder");
            return in;
        }
    }
    const bool folders = fs::is_directory(original, ec) && fs::is_directory(changed, ec);
    if (!folders) {
        if (fs::is_directory(original, ec) || fs::is_directory(changed, ec)) {
            in.error = "the original and the changed copy must be two folders or two files";
            return in;
        }
        FilePair& pair = in.files.emplace_back();
        pair.name = forumName(original);
        in.ok = read(original, pair.original, in.error) && read(changed, pair.changed, in.error);
        return in;
    }
    std::map<std::string, fs::path> before, after;
    if (!walk(original, before, in.error) || !walk(changed, after, in.error))
        return in;
    std::map<std::string, FilePair> pairs;
    for (const auto& [name, path] : before)
        if (!read(path, pairs[name].original, in.error))
            return in;
    for (const auto& [name, path] : after)
        if (!read(path, pairs[name].changed, in.error))
            return in;
    for (auto& [name, pair] : pairs) {
        pair.name = name;
        in.files.push_back(std::move(pair));
    }
    in.ok = true;
    return in;
}

} // namespace torvale
