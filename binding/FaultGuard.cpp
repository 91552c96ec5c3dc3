#include "binding/FaultGuard.h"

#include "framework/Win.h"
#include "framework/win32/SizedString.h"

namespace {

// The file name of the module that holds the address; empty when none does.
UnicodeString ModuleNameAt(uintptr_t address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(address), &module))
        return UnicodeString();
    return FileNameOf(ModuleFileName(module));
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
