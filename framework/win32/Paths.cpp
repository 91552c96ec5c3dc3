#include "framework/win32/Paths.h"

#include "framework/win32/SizedString.h"

UnicodeString ModuleFileName(HMODULE module)
{
    // A buffer too small is filled to its end, and the size comes back.
    return SizedString([module](wchar_t* buffer, DWORD capacity) {
        return GetModuleFileNameW(module, buffer, capacity);
    });
}

UnicodeString FullPath(const UnicodeString& name)
{
    // A buffer too small gives the size needed, with its NUL.
    const UnicodeString full = SizedString([&name](wchar_t* buffer, DWORD capacity) {
        return GetFullPathNameW(name.c_str(), capacity, buffer, nullptr);
    });
    return full.empty() ? name : full;
}

UnicodeString FileNameOf(const UnicodeString& path)
{
    const auto slash = path.find_last_of(L"\\/");
    return slash == UnicodeString::npos ? path : path.substr(slash + 1);
}
