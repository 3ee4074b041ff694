#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace torvale {

namespace {

FileBytes failure(std::string why) {
    FileBytes result;
    result.error = std::move(why);
    return result;
}

std::string errnoText(int err) { return std::generic_category().message(err); }

std::string sizeText(std::size_t bytes) {
    if (bytes >= (std::size_t(1) << 20) && bytes % (std::size_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

FileBytes readFileBytes(const std::filesystem::path& path, std::size_t maxBytes) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status))
        return failure("It is a folder, not a file.");

    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
    if (!file)
        return failure(errnoText(errno ? errno : EIO) + ".");

    FileBytes result;
    std::size_t capacity = std::size_t(1) << 16;
    if (std::filesystem::is_regular_file(status)) {
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec && size > maxBytes)
            return failure("The file is larger than " + sizeText(maxBytes) + ".");
        if (!ec)
            capacity = std::size_t(size) + 1; // one more, to meet the end of the file
    }
    // Special files report no size, and a file may grow while it is read, so
    // the limit is checked on what arrives too.
    std::size_t used = 0;
    for (;;) {
        if (used == result.bytes.size())
            result.bytes.resize(std::max(capacity, std::min(2 * used, maxBytes + 1)));
        const std::size_t n =
            std::fread(result.bytes.data() + used, 1, result.bytes.size() - used, file.get());
        used += n;
        if (used > maxBytes)
            return failure("The file is larger than " + sizeText(maxBytes) + ".");
        if (n == 0) {
            if (std::ferror(file.get()))
                return failure(errnoText(errno ? errno : EIO) + ".");
            break;
        }
    }
    result.bytes.resize(used);
    result.ok = true;
    return result;
}

} // namespace torvale
