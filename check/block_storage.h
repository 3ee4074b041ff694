// Storage for InstallFile's blocks of lines, which come and go by the
// thousand as copies of a file change them: a block's lines live inside the
// block, so that a block is one allocation, and freed blocks are reused by
// the thread that frees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

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

// An allocator for std::allocate_shared of blocks: single objects freed are
// kept, up to a limit, by the freeing thread, and handed out again before
// any new memory. malloc serves chunks of this size from its slow bins.
template <class T>
class BlockAllocator {
public:
    using value_type = T;
    BlockAllocator() = default;
    template <class U>
    BlockAllocator(const BlockAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n == 1 && kept_.count > 0)
            return static_cast<T*>(kept_.at[--kept_.count]);
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
#if !defined(__SANITIZE_ADDRESS__) // where the sanitizer must see every use after free
        if (n == 1 && !kept_.closed && kept_.count < kMostKept) {
            static thread_local Reaper reaper; // frees what is kept when the thread ends
            (void)reaper;
            kept_.at[kept_.count++] = p;
            return;
        }
#endif
        ::operator delete(p);
    }
    template <class U>
    bool operator==(const BlockAllocator<U>&) const noexcept {
        return true;
    }

private:
    // About two megabytes of blocks: a step of a large mod lets go of a
    // few of them at a time and takes as many again.
    static constexpr std::size_t kMostKept = 512;
    // Plain data, which stays usable while other objects of the thread are
    // destroyed; closed once the reaper has run.
    struct Kept {
        void* at[kMostKept];
        std::size_t count;
        bool closed;
    };
    struct Reaper {
        ~Reaper() {
            while (kept_.count > 0)
                ::operator delete(kept_.at[--kept_.count]);
            kept_.closed = true;
        }
    };
    static inline thread_local Kept kept_{};
};

} // namespace torvale::install
