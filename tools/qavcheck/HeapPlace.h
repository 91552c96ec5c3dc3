// Where an address lies among the process's memory, as far as the system's
// heaps can tell: whether a text a call returned still lives in a heap block.
#pragma once

#include <cstdint>

enum class HeapPlace {
    Unknown,   // not committed memory, or more heaps than are looked at
    Image,     // a module's image: static data
    InUse,     // inside a heap block that is allocated
    Freed,     // inside a heap's region, but in no allocated block
    Unmanaged, // private memory that no heap of the process reports: an allocator
               // of the library's own, or another thread's stack
};

// Walks the heaps of GetProcessHeaps() with HeapWalk, each under its lock, until
// a block in use holds the address. Allocates nothing, so that a block freed
// just before cannot be handed out again by the walk itself. Cost: one
// VirtualQuery for static data; for heap memory, a walk of the heaps' blocks.
HeapPlace LocateInHeaps(uintptr_t address) noexcept;
