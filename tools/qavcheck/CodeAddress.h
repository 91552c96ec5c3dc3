// Where an address of a table position points, seen from the loaded library.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"

#include <cstdint>

enum class CodePlace {
    LibraryCode,  // an executable section of the library
    LibraryData,  // the library, but not code
    OtherModule,  // code or data of another module
    Elsewhere,    // memory of no module (the heap, the stack), or none at all
};

struct CodeAddress {
    CodePlace place;
    UnicodeString module; // for OtherModule: that module's file name
};

// library: the loaded library (borrowed).
CodeAddress LocateCode(HMODULE library, uintptr_t address);
