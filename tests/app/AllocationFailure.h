// Makes the test program's heap refuse requests of chosen sizes, as a heap that
// has run out would: operator new throws std::bad_alloc.
#pragma once

#include <cstddef>

// While it lives, every request of at least low and below high bytes fails.
class ScopedAllocationFailure {
public:
    ScopedAllocationFailure(std::size_t low, std::size_t high) noexcept;
    ~ScopedAllocationFailure();
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};
