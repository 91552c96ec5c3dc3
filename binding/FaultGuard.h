// Calls into foreign code with the processor's faults turned into a C++
// exception of our own (HardwareFault) thrown from the caller's frame, so that a
// faulty interpreter library cannot end the process.
//
// Limits, which follow from how it works (a structured exception record of our
// own linked in front of the call, and a jump back to our frame on a fault):
// - Only 32-bit x86: it works on the fs:0 chain of exception records.
// - Frames between the guard and the fault are abandoned, not unwound: keep the
//   guarded body to the foreign call itself, with no objects that need
//   destructors inside it. C++ exceptions thrown inside the body are carried out
//   and rethrown after the guard, so they are fine.
// - Exceptions the foreign code handles itself never reach the guard; those
//   that reach it are taken whatever their code, except informational ones.
// - After a fault the foreign code's state (its heap, its locks, its globals) is
//   unknown: a later call may fail again or behave oddly.
// - A stack overflow is recovered once the guard page is restored; an overflow
//   so deep that the system cannot even dispatch the exception still ends the
//   process.
#pragma once

#include "framework/HardwareFault.h"

#include <exception>
#include <type_traits>

namespace fault_guard_detail {
// Runs body(context); throws HardwareFault if a fault leaves it.
void Run(void (*body)(void*) noexcept, void* context);
} // namespace fault_guard_detail

template <class Body>
auto CallGuarded(Body&& body) -> decltype(body())
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
            }
        },
        &context);
    if (context.error)
        std::rethrow_exception(context.error);
    if constexpr (!std::is_void_v<Result>)
        return context.result;
}
