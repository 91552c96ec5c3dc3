#include "tools/qavcheck/HeapPlace.h"

#include "framework/Win.h"

namespace {

// Heaps looked at; a process has a handful, a few dozen at most in practice.
constexpr DWORD MaxHeaps = 256;

bool Within(uintptr_t address, const void* start, uintptr_t size)
{
    const auto from = reinterpret_cast<uintptr_t>(start);
    return address >= from && address - from < size;
}

enum class Verdict { Outside, InUse, Freed };

Verdict WalkHeap(HANDLE heap, uintptr_t address)
{
    if (!HeapLock(heap))
        return Verdict::Outside;
    Verdict verdict = Verdict::Outside;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_REGION) {
            const auto first = reinterpret_cast<uintptr_t>(entry.Region.lpFirstBlock);
            const auto last = reinterpret_cast<uintptr_t>(entry.Region.lpLastBlock);
            if (address >= first && address < last)
                verdict = Verdict::Freed; // unless a block in use below holds it
        } else if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && Within(address, entry.lpData, entry.cbData)) {
            verdict = Verdict::InUse;
            break;
        }
    }
    HeapUnlock(heap);
    return verdict;
}

} // namespace

HeapPlace LocateInHeaps(uintptr_t address) noexcept
{
    MEMORY_BASIC_INFORMATION memory{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &memory, sizeof memory) != sizeof memory ||
        memory.State != MEM_COMMIT)
        return HeapPlace::Unknown;
    if (memory.Type == MEM_IMAGE)
        return HeapPlace::Image;
    HANDLE heaps[MaxHeaps]; // on the stack: the walk must not allocate
    const DWORD count = GetProcessHeaps(MaxHeaps, heaps);
    bool freed = false;
    for (DWORD i = 0; i < count && i < MaxHeaps; ++i) {
        const Verdict verdict = WalkHeap(heaps[i], address);
        if (verdict == Verdict::InUse)
            return HeapPlace::InUse;
        freed = freed || verdict == Verdict::Freed;
    }
    if (freed)
        return HeapPlace::Freed;
    return count > MaxHeaps ? HeapPlace::Unknown : HeapPlace::Unmanaged;
}
