// The Run's calls as the tests expect to see them, read from the contract's
// table (contract/RunCalls.h) so that the order is written there alone.
#pragma once

#include "contract/RunCalls.h"
#include "framework/AsciiText.h"

#include <string>
#include <string_view>
#include <vector>

// The operations' names as the recording test libraries write them: the first
// count calls of a Run.
inline std::vector<std::string> RunOperations(size_t count = RunCallCount)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < count && i < RunCallCount; ++i)
        names.push_back(NarrowAscii(RunCalls[i].operation));
    return names;
}

// A Run's calls up to and with the named one: where a Run stops that fails there.
inline std::vector<std::string> RunOperationsThrough(std::string_view last)
{
    std::vector<std::string> names = RunOperations();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == last) {
            names.resize(i + 1);
            return names;
        }
    return {};
}

// The stacks pane's header lines, in order: what a Run of empty texts shows there.
inline std::vector<std::wstring> StackHeaders()
{
    std::vector<std::wstring> headers;
    for (const RunCall& call : RunCalls)
        if (call.header)
            headers.emplace_back(call.header);
    return headers;
}
