#include "tools/qavcheck/SystemError.h"

#include "framework/Win.h"

#include <memory>

namespace {

struct LocalFreer {
    void operator()(wchar_t* text) const noexcept { LocalFree(text); }
};

} // namespace

UnicodeString SystemErrorText(uint32_t code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, LocalFreer> owned(buffer);
    UnicodeString text = n ? UnicodeString(buffer, n) : UnicodeString();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return (text.empty() ? UnicodeString(L"system error") : text) + L" (error " + std::to_wstring(code) + L")";
}
