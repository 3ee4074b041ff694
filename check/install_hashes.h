// The hashes of lines and the filters of blocks of lines that InstallFile
// finds runs of lines with; the line hash also knows lines in LineMemo.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace torvale::install {

// Eight bytes at p, and four, as one number.
inline std::uint64_t load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline std::uint64_t load4(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A hash of a line from its length, its first 16 bytes and its last 8: lines
// of code that agree in all of these are rare, and equal hashes are confirmed
// by comparing the bytes anyway. It costs the same for any line, which
// matters since every line of every text of a large mod is hashed; reads of
// fixed size that may overlap keep it free of calls and of byte loops.
inline std::uint64_t hashOf(std::string_view s) {
    const std::size_t size = s.size();
    const char* p = s.data();
    std::uint64_t head = 0, next = 0, tail = 0;
    if (size >= 16) {
        head = load8(p);
        next = load8(p + 8);
        tail = load8(p + size - 8);
    } else if (size >= 8) {
        head = load8(p);
        next = load8(p + size - 8);
    } else if (size >= 4) {
        head = load4(p) | load4(p + size - 4) << 32;
    } else if (size > 0) {
        head = std::uint64_t(std::uint8_t(p[0])) | std::uint64_t(std::uint8_t(p[size / 2])) << 8 |
               std::uint64_t(std::uint8_t(p[size - 1])) << 16;
    }
    std::uint64_t h = (head ^ (std::uint64_t(size) << 56)) * 0x9E3779B97F4A7C15ull;
    h ^= (next + (h >> 31)) * 0xC2B2AE3D27D4EB4Full;
    h ^= (tail + (h >> 29)) * 0x165667B19E3779F9ull;
    return h ^ (h >> 32);
}

// A block holds this many lines, and is split when it reaches twice that.
// Smaller blocks cost a search more blocks to look at; larger ones cost
// each step more bytes to copy and to move, mostly out of the cache.
inline constexpr std::size_t kBlockLines = 64;

// A block's filter: bits of the hashes of its lines and of each two lines in a
// row, about eight bits for each line it may hold.
inline constexpr std::size_t kFilterWords = kBlockLines / 4;
using Filter = std::array<std::uint64_t, kFilterWords>;

inline std::uint8_t tagOf(std::uint64_t hash) {
    return std::uint8_t(hash >> 56);
}

// Two lines in a row as one value, for the filters: a line as common as "}"
// stands in most blocks, the same two lines in few.
inline std::uint64_t pairOf(std::uint64_t first, std::uint64_t second) {
    const std::uint64_t h = (first ^ (second << 23 | second >> 41)) * 0xD6E8FEB86659FD93ull;
    return h ^ (h >> 31);
}

// The word of a filter that a hash has its bit in.
inline std::size_t wordOf(std::uint64_t hash) {
    return (hash >> 6) % kFilterWords;
}

// One bit of the filter for each hash.
inline void note(Filter& filter, std::uint64_t hash) {
    filter[wordOf(hash)] |= std::uint64_t(1) << (hash & 63);
}

} // namespace torvale::install
