// The contract's table of a Run's calls, which the Run command, qavcheck and the
// other tests read: pinned here to the order and the headers the workbench
// promises, and each entry to the table position of its member.
#include "contract/RunCalls.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

// The byte offset of a member within QAV_VTABLE.
template <class Fn>
size_t OffsetOf(Fn QAV_VTABLE::*member)
{
    static const QAV_VTABLE table{};
    return static_cast<size_t>(reinterpret_cast<const char*>(&(table.*member)) - reinterpret_cast<const char*>(&table));
}

TEST(RunCalls, AreTheSixCallsInTheWorkbenchsOrderWithTheirHeaders)
{
    struct Expected {
        const wchar_t* operation;
        const wchar_t* header;
    };
    const Expected expected[] = {
        {L"Execute", nullptr},
        {L"GetLog", nullptr},
        {L"GetVarStack", L"Var stack:"},
        {L"GetParamStack", L"Param stack:"},
        {L"GetObjectStack", L"Object stack:"},
        {L"GetFunctionStack", L"Function stack:"},
    };
    ASSERT_EQ(RunCallCount, std::size(expected));
    for (size_t i = 0; i < RunCallCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::wstring(RunCalls[i].operation), expected[i].operation);
        EXPECT_EQ(RunCalls[i].header == nullptr, expected[i].header == nullptr);
        if (RunCalls[i].header && expected[i].header) {
            EXPECT_EQ(std::wstring(RunCalls[i].header), expected[i].header);
        }
        EXPECT_TRUE(RunCalls[i].faultEndsRun);
    }
}

TEST(RunCalls, EachMemberLiesAtItsTablePosition)
{
    for (const RunCall& call : RunCalls) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(call.operation)));
        const size_t offset = IsExecute(call) ? OffsetOf(std::get<0>(call.member)) : OffsetOf(TextMember(call));
        EXPECT_EQ(offset, static_cast<size_t>(call.position) * sizeof(void*));
    }
}

} // namespace
