#include "tools/qavcheck/Console.h"

#include "framework/Win.h"
#include "util/Utf8.h"

#include <string>

namespace {

void WriteUtf8(HANDLE target, std::wstring_view text) noexcept
{
    try {
        const std::string bytes = ToUtf8(UnicodeString(text));
        DWORD written = 0;
        WriteFile(target, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    } catch (...) {
    }
}

} // namespace

void WriteLine(Stream stream, std::wstring_view line) noexcept
{
    const HANDLE target = GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE); // borrowed
    if (target == nullptr || target == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(target, &mode)) {
        DWORD written = 0;
        WriteConsoleW(target, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        WriteConsoleW(target, L"\r\n", 2, &written, nullptr);
        return;
    }
    WriteUtf8(target, line);
    WriteUtf8(target, L"\r\n");
}
