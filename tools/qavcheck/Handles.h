// Owners of the system handles the checker holds, one deleter per kind.
#pragma once

#include "framework/Win.h"

#include <memory>

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
// A kernel object: event, thread, process or file (never INVALID_HANDLE_VALUE).
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct LibraryFreer {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<HINSTANCE__, LibraryFreer>;
