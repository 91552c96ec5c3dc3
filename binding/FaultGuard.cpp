#include "binding/FaultGuard.h"

#include "framework/Win.h"

#include <malloc.h>

#include <cstdint>

namespace {

// Starts like the system's EXCEPTION_REGISTRATION_RECORD (next, handler); the
// rest is ours, filled in by the handler.
struct GuardRecord {
    GuardRecord* next;
    void* handler;
    void* jump[5]; // __builtin_setjmp's buffer
    uintptr_t resumeStack;
    uint32_t code;
    uintptr_t address;
    uintptr_t accessKind;
    uintptr_t accessAddress;
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

UnicodeString ModuleNameAt(uintptr_t address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(address), &module))
        return UnicodeString();
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    const UnicodeString full(path, n);
    const auto slash = full.find_last_of(L"\\/");
    return slash == UnicodeString::npos ? full : full.substr(slash + 1);
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
    // Informational codes (such as debug output) are not failures.
    if ((exception->ExceptionCode & 0xC0000000u) == 0x40000000u)
        return ExceptionContinueSearch;

    auto* record = static_cast<GuardRecord*>(frame);
    record->code = exception->ExceptionCode;
    record->address = reinterpret_cast<uintptr_t>(exception->ExceptionAddress);
    if (exception->NumberParameters >= 2) {
        record->accessKind = exception->ExceptionInformation[0];
        record->accessAddress = exception->ExceptionInformation[1];
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
    const uint32_t code = seen->code;
    if (HardwareFault::IsStackOverflow(code))
        _resetstkoflw();
    const uintptr_t address = seen->address;
    throw HardwareFault(code, address, ModuleNameAt(address), seen->accessAddress, seen->accessKind == 1);
}

} // namespace fault_guard_detail
