#include "binding/Binding.h"

#include "binding/BindingMessages.h"
#include "binding/FaultGuard.h"
#include "binding/InterpreterCalls.h"
#include "framework/Win.h"

void* InterpreterLibrary = nullptr;
QAV_GET_INTERFACE_FN GetInterfaceFunc = nullptr;
QAV_FREE_INTERFACE_FN FreeInterfaceFunc = nullptr;
QAV_INTERFACE* InterpreterInterface = nullptr;
BindingState InterpreterState = BindingState::NoLibrary;

namespace {

bool released = false;

template <class Fn>
Fn EntryPoint(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace

void BindInterpreter(TStrings& log)
{
    const HMODULE library = LoadLibraryW(QAV_LIBRARY_NAME);
    InterpreterLibrary = library;
    if (!library) {
        log.Add(NoLibraryMessage);
        return;
    }
    GetInterfaceFunc = EntryPoint<QAV_GET_INTERFACE_FN>(library, QAV_GET_INTERFACE_NAME);
    FreeInterfaceFunc = EntryPoint<QAV_FREE_INTERFACE_FN>(library, QAV_FREE_INTERFACE_NAME);
    InterpreterState = BindingState::NoEntryPoints;
    if (!GetInterfaceFunc) {
        log.Add(NoGetInterfaceMessage);
        return;
    }
    if (!FreeInterfaceFunc) {
        log.Add(NoFreeInterfaceMessage);
        return;
    }
    InterpreterState = BindingState::NoInterface;
    try {
        const int32_t acquired = CallGuarded([] { return GetInterfaceFunc(&InterpreterInterface); });
        // A success that left the slot empty gives nothing to call: a failure too.
        if (!acquired || !InterpreterInterface) {
            log.Add(NoInterfaceMessage);
            return;
        }
        InterpreterState = BindingState::Bound;
        log.Add(VersionPrefix + CallText(InterpreterInterface, &QAV_VTABLE::GetVersion));
    } catch (const HardwareFault& fault) {
        log.Add(fault.Message());
    }
}

void ReleaseInterpreter(TStrings& log)
{
    if (released)
        return;
    released = true;
    if (InterpreterInterface && FreeInterfaceFunc) {
        try {
            if (!CallGuarded([] { return FreeInterfaceFunc(&InterpreterInterface); }))
                log.Add(FreeFailedMessage);
        } catch (const HardwareFault& fault) {
            log.Add(fault.Message());
        }
    }
    if (InterpreterLibrary)
        FreeLibrary(static_cast<HMODULE>(InterpreterLibrary));
}
