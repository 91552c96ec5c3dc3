// Owns one Win32 handle and closes it with the close function of its kind when
// it goes out of scope: UniqueHandle<HFONT, DeleteObject>. Both failure values
// that Win32 calls return, null and INVALID_HANDLE_VALUE (CreateFileW), count as
// no handle.
#pragma once

#include "framework/Win.h"

#include <utility>

template <class Handle, auto Close>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const noexcept { return handle_; }
    bool Valid() const noexcept
    {
        return handle_ != Handle{} && reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE;
    }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives the handle up without closing it.
    Handle Release() noexcept { return std::exchange(handle_, Handle{}); }

    // Closes the handle held, if any, and takes another.
    void Reset(Handle handle = Handle{}) noexcept
    {
        if (Valid())
            Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_{};
};

using UniqueFile = UniqueHandle<HANDLE, CloseHandle>;
using UniqueKernelObject = UniqueHandle<HANDLE, CloseHandle>; // a process, thread or event
using UniqueFont = UniqueHandle<HFONT, DeleteObject>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, LocalFree>;
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;

// A window bound to its object: unbound first, then destroyed, so that the
// messages of its destruction reach no object that is going away.
inline BOOL DestroyBoundWindow(HWND window) noexcept
{
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DestroyWindow(window);
}

// A child window, which its parent's destruction may already have taken along.
inline BOOL DestroyLiveWindow(HWND window) noexcept
{
    return IsWindow(window) ? DestroyWindow(window) : FALSE;
}

using UniqueWindow = UniqueHandle<HWND, DestroyBoundWindow>;
using UniqueChildWindow = UniqueHandle<HWND, DestroyLiveWindow>;
