#include "memory_hints.h"

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

} // namespace torvale
