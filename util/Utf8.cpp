#include "util/Utf8.h"

#include "framework/Win.h"

#include <climits>
#include <stdexcept>

namespace {

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Replaces every unpaired surrogate by U+FFFD; the platforms differ in what their
// converter makes of one, and the file must hold the same bytes everywhere.
UnicodeString WellFormed(const UnicodeString& text)
{
    UnicodeString fixed;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            fixed.append(text, i, 2);
            ++i;
        } else {
            fixed.push_back(IsHigh(c) || IsLow(c) ? L'\xFFFD' : c);
        }
    }
    return fixed;
}

bool HasUnpairedSurrogate(const UnicodeString& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1]))
            ++i;
        else if (IsHigh(text[i]) || IsLow(text[i]))
            return true;
    }
    return false;
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
    return HasUnpairedSurrogate(text) ? Encode(WellFormed(text)) : Encode(text);
}
