#include "tools/qavcheck/SystemError.h"

#include "framework/win32/SystemErrorText.h"

#include <string>

UnicodeString ErrorCodeText(uint32_t code)
{
    UnicodeString text = SystemErrorText(code);
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return text + L" (error " + std::to_wstring(code) + L")";
}
