// A hardware fault inside the interpreter library, and the guarded call that
// reports one as such.
#pragma once

#include "binding/FaultGuard.h"
#include "framework/HardwareFault.h"

class InterpreterFault : public HardwareFault {
public:
    explicit InterpreterFault(const HardwareFault& fault) : HardwareFault(fault) {}

    // The fault's description, then what it means for the rest of the session.
    UnicodeString Message() const override
    {
        return HardwareFault::Message() + L" The interpreter may now be unreliable.";
    }
};

// Calls into the library under the fault guard; a fault leaves as InterpreterFault.
template <class Body>
auto CallInterpreter(Body&& body) -> decltype(body())
{
    try {
        return CallGuarded(body);
    } catch (const HardwareFault& fault) {
        throw InterpreterFault(fault);
    }
}
