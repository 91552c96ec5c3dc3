#include "util/FileErrors.h"

#include "framework/win32/SizedString.h"
#include "framework/win32/UniqueHandle.h"

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

UnicodeString OsErrorText(DWORD code)
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

EFCreateError FileCreateError(const UnicodeString& fileName, DWORD code)
{
    return EFCreateError(L"Cannot create file \"" + FullPath(fileName) + L"\". " + OsErrorText(code));
}

EFOpenError FileOpenError(const UnicodeString& fileName, DWORD code)
{
    return EFOpenError(L"Cannot open file \"" + FullPath(fileName) + L"\". " + OsErrorText(code));
}

EWriteError FileWriteError()
{
    return EWriteError(L"Stream write error");
}
