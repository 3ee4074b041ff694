// Reading a forum source file for display: found, refused (too large, binary,
// not a regular file) or unreadable, each with its reason.
#pragma once

#include "document/text.h"
#include "document/text_encoding.h"

#include <cstddef>
#include <string>

namespace torvale {

// Forum sources are a few hundred KiB; a file far beyond that is not one.
inline constexpr std::size_t kMaxForumFileSize = std::size_t(64) << 20;

struct ForumFile {
    enum class Status {
        Loaded,     // content holds the file
        // No file at the path (or the path is empty, or a folder); error
        // says why when no file can have that name (too long, a loop of links).
        NotFound,
        Refused,    // not shown, for the reason in error
        Unreadable, // the system could not read it, for the reason in error
    };
    Status status = Status::NotFound;
    SharedBytes content;
    // How to show content: UTF-8 when all of it is, else Windows-1252.
    TextEncoding encoding = TextEncoding::Utf8;
    std::string error;
};

// withEncoding: whether to work out how to show it, which a reader that only
// compares its bytes does without.
ForumFile loadForumFile(const std::string& path, std::size_t maxBytes = kMaxForumFileSize,
                        bool withEncoding = true);

} // namespace torvale
