#include "framework/win32/SizedString.h"

UnicodeString ModuleFileName(HMODULE module)
{
    // A buffer too small is filled to its end, and the size comes back.
    return SizedString([module](wchar_t* buffer, DWORD capacity) {
        return GetModuleFileNameW(module, buffer, capacity);
    });
}

UnicodeString FileNameOf(const UnicodeString& path)
{
    const auto slash = path.find_last_of(L"\\/");
    return slash == UnicodeString::npos ? path : path.substr(slash + 1);
}
