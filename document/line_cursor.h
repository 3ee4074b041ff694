// The lines of a text as the reader sees them: split at CR LF, lone CR and lone
// LF, and a NUL ends the text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace torvale {

// Walks the lines of a text; a line end at the very end adds no empty line. It
// keeps the next CR and LF it has found, so that a text of many lone CRs is not
// searched again for an LF at every line.
class LineCursor {
public:
    explicit LineCursor(std::string_view text)
        : text_(text), lf_(find(0, '\n')), cr_(find(0, '\r')) {}

    bool next(std::string_view& line) {
        const std::size_t size = text_.size();
        if (pos_ >= size)
            return false;
        if (lf_ < pos_)
            lf_ = find(pos_, '\n');
        if (cr_ < pos_)
            cr_ = find(pos_, '\r');
        std::size_t end;
        std::size_t after;
        if (cr_ < lf_) {
            end = cr_;
            after = cr_ + 1 == lf_ ? lf_ + 1 : cr_ + 1;
        } else if (lf_ < size) {
            end = lf_;
            after = lf_ + 1;
        } else {
            end = size;
            after = size;
        }
        line = text_.substr(pos_, end - pos_);
        pos_ = after;
        return true;
    }

private:
    std::size_t find(std::size_t from, char c) const {
        const void* hit = std::memchr(text_.data() + from, c, text_.size() - from);
        return hit ? std::size_t(static_cast<const char*>(hit) - text_.data()) : text_.size();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lf_;
    std::size_t cr_;
};

// The number, counted from 1, of the line that starts at offset (or holds it):
// one more than the line ends before it, CR LF counting as one.
inline std::size_t lineNumberAt(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
}

// How often c stands in text.
std::size_t countByte(std::string_view text, char c);

// How many line ends text holds: CR LF, a lone CR and a lone LF count one
// each, and a CR at the very end counts as a lone one. Sixteen bytes at a time
// where the processor can.
std::size_t countLineBreaks(std::string_view text);

// The text up to its first NUL.
inline std::string_view untilNul(std::string_view text) {
    const void* nul = std::memchr(text.data(), '\0', text.size());
    return nul ? text.substr(0, std::size_t(static_cast<const char*>(nul) - text.data())) : text;
}

} // namespace torvale
