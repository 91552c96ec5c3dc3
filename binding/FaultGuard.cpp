#include "binding/FaultGuard.h"

#include "framework/Win.h"
#include "framework/win32/Paths.h"

extern "C" {
// The architecture's call routine: body(context) with the guard's handler in
// front; returns 0, or 1 after a fault or a stop, recorded in *record. Before
// the call it writes to record->frame where its resume path takes up.
int qav_guard_call(void (*body)(void*) noexcept, void* context, fault_guard_detail::FaultRecord* record);
}

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

void Run(void (*body)(void*) noexcept, void* context, GuardedCallHooks* hooks)
{
    BeforeCall();
    FaultRecord record{};
    if (hooks)
        hooks->Entering(record);
    const int faulted = qav_guard_call(body, context, &record);
    if (hooks)
        hooks->Left();
    if (faulted == 0)
        return;
    if (record.stopped)
        throw GuardedCallStopped{};
    Raise(record);
}

void Raise(const FaultRecord& fault)
{
    if (HardwareFault::IsStackOverflow(fault.code))
        RestoreStackGuard();
    throw HardwareFault(fault.code, fault.address, ModuleNameAt(fault.address), fault.accessAddress,
                        fault.accessKind == 1);
}

} // namespace fault_guard_detail
