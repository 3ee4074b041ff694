// Finding and changing runs of lines of a forum file the installer's way,
// and writing the result and its unified diff.
#include "install_file.h"

#include <algorithm>
#include <cstring>

namespace torvale {

namespace {

// A fast hash of a line; equal hashes are confirmed by comparing the bytes.
std::uint64_t hashOf(std::string_view s) {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    std::uint64_t h = s.size() * kMul;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t v;
        std::memcpy(&v, s.data() + i, 8);
        h = (h ^ v) * kMul;
        h ^= h >> 29;
    }
    if (i < s.size()) {
        std::uint64_t v = 0;
        std::memcpy(&v, s.data() + i, s.size() - i);
        h = (h ^ v) * kMul;
        h ^= h >> 29;
    }
    return h ^ (h >> 32);
}

// text without its carriage returns, in storage when it holds any but at its end.
std::string_view withoutCr(std::string_view text, std::deque<std::string>& storage) {
    std::string_view trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\r')
        trimmed.remove_suffix(1);
    if (trimmed.find('\r') == std::string_view::npos)
        return trimmed;
    std::string& kept = storage.emplace_back();
    for (const char c : trimmed)
        if (c != '\r')
            kept.push_back(c);
    return kept;
}

} // namespace

std::vector<std::string_view> installerLines(std::string_view text,
                                             std::deque<std::string>& storage) {
    // Only CR LF pairs, as texts read from a mod or typed hold: the lines are
    // the text's own bytes.
    bool pairsOnly = true;
    for (std::size_t cr = text.find('\r'); cr != std::string_view::npos && pairsOnly;
         cr = text.find('\r', cr + 1))
        pairsOnly = cr + 1 < text.size() && text[cr + 1] == '\n';
    if (!pairsOnly) {
        std::string& kept = storage.emplace_back();
        for (const char c : text)
            if (c != '\r')
                kept.push_back(c);
        text = kept;
    }
    if (text.ends_with('\n'))
        text.remove_suffix(text.ends_with("\r\n") ? 2 : 1);
    std::vector<std::string_view> lines;
    if (text.empty())
        return lines;
    for (std::size_t start = 0;;) {
        const std::size_t lf = text.find('\n', start);
        std::string_view line = text.substr(start, lf == std::string_view::npos ? lf : lf - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos)
            return lines;
        start = lf + 1;
    }
}

InstallFile::InstallFile(std::string_view bytes) : bytes_(bytes) {
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        const std::string_view raw = bytes.substr(start, end - start);
        original_.push_back({withoutCr(raw, keys_), raw, std::int64_t(original_.size())});
        start = end + 1;
    }
    finalBreak_ = bytes.empty() || bytes.back() == '\n';
    // The first line's ending, when it has one.
    if (!original_.empty() && original_.front().raw.ends_with('\r') &&
        (original_.size() > 1 || finalBreak_))
        addedEnding_ = "\r\n";
    lines_ = original_;
    hashes_.reserve(lines_.size());
    for (const Line& line : lines_)
        hashes_.push_back(hashOf(line.key));
}

bool InstallFile::matchesAt(std::size_t at, std::span<const std::string_view> search,
                            std::span<const std::uint64_t> hashes) const {
    for (std::size_t j = 0; j < search.size(); ++j)
        if (hashes_[at + j] != hashes[j] || lines_[at + j].key != search[j])
            return false;
    return true;
}

std::optional<InstallFile::Found>
InstallFile::find(std::span<const std::string_view> search) const {
    if (search.empty() || search.size() > lines_.size())
        return std::nullopt;
    std::vector<std::uint64_t> hashes(search.size());
    std::ranges::transform(search, hashes.begin(), hashOf);
    std::optional<Found> found;
    const std::size_t last = lines_.size() - search.size();
    const std::uint64_t first = hashes[0];
    const std::uint64_t* h = hashes_.data();
    for (std::size_t at = 0; at <= last; ++at) {
        if (h[at] != first || !matchesAt(at, search, hashes))
            continue;
        if (found) {
            found->again = at;
            return found;
        }
        found = Found{at, std::string_view::npos};
    }
    return found;
}

void InstallFile::insert(std::size_t at, std::span<const std::string_view> lines) {
    std::vector<Line> added;
    added.reserve(lines.size());
    for (const std::string_view line : lines)
        added.push_back({line, line, -1});
    lines_.insert(lines_.begin() + std::ptrdiff_t(at), added.begin(), added.end());
    std::vector<std::uint64_t> hashes(lines.size());
    std::ranges::transform(lines, hashes.begin(), hashOf);
    hashes_.insert(hashes_.begin() + std::ptrdiff_t(at), hashes.begin(), hashes.end());
}

void InstallFile::erase(std::size_t at, std::size_t count) {
    lines_.erase(lines_.begin() + std::ptrdiff_t(at), lines_.begin() + std::ptrdiff_t(at + count));
    hashes_.erase(hashes_.begin() + std::ptrdiff_t(at),
                  hashes_.begin() + std::ptrdiff_t(at + count));
}

void InstallFile::apply(Change change, std::size_t line, std::size_t count,
                        std::span<const std::string_view> lines) {
    switch (change) {
    case Change::AddBefore:
        insert(line, lines);
        return;
    case Change::AddAfter:
        insert(line + count, lines);
        return;
    case Change::Replace: {
        // Lines that the replacement keeps at its start and end stay the
        // file's own, so that the diff shows only what changes.
        std::size_t head = 0;
        while (head < count && head < lines.size() && lines_[line + head].key == lines[head])
            ++head;
        std::size_t tail = 0;
        while (tail < count - head && tail < lines.size() - head &&
               lines_[line + count - 1 - tail].key == lines[lines.size() - 1 - tail])
            ++tail;
        erase(line + head, count - head - tail);
        insert(line + head, lines.subspan(head, lines.size() - head - tail));
        return;
    }
    }
}

std::string_view InstallFile::ending(const Line& line, bool last) const {
    if (last && !finalBreak_)
        return {};
    return line.origin < 0 ? addedEnding_ : std::string_view("\n");
}

bool InstallFile::changed() const {
    const bool same = lines_.size() == original_.size() &&
                      std::ranges::none_of(lines_, [](const Line& l) { return l.origin < 0; });
    return !same && text() != bytes_;
}

std::string InstallFile::text() const {
    std::string out;
    out.reserve(bytes_.size() + bytes_.size() / 8);
    for (std::size_t i = 0; i < lines_.size(); ++i)
        out.append(lines_[i].raw).append(ending(lines_[i], i + 1 == lines_.size()));
    return out;
}

} // namespace torvale
