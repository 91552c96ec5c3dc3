// Texts that cross between the program's UTF-16 and 8-bit ASCII: the standard
// library's what() texts, export names of a DLL. Anything outside ASCII
// becomes "?" either way, so no code page is guessed.
#pragma once

#include "framework/UnicodeString.h"

#include <string>
#include <string_view>

UnicodeString WidenAscii(std::string_view text);

std::string NarrowAscii(std::wstring_view text);
