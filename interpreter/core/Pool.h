// Blocks of one size carved from big chunks and kept on a free list when given back:
// strings, objects and arrays come and go by the million, and the system heap is slow at
// that, under Wine most of all. The chunks go when the pool does.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace qav {

class Pool {
public:
    explicit Pool(std::size_t size)
        : size_((std::max(size, sizeof(void*)) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                alignof(std::max_align_t))
    {
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    void* Allocate()
    {
        if (free_ != nullptr) {
            void* block = free_;
            free_ = *static_cast<void**>(block);
            return block;
        }
        if (next_ == end_)
            Grow();
        void* block = next_;
        next_ += size_;
        return block;
    }

    void Free(void* block) noexcept
    {
        *static_cast<void**>(block) = free_;
        free_ = block;
    }

private:
    static constexpr std::size_t kChunkBytes = 64 * 1024;

    void Grow()
    {
        const std::size_t blocks = std::max<std::size_t>(1, kChunkBytes / size_);
        chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(blocks * size_));
        next_ = chunks_.back().get();
        end_ = next_ + blocks * size_;
    }

    std::size_t size_;
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    std::byte* next_ = nullptr;
    std::byte* end_ = nullptr;
    void* free_ = nullptr;
};

} // namespace qav
