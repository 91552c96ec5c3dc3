// Calls a function of the library as the contract's convention does, with
// pointer-sized arguments, and measures what the call did to the stack.
#pragma once

#include <cstddef>
#include <cstdint>

struct ProbedCall {
    uintptr_t result;       // EAX / RAX as the function left it
    std::ptrdiff_t removed; // bytes of arguments the function took off the stack (x86); 0 on x64
};

// On x86 the arguments are pushed right to left and the stack pointer is read
// before and after the call; whatever the function leaves, the caller's stack is
// put back, so a function of the wrong convention does no harm here. count is
// at most 4. Not noexcept: on x64 a C++ exception of the library's runtime
// passes through it to the checker's catch, as it reaches the workbench's.
ProbedCall ProbeCall(const void* function, const uintptr_t* args, size_t count);

// The bytes a stdcall function takes off the stack for count arguments: 4 each
// on x86; x64 has one convention, where the caller removes them.
constexpr std::ptrdiff_t StdcallRemoves(size_t count)
{
    return sizeof(void*) == 4 ? static_cast<std::ptrdiff_t>(4 * count) : 0;
}

// Whether this build can tell conventions apart at all.
constexpr bool MeasuresStack()
{
    return sizeof(void*) == 4;
}
