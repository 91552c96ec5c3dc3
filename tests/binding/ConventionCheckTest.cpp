// Contract calls through CallContract: the result comes back whole, and on x86 a
// function that leaves its arguments on the stack (cdecl) or removes more than
// it was given is named once, with the stack put back each time.
#include "binding/ConventionCheck.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

int32_t QAV_CALL Twice(QAV_INTERFACE** slot, int32_t value)
{
    return slot ? 2 * value : -1;
}

// The convention a library built carelessly has; identical to QAV_CALL on x64.
extern "C" __attribute__((noinline)) const QAV_CHAR* __cdecl CdeclText(QAV_INTERFACE*)
{
    return L"cdecl";
}

// stdcall, but with one argument more than its callers give: it removes 8 bytes where 4 were pushed.
extern "C" __attribute__((noinline)) const QAV_CHAR* QAV_CALL GreedyText(QAV_INTERFACE*, int32_t)
{
    return L"greedy";
}

TEST(ConventionCheck, ResultsAndArgumentsArriveWhole)
{
    QAV_INTERFACE* slot = nullptr;
    ResetArgumentCheck();
    EXPECT_EQ(CallContract(Twice, &slot, int32_t{21}), 42);
    EXPECT_EQ(CallContract(Twice, static_cast<QAV_INTERFACE**>(nullptr), int32_t{21}), -1);
    CheckArguments(L"Twice");
    EXPECT_EQ(TakeConventionNotice(), L"") << "a stdcall function breaks nothing";
}

// What a library's function of the wrong shape looks like from the contract's side.
template <class Function>
QAV_TEXT_FN AsTextOperation(Function function)
{
    return reinterpret_cast<QAV_TEXT_FN>(reinterpret_cast<void (*)()>(function));
}

// Calls an operation many times, as a session would: a stack that was not put
// back would not survive it. Returns the notice the first breach left.
UnicodeString CallMany(QAV_TEXT_FN operation, const wchar_t* name, const wchar_t* expected)
{
    for (int i = 0; i < 1000; ++i) {
        const ArgumentCheck check(name);
        EXPECT_EQ(std::wstring(CallContract(operation, static_cast<QAV_INTERFACE*>(nullptr))), expected);
    }
    return TakeConventionNotice();
}

std::string Narrow(const UnicodeString& text)
{
    return std::string(text.begin(), text.end());
}

TEST(ConventionCheck, ACdeclFunctionIsNamed)
{
    const UnicodeString notice = CallMany(AsTextOperation(&CdeclText), L"GetLog", L"cdecl");
#if defined(_WIN64)
    EXPECT_EQ(notice, L"") << Narrow(notice);
#else
    EXPECT_EQ(notice, L"The library's GetLog left its 4 bytes of arguments on the stack: it uses the cdecl calling "
                      L"convention, but the 32-bit workbench calls stdcall functions (QAV_CALL in QAVInterface.h). "
                      L"The workbench put the stack back.")
        << Narrow(notice);
#endif
}

TEST(ConventionCheck, AFunctionThatRemovesMoreThanItWasGivenIsNamed)
{
    const UnicodeString notice = CallMany(AsTextOperation(&GreedyText), L"GetVarStack", L"greedy");
#if defined(_WIN64)
    EXPECT_EQ(notice, L"") << Narrow(notice);
#else
    EXPECT_EQ(notice.rfind(L"The library's GetVarStack removed 8 bytes of arguments from the stack where it was "
                           L"given 4 bytes: its declaration does not match the contract's",
                           0),
              0u)
        << Narrow(notice);
#endif
}

TEST(ConventionCheck, ASessionHearsOfTheFirstBreachOnly)
{
    CallMany(AsTextOperation(&CdeclText), L"GetLog", L"cdecl");
    EXPECT_EQ(CallMany(AsTextOperation(&GreedyText), L"GetVarStack", L"greedy"), L"");
    EXPECT_EQ(CallMany(AsTextOperation(&CdeclText), L"GetLog", L"cdecl"), L"");
}

} // namespace
