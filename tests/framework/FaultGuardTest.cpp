#include "framework/Exception.h"
#include "binding/FaultGuard.h"
#include "framework/Win.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

void* ChainHead()
{
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

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

struct FaultCase {
    const char* name;
    int (*body)();
    uint32_t code;
};

class FaultGuardTest : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultGuardTest, TurnsTheFaultIntoAnExceptionAndRestoresTheChain)
{
    void* const before = ChainHead();
    // Twice: the second fault must be caught as well as the first.
    for (int round = 0; round < 2; ++round) {
        try {
            CallGuarded(GetParam().body);
            FAIL() << "no fault";
        } catch (const HardwareFault& fault) {
            EXPECT_EQ(fault.Code(), GetParam().code);
            EXPECT_EQ(fault.Module(), L"qav_framework_tests.exe");
        }
        EXPECT_EQ(ChainHead(), before);
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

TEST(FaultGuard, PassesCppExceptionsThroughUnchanged)
{
    void* const before = ChainHead();
    try {
        CallGuarded([]() -> int { throw Exception(L"from inside"); });
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), L"from inside");
    }
    EXPECT_EQ(ChainHead(), before);
}

} // namespace
