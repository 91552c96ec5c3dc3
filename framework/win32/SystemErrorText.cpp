#include "framework/win32/SystemErrorText.h"

#include "framework/win32/UniqueHandle.h"

#include <string>

UnicodeString SystemErrorText(DWORD code)
{
    wchar_t* raw = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
    const UniqueLocalMemory owned(raw);
    if (length == 0 || !raw)
        return L"System error " + std::to_wstring(code);
    UnicodeString text(raw, length);
    while (!text.empty() && (text.back() <= L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

UnicodeString ErrorCodeText(DWORD code)
{
    UnicodeString text = SystemErrorText(code);
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return text + L" (error " + std::to_wstring(code) + L")";
}
