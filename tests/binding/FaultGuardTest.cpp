#include "binding/FaultGuard.h"
#include "framework/Exception.h"
#include "framework/Win.h"

#include <gtest/gtest.h>

#include <cstdint>
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
// preserves (ebx, esi, edi, ebp) and returns a bit for each one that changed.
extern "C" unsigned qav_test_changed_registers(void (*call)());
asm(R"(
    .text
    .globl _qav_test_changed_registers
_qav_test_changed_registers:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 8(%ebp), %eax
    pushl %ebp
    movl $0x101, %ebx
    movl $0x102, %ebp
    movl $0x103, %edi
    movl $0x104, %esi
    call *%eax
    xorl %eax, %eax
    cmpl $0x101, %ebx
    je 1f
    orl $0x1, %eax
1:  cmpl $0x102, %ebp
    je 1f
    orl $0x2, %eax
1:  cmpl $0x103, %edi
    je 1f
    orl $0x4, %eax
1:  cmpl $0x104, %esi
    je 1f
    orl $0x8, %eax
1:  popl %ebp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

// Fills the callee-saved registers with values of its own, the frame pointer
// among them, before it faults, as any real function would.
__attribute__((noinline)) int ClobberThenReadNull()
{
    int value;
    asm volatile("pushl %%ebp\n movl $-1, %%ebp\n movl $-1, %%ebx\n movl $-1, %%esi\n movl $-1, %%edi\n"
                 "movl 0, %%eax\n popl %%ebp\n"
                 : "=a"(value)
                 :
                 : "ebx", "esi", "edi", "memory");
    return value;
}

void FaultInsideTheGuard()
{
    try {
        CallGuarded(ClobberThenReadNull);
    } catch (const HardwareFault&) {
    }
}
#else
// x64 registers nothing per thread. What the guard must give back after a fault
// is the caller's registers: calls call() with markers in every register the
// calling convention preserves (rbx, rbp, rdi, rsi, r12-r15, xmm6-xmm15) and
// returns a bit for each one that changed.
extern "C" unsigned qav_test_changed_registers(void (*call)());
asm(R"(
    .text
    .globl qav_test_changed_registers
    .def qav_test_changed_registers; .scl 2; .type 32; .endef
    .seh_proc qav_test_changed_registers
qav_test_changed_registers:
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
    movq $0x101, %rbx
    movq $0x102, %rbp
    movq $0x103, %rdi
    movq $0x104, %rsi
    movq $0x105, %r12
    movq $0x106, %r13
    movq $0x107, %r14
    movq $0x108, %r15
    movq %rbx, %xmm6
    movq %rbp, %xmm7
    movq %rdi, %xmm8
    movq %rsi, %xmm9
    movq %r12, %xmm10
    movq %r13, %xmm11
    movq %r14, %xmm12
    movq %r15, %xmm13
    movq %rbx, %xmm14
    movq %rbp, %xmm15
    callq *%rcx
    xorl %eax, %eax
    cmpq $0x101, %rbx
    je 1f
    orl $0x1, %eax
1:  cmpq $0x102, %rbp
    je 1f
    orl $0x2, %eax
1:  cmpq $0x103, %rdi
    je 1f
    orl $0x4, %eax
1:  cmpq $0x104, %rsi
    je 1f
    orl $0x8, %eax
1:  cmpq $0x105, %r12
    je 1f
    orl $0x10, %eax
1:  cmpq $0x106, %r13
    je 1f
    orl $0x20, %eax
1:  cmpq $0x107, %r14
    je 1f
    orl $0x40, %eax
1:  cmpq $0x108, %r15
    je 1f
    orl $0x80, %eax
1:  movq %xmm6, %rdx
    cmpq $0x101, %rdx
    je 1f
    orl $0x100, %eax
1:  movq %xmm7, %rdx
    cmpq $0x102, %rdx
    je 1f
    orl $0x200, %eax
1:  movq %xmm8, %rdx
    cmpq $0x103, %rdx
    je 1f
    orl $0x400, %eax
1:  movq %xmm9, %rdx
    cmpq $0x104, %rdx
    je 1f
    orl $0x800, %eax
1:  movq %xmm10, %rdx
    cmpq $0x105, %rdx
    je 1f
    orl $0x1000, %eax
1:  movq %xmm11, %rdx
    cmpq $0x106, %rdx
    je 1f
    orl $0x2000, %eax
1:  movq %xmm12, %rdx
    cmpq $0x107, %rdx
    je 1f
    orl $0x4000, %eax
1:  movq %xmm13, %rdx
    cmpq $0x108, %rdx
    je 1f
    orl $0x8000, %eax
1:  movq %xmm14, %rdx
    cmpq $0x101, %rdx
    je 1f
    orl $0x10000, %eax
1:  movq %xmm15, %rdx
    cmpq $0x102, %rdx
    je 1f
    orl $0x20000, %eax
1:  movaps 32(%rsp), %xmm6
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

// Fills the callee-saved registers with values of its own before it faults, as
// any real function would.
__attribute__((noinline)) int ClobberThenReadNull()
{
    asm volatile("movq $-1, %%rbx\n movq $-1, %%rdi\n movq $-1, %%rsi\n movq $-1, %%r12\n"
                 "movq $-1, %%r13\n movq $-1, %%r14\n movq $-1, %%r15\n pcmpeqd %%xmm6, %%xmm6\n"
                 "pcmpeqd %%xmm9, %%xmm9\n pcmpeqd %%xmm15, %%xmm15\n"
                 :
                 :
                 : "rbx", "rdi", "rsi", "r12", "r13", "r14", "r15", "xmm6", "xmm9", "xmm15");
    return ReadNull();
}

void FaultInsideTheGuard()
{
    try {
        CallGuarded(ClobberThenReadNull);
    } catch (const HardwareFault&) {
    }
}
#endif

struct FaultCase {
    const char* name;
    int (*body)();
    uint32_t code;
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
            EXPECT_EQ(fault.Module(), L"qav_binding_tests.exe");
        }
#if defined(__i386__)
        EXPECT_EQ(ThreadGuardState(), before);
#endif
    }
    EXPECT_EQ(CallGuarded([] { return 5; }), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FaultGuardTest,
    testing::Values(FaultCase{"AccessViolation", ReadNull, 0xC0000005u},
                    FaultCase{"DivisionByZero", DivideByZero, 0xC0000094u},
                    FaultCase{"IllegalInstruction", IllegalInstruction, 0xC000001Du},
                    FaultCase{"StackOverflow", [] { return Recurse(0); }, 0xC00000FDu}),
    [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

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

TEST(FaultGuard, GivesTheCallerItsRegistersBackAfterAFault)
{
    EXPECT_EQ(qav_test_changed_registers(FaultInsideTheGuard), 0u);
}

} // namespace
