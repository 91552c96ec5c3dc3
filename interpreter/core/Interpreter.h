// The language's entry point: runs a program text from a fresh state and reports
// its result, its log and its state at the end as lines of UTF-8 text.
#pragma once

#include "interpreter/core/Limits.h"

#include <string_view>

namespace qav {

// Runs UTF-8 program text; invalid UTF-8 is reported as an error.
RunReport Run(std::string_view source, const Limits& limits = {});

// Runs UTF-16 program text; an unpaired surrogate is reported as an error.
RunReport Run(std::u16string_view source, const Limits& limits = {});

// The library's name and version.
const char* VersionText();

} // namespace qav
