// A text the library returned, read the way the workbench copies it, with what
// is wrong with it.
#pragma once

#include "tools/qavcheck/HeapPlace.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Longer than this, a text earns a note: a pane of millions of units takes
// seconds to fill. The workbench itself reads a text whole, however long.
inline constexpr size_t LongTextUnits = size_t{1} << 20;

struct ForeignText {
    enum class State {
        Read,       // copied whole
        Null,       // a null pointer
        Dangling,   // points into the stack below the caller: a local of a call that has returned
        Freed,      // points into a heap block that is no longer allocated
        Unreadable, // faulted before its end
        TooLong,    // its NUL was found, but a copy of it did not fit in memory
    };
    State state = State::Null;
    std::wstring text;                  // when Read
    size_t length = 0;                  // units up to the NUL, when Read or TooLong
    uintptr_t address = 0;              // where it starts
    HeapPlace place = HeapPlace::Unknown; // what kind of memory holds it
};

// Read as the workbench reads it: up to its NUL, however far that is.
// Call on the thread that made the call, right after it returned and before
// anything allocates: a block the call freed could otherwise be handed out
// again. stackTop is an address in the calling frame: memory of that thread's
// stack below it belonged to the call.
ForeignText ReadForeignText(const wchar_t* text, uintptr_t stackTop);
