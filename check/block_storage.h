// Storage for InstallFile's blocks of lines, which come and go by the
// thousand as copies of a file change them: a block's lines live inside the
// block, so that a block is one allocation; blocks come from slabs of huge
// pages, and freed ones are reused by the thread that frees them.
#pragma once

#include "document/memory_hints.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace torvale::install {

// At most N values in place, moved with memmove: for trivially copyable
// values only. Iterators are pointers.
template <class T, std::size_t N>
class InlineVector {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    InlineVector() noexcept {} // the values are left unset, as a vector's spare room is
    InlineVector(const InlineVector& from) noexcept : size_(from.size_) {
        std::memcpy(data_, from.data_, size_ * sizeof(T));
    }
    InlineVector& operator=(const InlineVector& from) noexcept {
        size_ = from.size_;
        std::memcpy(data_, from.data_, size_ * sizeof(T));
        return *this;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    const T& back() const { return data_[size_ - 1]; }

    void assign(const T* first, std::size_t count) {
        size_ = std::uint32_t(count);
        std::memcpy(data_, first, count * sizeof(T));
    }
    // count values from first put in at index; the size must stay within N.
    T* insert(std::size_t index, const T* first, std::size_t count) {
        T* const at = open(index, count);
        std::memcpy(at, first, count * sizeof(T));
        return at;
    }
    // Room for count values at index, left unset.
    T* open(std::size_t index, std::size_t count) {
        std::memmove(data_ + index + count, data_ + index, (size_ - index) * sizeof(T));
        size_ += std::uint32_t(count);
        return data_ + index;
    }
    void erase(std::size_t index, std::size_t count) {
        std::memmove(data_ + index, data_ + index + count, (size_ - index - count) * sizeof(T));
        size_ -= std::uint32_t(count);
    }

private:
    std::uint32_t size_ = 0;
    T data_[N];
};

// An allocator for std::allocate_shared of blocks: single objects come from
// slabs of 2 MiB marked for huge pages (a large check touches tens of MiB of
// blocks, and a page fault for every 4 KiB of them cost more than the work),
// and freed ones are kept, up to a limit, by the freeing thread and handed
// out again first. A slab whose last object comes back is kept for the next
// check, up to a limit, else given back to the system. Under
// AddressSanitizer each block is allocated on its own, so that every use
// after free is seen.
template <class T>
class BlockAllocator {
public:
    using value_type = T;
    BlockAllocator() = default;
    template <class U>
    BlockAllocator(const BlockAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
#if !defined(__SANITIZE_ADDRESS__)
        if (n == 1)
            return static_cast<T*>(kept_.count > 0 ? kept_.at[--kept_.count] : carve());
#endif
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
#if !defined(__SANITIZE_ADDRESS__)
        if (n == 1) {
            if (!kept_.closed && kept_.count < kMostKept) {
                reapAtThreadEnd();
                kept_.at[kept_.count++] = p;
            } else {
                giveBack(p);
            }
            return;
        }
#else
        (void)n;
#endif
        ::operator delete(p);
    }
    template <class U>
    bool operator==(const BlockAllocator<U>&) const noexcept {
        return true;
    }
    // The slabs of all threads with objects in use, or still carved from.
    static std::size_t slabs() { return slabs_.load(); }

private:
    // About two megabytes of blocks: a step of a large mod lets go of a
    // few of them at a time and takes as many again.
    static constexpr std::size_t kMostKept = 512;
    static constexpr std::size_t kSlabBytes = kHugePage;
    // Each object on a cache line of its own, the slab's header on the first.
    static constexpr std::size_t kObjectBytes = (sizeof(T) + 63) / 64 * 64;
    static constexpr std::size_t kFirst = 64;
    static_assert(alignof(T) <= 64 && kFirst + kObjectBytes <= kSlabBytes);
    struct Slab {
        // Objects handed out and not given back, and one more while the
        // thread that made it still carves from it.
        std::atomic<std::size_t> live;
    };
    // Plain data, which stays usable while other objects of the thread are
    // destroyed; closed once the reaper has run.
    struct Kept {
        void* at[kMostKept];
        std::size_t count;
        bool closed;
        Slab* slab; // carved from
        std::size_t used; // bytes of it
    };
    struct Reaper {
        ~Reaper() {
            while (kept_.count > 0)
                giveBack(kept_.at[--kept_.count]);
            if (kept_.slab)
                release(kept_.slab);
            kept_.slab = nullptr;
            kept_.closed = true;
        }
    };
    static void reapAtThreadEnd() {
        static thread_local Reaper reaper; // gives back what is kept when the thread ends
        (void)reaper;
    }
    // Slabs all of whose objects came back, kept for the next check up to a
    // limit: given back to the system, the next check would fault their
    // pages in anew. Never destroyed, for blocks may be freed at exit.
    struct Spare {
        std::mutex mutex;
        std::vector<void*> slabs;
    };
    static constexpr std::size_t kMostSpare = 32; // 64 MiB
    static Spare& spare() {
        static Spare* const kept = new Spare;
        return *kept;
    }
    static void release(Slab* slab) noexcept {
        if (slab->live.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            slab->~Slab();
            slabs_.fetch_sub(1, std::memory_order_relaxed);
            Spare& pool = spare();
            {
                const std::lock_guard lock(pool.mutex);
                if (pool.slabs.size() < kMostSpare) {
                    pool.slabs.push_back(slab); // room was made for it when it was taken
                    return;
                }
            }
            FreeBlock()(slab);
        }
    }
    static void* newSlab() {
        Spare& pool = spare();
        {
            const std::lock_guard lock(pool.mutex);
            if (!pool.slabs.empty()) {
                void* slab = pool.slabs.back();
                pool.slabs.pop_back();
                return slab;
            }
            pool.slabs.reserve(kMostSpare); // so that release() never allocates
        }
        return allocateLarge(kSlabBytes).release(); // aligned to its size
    }
    static void giveBack(void* p) noexcept {
        release(reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(p) & ~(kSlabBytes - 1)));
    }
    static void* carve() {
        if (!kept_.slab || kept_.used + kObjectBytes > kSlabBytes) {
            if (!kept_.closed)
                reapAtThreadEnd();
            void* memory = newSlab();
            if (kept_.slab)
                release(kept_.slab);
            kept_.slab = new (memory) Slab{{1}};
            slabs_.fetch_add(1, std::memory_order_relaxed);
            kept_.used = kFirst;
        }
        kept_.slab->live.fetch_add(1, std::memory_order_relaxed);
        void* object = reinterpret_cast<char*>(kept_.slab) + kept_.used;
        kept_.used += kObjectBytes;
        if (kept_.closed) // no reaper will let go of the slab: it is let go of now
            release(std::exchange(kept_.slab, nullptr));
        return object;
    }
    static inline thread_local Kept kept_{};
    static inline std::atomic<std::size_t> slabs_{0};
};

} // namespace torvale::install
