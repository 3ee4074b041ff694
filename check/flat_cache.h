// Values kept by keys of 64 bits in one array, for the caches of the nearest
// place search that are asked thousands of times a search.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace torvale::place {

// Values kept by a key of 64 bits, in one array with open addressing: a
// search asks for thousands, and a map of the library makes a node for each.
// Values are handed out by copy, for a later insert may move them.
// The slots outlive the cache for the next cache of the thread: each failed
// step makes new ones, and growing them again from nothing, clearing them
// each time, cost more than the look-ups. A slot is in use only when it
// bears the cache's stamp, so that nothing needs clearing.
template <typename T> class FlatCache {
public:
    FlatCache() : slots_(take()) {}
    FlatCache(const FlatCache&) = delete;
    FlatCache& operator=(const FlatCache&) = delete;
    ~FlatCache() {
        std::vector<Storage>& pool = pool_();
        if (!slots_.slots.empty() && slots_.slots.size() <= kMostPooled && pool.size() < kPooled)
            pool.push_back(std::move(slots_));
    }

    std::optional<T> find(std::uint64_t key) const {
        if (slots_.slots.empty())
            return std::nullopt;
        const Slot& at = slots_.slots[slot(key)];
        return at.stamp == slots_.stamp ? std::optional<T>(at.value) : std::nullopt;
    }
    T insert(std::uint64_t key, T value) {
        if (2 * (used_ + 1) > slots_.slots.size())
            grow();
        Slot& at = slots_.slots[slot(key)];
        used_ += at.stamp != slots_.stamp;
        at = {key, slots_.stamp, value};
        return value;
    }

private:
    struct Slot {
        std::uint64_t key = 0;
        std::uint32_t stamp = 0; // the stamp of the cache that filled it
        T value{};
    };
    struct Storage {
        std::vector<Slot> slots;
        std::uint32_t stamp = 1;
        int shift = 0;
    };
    // Enough for the caches of a search; what a thread keeps stays small.
    static constexpr std::size_t kPooled = 8;
    static constexpr std::size_t kMostPooled = std::size_t(1) << 17;
    static std::vector<Storage>& pool_() {
        thread_local std::vector<Storage> pool;
        return pool;
    }
    static Storage take() {
        std::vector<Storage>& pool = pool_();
        if (pool.empty())
            return {};
        Storage s = std::move(pool.back());
        pool.pop_back();
        if (++s.stamp == 0) { // after four billion caches: cleared once
            for (Slot& slot : s.slots)
                slot.stamp = 0;
            s.stamp = 1;
        }
        return s;
    }
    std::size_t slot(std::uint64_t key) const {
        // Fibonacci hashing, from the product's top bits: the keys of a
        // search are a line number shifted high and one in the low bits, and
        // lower bits of the product would not depend on the high one.
        const std::size_t mask = slots_.slots.size() - 1;
        std::size_t at = std::size_t((key * 0x9e3779b97f4a7c15ull) >> slots_.shift);
        while (slots_.slots[at].stamp == slots_.stamp && slots_.slots[at].key != key)
            at = (at + 1) & mask;
        return at;
    }
    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(256, 2 * slots_.slots.size()));
        std::swap(old, slots_.slots);
        slots_.shift = 64 - std::countr_zero(slots_.slots.size());
        const std::uint32_t stamp = slots_.stamp;
        slots_.stamp = 1; // the new slots are all free
        for (const Slot& s : old)
            if (s.stamp == stamp)
                slots_.slots[slot(s.key)] = {s.key, 1, s.value};
    }
    Storage slots_;
    std::size_t used_ = 0;
};

} // namespace torvale::place
