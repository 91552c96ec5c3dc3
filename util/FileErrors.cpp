#include "util/FileErrors.h"

#include "framework/win32/SizedString.h"
#include "framework/win32/SystemErrorText.h"

#include <string>

namespace {

// The name as the system resolves it against the current directory; the name as
// given when it cannot be resolved.
UnicodeString FullPath(const UnicodeString& fileName)
{
    const UnicodeString path = SizedString([&](wchar_t* buffer, DWORD capacity) {
        return GetFullPathNameW(fileName.c_str(), capacity, buffer, nullptr);
    });
    return path.empty() ? fileName : path;
}

} // namespace

EFCreateError FileCreateError(const UnicodeString& fileName, DWORD code)
{
    return EFCreateError(L"Cannot create file \"" + FullPath(fileName) + L"\". " + SystemErrorText(code));
}

EFOpenError FileOpenError(const UnicodeString& fileName, DWORD code)
{
    return EFOpenError(L"Cannot open file \"" + FullPath(fileName) + L"\". " + SystemErrorText(code));
}

EWriteError FileWriteError()
{
    return EWriteError(L"Stream write error");
}
