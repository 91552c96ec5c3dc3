// 8-bit text a library wrote (a C++ exception's what(), its lines on stderr)
// as the program shows it: read as UTF-8 where it is valid UTF-8, else in the
// system's ANSI code page, as a console program's output would be.
#pragma once

#include "framework/UnicodeString.h"

#include <string_view>

UnicodeString WidenLibraryText(std::string_view text);

// The text on one line for a report: every run of white space (line breaks
// included) becomes one space, the ends are trimmed, and a text longer than
// limit characters keeps its last limit ones after "...".
UnicodeString OneLine(const UnicodeString& text, size_t limit);
