// The disk as YaBB's installer changes it, kept in memory: fopen's cleaning
// of names and its taking back of backups, File::Copy's copy, and rename.
#pragma once

#include "install_file.h"
#include "yabmod.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace torvale::yabmod {

// A file's content: the bytes read, or the lines the installer wrote, made
// into bytes only when something needs them. A file edited in many blocks is
// thus neither printed nor split into lines again for each.
class Content {
public:
    explicit Content(std::string bytes) : bytes_(std::move(bytes)) {}
    explicit Content(InstallFile lines) : lines_(std::move(lines)) {}
    const std::string& bytes() const;
    bool empty() const { return lines_ ? lines_->textEmpty() : bytes_->empty(); }
    // The lines written, when a read of the bytes would give them again.
    const InstallFile* lines() const {
        return lines_ && lines_->readsBackAsIs() ? &*lines_ : nullptr;
    }

private:
    mutable std::optional<std::string> bytes_;
    std::optional<InstallFile> lines_;
};

class Disk {
public:
    struct Entry {
        DiskEntry::Kind kind = DiskEntry::Kind::Missing;
        std::shared_ptr<const Content> content; // File
    };

    explicit Disk(const ReadFile& read) : read_(read) {}

    Entry entry(std::string_view path);
    bool exists(std::string_view path) { return entry(path).kind != DiskEntry::Kind::Missing; }
    void write(std::string_view path, InstallFile lines);
    // File::Copy's copy(from, to): false when it fails; a folder as the
    // source still makes an empty copy, as it does.
    bool copy(std::string_view from, std::string_view to);
    bool rename(std::string_view from, std::string_view to);

    // fopen's treatment of a name on this system: "\" made "/", characters
    // outside its list dropped. Empty when it holds "/../" (fopen refuses it).
    static std::optional<std::string> fopenName(std::string_view name);
    // The path as the run's disk keys it, and hands it to ReadFile: "//" and
    // "/./" made one "/", ".." gone up a folder.
    static std::string keyOf(std::string_view path) { return std::string(resolve(path).key()); }
    // What fopen does before it opens: a missing or empty file whose backup
    // exists gets the backup back.
    void takeBackBackup(const std::string& path);
    // fopen for reading (Perl's two-argument open trims blanks at the ends):
    // the content, empty for a folder, or nothing when it cannot be opened.
    std::shared_ptr<const Content> openToRead(const std::string& path);
    // Whether fopen for writing would open the path.
    bool canWrite(const std::string& path);

    std::map<std::string, FileAfter> changes() const;

private:
    // A path as resolve() gives it: nearly always the very path it was
    // given, which then needs no copy and must outlive it.
    struct Resolved {
        std::string_view given; // when it is the path as given
        std::string made;       // else
        bool folderOnly = false; // written with a final "/", "." or ".."
        std::string_view key() const { return given.empty() ? std::string_view(made) : given; }
    };
    static Resolved resolve(std::string_view path);
    Entry lookup(std::string_view key);
    void put(std::string_view key, Entry entry);
    bool canMake(const Resolved& at);
    // Looked up by views of paths, without a string made for each look.
    struct PathHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view path) const {
            return std::hash<std::string_view>()(path);
        }
    };
    using Paths = std::unordered_map<std::string, Entry, PathHash, std::equal_to<>>;

    const ReadFile& read_;
    // Hashed: a run looks paths up a dozen times a block, and the paths of
    // a forum share a long start that a tree compares again and again.
    Paths fromDisk_; // what read_ gave, read once
    Paths written_;  // the run's changes
};

} // namespace torvale::yabmod
