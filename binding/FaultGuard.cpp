#include "binding/FaultGuard.h"

#include "framework/Win.h"

namespace {

// The file name of the module that holds the address; empty when none does.
UnicodeString ModuleNameAt(uintptr_t address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(address), &module))
        return UnicodeString();
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    const UnicodeString full(path, n);
    const auto slash = full.find_last_of(L"\\/");
    return slash == UnicodeString::npos ? full : full.substr(slash + 1);
}

} // namespace

namespace fault_guard_detail {

void Raise(const FaultRecord& fault)
{
    if (HardwareFault::IsStackOverflow(fault.code))
        RestoreStackGuard();
    throw HardwareFault(fault.code, fault.address, ModuleNameAt(fault.address), fault.accessAddress,
                        fault.accessKind == 1);
}

} // namespace fault_guard_detail
