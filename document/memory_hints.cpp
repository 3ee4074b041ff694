#include "memory_hints.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace torvale {

void FreeBlock::operator()(void* block) const {
    std::free(block);
}

std::unique_ptr<void, FreeBlock> allocateLarge(std::size_t size) {
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* block = std::aligned_alloc(kHugePage, rounded);
    if (!block)
        throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    // Only advice: where huge pages are off, the block has ordinary pages.
    madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return std::unique_ptr<void, FreeBlock>(block);
}

void adviseHugePages(void* block, std::size_t size) {
#if defined(MADV_HUGEPAGE)
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kHugePage - 1) / kHugePage * kHugePage;
    const std::uintptr_t end = (start + size) / kHugePage * kHugePage;
    if (first < end)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}

} // namespace torvale
