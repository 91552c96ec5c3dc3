// The guard on x64: exceptions are dispatched by the unwind data of the frames
// they pass, so the call goes through a routine whose unwind data names our
// handler. The handler sees only what the frames below it (the foreign code)
// left unhandled; on a fault it unwinds to that routine's frame (RtlUnwindEx),
// as a compiler's __except does, and the routine puts back every register the
// caller relies on and reports the fault. The handler never answers
// "continue": an exception flagged non-continuable (a C++ throw) would then
// come back as another one.
#include "binding/FaultGuard.h"

#include "binding/AsmNumber.h"

#include "framework/Win.h"

namespace {

using fault_guard_detail::FaultRecord;

// The codes our own compiler's runtime raises to throw and unwind C++ exceptions.
constexpr DWORD GccThrow = 0x20474343u;
constexpr DWORD GccUnwind = 0x21474343u;

static_assert(offsetof(FaultRecord, frame) == 0, "the call routine writes the frame at the record's start");

} // namespace

extern "C" {

void qav_guard_resume();
// Continues at qav_guard_resume in the routine's frame (its stack pointer after the prologue), reporting a fault.
[[noreturn]] void qav_guard_jump(uintptr_t frame);

EXCEPTION_DISPOSITION qav_guard_handler(EXCEPTION_RECORD* exception, void* frame, CONTEXT* context,
                                        DISPATCHER_CONTEXT* dispatch);

// Saves rbx, rbp, rdi, rsi, r12-r15, xmm6-xmm15, MXCSR and the x87 control word,
// all of which the foreign code may leave changed when it faults. The frame, from
// the stack pointer after the prologue (the establisher frame): 0..31 home
// space for the callee, 32..191 xmm6-xmm15, then these, each written once for
// the assembly and the C++ alike.
#define QAV_GUARD_RECORD_SLOT 192 // the fault record's address
#define QAV_GUARD_MXCSR 200
#define QAV_GUARD_X87_CONTROL 204
#define QAV_GUARD_FRAME_SIZE 216
asm(R"(
    .text
    .globl qav_guard_call
    .globl qav_guard_resume
    .def qav_guard_call; .scl 2; .type 32; .endef
    .seh_proc qav_guard_call
qav_guard_call:
    .seh_handler qav_guard_handler, @except
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rbx
    .seh_pushreg %rbx
    pushq %rdi
    .seh_pushreg %rdi
    pushq %rsi
    .seh_pushreg %rsi
    pushq %r12
    .seh_pushreg %r12
    pushq %r13
    .seh_pushreg %r13
    pushq %r14
    .seh_pushreg %r14
    pushq %r15
    .seh_pushreg %r15
    subq $)" QAV_ASM_NUMBER(QAV_GUARD_FRAME_SIZE) R"(, %rsp
    .seh_stackalloc )" QAV_ASM_NUMBER(QAV_GUARD_FRAME_SIZE) R"(
    movaps %xmm6, 32(%rsp)
    .seh_savexmm %xmm6, 32
    movaps %xmm7, 48(%rsp)
    .seh_savexmm %xmm7, 48
    movaps %xmm8, 64(%rsp)
    .seh_savexmm %xmm8, 64
    movaps %xmm9, 80(%rsp)
    .seh_savexmm %xmm9, 80
    movaps %xmm10, 96(%rsp)
    .seh_savexmm %xmm10, 96
    movaps %xmm11, 112(%rsp)
    .seh_savexmm %xmm11, 112
    movaps %xmm12, 128(%rsp)
    .seh_savexmm %xmm12, 128
    movaps %xmm13, 144(%rsp)
    .seh_savexmm %xmm13, 144
    movaps %xmm14, 160(%rsp)
    .seh_savexmm %xmm14, 160
    movaps %xmm15, 176(%rsp)
    .seh_savexmm %xmm15, 176
    .seh_endprologue
    movq %r8, )" QAV_ASM_NUMBER(QAV_GUARD_RECORD_SLOT) R"((%rsp)
    movq %rsp, (%r8)
    stmxcsr )" QAV_ASM_NUMBER(QAV_GUARD_MXCSR) R"((%rsp)
    fnstcw )" QAV_ASM_NUMBER(QAV_GUARD_X87_CONTROL) R"((%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    xorl %eax, %eax
qav_guard_resume:
    cld
    ldmxcsr )" QAV_ASM_NUMBER(QAV_GUARD_MXCSR) R"((%rsp)
    fninit
    fldcw )" QAV_ASM_NUMBER(QAV_GUARD_X87_CONTROL) R"((%rsp)
    movaps 32(%rsp), %xmm6
    movaps 48(%rsp), %xmm7
    movaps 64(%rsp), %xmm8
    movaps 80(%rsp), %xmm9
    movaps 96(%rsp), %xmm10
    movaps 112(%rsp), %xmm11
    movaps 128(%rsp), %xmm12
    movaps 144(%rsp), %xmm13
    movaps 160(%rsp), %xmm14
    movaps 176(%rsp), %xmm15
    addq $)" QAV_ASM_NUMBER(QAV_GUARD_FRAME_SIZE) R"(, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rsi
    popq %rdi
    popq %rbx
    popq %rbp
    ret
    .seh_endproc

    .globl qav_guard_jump
    .def qav_guard_jump; .scl 2; .type 32; .endef
qav_guard_jump:
    movq %rcx, %rsp
    movl $1, %eax
    jmp qav_guard_resume
)");

EXCEPTION_DISPOSITION qav_guard_handler(EXCEPTION_RECORD* exception, void* frame, CONTEXT*,
                                        DISPATCHER_CONTEXT* dispatch)
{
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    const DWORD code = exception->ExceptionCode;
    if (fault_guard_detail::IsInformational(code) || code == GccThrow || code == GccUnwind)
        return ExceptionContinueSearch;

    const uintptr_t establisher = reinterpret_cast<uintptr_t>(frame);
    auto* record = *reinterpret_cast<FaultRecord**>(establisher + QAV_GUARD_RECORD_SLOT);
    record->code = code;
    record->address = reinterpret_cast<uintptr_t>(exception->ExceptionAddress);
    if (exception->NumberParameters >= 2) {
        record->accessKind = exception->ExceptionInformation[0];
        record->accessAddress = exception->ExceptionInformation[1];
    }
    // Unwinds the frames below ours, running their handlers, and continues past
    // the call in the routine's own frame with 1 in rax: it does not return.
    RtlUnwindEx(frame, reinterpret_cast<void*>(&qav_guard_resume), exception, reinterpret_cast<void*>(1),
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;
}

} // extern "C"

void StopGuardedCall(CONTEXT& context, FaultRecord& record) noexcept
{
    record.stopped = true;
    context.Rsp = record.frame;
    context.Rip = reinterpret_cast<DWORD64>(&qav_guard_resume);
    context.Rax = 1;
}

uintptr_t InstructionPointer(const CONTEXT& context) noexcept
{
    return context.Rip;
}

namespace fault_guard_detail {

void Resume(uintptr_t frame) noexcept
{
    qav_guard_jump(frame);
}

// Room the system keeps below the guard page for handling a stack overflow.
constexpr ULONG OverflowRoom = 32 * 1024;

// A stack overflow is raised when the stack grows into the guard page just
// above the room the thread is guaranteed for handling it, and that guard is
// not put back afterwards. Where the stack is committed whole (Wine), the
// system's own guard sits on the last page, too deep to handle anything there,
// so the guard is put where the overflow must be raised, before every guarded
// call and after each overflow. A guard page that the system keeps itself
// (below committed pages) is left alone.
void RestoreStackGuard()
{
    ULONG room = OverflowRoom;
    SetThreadStackGuarantee(&room); // leaves a larger guarantee as it is
    room = room > OverflowRoom ? room : OverflowRoom;

    MEMORY_BASIC_INFORMATION stack{};
    if (!VirtualQuery(&stack, &stack, sizeof stack))
        return;
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const uintptr_t page = system.dwPageSize;
    const uintptr_t guard =
        reinterpret_cast<uintptr_t>(stack.AllocationBase) + page + (room + page - 1) / page * page;
    // A stack already this deep has no room to be guarded.
    if (guard + 2 * page > reinterpret_cast<uintptr_t>(&stack))
        return;
    MEMORY_BASIC_INFORMATION target{};
    if (!VirtualQuery(reinterpret_cast<void*>(guard), &target, sizeof target))
        return;
    if (target.State != MEM_COMMIT || (target.Protect & PAGE_GUARD))
        return;
    DWORD previous = 0;
    VirtualProtect(reinterpret_cast<void*>(guard), page, PAGE_READWRITE | PAGE_GUARD, &previous);
}

void BeforeCall()
{
    RestoreStackGuard();
}

} // namespace fault_guard_detail
