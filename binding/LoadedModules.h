// The modules loaded in the process, to tell which ones loading a library
// brought with it.
#pragma once

#include "framework/Win.h"

#include <vector>

// Every module loaded in the process now.
std::vector<HMODULE> LoadedModules();

// The modules of now that are not in before and do not come from the system's
// folders: the library's own dependencies (a C++ runtime beside it, say).
std::vector<HMODULE> ModulesBroughtSince(const std::vector<HMODULE>& before);
