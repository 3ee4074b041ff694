// The copies of unsaved mods kept against a crash: where they live, how one is
// written without ever leaving half a file, and which belong to no running program.
//
// Every program instance has an id and a lock file, <id>.lock, locked for as
// long as the instance runs; its copy is <id>.copy. The system drops the lock
// when the process ends, however it ends, so a copy whose lock can be taken
// belongs to no running program. Taking that lock also claims the copy, so
// two instances starting at once never both offer it.
#pragma once

#include "edit_ops.h"
#include "line_ends.h"
#include "text_encoding.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace torvale {

// $XDG_STATE_HOME/torvale/recovery, or ~/.local/state/torvale/recovery when
// that is unset or not an absolute path; empty when there is no home either.
std::filesystem::path recoveryFolder();

// What tells whether a file changed on disk: its modification time and size.
struct FileStamp {
    std::int64_t modifiedNs = 0;
    std::uint64_t size = 0;

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path, or none when there is no such file.
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);

struct RecoveryCopy {
    std::string path; // the mod file it belongs to, empty for an untitled mod
    TextEncoding encoding = TextEncoding::Utf8;
    std::int64_t writtenAt = 0; // seconds since the epoch
    // The file as it was when last opened or saved, to tell whether it
    // changed on disk since.
    std::optional<FileStamp> diskStamp;
    // The document as it was on screen, texts, tree and labels, which the
    // mod text would not give back as it was (a text that starts with an
    // empty line, a line holding a tag). None in a copy from before copies
    // held it, or a damaged one: then text holds its mod text or its bytes.
    std::optional<DocumentSnapshot> document;
    std::string text;
    // The line ends Save writes the mod with; a copy that holds its mod text
    // tells them by its first line break.
    LineEnds lineEnds = LineEnds::CrLf;

    bool operator==(const RecoveryCopy&) const = default;
};

std::string encodeRecoveryCopy(const RecoveryCopy& copy);
// A copy whose header is damaged keeps all its bytes as text, so nothing of it
// is lost; it then belongs to no path.
RecoveryCopy decodeRecoveryCopy(std::string_view bytes);

// A copy left by an instance that no longer runs, claimed by this one until
// it is discarded, adopted or dropped.
class OrphanCopy {
public:
    OrphanCopy(OrphanCopy&& other) noexcept;
    OrphanCopy& operator=(OrphanCopy&& other) noexcept;
    OrphanCopy(const OrphanCopy&) = delete;
    OrphanCopy& operator=(const OrphanCopy&) = delete;
    // Gives up the claim; the copy stays for a later start.
    ~OrphanCopy();

    const RecoveryCopy& copy() const { return copy_; }
    // Removes the copy for good.
    void discard();

private:
    friend class RecoveryStore;
    OrphanCopy(std::filesystem::path folder, std::string id, int lockFd, RecoveryCopy copy);
    void release(bool removeFiles);

    std::filesystem::path folder_;
    std::string id_;
    int lockFd_ = -1;
    RecoveryCopy copy_;
};

class RecoveryStore {
public:
    // Nothing is created in folder before the first write.
    explicit RecoveryStore(std::filesystem::path folder);
    // A clean end: the copy and the lock go.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    const std::string& id() const { return id_; }

    // Replaces this instance's copy; the new copy takes the old one's place
    // only once it is whole. False with the reason in error when it failed.
    bool write(const RecoveryCopy& copy, std::string* error = nullptr);
    void remove();
    bool hasCopy() const;

    // Copies of instances that no longer run, newest first.
    std::vector<OrphanCopy> claimOrphans();
    // Makes orphan this instance's copy, in one step, so that a crash at any
    // moment leaves it under one of the two names.
    bool adopt(OrphanCopy&& orphan);

private:
    bool ensureLock(std::string* error);
    std::filesystem::path file(const char* extension) const;

    std::filesystem::path folder_;
    std::string id_;
    int lockFd_ = -1;
    mutable std::mutex mutex_;
};

} // namespace torvale
