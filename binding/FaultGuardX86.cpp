// The guard on 32-bit x86: a structured exception record of our own linked into
// the fs:0 chain in front of the call.
#include "binding/FaultGuard.h"

#include "framework/Win.h"

#include <malloc.h>

namespace {

using fault_guard_detail::FaultRecord;

// Starts like the system's EXCEPTION_REGISTRATION_RECORD (next, handler); the
// rest is ours, filled in by the handler.
struct GuardRecord {
    GuardRecord* next;
    void* handler;
    void* jump[5]; // __builtin_setjmp's buffer
    uintptr_t resumeStack;
    FaultRecord fault;
};

GuardRecord* ChainHead()
{
    GuardRecord* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(GuardRecord* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

} // namespace

extern "C" {

// Reached on the stack saved at the call, with the record in EAX: back to the guard.
[[noreturn]] void qav_fault_rescue_jump(GuardRecord* record)
{
    __builtin_longjmp(record->jump, 1);
}

void qav_fault_rescue();
asm(".text\n"
    ".globl _qav_fault_rescue\n"
    "_qav_fault_rescue:\n"
    "    pushl %eax\n"
    "    call _qav_fault_rescue_jump\n");

EXCEPTION_DISPOSITION __cdecl qav_fault_handler(EXCEPTION_RECORD* exception, void* frame, CONTEXT* context, void*)
{
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    if (fault_guard_detail::IsInformational(exception->ExceptionCode))
        return ExceptionContinueSearch;

    auto* record = static_cast<GuardRecord*>(frame);
    record->fault.code = exception->ExceptionCode;
    record->fault.address = reinterpret_cast<uintptr_t>(exception->ExceptionAddress);
    if (exception->NumberParameters >= 2) {
        record->fault.accessKind = exception->ExceptionInformation[0];
        record->fault.accessAddress = exception->ExceptionInformation[1];
    }
    // Remove every record linked in after ours, running their unwind handlers.
    RtlUnwind(frame, nullptr, exception, nullptr);
    context->Esp = static_cast<DWORD>(record->resumeStack);
    context->Eax = static_cast<DWORD>(reinterpret_cast<uintptr_t>(record));
    context->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&qav_fault_rescue));
    return ExceptionContinueExecution;
}

} // extern "C"

namespace fault_guard_detail {

void RestoreStackGuard()
{
    _resetstkoflw();
}

void Run(void (*body)(void*) noexcept, void* context)
{
    GuardRecord record{};
    volatile GuardRecord* seen = &record;
    record.handler = reinterpret_cast<void*>(&qav_fault_handler);

    if (__builtin_setjmp(record.jump) == 0) {
        record.next = ChainHead();
        SetChainHead(&record);
        asm volatile("movl %%esp, %0" : "=m"(record.resumeStack) : : "memory");
        body(context);
        SetChainHead(record.next);
        return;
    }

    SetChainHead(seen->next);
    Raise(const_cast<GuardRecord*>(seen)->fault);
}

} // namespace fault_guard_detail
