// Well-formed UTF-16: every surrogate stands in a pair, high then low.
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline constexpr bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
inline constexpr bool IsSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The position of the first surrogate at or after from that is not part of a
// pair, or npos when there is none. from must not split a pair.
size_t FirstUnpairedSurrogate(std::wstring_view text, size_t from = 0) noexcept;
