// File paths from the system, of any length: no fixed limit such as MAX_PATH applies.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"

// The full path of a loaded module's file; the program's own for null.
UnicodeString ModuleFileName(HMODULE module);

// The name as the system resolves it against the current directory now; the
// name as given when it cannot be resolved.
UnicodeString FullPath(const UnicodeString& name);

// The part of a path after its last \ or /.
UnicodeString FileNameOf(const UnicodeString& path);
