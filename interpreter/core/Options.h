// A host's settings for the limits of a run, as text: words apart by spaces, each
// name=value. Execute's second argument carries them; docs/language.md lists them.
//   steps=N    the step budget
//   depth=N    nested function calls
//   memory=N   bytes of strings, objects, arrays, names and variables; a K, M or G
//              after the number counts in kilobytes, megabytes or gigabytes
#pragma once

#include "interpreter/core/Limits.h"

#include <string>
#include <string_view>

namespace qav {

// Sets the limits the words name; gives what was wrong, or nothing when all were understood.
std::string ApplyOptions(std::string_view words, Limits& limits);

} // namespace qav
