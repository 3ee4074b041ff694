// Finding a text in the bytes of a large text, line breaks of any form
// matching the CR LF of the search text: the Preview and the file-to-edit
// view search their bytes this way, without decoding them.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace torvale {

struct ByteRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// The first occurrence of needle in text that begins at or after from. Each
// CR LF of needle matches one line break of text, whether CR LF, LF or a lone
// CR; every other byte matches itself. needle holds no CR or LF but in CR LF
// pairs. An empty needle is never found.
std::optional<ByteRange> findText(std::string_view text, std::string_view needle, std::size_t from);

} // namespace torvale
