// Byte search with line breaks of any form.
#include "text_search.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace torvale {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// The length of the line break at pos, 0 when there is none.
std::size_t breakAt(std::string_view text, std::size_t pos) {
    if (pos >= text.size())
        return 0;
    if (text[pos] == '\r')
        return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
    return text[pos] == '\n' ? 1 : 0;
}

// Where pieces[1..] (the lines of needle after the first) end when they
// follow at pos, each after a line break; nothing when they do not.
std::optional<std::size_t>
restMatches(std::string_view text, const std::vector<std::string_view>& pieces, std::size_t pos) {
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        const std::size_t lineBreak = breakAt(text, pos);
        if (lineBreak == 0)
            return std::nullopt;
        pos += lineBreak;
        if (text.substr(pos, pieces[i].size()) != pieces[i])
            return std::nullopt;
        pos += pieces[i].size();
    }
    return pos;
}

} // namespace

std::optional<ByteRange> findText(std::string_view text, std::string_view needle,
                                  std::size_t from) {
    if (needle.empty() || from >= text.size())
        return std::nullopt;
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t cut = needle.find(kCrLf, start);
        pieces.push_back(needle.substr(start, cut - start));
        if (cut == std::string_view::npos)
            break;
        start = cut + kCrLf.size();
    }
    const std::string_view first = pieces.front();

    if (first.empty()) {
        // The needle opens with a line break: every break is a candidate, a CR
        // LF only at its CR.
        for (std::size_t pos = from; pos < text.size(); ++pos) {
            if (text[pos] != '\r' && (text[pos] != '\n' || (pos > 0 && text[pos - 1] == '\r')))
                continue;
            if (const auto end = restMatches(text, pieces, pos))
                return ByteRange{pos, *end};
        }
        return std::nullopt;
    }
    // Boyer-Moore-Horspool skips through tens of megabytes far faster than
    // comparing at every byte.
    const std::boyer_moore_horspool_searcher searcher(first.begin(), first.end());
    for (auto it = text.begin() + std::ptrdiff_t(from);;) {
        const auto found = std::search(it, text.end(), searcher);
        if (found == text.end())
            return std::nullopt;
        const std::size_t pos = std::size_t(found - text.begin());
        if (const auto end = restMatches(text, pieces, pos + first.size()))
            return ByteRange{pos, *end};
        it = found + 1;
    }
}

} // namespace torvale
