// Reading and writing whole files, with errors in words a user can act on.
#pragma once

#include "text.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace torvale {

// Mod files larger than this are refused: they would hold several hundred MiB
// once read and assembled.
inline constexpr std::size_t kMaxModFileSize = std::size_t(256) << 20;

enum class FileAccess {
    Copy, // the bytes are read into memory of their own
    // The file is mapped into memory where the system allows it: no copy and
    // nothing to clear, which suits a short-lived reader of a large file; but
    // the bytes change if the file is changed meanwhile, and reading them
    // fails (SIGBUS) if it is cut short.
    Map,
};

struct FileBytes {
    bool ok = false;
    SharedBytes content;
    // For a mapped file: the file, open for reading while content's owner
    // lives, so that its bytes can be copied on inside the system; else -1.
    int descriptor = -1;
    // When not ok: why, e.g. "No such file or directory."
    std::string error;

    std::string_view bytes() const { return content.bytes; }
};

// Reads the whole file. Directories, unreadable files and files of more than
// maxBytes bytes give an error instead of bytes.
FileBytes readFileBytes(const std::filesystem::path& path, std::size_t maxBytes,
                        FileAccess access = FileAccess::Copy);

struct WriteResult {
    bool ok = false;
    // When not ok: why, e.g. "Permission denied."
    std::string error;
};

// Makes bytes the whole content of the file at path. They go to a temporary
// file in the same folder, which replaces the file only when all of it is on
// the disk, so a write that fails leaves the old file as it was. An existing
// file keeps its permissions, and a symbolic link stays a link to the file
// that is replaced.
WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace torvale
