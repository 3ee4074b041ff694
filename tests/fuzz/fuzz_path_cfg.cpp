// libFuzzer target of path.cfg: any bytes give either the reason they are no
// text or the first line as written, after a byte-order mark, without its end.
#include "forum/path_cfg.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const torvale::PathCfg cfg = torvale::parsePathCfg(bytes);
    const bool text = bytes.find('\0') == std::string_view::npos;
    if (cfg.ok != text || cfg.error.empty() != text || (!text && !cfg.location.empty()))
        std::abort();
    if (!text)
        return 0;
    const std::string_view body = bytes.substr(bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    if (!body.starts_with(cfg.location) ||
        cfg.location.find_first_of("\r\n") != std::string_view::npos ||
        (cfg.location.size() < body.size() && body[cfg.location.size()] != '\r' &&
         body[cfg.location.size()] != '\n'))
        std::abort();
    return 0;
}
