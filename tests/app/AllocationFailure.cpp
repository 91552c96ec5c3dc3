#include "tests/app/AllocationFailure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> failFrom{0};
std::atomic<std::size_t> failBelow{0};

} // namespace

ScopedAllocationFailure::ScopedAllocationFailure(std::size_t low, std::size_t high) noexcept
{
    failFrom = low;
    failBelow = high;
}

ScopedAllocationFailure::~ScopedAllocationFailure()
{
    failBelow = 0;
    failFrom = 0;
}

// The program's replacements of the global allocation functions.
void* operator new(std::size_t size)
{
    if (size >= failFrom && size < failBelow)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
