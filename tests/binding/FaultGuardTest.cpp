#include "binding/FaultGuard.h"
#include "framework/Exception.h"
#include "framework/Win.h"

#include <gtest/gtest.h>
#include <unwind.h>

#include <atomic>
#include <cstdint>
#include <iterator>
#include <thread>
#include <vector>

namespace {

__attribute__((noinline)) int ReadNull()
{
    volatile int* p = nullptr;
    return *p;
}

__attribute__((noinline)) int DivideByZero()
{
    volatile int zero = 0;
    volatile int n = 7;
    return n / zero;
}

__attribute__((noinline)) int IllegalInstruction()
{
    asm volatile("ud2");
    return 0;
}

// Raised as a C++ throw of Microsoft's compiler or a Pascal library raises: flagged non-continuable.
template <DWORD Code>
__attribute__((noinline)) int RaiseNonContinuable()
{
    RaiseException(Code, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return 0;
}

// Spins until another thread stops the call.
volatile int keepSpinning = 1;

__attribute__((noinline)) int Spin()
{
    while (keepSpinning) {
    }
    return 0;
}

volatile int recursionLimit = 1 << 30;

__attribute__((noinline)) int Recurse(int depth)
{
    volatile char pad[512];
    pad[0] = static_cast<char>(depth);
    if (depth >= recursionLimit)
        return 0;
    return Recurse(depth + 1) + pad[0];
}

#if defined(__i386__)
// The guard links a record into the thread's fs:0 chain and must unlink it on every path.
void* ThreadGuardState()
{
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

// What the guard must also give back after a fault: the caller's registers.
// Calls call() with markers in every register the calling convention
// preserves and writes what they hold afterwards to after[]: ebx, ebp, esi, edi.
constexpr uintptr_t RegisterMarkers[] = {0x101, 0x102, 0x103, 0x104};
extern "C" void qav_test_registers_after(void (*call)(), uintptr_t* after);
asm(R"(
    .text
    .globl _qav_test_registers_after
_qav_test_registers_after:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl 12(%ebp)
    pushl %ebp
    movl 8(%ebp), %eax
    movl $0x101, %ebx
    movl $0x102, %ebp
    movl $0x103, %esi
    movl $0x104, %edi
    call *%eax
    movl %ebp, %eax
    popl %ebp
    movl -16(%ebp), %ecx
    movl %ebx, 0(%ecx)
    movl %eax, 4(%ecx)
    movl %esi, 8(%ecx)
    movl %edi, 12(%ecx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

// Fills every callee-saved register, the frame pointer among them, with values
// of its own, as any real function would, and calls next, which ends the call
// other than by returning: nothing is saved, as nothing comes back here.
extern "C" void qav_test_clobber_then(void (*next)());
asm(R"(
    .text
    .globl _qav_test_clobber_then
_qav_test_clobber_then:
    movl 4(%esp), %eax
    movl $-1, %ebp
    movl $-1, %ebx
    movl $-1, %esi
    movl $-1, %edi
    call *%eax
    ud2
)");
#else
// x64 registers nothing per thread. What the guard must give back after a fault
// is the caller's registers: calls call() with markers in every register the
// calling convention preserves and writes what they hold afterwards to after[]:
// rbx, rbp, rdi, rsi, r12-r15, then the low halves of xmm6-xmm15.
constexpr uintptr_t RegisterMarkers[] = {0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x107, 0x108, 0x109,
                                         0x10A, 0x10B, 0x10C, 0x10D, 0x10E, 0x10F, 0x110, 0x111, 0x112};
extern "C" void qav_test_registers_after(void (*call)(), uintptr_t* after);
asm(R"(
    .text
    .globl qav_test_registers_after
    .def qav_test_registers_after; .scl 2; .type 32; .endef
    .seh_proc qav_test_registers_after
qav_test_registers_after:
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
    subq $200, %rsp
    .seh_stackalloc 200
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
    movq %rdx, 192(%rsp)
    movl $0x101, %ebx
    movl $0x102, %ebp
    movl $0x103, %edi
    movl $0x104, %esi
    movl $0x105, %r12d
    movl $0x106, %r13d
    movl $0x107, %r14d
    movl $0x108, %r15d
    movl $0x109, %eax
    movq %rax, %xmm6
    movl $0x10A, %eax
    movq %rax, %xmm7
    movl $0x10B, %eax
    movq %rax, %xmm8
    movl $0x10C, %eax
    movq %rax, %xmm9
    movl $0x10D, %eax
    movq %rax, %xmm10
    movl $0x10E, %eax
    movq %rax, %xmm11
    movl $0x10F, %eax
    movq %rax, %xmm12
    movl $0x110, %eax
    movq %rax, %xmm13
    movl $0x111, %eax
    movq %rax, %xmm14
    movl $0x112, %eax
    movq %rax, %xmm15
    callq *%rcx
    movq 192(%rsp), %rax
    movq %rbx, 0(%rax)
    movq %rbp, 8(%rax)
    movq %rdi, 16(%rax)
    movq %rsi, 24(%rax)
    movq %r12, 32(%rax)
    movq %r13, 40(%rax)
    movq %r14, 48(%rax)
    movq %r15, 56(%rax)
    movq %xmm6, 64(%rax)
    movq %xmm7, 72(%rax)
    movq %xmm8, 80(%rax)
    movq %xmm9, 88(%rax)
    movq %xmm10, 96(%rax)
    movq %xmm11, 104(%rax)
    movq %xmm12, 112(%rax)
    movq %xmm13, 120(%rax)
    movq %xmm14, 128(%rax)
    movq %xmm15, 136(%rax)
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
    addq $200, %rsp
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
)");

// Fills every callee-saved register with values of its own, as any real
// function would, and calls next, which ends the call other than by returning:
// nothing is saved, as nothing comes back here.
extern "C" void qav_test_clobber_then(void (*next)());
asm(R"(
    .text
    .globl qav_test_clobber_then
    .def qav_test_clobber_then; .scl 2; .type 32; .endef
    .seh_proc qav_test_clobber_then
qav_test_clobber_then:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq $-1, %rbx
    movq $-1, %rbp
    movq $-1, %rdi
    movq $-1, %rsi
    movq $-1, %r12
    movq $-1, %r13
    movq $-1, %r14
    movq $-1, %r15
    pcmpeqd %xmm6, %xmm6
    pcmpeqd %xmm9, %xmm9
    pcmpeqd %xmm15, %xmm15
    callq *%rcx
    ud2
    .seh_endproc
)");
#endif

// Publishes the record of the guarded call, as a watch does.
class RecordingHooks final : public GuardedCallHooks {
public:
    void Entering(fault_guard_detail::FaultRecord& record) noexcept override { entered = &record; }
    void Left() noexcept override { left = true; }

    std::atomic<fault_guard_detail::FaultRecord*> entered{nullptr};
    bool left = false;
};

// Another thread stops the calling thread's guarded call once it has begun.
std::thread StopperOf(RecordingHooks& hooks)
{
    const HANDLE caller =
        OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, GetCurrentThreadId());
    return std::thread([&hooks, caller] {
        while (!hooks.entered)
            Sleep(1);
        Sleep(50);
        SuspendThread(caller);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
        GetThreadContext(caller, &context);
        StopGuardedCall(context, *hooks.entered);
        SetThreadContext(caller, &context);
        ResumeThread(caller);
        CloseHandle(caller);
    });
}

// The ways a guarded call can end other than by returning, each entered with
// the registers clobbered.
void ReadNullThen()
{
    ReadNull();
}

void RaiseThen()
{
    RaiseNonContinuable<0xE06D7363>();
}

void SpinThen()
{
    Spin();
}

void EndThen()
{
    EndGuardedCall(5, 9);
}

template <void (*Next)()>
void InsideTheGuard()
{
    try {
        CallGuarded([] { qav_test_clobber_then(Next); });
    } catch (const HardwareFault&) {
    } catch (const GuardedCallEnded&) {
    }
}

void StopInsideTheGuard()
{
    RecordingHooks hooks;
    std::thread stopper = StopperOf(hooks);
    try {
        CallGuarded([] { qav_test_clobber_then(SpinThen); }, &hooks);
    } catch (const GuardedCallStopped&) {
    }
    stopper.join();
}

struct FaultCase {
    const char* name;
    int (*body)();
    uint32_t code;
    bool inThisProgram; // raised by an instruction of ours, not by the system's raising routine
};

class FaultGuardTest : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultGuardTest, TurnsTheFaultIntoAnExceptionTwiceInARow)
{
#if defined(__i386__)
    void* const before = ThreadGuardState();
#endif
    for (int round = 0; round < 2; ++round) {
        try {
            CallGuarded(GetParam().body);
            FAIL() << "no fault";
        } catch (const HardwareFault& fault) {
            EXPECT_EQ(fault.Code(), GetParam().code);
            if (GetParam().inThisProgram) {
                EXPECT_EQ(fault.Module(), L"qav_binding_tests.exe");
            }
        }
#if defined(__i386__)
        EXPECT_EQ(ThreadGuardState(), before);
#endif
    }
    EXPECT_EQ(CallGuarded([] { return 5; }), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FaultGuardTest,
    testing::Values(FaultCase{"AccessViolation", ReadNull, 0xC0000005u, true},
                    FaultCase{"DivisionByZero", DivideByZero, 0xC0000094u, true},
                    FaultCase{"IllegalInstruction", IllegalInstruction, 0xC000001Du, true},
                    FaultCase{"StackOverflow", [] { return Recurse(0); }, 0xC00000FDu, true},
                    // Non-continuable: answered with "continue", they would come back as 0xC0000025.
                    FaultCase{"CppException", RaiseNonContinuable<0xE06D7363>, 0xE06D7363u, false},
                    FaultCase{"PascalException", RaiseNonContinuable<0x0EEDFADE>, 0x0EEDFADEu, false},
                    FaultCase{"OtherNonContinuable", RaiseNonContinuable<0xE0000001>, 0xE0000001u, false}),
    [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(FaultGuard, NamesACppExceptionAsSuch)
{
    try {
        CallGuarded(RaiseNonContinuable<0xE06D7363>);
        FAIL() << "no exception";
    } catch (const HardwareFault& fault) {
        EXPECT_EQ(fault.Message().rfind(L"Unhandled C++ exception at address 0x", 0), 0u);
    }
}



// Another thread sends the caller down the resume path: the call ends with GuardedCallStopped.
TEST(FaultGuard, StopsACallFromAnotherThread)
{
#if defined(__i386__)
    void* const before = ThreadGuardState();
#endif
    for (int round = 0; round < 2; ++round) {
        RecordingHooks hooks;
        std::thread stopper = StopperOf(hooks);
        EXPECT_THROW(CallGuarded(Spin, &hooks), GuardedCallStopped);
        stopper.join();
        EXPECT_TRUE(hooks.left);
#if defined(__i386__)
        EXPECT_EQ(ThreadGuardState(), before);
#endif
    }
    EXPECT_EQ(CallGuarded([] { return 5; }), 5);
}



// Code inside the call leaves it through the guard, as a library's exit() turned aside does.
TEST(FaultGuard, EndsACallFromInsideWithTheWayAndCodeGiven)
{
#if defined(__i386__)
    void* const before = ThreadGuardState();
#endif
    for (int round = 0; round < 2; ++round) {
        RecordingHooks hooks;
        try {
            CallGuarded([] { EndGuardedCall(6, static_cast<uint32_t>(-2)); }, &hooks);
            FAIL() << "the call returned";
        } catch (const GuardedCallEnded& ended) {
            EXPECT_EQ(ended.way, 6u);
            EXPECT_EQ(ended.exitCode, static_cast<uint32_t>(-2));
        }
        EXPECT_TRUE(hooks.left);
#if defined(__i386__)
        EXPECT_EQ(ThreadGuardState(), before);
#endif
    }
    EXPECT_FALSE(InGuardedCall());
    // Outside a guarded call there is nothing to end: it returns.
    EndGuardedCall(6, 1);
    EXPECT_TRUE(CallGuarded([] { return InGuardedCall(); }));
}

// Threads other than the main one get their stacks set up apart from it.
TEST(FaultGuard, CatchesStackOverflowsOnAnotherThread)
{
    std::vector<uint32_t> codes;
    std::thread worker([&] {
        for (int round = 0; round < 2; ++round) {
            try {
                CallGuarded([] { return Recurse(0); });
            } catch (const HardwareFault& fault) {
                codes.push_back(fault.Code());
            }
        }
    });
    worker.join();
    EXPECT_EQ(codes, (std::vector<uint32_t>{0xC00000FDu, 0xC00000FDu}));
}

TEST(FaultGuard, PassesCppExceptionsThroughUnchanged)
{
    try {
        CallGuarded([]() -> int { throw Exception(L"from inside"); });
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), L"from inside");
    }
}

// A C++ exception of another runtime (libc++, say) unwinds through the same
// unwinder but is no exception of ours: catch (...) takes it with no
// current_exception(). It must end the call as a failure, not as a success.
TEST(FaultGuard, TurnsAnotherRuntimesExceptionIntoAFailure)
{
    static _Unwind_Exception foreign{};
    foreign.exception_class = 0x434C4E47432B2B00; // "CLNGC++\0", libc++'s class
    foreign.exception_cleanup = [](_Unwind_Reason_Code, _Unwind_Exception*) {};
    bool returned = false;
    EXPECT_THROW(CallGuarded([&] {
                     _Unwind_RaiseException(&foreign);
                     returned = true;
                 }),
                 ForeignCppException);
    EXPECT_FALSE(returned);
}

TEST(FaultGuard, LeavesExceptionsHandledInsideTheCallToTheirHandler)
{
    const int result = CallGuarded([] {
        try {
            throw Exception(L"handled inside");
        } catch (const Exception&) {
        }
        // A guard inside the call is the call's own handler: it takes the fault first.
        try {
            CallGuarded(ReadNull);
        } catch (const HardwareFault&) {
            return 7;
        }
        return 0;
    });
    EXPECT_EQ(result, 7);
}

TEST(FaultGuard, ReportsTheAccessedAddressAndKind)
{
    try {
        CallGuarded([] {
            volatile uintptr_t address = 0x10;
            *reinterpret_cast<volatile int*>(address) = 1;
            return 0;
        });
        FAIL() << "no fault";
    } catch (const HardwareFault& fault) {
        const std::wstring message = fault.Message();
        EXPECT_NE(message.find(L"Write of address 0x"), std::wstring::npos) << message;
        EXPECT_NE(message.find(L"10."), std::wstring::npos) << message;
    }
}

struct RegisterCase {
    const char* name;
    void (*inside)(); // a guarded call that ends other than by returning
};

class RegistersAfter : public testing::TestWithParam<RegisterCase> {};

// The guard gives the caller every register it relies on back, however the call ended.
TEST_P(RegistersAfter, AreTheCallersAgain)
{
    constexpr size_t count = std::size(RegisterMarkers);
    uintptr_t after[count] = {};
    qav_test_registers_after(GetParam().inside, after);
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(after[i], RegisterMarkers[i]) << "register " << i;
}

INSTANTIATE_TEST_SUITE_P(Endings, RegistersAfter,
                         testing::Values(RegisterCase{"Fault", InsideTheGuard<ReadNullThen>},
                                         RegisterCase{"NonContinuableException", InsideTheGuard<RaiseThen>},
                                         RegisterCase{"Stop", StopInsideTheGuard},
                                         RegisterCase{"Ended", InsideTheGuard<EndThen>}),
                         [](const testing::TestParamInfo<RegisterCase>& info) { return info.param.name; });

} // namespace
