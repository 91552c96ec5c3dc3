// A hardware fault inside the interpreter library, a call stopped by the user,
// and the guarded, watched call that reports them as such.
#pragma once

#include "binding/CallWatch.h"
#include "binding/ConventionCheck.h"
#include "binding/FaultGuard.h"
#include "framework/Exception.h"
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

// A library call that the user stopped: "Execute stopped after 3.2 s."
class InterpreterStopped : public Exception {
public:
    InterpreterStopped(const wchar_t* operation, double seconds);
};

// Calls into the library under the fault guard, watched by the active call
// watch; a fault leaves as InterpreterFault, a stop as InterpreterStopped.
template <class Body>
auto CallInterpreter(const wchar_t* operation, Body&& body) -> decltype(body())
{
    WatchedCall watched(operation);
    const ArgumentCheck checked(operation);
    try {
        return CallGuarded(body, watched.Hooks());
    } catch (const HardwareFault& fault) {
        throw InterpreterFault(fault, operation);
    } catch (const GuardedCallStopped&) {
        throw InterpreterStopped(operation, watched.Seconds());
    }
}
