// The line ends a mod file is written with: those it came with, told by its
// first line break, so that saving keeps what the forum's installer expects.
#pragma once

#include <string_view>

namespace torvale {

enum class LineEnds { Lf, CrLf };

// LF alone at the first line break gives LF; CR LF or a lone CR gives CR LF.
// Bytes without any line break give LF, as a new mod is written.
inline LineEnds detectLineEnds(std::string_view bytes) {
    const std::size_t at = bytes.find_first_of("\r\n");
    return at != std::string_view::npos && bytes[at] == '\r' ? LineEnds::CrLf : LineEnds::Lf;
}

inline std::string_view lineEndOf(LineEnds ends) {
    return ends == LineEnds::CrLf ? "\r\n" : "\n";
}

} // namespace torvale
