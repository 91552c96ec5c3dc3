// A form owns its window from the moment the window exists: a construction
// that fails leaves none, and a window destroyed from outside no longer
// reaches its object.
#include "framework/Exception.h"
#include "framework/Form.h"
#include "framework/win32/UniqueHandle.h"

#include <gtest/gtest.h>

namespace {

constexpr FormDesign Design{L"QavFormTest", L"form test", 200, 100, L"Tahoma", -11};

class FailingForm : public TForm {
public:
    FailingForm() : TForm(nullptr, Design)
    {
        created = Handle();
        throw Exception(L"failed after the create");
    }
    static inline HWND created = nullptr;
};

TEST(FormLifetime, AConstructionThatThrowsAfterTheCreateLeavesNoWindow)
{
    EXPECT_THROW(FailingForm{}, Exception);
    ASSERT_NE(FailingForm::created, nullptr) << "the window was not created";
    EXPECT_FALSE(IsWindow(FailingForm::created));
    EXPECT_EQ(FindWindowW(Design.className, nullptr), nullptr);
}

TEST(FormLifetime, AWindowDestroyedFromOutsideIsGivenUp)
{
    TForm form(nullptr, Design);
    const HWND window = form.Handle();
    ASSERT_TRUE(IsWindow(window));
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(form.Handle(), nullptr);
}

// What the window's procedure finds bound to the window while it is destroyed.
LONG_PTR g_boundAtDestroy = -1;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_DESTROY)
        g_boundAtDestroy = GetWindowLongPtrW(window, GWLP_USERDATA);
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(FormLifetime, TheWindowOwnerUnbindsTheObjectBeforeTheWindowGoes)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QavOwnerTest";
    RegisterClassW(&wc);
    HWND window = nullptr;
    {
        UniqueWindow owner(CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                           wc.hInstance, nullptr));
        window = owner.Get();
        ASSERT_NE(window, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, 42);
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_boundAtDestroy, 0);
}

} // namespace
