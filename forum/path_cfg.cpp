// Reading the forum script location from path.cfg.
#include "path_cfg.h"

#include "document/file_io.h"

#include <cstring>

namespace torvale {

namespace {

// One line is all that is used; lines after it may hold notes.
constexpr std::size_t kMaxPathCfgSize = std::size_t(1) << 20;

} // namespace

PathCfg LoadFrom_path_cfg(std::string_view programDirectory) {
    PathCfg result;
    const FileBytes file =
        readFileBytes(std::string(programDirectory) + "path.cfg", kMaxPathCfgSize);
    if (!file.ok) {
        result.error = file.error;
        return result;
    }
    const std::string_view bytes = file.bytes();
    if (bytes.find('\0') != std::string_view::npos) {
        result.error = "It holds NUL bytes, so it is not a text file.";
        return result;
    }
    // A line ends at CR LF, LF or CR, as text files from any system do.
    result.location = std::string(bytes.substr(0, bytes.find_first_of("\r\n")));
    result.ok = true;
    return result;
}

} // namespace torvale
