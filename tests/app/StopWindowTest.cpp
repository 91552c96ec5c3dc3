// The stop window as an object: it owns its window from creation on.
#include "app/StopWindow.h"

#include "framework/Exception.h"

#include <gtest/gtest.h>

namespace {

BOOL CALLBACK CountStopWindows(HWND window, LPARAM count) noexcept
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (lstrcmpW(name, L"QAVStopWindow") == 0)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int StopWindowsOfThisThread()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountStopWindows, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Refuses, while it lives, the creation of this thread's windows of one class.
class RefusedWindowClass {
public:
    explicit RefusedWindowClass(const wchar_t* className)
        : hook_(SetWindowsHookExW(WH_CBT, &Refuse, nullptr, GetCurrentThreadId()))
    {
        refused = className;
    }
    ~RefusedWindowClass() { UnhookWindowsHookEx(hook_); }
    RefusedWindowClass(const RefusedWindowClass&) = delete;
    RefusedWindowClass& operator=(const RefusedWindowClass&) = delete;

private:
    static LRESULT CALLBACK Refuse(int code, WPARAM window, LPARAM lParam) noexcept
    {
        if (code == HCBT_CREATEWND) {
            const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
            wchar_t name[32] = {};
            if (IS_INTRESOURCE(create->lpszClass))
                GetClassNameW(reinterpret_cast<HWND>(window), name, 32);
            else
                lstrcpynW(name, create->lpszClass, 32);
            if (lstrcmpiW(name, refused) == 0)
                return 1;
        }
        return CallNextHookEx(nullptr, code, window, lParam);
    }

    static inline const wchar_t* refused = L"";
    HHOOK hook_;
};

TEST(StopWindow, IsCaptionedForTheCallAndGoesWithItsObject)
{
    {
        StopWindow window(L"Execute", nullptr);
        wchar_t caption[64] = {};
        GetWindowTextW(window.Handle(), caption, 64);
        EXPECT_STREQ(caption, L"QAV Demo: Execute is running");
        EXPECT_EQ(StopWindowsOfThisThread(), 1);
    }
    EXPECT_EQ(StopWindowsOfThisThread(), 0);
}

// A construction that fails after the window exists leaves no window behind.
TEST(StopWindow, AConstructionThatThrowsLeavesNoWindow)
{
    const RefusedWindowClass refused(L"Button");
    EXPECT_THROW(StopWindow(L"Execute", nullptr), Exception);
    EXPECT_EQ(StopWindowsOfThisThread(), 0);
}

} // namespace
