#include "binding/ProcessEndGuard.h"

#include "binding/DivertedFunction.h"
#include "binding/FaultGuard.h"
#include "binding/ImportTable.h"
#include "binding/LibraryStderr.h"

#include <atomic>
#include <csignal>

namespace {

using SignalHandler = void(__cdecl*)(int);
using SignalFn = SignalHandler(__cdecl*)(int, SignalHandler);

// What the last words need, never destroyed: they may be said while the
// process is being torn down, after the C runtime's exit handlers ran.
struct LastWordsState {
    std::atomic<LastWords> lastWords{nullptr};
    std::atomic<const wchar_t*> operation{nullptr}; // the library call running now, if any
    std::atomic<bool> said{false};
    SRWLOCK programLock = SRWLOCK_INIT;
    std::shared_ptr<const UnicodeString> program;
    // The signal functions of the C runtimes the library uses; written at binding only.
    SignalFn signals[DivertedSlots] = {};
    DWORD flsSlot = FLS_OUT_OF_INDEXES;
};

LastWordsState& State()
{
    static LastWordsState* const state = new LastWordsState;
    return *state;
}

void SayLastWords(const ProcessEnd& end, bool otherThread) noexcept
{
    LastWordsState& state = State();
    const wchar_t* const operation = state.operation.load();
    const LastWords lastWords = state.lastWords.load();
    if (!operation || !lastWords || state.said.exchange(true))
        return;
    // The thread that set the program may have been ended holding the lock.
    std::shared_ptr<const UnicodeString> program;
    if (TryAcquireSRWLockShared(&state.programLock)) {
        program = state.program;
        ReleaseSRWLockShared(&state.programLock);
    }
    static const UnicodeString none;
    lastWords(operation, end, otherThread, program ? *program : none);
}

// Inside a guarded call on this thread: ends the call. Elsewhere: the last
// words, and the caller then ends the process as the library asked.
void LibraryEndsProcess(ProcessEndWay way, uint32_t exitCode) noexcept
{
    EndGuardedCall(static_cast<uint32_t>(way), exitCode);
    SayLastWords(ProcessEnd{way, exitCode}, true);
}

void __cdecl OnAbortSignal(int)
{
    // Returning lets the runtime go on to end the process, as it would have.
    LibraryEndsProcess(ProcessEndWay::Abort, 3);
}

// At the process's end, for the thread that set its value: the binding's thread.
void NTAPI OnFiberDataReleased(void*)
{
    if (InGuardedCall())
        SayLastWords(ProcessEnd{ProcessEndWay::Unseen, 0}, false);
}

bool OwnProcess(HANDLE process) noexcept
{
    return process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId();
}

struct AbortOriginals : Originals<AbortOriginals, void(__cdecl*)()> {};
template <size_t S>
struct DivertedAbort : AbortOriginals {
    static void __cdecl Call()
    {
        LibraryEndsProcess(ProcessEndWay::Abort, 3);
        original[S]();
    }
};

// exit, quick_exit, _exit and _Exit, told apart by way.
template <ProcessEndWay Way>
struct ExitOriginals : Originals<ExitOriginals<Way>, void(__cdecl*)(int)> {};
template <ProcessEndWay Way>
struct DivertedExitOf {
    template <size_t S>
    struct Slot : ExitOriginals<Way> {
        static void __cdecl Call(int code)
        {
            LibraryEndsProcess(Way, static_cast<uint32_t>(code));
            Slot::original[S](code);
        }
    };
};

struct ExitProcessOriginals : Originals<ExitProcessOriginals, void(WINAPI*)(UINT)> {};
template <size_t S>
struct DivertedExitProcess : ExitProcessOriginals {
    static void WINAPI Call(UINT code)
    {
        LibraryEndsProcess(ProcessEndWay::ExitProcess, code);
        original[S](code);
    }
};

struct TerminateProcessOriginals : Originals<TerminateProcessOriginals, BOOL(WINAPI*)(HANDLE, UINT)> {};
template <size_t S>
struct DivertedTerminateProcess : TerminateProcessOriginals {
    static BOOL WINAPI Call(HANDLE process, UINT code)
    {
        if (OwnProcess(process))
            LibraryEndsProcess(ProcessEndWay::TerminateProcess, code);
        return original[S](process, code);
    }
};

constexpr ImportDiversion ends[] = {
    {"abort", &Divert<DivertedAbort>},
    {"exit", &Divert<DivertedExitOf<ProcessEndWay::Exit>::Slot>},
    {"quick_exit", &Divert<DivertedExitOf<ProcessEndWay::QuickExit>::Slot>},
    {"_exit", &Divert<DivertedExitOf<ProcessEndWay::ExitAtOnce>::Slot>},
    {"_Exit", &Divert<DivertedExitOf<ProcessEndWay::ExitAtOnceC99>::Slot>},
    {"ExitProcess", &Divert<DivertedExitProcess>},
    {"TerminateProcess", &Divert<DivertedTerminateProcess>},
};

void NoteSignalFunction(HMODULE runtime) noexcept
{
    const auto signal_ = reinterpret_cast<SignalFn>(reinterpret_cast<void*>(GetProcAddress(runtime, "signal")));
    if (!signal_)
        return;
    for (SignalFn& slot : State().signals) {
        if (slot == signal_)
            return;
        if (!slot) {
            slot = signal_;
            return;
        }
    }
}

void Guard(HMODULE module)
{
    for (HMODULE runtime : ImportHosts(module))
        NoteSignalFunction(runtime);
    DivertImports(module, ends);
    DivertImports(module, StderrWriters());
}

} // namespace

void SetLastWords(LastWords lastWords) noexcept
{
    State().lastWords = lastWords;
}

void GuardProcessEnds(HMODULE library, const std::vector<HMODULE>& brought)
{
    LastWordsState& state = State();
    if (state.flsSlot == FLS_OUT_OF_INDEXES) {
        state.flsSlot = FlsAlloc(&OnFiberDataReleased);
        if (state.flsSlot != FLS_OUT_OF_INDEXES)
            FlsSetValue(state.flsSlot, &state);
    }
    const HMODULE self = GetModuleHandleW(nullptr);
    if (library && library != self)
        Guard(library);
    for (HMODULE module : brought)
        if (module != self && module != library)
            Guard(module);
}

void KeepForLastWords(std::shared_ptr<const UnicodeString> program) noexcept
{
    LastWordsState& state = State();
    AcquireSRWLockExclusive(&state.programLock);
    state.program.swap(program);
    ReleaseSRWLockExclusive(&state.programLock);
}

LibraryCallScope::LibraryCallScope(const wchar_t* operation) noexcept : outer_(State().operation.exchange(operation))
{
    for (SignalFn signal_ : State().signals) {
        if (!signal_)
            break;
        const SignalHandler previous = signal_(SIGABRT, &OnAbortSignal);
        // A handler of the library's own stays: it decides what its abort does.
        if (previous != SIG_DFL && previous != SIG_ERR && previous != &OnAbortSignal)
            signal_(SIGABRT, previous);
    }
    ForgetLibraryStderr();
}

LibraryCallScope::~LibraryCallScope()
{
    State().operation = outer_;
}
