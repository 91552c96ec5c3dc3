// On x86: pushes the arguments itself, notes the stack pointer before the call
// and after it, and puts the caller's stack back from its own frame pointer.
#include "tools/qavcheck/StackProbe.h"

extern "C" uintptr_t qavcheck_probe(const void* function, const uintptr_t* args, size_t count,
                                    std::ptrdiff_t* removed);

// The frame: -4 ebx, -8 esi, -12 edi, -16 the stack pointer once the arguments are pushed.
asm(".text\n"
    ".globl _qavcheck_probe\n"
    "_qavcheck_probe:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    subl $4, %esp\n"
    "    movl 12(%ebp), %esi\n"
    "    movl 16(%ebp), %ecx\n"
    "1:  testl %ecx, %ecx\n"
    "    jz 2f\n"
    "    pushl -4(%esi,%ecx,4)\n"
    "    decl %ecx\n"
    "    jmp 1b\n"
    "2:  movl %esp, -16(%ebp)\n"
    "    call *8(%ebp)\n"
    "    movl %esp, %ecx\n"
    "    subl -16(%ebp), %ecx\n"
    "    movl 20(%ebp), %edx\n"
    "    movl %ecx, (%edx)\n"
    "    leal -12(%ebp), %esp\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n");

ProbedCall ProbeCall(const void* function, const uintptr_t* args, size_t count)
{
    std::ptrdiff_t removed = 0;
    const uintptr_t result = qavcheck_probe(function, args, count, &removed);
    return ProbedCall{result, removed};
}
