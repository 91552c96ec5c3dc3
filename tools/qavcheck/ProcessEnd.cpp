#include "tools/qavcheck/ProcessEnd.h"

#include "framework/HexText.h"

namespace {

// The exit code of abort() in Microsoft's C runtimes, msvcrt.dll and ucrtbase.dll alike.
constexpr uint32_t AbortExitCode = 3;
constexpr uint32_t FailFastCode = 0xC0000409u;

// The rest of the line that holds marker, from just after it; npos when it is not there.
std::wstring_view LineAfter(std::wstring_view text, std::wstring_view marker)
{
    const size_t at = text.find(marker);
    if (at == std::wstring_view::npos)
        return {};
    std::wstring_view rest = text.substr(at + marker.size());
    return rest.substr(0, rest.find_first_of(L"\r\n"));
}

bool Has(std::wstring_view text, std::wstring_view marker)
{
    return text.find(marker) != std::wstring_view::npos;
}

// libstdc++'s words: "terminate called after throwing an instance of 'T'" and "  what():  message".
std::wstring CppDetail(std::wstring_view text)
{
    std::wstring_view type = LineAfter(text, L"terminate called after throwing an instance of '");
    if (type.empty())
        return {};
    if (!type.empty() && type.back() == L'\'')
        type.remove_suffix(1);
    std::wstring detail(type);
    const std::wstring_view what = LineAfter(text, L"what():  ");
    if (!what.empty())
        detail += L": " + std::wstring(what);
    return detail;
}

} // namespace

std::wstring ExitCodeText(uint32_t exitCode)
{
    return exitCode >= 0xC0000000u ? HexText(exitCode, 8) : std::to_wstring(exitCode);
}

ProcessEnd JudgeProcessEnd(uint32_t exitCode, std::wstring_view stderrText, bool abortRaised, bool exitCalled)
{
    if (exitCode == AbortExitCode || abortRaised) {
        if (Has(stderrText, L"terminate called"))
            return {ProcessEnd::Way::CppTerminate, exitCode, CppDetail(stderrText), abortRaised};
        if (Has(stderrText, L"Assertion failed"))
            return {ProcessEnd::Way::FailedAssert, exitCode,
                    std::wstring(L"Assertion failed") + std::wstring(LineAfter(stderrText, L"Assertion failed")),
                    abortRaised};
        if (Has(stderrText, L"PANIC: "))
            return {ProcessEnd::Way::LuaPanic, exitCode, std::wstring(LineAfter(stderrText, L"PANIC: ")), abortRaised};
        if (abortRaised || !exitCalled)
            return {ProcessEnd::Way::Abort, exitCode, {}, abortRaised};
    }
    if (exitCalled)
        return {ProcessEnd::Way::Exit, exitCode, {}, true};
    if (exitCode == FailFastCode)
        return {ProcessEnd::Way::FastFail, exitCode, {}};
    if (exitCode >= 0xC0000000u)
        return {ProcessEnd::Way::Exception, exitCode, {}};
    return {ProcessEnd::Way::ExitCode, exitCode, {}};
}
