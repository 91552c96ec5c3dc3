// A text the library returned, read the way the workbench copies it, with what
// is wrong with it.
#pragma once

#include "tools/qavcheck/HeapPlace.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Longer than this, a text is taken as running on past its end: 16 Mi UTF-16 units (32 MB).
inline constexpr size_t TextLimit = size_t{16} << 20;

struct ForeignText {
    enum class State {
        Read,       // copied whole
        Null,       // a null pointer
        Dangling,   // points into the stack below the caller: a local of a call that has returned
        Freed,      // points into a heap block that is no longer allocated
        Unreadable, // faulted before its end
        TooLong,    // no NUL within TextLimit units
    };
    State state = State::Null;
    std::wstring text;                  // when Read
    uintptr_t address = 0;              // where it starts
    HeapPlace place = HeapPlace::Unknown; // what kind of memory holds it
};

// Call on the thread that made the call, right after it returned and before
// anything allocates: a block the call freed could otherwise be handed out
// again. stackTop is an address in the calling frame: memory of that thread's
// stack below it belonged to the call.
ForeignText ReadForeignText(const wchar_t* text, uintptr_t stackTop);
