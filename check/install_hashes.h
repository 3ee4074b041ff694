// The hashes of lines and the filters of blocks of lines that InstallFile
// finds runs of lines with; shared by its files, used nowhere else.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace torvale::install {

// A hash of a line from its length, its first 16 bytes and its last 8: lines
// of code that agree in all of these are rare, and equal hashes are confirmed
// by comparing the bytes anyway. It costs the same for any line, which
// matters since every line of every text of a large mod is hashed.
inline std::uint64_t hashOf(std::string_view s) {
    const std::size_t size = s.size();
    std::uint64_t head[2] = {0, 0};
    std::uint64_t tail = 0;
    if (size)
        std::memcpy(head, s.data(), std::min<std::size_t>(size, 16));
    if (size > 16)
        std::memcpy(&tail, s.data() + size - std::min<std::size_t>(size - 16, 8),
                    std::min<std::size_t>(size - 16, 8));
    std::uint64_t h = (head[0] ^ (size << 56)) * 0x9E3779B97F4A7C15ull;
    h ^= (head[1] + (h >> 31)) * 0xC2B2AE3D27D4EB4Full;
    h ^= (tail + (h >> 29)) * 0x165667B19E3779F9ull;
    return h ^ (h >> 32);
}

// A block holds this many lines, and is split when it reaches twice that.
inline constexpr std::size_t kBlockLines = 64;

inline std::uint8_t tagOf(std::uint64_t hash) {
    return std::uint8_t(hash >> 56);
}

// Two lines in a row as one value, for the filters: a line as common as "}"
// stands in most blocks, the same two lines in few.
inline std::uint64_t pairOf(std::uint64_t first, std::uint64_t second) {
    const std::uint64_t h = (first ^ (second << 23 | second >> 41)) * 0xD6E8FEB86659FD93ull;
    return h ^ (h >> 31);
}

// One bit of 1024 for each hash.
inline void note(std::array<std::uint64_t, 16>& filter, std::uint64_t hash) {
    filter[(hash >> 6) & 15] |= std::uint64_t(1) << (hash & 63);
}

} // namespace torvale::install
