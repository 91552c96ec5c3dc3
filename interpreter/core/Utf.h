// Conversions between UTF-8 (inside the core) and UTF-16 (at the library's edge).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

// Converts UTF-16 to UTF-8. On an unpaired surrogate returns false and sets
// badIndex to its position (counted in code units).
bool Utf16ToUtf8(std::u16string_view in, std::string& out, std::size_t& badIndex);

// Length of the valid UTF-8 prefix of a text; equals in.size() when all of it is valid.
std::size_t ValidUtf8Prefix(std::string_view in);

// Converts valid UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view in);

// Lines converted to UTF-16 and joined by CR LF.
std::u16string JoinLines(const std::vector<std::string>& lines);

} // namespace qav
