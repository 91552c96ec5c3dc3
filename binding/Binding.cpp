#include "binding/Binding.h"

#include "binding/BindingMessages.h"
#include "binding/ConventionCheck.h"
#include "binding/CallWatch.h"
#include "binding/InterpreterCalls.h"
#include "binding/InterpreterFault.h"
#include "binding/LoadedModules.h"
#include "binding/ProcessEndGuard.h"
#include "framework/win32/ProcAddress.h"
#include "framework/win32/UniqueHandle.h"

HMODULE InterpreterLibrary = nullptr;
QAV_GET_INTERFACE_FN GetInterfaceFunc = nullptr;
QAV_FREE_INTERFACE_FN FreeInterfaceFunc = nullptr;
QAV_INTERFACE* InterpreterInterface = nullptr;
BindingState InterpreterState = BindingState::NoLibrary;

namespace {

const wchar_t* libraryPath = QAV_LIBRARY_NAME;

// Owns the loaded library until the release unloads it.
UniqueModule heldLibrary;

} // namespace

void BindInterpreter(TStrings& log)
{
    const std::vector<HMODULE> before = LoadedModules();
    heldLibrary.Reset(LoadLibraryW(libraryPath));
    InterpreterLibrary = heldLibrary.Get();
    GetInterfaceFunc = nullptr;
    FreeInterfaceFunc = nullptr;
    InterpreterState = BindingState::NoLibrary;
    if (!InterpreterLibrary) {
        log.Add(NoLibraryMessage);
        return;
    }
    // Before any call: a library that ends the process inside one ends the call instead.
    GuardProcessEnds(InterpreterLibrary, ModulesBroughtSince(before));
    GetInterfaceFunc = ProcAddress<QAV_GET_INTERFACE_FN>(InterpreterLibrary, QAV_GET_INTERFACE_NAME);
    FreeInterfaceFunc = ProcAddress<QAV_FREE_INTERFACE_FN>(InterpreterLibrary, QAV_FREE_INTERFACE_NAME);
    if (CallWatch* watch = CallWatch::Active())
        watch->SetLibrary(InterpreterLibrary,
                          ProcAddress<QAV_STOP_INTERFACE_FN>(InterpreterLibrary, QAV_STOP_INTERFACE_NAME),
                          &InterpreterInterface);
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
        const int32_t acquired =
            CallInterpreter(L"GetQAVInterface", [] { return CallContract(GetInterfaceFunc, &InterpreterInterface); });
        // A success that left the slot empty gives nothing to call: a failure too.
        if (!acquired || !InterpreterInterface) {
            log.Add(NoInterfaceMessage);
        } else {
            InterpreterState = BindingState::Bound;
            log.Add(VersionPrefix + CallText(InterpreterInterface, GetVersionOperation));
        }
    } catch (const ForeignFailure& failure) {
        log.Add(failure.Message());
    } catch (const InterpreterStopped& stopped) {
        log.Add(stopped.Message());
    }
    // A library of the wrong calling convention is said at once, after the binding's line.
    if (const UnicodeString notice = TakeConventionNotice(); !notice.empty())
        log.Add(notice);
}

QAV_INTERFACE* BoundInterface() noexcept
{
    return InterpreterState == BindingState::Bound ? InterpreterInterface : nullptr;
}

void ReleaseInterpreter(TStrings& log)
{
    if (InterpreterState == BindingState::Released)
        return;
    InterpreterState = BindingState::Released;
    if (InterpreterInterface && FreeInterfaceFunc) {
        try {
            if (!CallInterpreter(L"FreeQAVInterface", [] { return CallContract(FreeInterfaceFunc, &InterpreterInterface); }))
                log.Add(FreeFailedMessage);
        } catch (const ForeignFailure& failure) {
            log.Add(failure.Message());
        } catch (const InterpreterStopped& stopped) {
            log.Add(stopped.Message());
        }
    }
    if (CallWatch* watch = CallWatch::Active())
        watch->ForgetLibrary();
    heldLibrary.Reset();
}

ScopedInterpreterLibrary::ScopedInterpreterLibrary(const wchar_t* path) noexcept : previous_(libraryPath)
{
    libraryPath = path;
}

ScopedInterpreterLibrary::~ScopedInterpreterLibrary()
{
    libraryPath = previous_;
}
