// Sorting whatever a catch-all handler caught, in one place.
#pragma once

#include "framework/Exception.h"

// What was caught, and how the program reports it.
enum class CaughtKind {
    Family,        // a framework Exception, or the standard library's (std::bad_alloc...)
    Foreign,       // a failure of foreign code: a fault, an exception or an end caught there
    Unknown,       // anything else: a foreign exception type
};

struct CaughtException {
    CaughtKind kind;
    // Its words: the family's own message (std::bad_alloc reads "Out of memory"),
    // the fault's description, or a fixed text for an unknown kind.
    Exception exception;
};

// Call inside a catch block only: sorts the exception being handled.
CaughtException SortCaughtException();

// Call inside a catch-all block only, in a handler that reports the family's
// failures as text: the exception being handled in the family's words, or, when
// it is not of the family (a hardware fault, a foreign type), the same
// exception thrown on to the next handler.
Exception CaughtFamilyOrRethrow();
