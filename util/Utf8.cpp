#include "util/Utf8.h"

#include "framework/Surrogates.h"
#include "framework/Win.h"

#include <climits>
#include <stdexcept>

namespace {

// Replaces every unpaired surrogate by U+FFFD; the platforms differ in what their
// converter makes of one, and the file must hold the same bytes everywhere.
UnicodeString WellFormed(const UnicodeString& text, size_t bad)
{
    UnicodeString fixed;
    size_t from = 0;
    for (; bad != UnicodeString::npos; bad = FirstUnpairedSurrogate(text, from)) {
        fixed.append(text, from, bad - from);
        fixed.push_back(L'\xFFFD');
        from = bad + 1;
    }
    fixed.append(text, from);
    return fixed;
}

std::string Encode(const UnicodeString& text)
{
    // Three bytes at most per code unit must still fit the converter's int sizes.
    if (text.size() > INT_MAX / 3)
        throw std::length_error("text too long for UTF-8 conversion");
    const int units = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

} // namespace

std::string ToUtf8(const UnicodeString& text)
{
    if (text.empty())
        return {};
    const size_t bad = FirstUnpairedSurrogate(text);
    return bad == UnicodeString::npos ? Encode(text) : Encode(WellFormed(text, bad));
}
