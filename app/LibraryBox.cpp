#include "app/LibraryBox.h"

namespace {

BOOL CALLBACK FindDialog(HWND window, LPARAM found) noexcept
{
    wchar_t className[16] = {};
    if (!IsWindowVisible(window) || !GetClassNameW(window, className, 16) || lstrcmpW(className, L"#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

std::optional<UnicodeString> LibraryBoxCaption(DWORD thread)
{
    HWND box = nullptr;
    EnumThreadWindows(thread, &FindDialog, reinterpret_cast<LPARAM>(&box));
    if (!box)
        return std::nullopt;
    // GetWindowTextW would send the busy thread a message; this reads the caption as stored.
    wchar_t caption[256] = {};
    const int length = InternalGetWindowText(box, caption, 256);
    return UnicodeString(caption, length > 0 ? static_cast<size_t>(length) : 0);
}
