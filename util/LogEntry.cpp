#include "util/LogEntry.h"

namespace {

UnicodeString LocaleText(LCTYPE type, const wchar_t* fallback)
{
    const int size = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, nullptr, 0);
    if (size <= 1)
        return fallback;
    UnicodeString text(static_cast<size_t>(size), L'\0');
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text.data(), size);
    if (length <= 1)
        return fallback;
    text.resize(static_cast<size_t>(length - 1));
    return text;
}

UnicodeString RenderDate(const SYSTEMTIME& when, const UnicodeString& picture)
{
    const int size = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, picture.c_str(), nullptr, 0, nullptr);
    if (size <= 1)
        return {};
    UnicodeString text(static_cast<size_t>(size), L'\0');
    const int length = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, picture.c_str(), text.data(), size, nullptr);
    text.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    return text;
}

UnicodeString RenderTime(const SYSTEMTIME& when, const UnicodeString& picture)
{
    const int size = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, picture.c_str(), nullptr, 0);
    if (size <= 1)
        return {};
    UnicodeString text(static_cast<size_t>(size), L'\0');
    const int length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, picture.c_str(), text.data(), size);
    text.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    return text;
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
