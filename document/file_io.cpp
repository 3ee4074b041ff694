#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
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

std::string errnoText(int err) { return std::generic_category().message(err) + "."; }

std::string tooLarge(std::size_t maxBytes) {
    const std::string size = maxBytes >= (std::size_t(1) << 20) &&
                                     maxBytes % (std::size_t(1) << 20) == 0
                                 ? std::to_string(maxBytes >> 20) + " MiB"
                                 : std::to_string(maxBytes) + " bytes";
    return "The file is larger than " + size + ".";
}

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
            result.content.owner = std::shared_ptr<const void>(
                data, [size](const void* p) { ::munmap(const_cast<void*>(p), size); });
            result.content.bytes = std::string_view(static_cast<const char*>(data), size);
        }
    }
    ::close(fd);
    return result;
}
#endif

FileBytes copyFile(const std::filesystem::path& path, std::size_t maxBytes,
                   const std::filesystem::file_status& status) {
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
    if (!file)
        return failure(errnoText(errno ? errno : EIO));

    std::error_code ec;
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
    auto bytes = std::make_shared<std::string>();
    std::size_t used = 0;
    for (;;) {
        if (used == bytes->size())
            bytes->resize(std::max(capacity, std::min(2 * used, maxBytes + 1)));
        const std::size_t n =
            std::fread(bytes->data() + used, 1, bytes->size() - used, file.get());
        used += n;
        if (used > maxBytes)
            return failure(tooLarge(maxBytes));
        if (n == 0) {
            if (std::ferror(file.get()))
                return failure(errnoText(errno ? errno : EIO));
            break;
        }
    }
    bytes->resize(used);
    FileBytes result;
    result.ok = true;
    result.content.bytes = *bytes;
    result.content.owner = std::move(bytes);
    return result;
}

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
    return copyFile(path, maxBytes, status);
}

} // namespace torvale
