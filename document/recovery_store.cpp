// Recovery copies on disk: their folder, the locks that tell whose they are,
// and how one is written without ever leaving half a file.
#include "recovery_store.h"

#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvale {

namespace fs = std::filesystem;

namespace {

std::string errnoText(int err) {
    return std::generic_category().message(err) + ".";
}

// Writes all of bytes, through short writes and interruptions.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

// Locks the file at path for this process without waiting. The file may have
// been removed by its last owner between the open and the lock; then the lock
// is on a file nobody else will see, and counts for nothing.
int tryLock(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat held {
    }, named{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
        ::stat(path.c_str(), &named) != 0 || held.st_ino != named.st_ino ||
        held.st_dev != named.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string newId() {
    std::random_device random;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%08x%08x", unsigned(random()), unsigned(random()));
    return std::to_string(::getpid()) + "-" + hex;
}

} // namespace

fs::path recoveryFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && fs::path(state).is_absolute())
        return fs::path(state) / "torvale" / "recovery";
    const char* home = std::getenv("HOME");
    if (home && *home)
        return fs::path(home) / ".local" / "state" / "torvale" / "recovery";
    return {};
}

std::optional<FileStamp> fileStamp(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     std::uint64_t(st.st_size)};
}

// ---- Orphans ---------------------------------------------------------------

OrphanCopy::OrphanCopy(fs::path folder, std::string id, int lockFd, RecoveryCopy copy)
    : folder_(std::move(folder)), id_(std::move(id)), lockFd_(lockFd), copy_(std::move(copy)) {}

OrphanCopy::OrphanCopy(OrphanCopy&& other) noexcept
    : folder_(std::move(other.folder_)), id_(std::move(other.id_)),
      lockFd_(std::exchange(other.lockFd_, -1)), copy_(std::move(other.copy_)) {}

OrphanCopy& OrphanCopy::operator=(OrphanCopy&& other) noexcept {
    if (this != &other) {
        release(false);
        folder_ = std::move(other.folder_);
        id_ = std::move(other.id_);
        lockFd_ = std::exchange(other.lockFd_, -1);
        copy_ = std::move(other.copy_);
    }
    return *this;
}

OrphanCopy::~OrphanCopy() {
    release(false);
}

void OrphanCopy::discard() {
    release(true);
}

void OrphanCopy::release(bool removeFiles) {
    if (lockFd_ < 0)
        return;
    if (removeFiles) {
        std::error_code ec;
        fs::remove(folder_ / (id_ + ".copy"), ec);
        fs::remove(folder_ / (id_ + ".tmp"), ec);
        // The lock file goes last, while still locked: whoever opens it
        // meanwhile finds it gone when it looks again.
        fs::remove(folder_ / (id_ + ".lock"), ec);
    }
    ::close(lockFd_);
    lockFd_ = -1;
}

// ---- The store -------------------------------------------------------------

RecoveryStore::RecoveryStore(fs::path folder) : folder_(std::move(folder)), id_(newId()) {}

RecoveryStore::~RecoveryStore() {
    if (lockFd_ < 0)
        return;
    std::error_code ec;
    fs::remove(file(".copy"), ec);
    fs::remove(file(".tmp"), ec);
    fs::remove(file(".lock"), ec);
    ::close(lockFd_);
}

fs::path RecoveryStore::file(const char* extension) const {
    return folder_ / (id_ + extension);
}

bool RecoveryStore::ensureLock(std::string* error) {
    if (lockFd_ >= 0)
        return true;
    const auto fail = [error](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    if (folder_.empty())
        return fail("There is no folder for recovery copies (HOME is not set).");
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (ec)
        return fail(ec.message() + ".");
    // The copies hold the user's unsaved work: for the user alone.
    fs::permissions(folder_, fs::perms::owner_all, ec);
    const int fd = tryLock(file(".lock"));
    if (fd < 0)
        return fail(errnoText(errno));
    lockFd_ = fd;
    return true;
}

bool RecoveryStore::write(const RecoveryCopy& copy, std::string* error) {
    std::lock_guard lock(mutex_);
    if (!ensureLock(error))
        return false;
    const fs::path temporary = file(".tmp");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        errno = 0;
        // fdatasync, so that after a power cut the rename never leaves an
        // empty file in place of the last good copy.
        if (!writeAll(fd, encodeRecoveryCopy(copy)) || ::fdatasync(fd) != 0)
            err = errno ? errno : EIO;
        if (::close(fd) != 0 && err == 0)
            err = errno;
    }
    if (err == 0 && ::rename(temporary.c_str(), file(".copy").c_str()) != 0)
        err = errno;
    if (err != 0) {
        if (error)
            *error = errnoText(err);
        ::unlink(temporary.c_str());
    }
    return err == 0;
}

void RecoveryStore::remove() {
    std::lock_guard lock(mutex_);
    std::error_code ec;
    fs::remove(file(".copy"), ec);
}

bool RecoveryStore::hasCopy() const {
    std::lock_guard lock(mutex_);
    std::error_code ec;
    return fs::exists(file(".copy"), ec);
}

std::vector<OrphanCopy> RecoveryStore::claimOrphans() {
    std::vector<OrphanCopy> orphans;
    std::error_code ec;
    std::vector<std::string> ids;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) {
        const fs::path name = entry.path().filename();
        const std::string extension = name.extension().string();
        if (extension == ".copy" || extension == ".lock")
            ids.push_back(name.stem().string());
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (const std::string& id : ids) {
        if (id == id_)
            continue;
        const int fd = tryLock(folder_ / (id + ".lock"));
        if (fd < 0)
            continue; // its program runs, or another instance claimed it
        const fs::path copyFile = folder_ / (id + ".copy");
        const FileBytes bytes = readFileBytes(copyFile, kMaxModFileSize + 4096);
        OrphanCopy orphan(folder_, id, fd, {});
        if (!bytes.ok) {
            // A lock without a copy: a program that ended with nothing unsaved.
            if (!fs::exists(copyFile, ec))
                orphan.discard();
            continue;
        }
        orphan.copy_ = decodeRecoveryCopy(bytes.bytes());
        if (orphan.copy_.writtenAt == 0)
            if (const auto stamp = fileStamp(copyFile))
                orphan.copy_.writtenAt = stamp->modifiedNs / 1000000000;
        orphans.push_back(std::move(orphan));
    }
    std::stable_sort(orphans.begin(), orphans.end(), [](const OrphanCopy& a, const OrphanCopy& b) {
        return a.copy().writtenAt > b.copy().writtenAt;
    });
    return orphans;
}

bool RecoveryStore::adopt(OrphanCopy&& orphan) {
    std::lock_guard lock(mutex_);
    OrphanCopy taken(std::move(orphan));
    if (taken.lockFd_ < 0 || !ensureLock(nullptr))
        return false;
    if (::rename((taken.folder_ / (taken.id_ + ".copy")).c_str(), file(".copy").c_str()) != 0)
        return false;
    taken.discard();
    return true;
}

} // namespace torvale
