// The binding of a window to the object that serves it, for a static window
// procedure: bound once at WM_NCCREATE, from CreateWindowExW's last argument,
// with the object's window owner taking the window (so that a constructor that
// throws after the create leaves no window behind); unbound at WM_NCDESTROY,
// when the window is destroyed from outside.
#pragma once

#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

// The object for this message, or null: before the binding, for WM_NCDESTROY
// (after which the object neither owns the window nor is reached through it),
// and after. owner: the object's member that owns its window.
template <class Object>
Object* BoundObject(HWND window, UINT message, LPARAM lParam, UniqueWindow Object::*owner) noexcept
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Object*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        (self->*owner).Reset(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return self;
    }
    auto* self = reinterpret_cast<Object*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        (self->*owner).Release();
        return nullptr;
    }
    return self;
}
