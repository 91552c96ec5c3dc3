#include "util/FileErrors.h"

#include <memory>
#include <string>

namespace {

struct LocalFreeDeleter {
    void operator()(wchar_t* p) const noexcept { LocalFree(p); }
};

// The name as the system resolves it against the current directory; the name as
// given when it cannot be resolved.
UnicodeString FullPath(const UnicodeString& fileName)
{
    const DWORD size = GetFullPathNameW(fileName.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return fileName;
    UnicodeString path(size, L'\0');
    const DWORD length = GetFullPathNameW(fileName.c_str(), size, path.data(), nullptr);
    if (length == 0 || length >= size)
        return fileName;
    path.resize(length);
    return path;
}

} // namespace

UnicodeString OsErrorText(DWORD code)
{
    wchar_t* raw = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
    const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(raw);
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
