// Hints to the system about large blocks of memory.
#pragma once

#include <cstddef>
#include <memory>

namespace torvale {

// A block of at least size bytes, aligned for huge pages and marked for them
// where the system has them: touching it then costs one page fault per 2 MiB
// instead of one per 4 KiB, which decides the speed of reading large mods.
// The memory is not initialised.
struct FreeBlock {
    void operator()(void* block) const;
};
std::unique_ptr<void, FreeBlock> allocateLarge(std::size_t size);

inline constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Marks the whole huge pages within a block allocated otherwise (an array
// of millions of entries, say) for huge pages, before it is first written.
void adviseHugePages(void* block, std::size_t size);

} // namespace torvale
