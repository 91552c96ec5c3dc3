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

// Decodes the UTF-8 sequence at in[i] into c; returns its length, or 0 when it is
// malformed (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view in, std::size_t i, char32_t& c);

// Appends a code point as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// Characters (code points) in valid UTF-8 text.
std::size_t CountChars(std::string_view in);

// Byte offset of the character at a position in valid UTF-8 text, or in.size() past its end.
std::size_t ByteOffset(std::string_view in, std::size_t chars);

// In valid UTF-8 text, from the start of a character at byte from: the byte where the
// character chars further on starts (in.size() past the end), or chars before it.
std::size_t Forward(std::string_view in, std::size_t from, std::size_t chars);
std::size_t Backward(std::string_view in, std::size_t from, std::size_t chars);

// Converts valid UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view in);

// Lines converted to UTF-16 and joined by CR LF.
std::u16string JoinLines(const std::vector<std::string>& lines);

} // namespace qav
