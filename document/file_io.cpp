#include "file_io.h"

#include "memory_hints.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <system_error>

#if __has_include(<sys/mman.h>) && __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#define TORVALE_HAVE_MMAP 1
#endif

namespace torvale {

namespace {

FileBytes failure(std::string why) {
    FileBytes result;
    result.error = std::move(why);
    return result;
}

std::string errnoText(int err) {
    return std::generic_category().message(err) + ".";
}

std::string tooLarge(std::size_t maxBytes) {
    const std::string size =
        maxBytes >= (std::size_t(1) << 20) && maxBytes % (std::size_t(1) << 20) == 0
            ? std::to_string(maxBytes >> 20) + " MiB"
            : std::to_string(maxBytes) + " bytes";
    return "The file is larger than " + size + ".";
}

// Memory for the bytes of a file: a string for small files, a block of huge
// pages for large ones, which the system fills with far fewer page faults.
class Buffer {
public:
    explicit Buffer(std::size_t capacity) {
        if (capacity >= kHugePage) {
            block_ = std::make_shared<std::unique_ptr<void, FreeBlock>>(allocateLarge(capacity));
            data_ = static_cast<char*>(block_->get());
            capacity_ = capacity;
        } else {
            string_ = std::make_shared<std::string>();
            string_->resize(capacity);
            data_ = string_->data();
            capacity_ = capacity;
        }
    }
    char* data() const { return data_; }
    std::size_t capacity() const { return capacity_; }
    // Grows a string buffer (special files report no size); keeps the bytes.
    void grow(std::size_t capacity) {
        if (!string_) {
            auto copy = std::make_shared<std::string>(data_, capacity_);
            block_.reset();
            string_ = std::move(copy);
        }
        string_->resize(capacity);
        data_ = string_->data();
        capacity_ = capacity;
    }
    SharedBytes take(std::size_t size) {
        std::shared_ptr<const void> owner =
            string_ ? std::shared_ptr<const void>(string_) : std::shared_ptr<const void>(block_);
        return {std::move(owner), std::string_view(data_, size)};
    }

private:
    std::shared_ptr<std::unique_ptr<void, FreeBlock>> block_;
    std::shared_ptr<std::string> string_;
    char* data_ = nullptr;
    std::size_t capacity_ = 0;
};

#ifdef TORVALE_HAVE_MMAP
// Maps a regular file; nullopt-like empty result (ok false, no error) when
// mapping does not apply, so that the caller reads the file instead.
FileBytes mapFile(const std::filesystem::path& path, std::size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(errnoText(errno));
    struct stat st {};
    FileBytes result;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        const auto size = std::size_t(st.st_size);
        if (size > maxBytes) {
            ::close(fd);
            return failure(tooLarge(maxBytes));
        }
        // MAP_POPULATE maps every page at once instead of one fault at a time.
        void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (data != MAP_FAILED) {
            result.ok = true;
            result.content.owner =
                std::shared_ptr<const void>(data, [size, fd](const void* p) {
                    ::munmap(const_cast<void*>(p), size);
                    ::close(fd);
                });
            result.content.bytes = std::string_view(static_cast<const char*>(data), size);
            result.descriptor = fd;
            return result;
        }
    }
    ::close(fd);
    return result;
}
#endif

} // namespace

FileBytes readFileBytes(const std::filesystem::path& path, std::size_t maxBytes,
                        FileAccess access) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status))
        return failure("It is a folder, not a file.");
#ifdef TORVALE_HAVE_MMAP
    if (access == FileAccess::Map) {
        FileBytes mapped = mapFile(path, maxBytes);
        if (mapped.ok || !mapped.error.empty())
            return mapped;
    }
#else
    (void)access;
#endif

    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file)
        return failure(errnoText(errno ? errno : EIO));

    std::size_t capacity = std::size_t(1) << 16;
    if (std::filesystem::is_regular_file(status)) {
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec && size > maxBytes)
            return failure(tooLarge(maxBytes));
        if (!ec)
            capacity = std::size_t(size) + 1; // one more, to meet the end of the file
    }
    // Special files report no size, and a file may grow while it is read, so
    // the limit is checked on what arrives too.
    Buffer buffer(capacity);
    std::size_t used = 0;
    for (;;) {
        if (used == buffer.capacity())
            buffer.grow(std::min(2 * used, maxBytes + 1));
        const std::size_t n =
            std::fread(buffer.data() + used, 1, buffer.capacity() - used, file.get());
        used += n;
        if (used > maxBytes)
            return failure(tooLarge(maxBytes));
        if (n == 0) {
            if (std::ferror(file.get()))
                return failure(errnoText(errno ? errno : EIO));
            break;
        }
    }
    FileBytes result;
    result.ok = true;
    result.content = buffer.take(used);
    return result;
}

namespace {

WriteResult writeFailure(int err) {
    return {false, errnoText(err ? err : EIO)};
}

// A name beside target for the new content while it is written.
std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
    static std::mt19937 random{std::random_device{}()};
    std::filesystem::path name = target;
    name += ".tmp-" + std::to_string(random());
    return name;
}

} // namespace

WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ec;
    // Replacing a link would turn it into a file: replace what it points to.
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(path, ec)) {
        target = std::filesystem::weakly_canonical(path, ec);
        if (ec)
            return writeFailure(ec.value());
    }
    if (std::filesystem::is_directory(target, ec))
        return {false, "It is a folder, not a file."};
    const auto oldStatus = std::filesystem::status(target, ec);
    const bool existed = std::filesystem::exists(oldStatus);

    std::filesystem::path temporary;
    std::FILE* file = nullptr;
    for (unsigned attempt = 0; !file && attempt < 100; ++attempt) {
        temporary = temporaryBeside(target);
        errno = 0;
        file = std::fopen(temporary.c_str(), "wbx"); // x: never an existing file
        if (!file && errno != EEXIST)
            return writeFailure(errno);
    }
    if (!file)
        return writeFailure(EEXIST);

    errno = 0;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
              std::fflush(file) == 0;
#ifdef TORVALE_HAVE_MMAP
    ok = ok && ::fsync(::fileno(file)) == 0;
#endif
    int err = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && existed) {
        std::filesystem::permissions(temporary, oldStatus.permissions(), ec);
        if (ec) {
            ok = false;
            err = ec.value();
        }
    }
    if (ok) {
        std::filesystem::rename(temporary, target, ec);
        if (!ec)
            return {true, {}};
        ok = false;
        err = ec.value();
    }
    std::filesystem::remove(temporary, ec);
    return writeFailure(err);
}

} // namespace torvale
