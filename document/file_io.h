// Reading whole files, with errors in words a user can act on.
#pragma once

#include "text.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace torvale {

// Mod files larger than this are refused: they would hold several hundred MiB
// once read and assembled.
inline constexpr std::size_t kMaxModFileSize = std::size_t(256) << 20;

struct FileBytes {
    bool ok = false;
    SharedBytes content;
    // When not ok: why, e.g. "No such file or directory."
    std::string error;

    std::string_view bytes() const { return content.bytes; }
};

// Reads the whole file into memory of its own. Directories, unreadable files
// and files of more than maxBytes bytes give an error instead of bytes.
FileBytes readFileBytes(const std::filesystem::path& path, std::size_t maxBytes);

} // namespace torvale
