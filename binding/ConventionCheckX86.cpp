// The x86 routine behind CallContract: pushes the arguments, calls, and compares
// the stack pointer after the call with the one before the pushes.
#include "binding/ConventionCheck.h"

// Its unwind data lets a C++ exception that the called function throws pass
// through it, as through any compiled frame.
asm(R"(
    .text
    .globl _qav_call_counted
    .def _qav_call_counted; .scl 2; .type 32; .endef
_qav_call_counted:
    .cfi_startproc
    pushl %ebp
    .cfi_def_cfa_offset 8
    .cfi_offset %ebp, -8
    movl %esp, %ebp
    .cfi_def_cfa_register %ebp
    pushl %esi
    .cfi_offset %esi, -12
    movl 16(%ebp), %ecx
    movl 12(%ebp), %esi
1:
    testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:
    call *8(%ebp)
    leal -4(%ebp), %ecx
    subl %esp, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    leal -4(%ebp), %esp
    popl %esi
    .cfi_restore %esi
    popl %ebp
    .cfi_restore %ebp
    .cfi_def_cfa %esp, 4
    ret
    .cfi_endproc
)");
