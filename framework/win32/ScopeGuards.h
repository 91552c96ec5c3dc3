// Scoped Win32 states that must be undone on every way out.
#pragma once

#include "framework/Win.h"

// Suspends a window's redrawing; on leaving, turns it back on and redraws the
// window once.
class RedrawSuspended {
public:
    explicit RedrawSuspended(HWND window) noexcept : window_(window)
    {
        SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;
    ~RedrawSuspended()
    {
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

private:
    HWND window_;
};

// The wait cursor while the GUI thread works without taking messages; on
// leaving, the cursor it replaced, or the arrow where the thread had none. The
// thread's next mouse message sets the cursor of whatever lies under the
// pointer then.
class WaitCursorShown {
public:
    WaitCursorShown() noexcept : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    WaitCursorShown(const WaitCursorShown&) = delete;
    WaitCursorShown& operator=(const WaitCursorShown&) = delete;
    ~WaitCursorShown() { SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW)); }

private:
    HCURSOR previous_; // shared: system cursors are never destroyed
};

// A window's device context (the screen's for null), released on leaving.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }

    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};
