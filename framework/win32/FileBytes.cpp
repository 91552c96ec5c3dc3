#include "framework/win32/FileBytes.h"

#include "framework/Exception.h"
#include "framework/Win.h"
#include "framework/win32/SystemErrorText.h"
#include "framework/win32/UniqueHandle.h"

#include <algorithm>

namespace {

// ReadFile takes a DWORD count: the file is read in pieces of this size.
constexpr DWORD Piece = 1u << 20;

[[noreturn]] void Fail(const wchar_t* doing, const UnicodeString& what)
{
    const DWORD code = GetLastError();
    throw Exception(doing + what + L": " + ErrorCodeText(code));
}

} // namespace

std::string ReadFileBytes(const UnicodeString& path, const UnicodeString& what, uint64_t maxBytes)
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        Fail(L"cannot open ", what);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        Fail(L"cannot read ", what);
    if (static_cast<uint64_t>(size.QuadPart) > maxBytes)
        throw Exception(what + L" is larger than " + std::to_wstring(maxBytes >> 20) + L" MB");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, Piece));
        if (!ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr))
            Fail(L"cannot read ", what);
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}
