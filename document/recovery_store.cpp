// Recovery copies on disk: their folder, their format, the locks that tell
// whose they are, and the thread that writes them.
#include "recovery_store.h"

#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
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

// Copies of the first kind hold the mod text; of the second, the document.
constexpr std::string_view kMagicText = "Torvale recovery copy 1";
constexpr std::string_view kMagic = "Torvale recovery copy 2";

std::string errnoText(int err) {
    return std::generic_category().message(err) + ".";
}

std::string escapeLine(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescapeLine(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

template <class Int> bool parseInt(std::string_view text, Int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
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

// ---- The copy's format -----------------------------------------------------
// A few header lines, an empty line, then the document: the number of nodes,
// the five properties, and each node in display order as its level, kind and
// label form followed by its three texts. Each text is its size, a colon and
// its bytes, so that any bytes at all come back as they were.

namespace {

void putText(std::string& out, std::string_view text) {
    out += std::to_string(text.size());
    out += ':';
    out += text;
    out += '\n';
}

std::string encodeDocument(const DocumentSnapshot& doc) {
    std::size_t size = 32;
    for (const Text& text : doc.texts)
        size += text.size() + 16;
    std::string out;
    out.reserve(size + 16 * doc.nodes.size());
    out += "nodes " + std::to_string(doc.nodes.size()) + "\n";
    std::size_t next = 0;
    for (int p = 0; p < kPropertyCount; ++p)
        putText(out, doc.texts[next++].view());
    for (const DocumentSnapshot::Shape& node : doc.nodes) {
        out += std::to_string(node.level) + " " + std::to_string(node.kind) + " " +
               std::to_string(int(node.form)) + "\n";
        for (int t = 0; t < 3; ++t)
            putText(out, doc.texts[next++].view());
    }
    return out;
}

// Reads what encodeDocument wrote; none unless all of it is whole and makes
// a document of two levels, edit files on the top.
std::optional<DocumentSnapshot> decodeDocument(std::string_view rest) {
    const auto number = [&rest](char end, std::uint64_t limit, std::uint64_t& value) {
        const std::size_t at = rest.find(end);
        if (at == std::string_view::npos || !parseInt(rest.substr(0, at), value) || value > limit)
            return false;
        rest.remove_prefix(at + 1);
        return true;
    };
    DocumentSnapshot doc;
    const auto text = [&]() {
        std::uint64_t size = 0;
        if (!number(':', rest.size(), size) || rest.size() < size + 1 || rest[size] != '\n')
            return false;
        doc.texts.emplace_back(rest.substr(0, size));
        rest.remove_prefix(size + 1);
        return true;
    };
    std::uint64_t count = 0;
    if (!rest.starts_with("nodes "))
        return std::nullopt;
    rest.remove_prefix(6);
    // Each node takes at least a dozen bytes: no count claims more than there is.
    if (!number('\n', rest.size() / 12, count))
        return std::nullopt;
    for (int p = 0; p < kPropertyCount; ++p)
        if (!text())
            return std::nullopt;
    bool editFileAbove = false;
    for (std::uint64_t n = 0; n < count; ++n) {
        std::uint64_t level = 0, kind = 0, form = 0;
        if (!number(' ', 1, level) || !number(' ', akSearchAddAfter, kind) ||
            !number('\n', std::uint64_t(LabelForm::Edited), form))
            return std::nullopt;
        // Search actions alone go under an edit file.
        if (level == 1 && (!editFileAbove || kind == akEditFile))
            return std::nullopt;
        if (level == 0)
            editFileAbove = kind == akEditFile;
        doc.nodes.push_back({std::uint8_t(level), std::int32_t(kind), LabelForm(form)});
        for (int t = 0; t < 3; ++t)
            if (!text())
                return std::nullopt;
    }
    if (!rest.empty())
        return std::nullopt;
    return doc;
}

} // namespace

std::string encodeRecoveryCopy(const RecoveryCopy& copy) {
    std::string out(copy.document ? kMagic : kMagicText);
    out += "\npath ";
    out += escapeLine(copy.path);
    out += "\nencoding ";
    out += copy.encoding == TextEncoding::Utf8 ? "UTF-8" : "Windows-1252";
    out += "\nwritten " + std::to_string(copy.writtenAt);
    if (copy.diskStamp)
        out += "\ndisk " + std::to_string(copy.diskStamp->modifiedNs) + " " +
               std::to_string(copy.diskStamp->size);
    out += "\n\n";
    if (copy.document)
        out += encodeDocument(*copy.document);
    else
        out += copy.text;
    return out;
}

RecoveryCopy decodeRecoveryCopy(std::string_view bytes) {
    RecoveryCopy copy;
    std::string_view rest = bytes;
    const auto nextLine = [&rest](std::string_view& line) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos)
            return false;
        line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        return true;
    };
    std::string_view line;
    bool whole = nextLine(line) && (line == kMagic || line == kMagicText);
    const bool ofDocument = whole && line == kMagic;
    while (whole) {
        if (!nextLine(line)) {
            whole = false;
            break;
        }
        if (line.empty())
            break;
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view value =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (key == "path") {
            copy.path = unescapeLine(value);
        } else if (key == "encoding") {
            copy.encoding = value == "UTF-8" ? TextEncoding::Utf8 : TextEncoding::Windows1252;
        } else if (key == "written") {
            whole = parseInt(value, copy.writtenAt);
        } else if (key == "disk") {
            FileStamp stamp;
            const std::size_t gap = value.find(' ');
            whole = gap != std::string_view::npos &&
                    parseInt(value.substr(0, gap), stamp.modifiedNs) &&
                    parseInt(value.substr(gap + 1), stamp.size);
            copy.diskStamp = stamp;
        }
    }
    if (whole && ofDocument) {
        copy.document = decodeDocument(rest);
        whole = copy.document.has_value();
    }
    if (!whole) {
        copy = RecoveryCopy();
        copy.encoding = detectEncoding(bytes);
        copy.text = std::string(bytes);
        return copy;
    }
    if (!ofDocument)
        copy.text = std::string(rest);
    return copy;
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
