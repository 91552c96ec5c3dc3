// On x64 there is one convention and the caller removes the arguments, so the
// call is an ordinary one through a pointer of the right arity.
#include "tools/qavcheck/StackProbe.h"

ProbedCall ProbeCall(const void* function, const uintptr_t* args, size_t count)
{
    using One = uintptr_t (*)(uintptr_t);
    using Two = uintptr_t (*)(uintptr_t, uintptr_t);
    using Three = uintptr_t (*)(uintptr_t, uintptr_t, uintptr_t);
    using Four = uintptr_t (*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    uintptr_t result = 0;
    switch (count) {
    case 1: result = reinterpret_cast<One>(const_cast<void*>(function))(args[0]); break;
    case 2: result = reinterpret_cast<Two>(const_cast<void*>(function))(args[0], args[1]); break;
    case 3: result = reinterpret_cast<Three>(const_cast<void*>(function))(args[0], args[1], args[2]); break;
    case 4: result = reinterpret_cast<Four>(const_cast<void*>(function))(args[0], args[1], args[2], args[3]); break;
    default: break;
    }
    return ProbedCall{result, 0};
}
