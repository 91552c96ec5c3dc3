// A library's exported function, typed once where it is looked up.
#pragma once

#include "framework/Win.h"

// The function exported under the name, as a pointer of type Fn; null when the
// module is null or exports no such name.
template <class Fn>
Fn ProcAddress(HMODULE module, const char* name) noexcept
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
