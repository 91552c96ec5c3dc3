#include "framework/Surrogates.h"

size_t FirstUnpairedSurrogate(std::wstring_view text, size_t from) noexcept
{
    for (size_t i = from; i < text.size(); ++i) {
        if (!IsSurrogate(text[i]))
            continue;
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;
            continue;
        }
        return i;
    }
    return std::wstring_view::npos;
}
