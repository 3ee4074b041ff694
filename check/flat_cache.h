// Values kept by keys of 64 bits in one array, for the caches of the nearest
// place search that are asked thousands of times a search.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace torvale::place {

// Values kept by a key of 64 bits, in one array with open addressing: a
// search asks for thousands, and a map of the library makes a node for each.
// Values are handed out by copy, for a later insert may move them.
template <typename T> class FlatCache {
public:
    std::optional<T> find(std::uint64_t key) const {
        if (keys_.empty())
            return std::nullopt;
        const std::size_t at = slot(key);
        return keys_[at] ? std::optional<T>(values_[at]) : std::nullopt;
    }
    T insert(std::uint64_t key, T value) {
        if (2 * (used_ + 1) > keys_.size())
            grow();
        const std::size_t at = slot(key);
        used_ += keys_[at] == 0;
        keys_[at] = key + 1;
        values_[at] = value;
        return value;
    }

private:
    std::size_t slot(std::uint64_t key) const {
        // Fibonacci hashing, from the product's top bits: the keys of a
        // search are a line number shifted high and one in the low bits, and
        // lower bits of the product would not depend on the high one.
        const std::size_t mask = keys_.size() - 1;
        std::size_t at = std::size_t((key * 0x9e3779b97f4a7c15ull) >> shift_);
        while (keys_[at] != 0 && keys_[at] != key + 1)
            at = (at + 1) & mask;
        return at;
    }
    void grow() {
        std::vector<std::uint64_t> keys(std::max<std::size_t>(256, 2 * keys_.size()));
        // Only slots with a key are read.
        auto values = std::make_unique_for_overwrite<T[]>(keys.size());
        std::swap(keys, keys_);
        std::swap(values, values_);
        shift_ = 64 - std::countr_zero(keys_.size());
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (keys[k]) {
                const std::size_t at = slot(keys[k] - 1);
                keys_[at] = keys[k];
                values_[at] = values[k];
            }
    }
    std::vector<std::uint64_t> keys_; // key + 1; 0 for an empty slot
    std::unique_ptr<T[]> values_;
    int shift_ = 0;
    std::size_t used_ = 0;
};

} // namespace torvale::place
