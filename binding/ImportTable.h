// A loaded module's import table: which modules its imports are bound to, and
// turning chosen imports aside to functions of our own. The loader has bound
// every entry by the time the module is loaded; a change here takes effect at
// the module's next call through the entry.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"

#include <span>
#include <vector>

struct ImportDiversion {
    const char* name; // the imported name, e.g. "exit"; any module it is imported from
    // Given the function the entry is bound to, the one to put in its place, or
    // null to leave the entry as it is.
    void* (*replacement)(void* original) noexcept;
};

// Points every entry of the module's import address table that imports one of
// the named functions to its replacement; returns how many entries changed.
// Entries of imports by ordinal, and of a table without import names (which no
// current linker writes), are left alone.
int DivertImports(HMODULE module, std::span<const ImportDiversion> diversions) noexcept;

// The modules that the module's imports are bound to (for an API set such as
// api-ms-win-crt-runtime-l1-1-0.dll, the module that implements it), each once.
std::vector<HMODULE> ImportHosts(HMODULE module);
