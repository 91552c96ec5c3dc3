// The guard on 32-bit x86: a small call routine links a structured exception
// record of its own into the fs:0 chain in front of the call. On a fault the
// handler unwinds the chain to that record and jumps back into the routine's
// frame, as a compiler's __except does; the routine unlinks the record, puts
// back every register the caller relies on and reports the fault. The handler
// never answers "continue": an exception flagged non-continuable (a C++ throw)
// would then come back as another one.
#include "binding/FaultGuard.h"

#include "binding/AsmNumber.h"

#include "framework/Win.h"

#include <malloc.h>

namespace {

using fault_guard_detail::FaultRecord;

static_assert(offsetof(FaultRecord, frame) == 0, "the call routine writes the frame at the record's start");

} // namespace

// The routine's frame, from its frame pointer: -4 ebx, -8 esi, -12 edi, then
// these; the registration record (next, handler, fault record) starts at
// -QAV_GUARD_REGISTRATION. Each is written once, for the assembly and the C++ alike.
#define QAV_GUARD_X87_CONTROL 16
#define QAV_GUARD_MXCSR 20
#define QAV_GUARD_REGISTRATION 32
#define QAV_GUARD_RECORD_SLOT 8 // in the registration record

extern "C" {

void qav_guard_resume();
// Continues at qav_guard_resume in the frame of the routine whose record is at registration, reporting a fault.
[[noreturn]] void qav_guard_jump(uintptr_t registration);

EXCEPTION_DISPOSITION __cdecl qav_guard_handler(EXCEPTION_RECORD* exception, void* frame, CONTEXT* context, void*);

asm(R"(
    .text
    .globl _qav_guard_call
    .globl _qav_guard_resume
    .def _qav_guard_call; .scl 2; .type 32; .endef
_qav_guard_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $8, %esp
    fnstcw -)" QAV_ASM_NUMBER(QAV_GUARD_X87_CONTROL) R"((%ebp)
    stmxcsr -)" QAV_ASM_NUMBER(QAV_GUARD_MXCSR) R"((%ebp)
    pushl 16(%ebp)
    pushl $_qav_guard_handler
    pushl %fs:0
    movl %esp, %fs:0
    movl 16(%ebp), %eax
    movl %esp, (%eax)
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
    xorl %eax, %eax
_qav_guard_resume:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    cld
    fninit
    fldcw -)" QAV_ASM_NUMBER(QAV_GUARD_X87_CONTROL) R"((%ebp)
    ldmxcsr -)" QAV_ASM_NUMBER(QAV_GUARD_MXCSR) R"((%ebp)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl _qav_guard_jump
    .def _qav_guard_jump; .scl 2; .type 32; .endef
_qav_guard_jump:
    movl 4(%esp), %eax
    movl %eax, %esp
    leal )" QAV_ASM_NUMBER(QAV_GUARD_REGISTRATION) R"((%eax), %ebp
    movl $1, %eax
    jmp _qav_guard_resume
)");

EXCEPTION_DISPOSITION __cdecl qav_guard_handler(EXCEPTION_RECORD* exception, void* frame, CONTEXT*, void*)
{
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    if (fault_guard_detail::IsInformational(exception->ExceptionCode))
        return ExceptionContinueSearch;

    const uintptr_t registration = reinterpret_cast<uintptr_t>(frame);
    auto* record = *reinterpret_cast<FaultRecord**>(registration + QAV_GUARD_RECORD_SLOT);
    record->code = exception->ExceptionCode;
    record->address = reinterpret_cast<uintptr_t>(exception->ExceptionAddress);
    if (exception->NumberParameters >= 2) {
        record->accessKind = exception->ExceptionInformation[0];
        record->accessAddress = exception->ExceptionInformation[1];
    }
    // Remove every record linked in after ours, running their unwind handlers,
    // then back into the routine's own frame, past the call, with our record on
    // top of the stack. The dispatcher's frames below it are abandoned.
    RtlUnwind(frame, nullptr, exception, nullptr);
    qav_guard_jump(registration);
}

} // extern "C"

void StopGuardedCall(CONTEXT& context, FaultRecord& record) noexcept
{
    record.stopped = true;
    context.Esp = static_cast<DWORD>(record.frame);
    context.Ebp = static_cast<DWORD>(record.frame + QAV_GUARD_REGISTRATION);
    context.Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&qav_guard_resume));
    context.Eax = 1;
}

uintptr_t InstructionPointer(const CONTEXT& context) noexcept
{
    return context.Eip;
}

namespace fault_guard_detail {

void Resume(uintptr_t frame) noexcept
{
    qav_guard_jump(frame);
}

void RestoreStackGuard()
{
    _resetstkoflw();
}

void BeforeCall()
{
}

} // namespace fault_guard_detail
