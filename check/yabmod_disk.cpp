// The disk in memory that the installer's run works on, with the file
// operations of Perl and of YaBB's fopen as they behave on Linux.
#include "yabmod_disk.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace torvale::yabmod {

using Kind = DiskEntry::Kind;

const std::string& FileAfter::operator*() const {
    return content_->bytes();
}

const std::string& Content::bytes() const {
    if (!bytes_)
        bytes_ = lines_->text();
    return *bytes_;
}

namespace {

std::shared_ptr<const Content> nothing() {
    static const auto empty = std::make_shared<const Content>(std::string());
    return empty;
}

} // namespace

DiskEntry readFromDisk(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status))
        return {Kind::Folder, {}};
    if (!fs::exists(status))
        return {Kind::Missing, {}};
    std::ifstream in(path, std::ios::binary);
    DiskEntry entry{Kind::File, {}};
    // At once: one character at a time takes a tenth of a second for a file of megabytes.
    if (in) {
        std::error_code sizeError;
        const std::uintmax_t size = fs::file_size(path, sizeError);
        if (!sizeError) {
            entry.bytes.resize(std::size_t(size));
            in.read(entry.bytes.data(), std::streamsize(size));
            entry.bytes.resize(std::size_t(in.gcount()));
        }
        // What the size did not tell, such as a file that grew meanwhile.
        std::ostringstream rest;
        if (in && in.peek() != std::ifstream::traits_type::eof()) {
            rest << in.rdbuf();
            entry.bytes += std::move(rest).str();
        }
    }
    if (!in && !in.eof())
        return {Kind::Unreadable, {}};
    return entry;
}

// Paths as the system resolves them, without links: "//" and "/./" are one
// "/", ".." goes up a folder.
Disk::Resolved Disk::resolve(std::string_view path) {
    Resolved out;
    // Nearly every path the installer makes is whole and plain already.
    // Whole, and no part of it empty, "." or "..": one look at each slash.
    bool plain = path.size() > 1 && path.front() == '/' && path.back() != '/';
    for (std::size_t slash = 0; plain && slash != std::string_view::npos;) {
        const std::size_t next = path.find('/', slash + 1);
        const std::string_view part = path.substr(slash + 1, next - slash - 1);
        plain = !part.empty() && part != "." && part != "..";
        slash = next;
    }
    if (plain) {
        out.given = path;
        return out;
    }
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    std::string_view last;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        last = path.substr(start, slash - start);
        if (last == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!last.empty() && last != ".") {
            parts.push_back(last);
        }
        start = slash + 1;
    }
    out.folderOnly = last.empty() || last == "." || last == "..";
    if (parts.empty() || path.starts_with('/'))
        out.made = "/";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out.made += '/';
        out.made += parts[i];
    }
    if (out.made.empty())
        out.made = ".";
    return out;
}

Disk::Entry Disk::lookup(std::string_view key) {
    if (const auto w = written_.find(key); w != written_.end())
        return w->second;
    auto r = fromDisk_.find(key);
    if (r == fromDisk_.end()) {
        DiskEntry entry = read_(std::string(key));
        Entry kept{entry.kind, nullptr};
        if (entry.kind == Kind::File)
            kept.content = std::make_shared<const Content>(std::move(entry.bytes));
        r = fromDisk_.emplace(std::string(key), std::move(kept)).first;
    }
    return r->second;
}

void Disk::put(std::string_view key, Entry entry) {
    if (const auto w = written_.find(key); w != written_.end())
        w->second = std::move(entry);
    else
        written_.emplace(std::string(key), std::move(entry));
}

Disk::Entry Disk::entry(std::string_view path) {
    const Resolved at = resolve(path);
    Entry found = lookup(at.key());
    // "file/" is no path of anything.
    if (at.folderOnly && found.kind != Kind::Folder)
        return {};
    return found;
}

void Disk::write(std::string_view path, InstallFile lines) {
    put(resolve(path).key(), {Kind::File, std::make_shared<const Content>(std::move(lines))});
}

// Whether a file can be made or overwritten at this place.
bool Disk::canMake(const Resolved& at) {
    const std::string_view key = at.key();
    if (at.folderOnly || key == "/")
        return false;
    const Kind kind = lookup(key).kind;
    if (kind == Kind::Folder)
        return false;
    if (kind != Kind::Missing)
        return true;
    const std::size_t slash = key.rfind('/');
    const std::string_view parent =
        slash == std::string::npos ? "." : slash == 0 ? "/" : key.substr(0, slash);
    return lookup(parent).kind == Kind::Folder;
}

bool Disk::copy(std::string_view from, std::string_view to) {
    const Entry source = entry(from);
    std::string target(to);
    // Into a folder, under the source's own name.
    if (entry(target).kind == Kind::Folder && source.kind != Kind::Folder) {
        const std::size_t slash = from.rfind('/');
        target += '/';
        target += from.substr(slash == std::string_view::npos ? 0 : slash + 1);
    }
    const Resolved at = resolve(target);
    if (resolve(from).key() == at.key())
        return false; // "are identical"
    if (source.kind == Kind::Missing || source.kind == Kind::Unreadable)
        return false;
    if (!canMake(at))
        return false;
    // The copy is made before the source is read, which fails for a folder.
    put(at.key(), {Kind::File, source.kind == Kind::File ? source.content : nothing()});
    return source.kind == Kind::File;
}

bool Disk::rename(std::string_view from, std::string_view to) {
    const Resolved a = resolve(from);
    const Resolved b = resolve(to);
    const Entry source = entry(from);
    if (source.kind != Kind::File || a.key() == b.key() || !canMake(b))
        return source.kind == Kind::File && a.key() == b.key();
    put(b.key(), source);
    put(a.key(), {});
    return true;
}

std::optional<std::string> Disk::fopenName(std::string_view name) {
    // What each byte becomes: itself, "/" for "\\", or nothing (0).
    static constexpr std::array<char, 256> kept = [] {
        std::array<char, 256> table{};
        for (int c = 0; c < 256; ++c) {
            const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '_';
            if (word || std::string_view("/#%+,- .:@^").find(char(c)) != std::string_view::npos)
                table[std::size_t(c)] = char(c);
        }
        table['\\'] = '/';
        return table;
    }();
    std::string out(name.size(), '\0');
    std::size_t n = 0;
    for (const char c : name) {
        out[n] = kept[static_cast<unsigned char>(c)];
        n += out[n] != '\0';
    }
    out.resize(n);
    if (out.find("/../") != std::string::npos)
        return std::nullopt;
    return out;
}

void Disk::takeBackBackup(const std::string& path) {
    // The file is looked up once, and its backup only when it is missing or
    // empty: a run does this twice for each block of the mod.
    const auto takeBack = [&] {
        const std::string backup = path + ".bak";
        if (exists(backup))
            rename(backup, path);
    };
    Entry now = entry(path);
    if (now.kind == Kind::Missing) {
        takeBack();
        now = entry(path);
    }
    if (now.kind == Kind::File && now.content->empty())
        takeBack();
}

std::shared_ptr<const Content> Disk::openToRead(const std::string& path) {
    std::string_view trimmed = path;
    while (!trimmed.empty() && trimmed.front() == ' ')
        trimmed.remove_prefix(1);
    while (!trimmed.empty() && trimmed.back() == ' ')
        trimmed.remove_suffix(1);
    const Entry found = entry(trimmed);
    if (found.kind == Kind::Folder)
        return nothing(); // it opens, and no line comes
    return found.kind == Kind::File ? found.content : nullptr;
}

bool Disk::canWrite(const std::string& path) {
    return canMake(resolve(path));
}

std::map<std::string, FileAfter> Disk::changes() const {
    std::map<std::string, FileAfter> out;
    for (const auto& [path, entry] : written_)
        out.emplace(path, entry.kind == Kind::File ? FileAfter(entry.content) : FileAfter());
    return out;
}

} // namespace torvale::yabmod
