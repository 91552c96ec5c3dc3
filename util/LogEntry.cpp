#include "util/LogEntry.h"

#include "framework/win32/SizedString.h"

namespace {

// The locale and formatting calls below return the characters written with the
// closing NUL, or 0 when the buffer is too small.
template <class Call>
UnicodeString LocaleString(Call call)
{
    return SizedString([&](wchar_t* buffer, DWORD capacity) -> DWORD {
        const int written = call(buffer, static_cast<int>(capacity));
        if (written > 0)
            return static_cast<DWORD>(written - 1);
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? capacity : 0;
    });
}

UnicodeString LocaleText(LCTYPE type, const wchar_t* fallback)
{
    const UnicodeString text = LocaleString([type](wchar_t* buffer, int capacity) {
        return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, capacity);
    });
    return text.empty() ? fallback : text;
}

UnicodeString RenderDate(const SYSTEMTIME& when, const UnicodeString& picture)
{
    return LocaleString([&](wchar_t* buffer, int capacity) {
        return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, picture.c_str(), buffer, capacity, nullptr);
    });
}

UnicodeString RenderTime(const SYSTEMTIME& when, const UnicodeString& picture)
{
    return LocaleString([&](wchar_t* buffer, int capacity) {
        return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, picture.c_str(), buffer, capacity);
    });
}

} // namespace

LogFormats UserLogFormats()
{
    return {LocaleText(LOCALE_SSHORTDATE, L"yyyy-MM-dd"), LocaleText(LOCALE_STIMEFORMAT, L"HH:mm:ss")};
}

UnicodeString LogEntry(const SYSTEMTIME& when, const LogFormats& formats, const UnicodeString& message)
{
    return L"[" + RenderDate(when, formats.shortDate) + L" " + RenderTime(when, formats.longTime) + L"]" +
           L" : " + message + L"\r\n";
}
