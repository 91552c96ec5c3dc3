// Storage for the fields of objects and the items of arrays: most hold a few, and are
// made and let go by the million, which the system heap is slow at (under Wine a block
// taken and given back costs several times what the rest of making an object does).
// Blocks of up to 1 KB (an object of 40 fields, an array of 64 items) come from a pool
// for each of six sizes; larger ones from the system heap. What a pool was given back
// stays in it, for blocks of its size.
#pragma once

#include "interpreter/core/Pool.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <new>

namespace qav {

class Blocks {
public:
    static constexpr std::size_t kPooledBytes = 1024;

    Blocks() = default;
    Blocks(const Blocks&) = delete;
    Blocks& operator=(const Blocks&) = delete;

    void* Allocate(std::size_t bytes)
    {
        return bytes > kPooledBytes ? ::operator new(bytes) : pools_[Size(bytes)].Allocate();
    }

    void Free(void* block, std::size_t bytes) noexcept
    {
        if (bytes > kPooledBytes)
            ::operator delete(block);
        else
            pools_[Size(bytes)].Free(block);
    }

private:
    // The pool of the smallest size that holds the bytes: 32, 64 ... 1024.
    static std::size_t Size(std::size_t bytes)
    {
        return static_cast<std::size_t>(std::bit_width((std::max<std::size_t>(bytes, 32) - 1) >> 5));
    }

    Pool pools_[6] = {Pool(32), Pool(64), Pool(128), Pool(256), Pool(512), Pool(1024)};
};

// A standard allocator over a run's Blocks, for the vectors of objects and arrays.
template <class T>
struct BlockAllocator {
    using value_type = T;

    explicit BlockAllocator(Blocks* b) noexcept : blocks(b) {}
    template <class U>
    BlockAllocator(const BlockAllocator<U>& other) noexcept : blocks(other.blocks)
    {
    }

    T* allocate(std::size_t n) { return static_cast<T*>(blocks->Allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { blocks->Free(p, n * sizeof(T)); }
    bool operator==(const BlockAllocator& other) const noexcept { return blocks == other.blocks; }

    Blocks* blocks;
};

} // namespace qav
