// Reading a forum source file for the file-to-edit view.
#include "forum_file.h"

#include "document/file_io.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace torvale {

namespace {

ForumFile outcome(ForumFile::Status status, std::string error = {}) {
    ForumFile file;
    file.status = status;
    file.error = std::move(error);
    return file;
}

constexpr const char* kTooLong =
    "No file can have this name: it, or one of its folders, is longer than this system allows.";

// Whether the system would refuse the name whatever is on the disk: longer
// than a path may be, or with a component longer than a name may be (which
// the system reports only once the folders before it exist).
bool tooLong(std::string_view path) {
    if (path.size() >= PATH_MAX)
        return true;
    while (!path.empty()) {
        const std::size_t end = std::min(path.find('/'), path.size());
        if (end > NAME_MAX)
            return true;
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return false;
}

} // namespace

ForumFile loadForumFile(const std::string& path, std::size_t maxBytes, bool withEncoding) {
    namespace fs = std::filesystem;
    if (path.empty())
        return outcome(ForumFile::Status::NotFound);
    // Names that no file can have are the name's fault, not the disk's: the
    // file is not there, and the reason says why it cannot be.
    if (tooLong(path))
        return outcome(ForumFile::Status::NotFound, kTooLong);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec == std::errc::filename_too_long)
        return outcome(ForumFile::Status::NotFound, kTooLong);
    if (ec == std::errc::too_many_symbolic_link_levels)
        return outcome(ForumFile::Status::NotFound,
                       "No file can have this name: its folders are links that lead round in "
                       "a loop.");
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
        return outcome(ForumFile::Status::Unreadable, ec.message() + ".");
    if (!fs::exists(status) || fs::is_directory(status))
        return outcome(ForumFile::Status::NotFound);
    // Opening a pipe or a device would wait for a writer or read forever.
    if (!fs::is_regular_file(status))
        return outcome(ForumFile::Status::Refused, "It is not a regular file.");
    const auto size = fs::file_size(path, ec);
    if (!ec && size > maxBytes)
        return outcome(ForumFile::Status::Refused,
                       "It is larger than " + std::to_string(maxBytes >> 20) + " MiB.");

    // Copied, not mapped: a forum file may be rewritten while it is shown.
    FileBytes read = readFileBytes(path, maxBytes, FileAccess::Copy);
    if (!read.ok)
        return outcome(ForumFile::Status::Unreadable, read.error);
    if (std::memchr(read.bytes().data(), '\0', read.bytes().size()))
        return outcome(ForumFile::Status::Refused, "It holds NUL bytes, so it is not a text file.");
    ForumFile file;
    file.status = ForumFile::Status::Loaded;
    if (withEncoding)
        file.encoding = detectEncoding(read.bytes());
    file.content = std::move(read.content);
    return file;
}

} // namespace torvale
