// What a library writes to stderr while a guarded call runs, kept for the report
// of a call that ends badly: std::terminate's "terminate called after throwing
// an instance of ...", Lua's "PANIC: ...", a failed assert's console line. The
// library's stdio writes (fputs, fwrite, fputc, putc, fprintf, vfprintf, _write
// and the UCRT's __stdio_common_vfprintf) are turned aside at binding; each
// passes its text on to the library's own C runtime unchanged.
#pragma once

#include "binding/ImportTable.h"

#include <span>
#include <string>

// The diversions of the library's stdio writes, for DivertImports.
std::span<const ImportDiversion> StderrWriters() noexcept;

// At the start of a library call: forgets what earlier calls wrote.
void ForgetLibraryStderr() noexcept;

// What the library wrote to stderr inside guarded calls since it was last
// forgotten, at most its last 4 KB; empty afterwards.
std::string TakeLibraryStderr();
