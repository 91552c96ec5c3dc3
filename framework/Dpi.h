// Per-monitor DPI support, resolved at run time so the program still starts on
// systems older than Windows 10.
#pragma once

#include "framework/Win.h"

constexpr int DesignDpi = 96;

// A length given at 96 DPI, at the given density.
inline int ScaleToDpi(int value, int dpi)
{
    return MulDiv(value, dpi, DesignDpi);
}

// The density of the monitor the window is on (the system density where the
// platform cannot tell per window).
int WindowDpi(HWND window);

// The outer size of a window whose client area has the given size at the density.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);
