// Reading the forum script location from path.cfg.
#include "path_cfg.h"

#include "document/file_io.h"

namespace torvale {

namespace {

// One line is all that is used; lines after it may hold notes.
constexpr std::size_t kMaxPathCfgSize = std::size_t(1) << 20;

} // namespace

PathCfg parsePathCfg(std::string_view bytes) {
    PathCfg result;
    if (bytes.find('\0') != std::string_view::npos) {
        result.error = "It holds NUL bytes, so it is not a text file.";
        return result;
    }
    // Notepad on Windows starts a UTF-8 file with a byte-order mark.
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    // A line ends at CR LF, LF or CR, as text files from any system do.
    result.location = std::string(bytes.substr(0, bytes.find_first_of("\r\n")));
    result.ok = true;
    return result;
}

PathCfg LoadFrom_path_cfg(std::string_view programDirectory) {
    const FileBytes file =
        readFileBytes(std::string(programDirectory) + "path.cfg", kMaxPathCfgSize);
    if (!file.ok) {
        PathCfg result;
        result.error = file.error;
        return result;
    }
    return parsePathCfg(file.bytes());
}

} // namespace torvale
