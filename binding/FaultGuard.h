// Calls into foreign code with the processor's faults turned into a C++
// exception of our own (HardwareFault) thrown from the caller's frame, so that a
// faulty interpreter library cannot end the process.
//
// How it works: a handler of our own sits in front of the call, and on a fault
// execution jumps back to our frame, where the fault is thrown as HardwareFault.
// - 32-bit x86: a structured exception record linked into the fs:0 chain.
// - 64-bit x64: a small call routine whose unwind data names our handler, so the
//   system's table-based dispatch reaches it like any frame's handler. It saves
//   every register the caller relies on and puts them back after a fault.
//
// The handler unwinds to the guard's frame as a compiler's __except does (x86
// RtlUnwind, x64 RtlUnwindEx) and never tells the system to go on, so an
// exception flagged non-continuable (a C++ throw of Microsoft's compiler,
// 0xE06D7363) is caught like a fault.
//
// Another thread may stop a guarded call (StopGuardedCall): with the calling
// thread suspended inside the call, it sends it down the same resume path, and
// the guard throws GuardedCallStopped. Code the call reaches on its own thread
// may leave it the same way (EndGuardedCall): a library's exit() or abort(),
// turned aside, ends the call instead of the process.
//
// Limits, on both:
// - Between the guard and the fault, the system's unwinder runs the handlers the
//   frames registered (a Microsoft-compiled library's destructors among them);
//   frames it does not know, such as our own compiler's on x86, are abandoned:
//   keep the guarded body to the foreign call itself, with no objects that need
//   destructors inside it. A stop abandons every frame in between, unwinding
//   none. C++ exceptions thrown inside the body are carried out and rethrown
//   after the guard, so they are fine.
// - Exceptions the foreign code handles itself never reach the guard; those
//   that reach it are taken whatever their code, except informational ones (and,
//   on x64, the exceptions our own compiler's runtime raises to throw C++
//   exceptions, which belong to the frames that throw them).
// - After a fault the foreign code's state (its heap, its locks, its globals) is
//   unknown: a later call may fail again or behave oddly.
// - A stack overflow is recovered once the guard page is restored; an overflow
//   so deep that the system cannot even dispatch the exception still ends the
//   process.
#pragma once

#include "framework/HardwareFault.h"
#include "framework/Win.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <type_traits>

// Thrown by the guard when another thread stopped the call (StopGuardedCall).
struct GuardedCallStopped {};

// Thrown by the guard for a C++ exception of another runtime than ours (clang's
// libc++, say), which cannot be carried out of the call as itself.
struct ForeignCppException {};

// Thrown by the guard when code inside the call left it through EndGuardedCall:
// the foreign code asked to end the process (way and exit code as given there).
struct GuardedCallEnded {
    uint32_t way;
    uint32_t exitCode;
};

namespace fault_guard_detail {

// What the handler saw, kept until the guard throws it.
struct FaultRecord {
    uintptr_t frame;         // written by the call routine before the call: where its resume path takes up
    uint32_t code;
    uintptr_t address;
    uintptr_t accessKind;    // for an access violation: 0 read, 1 write, 8 execute
    uintptr_t accessAddress; // for an access violation: the address touched
    bool stopped;            // set by StopGuardedCall
    uint32_t endedWay;       // set by EndGuardedCall; 0: the call was not ended so
    uint32_t exitCode;
};

} // namespace fault_guard_detail

// Told on the calling thread when a guarded call begins and when it has ended,
// however it ended. The record lives as long as the call; its frame is written
// once the call routine has set up its frame, before the body runs.
class GuardedCallHooks {
public:
    virtual void Entering(fault_guard_detail::FaultRecord& record) noexcept = 0;
    virtual void Left() noexcept = 0;

protected:
    ~GuardedCallHooks() = default;
};

// For a thread other than the caller: sends the caller, suspended (SuspendThread)
// and with its context read (GetThreadContext with CONTEXT_CONTROL and
// CONTEXT_INTEGER), down the resume path of the guarded call of record, as after
// a fault. Write the context back with SetThreadContext before resuming it.
// Only safe where the thread runs code that holds no lock of the system: the
// frames between the guard and that point are abandoned.
void StopGuardedCall(CONTEXT& context, fault_guard_detail::FaultRecord& record) noexcept;

// The instruction pointer of a thread's context.
uintptr_t InstructionPointer(const CONTEXT& context) noexcept;

// True while the calling thread runs inside a guarded call.
bool InGuardedCall() noexcept;

// On the thread of a guarded call, from code that the call reached: abandons
// every frame between here and the guard, which then throws
// GuardedCallEnded{way, exitCode} (way must not be 0). Like a stop, it unwinds
// none of those frames. Returns only when the thread is in no guarded call.
void EndGuardedCall(uint32_t way, uint32_t exitCode) noexcept;

namespace fault_guard_detail {

// Runs body(context); throws HardwareFault if a fault leaves it, GuardedCallStopped
// if it was stopped, GuardedCallEnded if it was ended.
void Run(void (*body)(void*) noexcept, void* context, GuardedCallHooks* hooks);

// What the architecture needs done before each guarded call.
void BeforeCall();

// Continues on the resume path of the call routine whose frame is given,
// reporting a fault or an end, as after a fault.
[[noreturn]] void Resume(uintptr_t frame) noexcept;

// After a fault: makes the thread's stack usable again if it overflowed, then
// throws the fault as HardwareFault.
[[noreturn]] void Raise(const FaultRecord& fault);

// Puts back the guard page that an overflow of the thread's stack used up, so a
// second overflow is caught as the first was.
void RestoreStackGuard();

// Informational codes (such as debug output) are not failures.
constexpr bool IsInformational(uint32_t code)
{
    return (code & 0xC0000000u) == 0x40000000u;
}

} // namespace fault_guard_detail

template <class Body>
auto CallGuarded(Body&& body, GuardedCallHooks* hooks = nullptr) -> decltype(body())
{
    using Result = decltype(body());
    using Stored = std::conditional_t<std::is_void_v<Result>, int, Result>;
    struct Context {
        std::remove_reference_t<Body>* body;
        Stored result{};
        std::exception_ptr error;
    } context{&body, Stored{}, nullptr};

    fault_guard_detail::Run(
        [](void* p) noexcept {
            auto* c = static_cast<Context*>(p);
            try {
                if constexpr (std::is_void_v<Result>)
                    (*c->body)();
                else
                    c->result = (*c->body)();
            } catch (...) {
                c->error = std::current_exception();
                if (!c->error)
                    c->error = std::make_exception_ptr(ForeignCppException{});
            }
        },
        &context, hooks);
    if (context.error)
        std::rethrow_exception(context.error);
    if constexpr (!std::is_void_v<Result>)
        return context.result;
}
