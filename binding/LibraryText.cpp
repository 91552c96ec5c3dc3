#include "binding/LibraryText.h"

#include "framework/Win.h"

#include <climits>
#include <cwctype>

namespace {

UnicodeString Widen(std::string_view text, UINT codePage, DWORD flags)
{
    if (text.empty() || text.size() > INT_MAX)
        return UnicodeString();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0)
        return UnicodeString();
    UnicodeString wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
    return wide;
}

} // namespace

UnicodeString WidenLibraryText(std::string_view text)
{
    UnicodeString wide = Widen(text, CP_UTF8, MB_ERR_INVALID_CHARS);
    return wide.empty() ? Widen(text, CP_ACP, 0) : wide;
}

UnicodeString OneLine(const UnicodeString& text, size_t limit)
{
    UnicodeString line;
    bool space = false;
    for (wchar_t c : text) {
        if (std::iswspace(c)) {
            space = !line.empty();
            continue;
        }
        if (space)
            line += L' ';
        space = false;
        line += c;
    }
    if (line.size() > limit)
        line = L"..." + line.substr(line.size() - limit);
    return line;
}
