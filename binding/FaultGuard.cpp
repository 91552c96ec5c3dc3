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

// The guarded call the thread is in: a slot of the thread's own, so that code the
// call reaches (on that thread) can find it without a lock.
const DWORD currentCall = TlsAlloc();

fault_guard_detail::FaultRecord* CurrentRecord() noexcept
{
    return currentCall == TLS_OUT_OF_INDEXES ? nullptr
                                            : static_cast<fault_guard_detail::FaultRecord*>(TlsGetValue(currentCall));
}

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

bool InGuardedCall() noexcept
{
    return CurrentRecord() != nullptr;
}

void EndGuardedCall(uint32_t way, uint32_t exitCode) noexcept
{
    fault_guard_detail::FaultRecord* record = CurrentRecord();
    if (!record || record->frame == 0 || way == 0)
        return;
    record->endedWay = way;
    record->exitCode = exitCode;
    fault_guard_detail::Resume(record->frame);
}

namespace fault_guard_detail {

void Run(void (*body)(void*) noexcept, void* context, GuardedCallHooks* hooks)
{
    BeforeCall();
    FaultRecord record{};
    if (hooks)
        hooks->Entering(record);
    FaultRecord* const outer = CurrentRecord();
    if (currentCall != TLS_OUT_OF_INDEXES)
        TlsSetValue(currentCall, &record);
    const int faulted = qav_guard_call(body, context, &record);
    if (currentCall != TLS_OUT_OF_INDEXES)
        TlsSetValue(currentCall, outer);
    if (hooks)
        hooks->Left();
    if (faulted == 0)
        return;
    if (record.stopped)
        throw GuardedCallStopped{};
    if (record.endedWay != 0)
        throw GuardedCallEnded{record.endedWay, record.exitCode};
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
