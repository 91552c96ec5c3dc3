// The calls of one Run, in the order the workbench makes them, with what it
// does with each answer: the one place that order is written. The Run command,
// qavcheck's session and the tests all read it. Free of <windows.h>, like the
// contract it belongs to.
#pragma once

#include "contract/QAVInterface.h"

#include <cstddef>
#include <iterator>
#include <variant>

struct RunCall {
    const wchar_t* operation; // its name, as the workbench and qavcheck report it
    int position;             // in QAV_VTABLE
    // Execute, which takes the program, or an operation that only answers a text.
    std::variant<QAV_EXECUTE_FN QAV_VTABLE::*, QAV_TEXT_FN QAV_VTABLE::*> member;
    // The line above its lines in the stacks pane; null: it has none (Execute's
    // answer fills the result field, GetLog's the log pane).
    const wchar_t* header;
    // A fault inside it ends the Run there; what the later calls would show stays as it was.
    bool faultEndsRun;
};

inline constexpr RunCall RunCalls[] = {
    {L"Execute", QAV_POS_EXECUTE, &QAV_VTABLE::Execute, nullptr, true},
    {L"GetLog", QAV_POS_GET_LOG, &QAV_VTABLE::GetLog, nullptr, true},
    {L"GetVarStack", QAV_POS_GET_VAR_STACK, &QAV_VTABLE::GetVarStack, L"Var stack:", true},
    {L"GetParamStack", QAV_POS_GET_PARAM_STACK, &QAV_VTABLE::GetParamStack, L"Param stack:", true},
    {L"GetObjectStack", QAV_POS_GET_OBJECT_STACK, &QAV_VTABLE::GetObjectStack, L"Object stack:", true},
    {L"GetFunctionStack", QAV_POS_GET_FUNCTION_STACK, &QAV_VTABLE::GetFunctionStack, L"Function stack:", true},
};

inline constexpr size_t RunCallCount = std::size(RunCalls);

// Execute: the one call that takes the program.
constexpr bool IsExecute(const RunCall& call)
{
    return call.member.index() == 0;
}

// The member of a text operation; null for Execute.
constexpr QAV_TEXT_FN QAV_VTABLE::*TextMember(const RunCall& call)
{
    return IsExecute(call) ? nullptr : std::get<1>(call.member);
}

// The arguments it takes, the interface included: Execute's program, its
// options and its mode come after it.
constexpr size_t ArgumentCount(const RunCall& call)
{
    return IsExecute(call) ? 4 : 1;
}

static_assert(IsExecute(RunCalls[0]), "a Run begins with Execute");
