#include "interpreter/core/Machine.h"

#include "interpreter/core/Costs.h"

#include <algorithm>

namespace qav {

void Machine::FailMemory(const Node* n, std::size_t stringBytes)
{
    if (stringBytes > limits_.heapBytes)
        Fail(n, "memory limit reached: a string of " + std::to_string(stringBytes) + " bytes");
    Fail(n, "memory limit reached: strings, objects, arrays and variables take more than " +
                std::to_string(limits_.heapBytes) + " bytes");
}

std::size_t Machine::Room() const
{
    return limits_.heapBytes - std::min(heap_.bytes(), limits_.heapBytes);
}

// Makes room for a string of size bytes, growth more than the heap holds now; cycles
// are collected first when it would not fit.
void Machine::Reserve(const Node* n, std::size_t size, std::size_t growth)
{
    if (size > limits_.heapBytes)
        FailMemory(n, size);
    if (growth <= Room())
        return;
    Collect(n);
    if (growth > Room())
        FailMemory(n, size);
}

void Machine::Reserve(const Node* n, std::size_t size)
{
    Reserve(n, size, size + Heap::kStringBytes);
}

// After memory grew: cycles are collected once the heap has doubled since the last
// time, and always before the limit is declared reached.
void Machine::Allocated(const Node* n)
{
    if (heap_.bytes() > collectAt_)
        Collect(n);
    // Memory never used before is slow to get: the system has to map it in.
    if (heap_.bytes() > peak_) {
        Charge(n, (heap_.bytes() - peak_) / cost::kPeakBytesPerStep);
        peak_ = heap_.bytes();
    }
}

void Machine::Collect(const Node* n)
{
    const std::size_t work = heap_.Collect();
    collectAt_ = std::clamp(2 * heap_.bytes(), std::min(kMinCollectBytes, limits_.heapBytes), limits_.heapBytes);
    Charge(n, work * cost::kCollect);
    if (heap_.bytes() > limits_.heapBytes)
        FailMemory(n, 0);
}

} // namespace qav
