// glibc's allocator told to keep large freed blocks: the file after a step of
// a 5 MiB file makes a dozen texts that size, and fresh pages took half its
// time; a check of a 32 MiB mod frees and takes again some 30 MiB, whose
// pages, faulted in anew (about 12 µs each on a virtual machine), cost a
// third of the check.
#include "allocator.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace torvale {

void keepFreedMemoryForReuse() {
#ifdef __GLIBC__
    // Blocks under 32 MiB come from the heap, and up to 64 MiB freed at its
    // top stay there; larger ones are mapped and unmapped as before.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

} // namespace torvale
