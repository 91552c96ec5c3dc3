// What can go wrong in a call into the interpreter library, as reports that
// name the call: a hardware fault, a C++ exception that escaped it, an end of
// the process turned aside, a stop by the user; and the guarded, watched call
// that reports them as such.
#pragma once

#include "binding/CallWatch.h"
#include "binding/ConventionCheck.h"
#include "binding/CppExceptionText.h"
#include "binding/FaultGuard.h"
#include "binding/ProcessEnd.h"
#include "binding/ProcessEndGuard.h"
#include "framework/Exception.h"
#include "framework/ForeignFailure.h"
#include "framework/HardwareFault.h"

class InterpreterFault : public HardwareFault {
public:
    InterpreterFault(const HardwareFault& fault, const wchar_t* operation)
        : HardwareFault(fault), operation_(operation)
    {
    }

    // The fault's description, the call it arose in, and what it means for the
    // rest of the session.
    UnicodeString Message() const override
    {
        return HardwareFault::Message() + L" It arose in the library's " + operation_ +
               L". The interpreter may now be unreliable.";
    }

private:
    UnicodeString operation_;
};

// A C++ exception that escaped the library's operation: "A C++ exception
// escaped the library's Execute: <what()> (<type>)."
class InterpreterThrew : public ForeignFailure {
public:
    InterpreterThrew(const wchar_t* operation, CppExceptionText exception)
        : operation_(operation), exception_(std::move(exception))
    {
    }
    UnicodeString Message() const override;

private:
    UnicodeString operation_;
    CppExceptionText exception_;
};

// The library tried to end the process inside the operation, and the call was
// ended instead: "The library called exit(3) in Execute...". written: what it
// wrote to stderr during the call.
class InterpreterEnded : public ForeignFailure {
public:
    InterpreterEnded(const wchar_t* operation, ProcessEnd end, UnicodeString written)
        : operation_(operation), end_(end), written_(std::move(written))
    {
    }
    UnicodeString Message() const override;

private:
    UnicodeString operation_;
    ProcessEnd end_;
    UnicodeString written_;
};

// A library call that the user stopped: "Execute stopped after 3.2 s.", and how:
// whether the library was asked through StopQAVInterface first.
class InterpreterStopped : public Exception {
public:
    InterpreterStopped(const wchar_t* operation, double seconds, bool libraryAsked);
};

namespace interpreter_call_detail {

// A C++ exception of the library's caught inside the guarded call, carried out of it.
struct LibraryThrew {
    CppExceptionText exception;
};

// The report of a call the library tried to end the process in: an abort()
// that its C++ runtime's terminate explains is reported as the exception.
[[noreturn]] void ThrowEnded(const wchar_t* operation, const GuardedCallEnded& ended);

} // namespace interpreter_call_detail

// Calls into the library under the fault guard, watched by the active call
// watch, with the ends of the process turned aside: a fault leaves as
// InterpreterFault, an escaped C++ exception as InterpreterThrew, an end of the
// process as InterpreterEnded (or InterpreterThrew), a stop as InterpreterStopped.
template <class Body>
auto CallInterpreter(const wchar_t* operation, Body&& body) -> decltype(body())
{
    WatchedCall watched(operation);
    const ArgumentCheck checked(operation);
    const LibraryCallScope scope(operation);
    using interpreter_call_detail::LibraryThrew;
    try {
        // Nothing of ours in the body throws: what a catch sees there is the
        // library's, and only an interpreter in our own image throws our types.
        return CallGuarded(
            [&] {
                try {
                    return body();
                } catch (...) {
                    if (CaughtExceptionIsOurs())
                        throw;
                    throw LibraryThrew{DescribeCaughtException()};
                }
            },
            watched.Hooks());
    } catch (const HardwareFault& fault) {
        throw InterpreterFault(fault, operation);
    } catch (const LibraryThrew& threw) {
        throw InterpreterThrew(operation, threw.exception);
    } catch (const GuardedCallEnded& ended) {
        interpreter_call_detail::ThrowEnded(operation, ended);
    } catch (const GuardedCallStopped&) {
        throw InterpreterStopped(operation, watched.Seconds(), watched.LibraryWasAsked());
    }
}
