// What can be told of a C++ exception that left a library: its type's name and,
// for a std::exception, its what() text.
#pragma once

#include "framework/UnicodeString.h"

#include <optional>

struct CppExceptionText {
    UnicodeString type; // e.g. "std::runtime_error", "CScriptException*"; empty when unknown (another runtime's)
    std::optional<UnicodeString> what;
};

// Call inside a catch block only: the exception being handled, which may be one
// of a library's own C++ runtime (64-bit MinGW raises those through the
// system's dispatch, so a catch here sees them).
CppExceptionText DescribeCaughtException() noexcept;

// Call inside a catch block only: whether the exception being handled is of a
// type of this program's own (an interpreter built into the workbench's own
// image, as tests build one), not of another module's C++ runtime. A library's
// type may share a name with one of ours; only its place tells them apart.
bool CaughtExceptionIsOurs() noexcept;

// The exception named in what a MinGW C++ runtime writes to stderr on
// std::terminate ("terminate called after throwing an instance of 'T'" and
// "  what():  W"): the 32-bit runtime ends an exception that escapes a library
// so, with abort(). None when the text names none.
std::optional<CppExceptionText> TerminateReport(const UnicodeString& written);
