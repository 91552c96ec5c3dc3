// Texts from Win32 calls that write into a caller's buffer of a given size.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"

#include <cwchar>

// fill(buffer, capacity) calls the Win32 function and returns the characters it
// wrote without the closing NUL when the buffer was big enough, a number at least
// the capacity when it was not (the size needed, where the call tells it), or 0
// on failure. The buffer grows until the text fits; no fixed limit such as
// MAX_PATH applies. Failure gives an empty text.
template <class Fill>
UnicodeString SizedString(Fill fill, size_t capacity = 256)
{
    UnicodeString text(capacity, L'\0');
    for (;;) {
        const size_t n = static_cast<size_t>(fill(text.data(), static_cast<DWORD>(text.size())));
        if (n == 0)
            return UnicodeString();
        if (n < text.size()) {
            text.resize(std::wcslen(text.c_str()));
            return text;
        }
        text.resize(n > text.size() ? n + 1 : 2 * text.size());
    }
}
