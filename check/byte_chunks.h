// Bytes kept for as long as their owner, handed out from chunks that never
// move: one allocation for many small copies instead of one each.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace torvale {

class ByteChunks {
public:
    // Room for bytes, at a place that stays.
    char* room(std::size_t bytes) {
        constexpr std::size_t kChunk = std::size_t(64) << 10;
        if (chunks_.empty() || bytes > size_ - used_) {
            size_ = std::max(kChunk, bytes);
            used_ = 0;
            chunks_.push_back(std::make_unique_for_overwrite<char[]>(size_));
        }
        char* const at = chunks_.back().get() + used_;
        used_ += bytes;
        return at;
    }
    // The last bytes of the last room, not used after all.
    void giveBack(std::size_t bytes) { used_ -= bytes; }

private:
    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t used_ = 0, size_ = 0; // of the last chunk
};

} // namespace torvale
