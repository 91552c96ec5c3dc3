#include "tools/qavcheck/LibraryEnding.h"

#include "binding/CppExceptionText.h"
#include "framework/HexText.h"

#include <optional>

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

// libstdc++'s words on terminate, as the workbench reads them: "T: what()".
std::wstring CppDetail(std::wstring_view text)
{
    const std::optional<CppExceptionText> exception = TerminateReport(UnicodeString(text));
    if (!exception)
        return {};
    return exception->what && !exception->what->empty() ? exception->type + L": " + *exception->what
                                                         : exception->type;
}

} // namespace

std::wstring ExitCodeText(uint32_t exitCode)
{
    return exitCode >= 0xC0000000u ? HexText(exitCode, 8) : std::to_wstring(exitCode);
}

LibraryEnding JudgeLibraryEnding(uint32_t exitCode, std::wstring_view stderrText, bool abortRaised, bool exitCalled)
{
    if (exitCode == AbortExitCode || abortRaised) {
        if (Has(stderrText, L"terminate called"))
            return {LibraryEnding::Way::CppTerminate, exitCode, CppDetail(stderrText), abortRaised};
        if (Has(stderrText, L"Assertion failed"))
            return {LibraryEnding::Way::FailedAssert, exitCode,
                    std::wstring(L"Assertion failed") + std::wstring(LineAfter(stderrText, L"Assertion failed")),
                    abortRaised};
        if (Has(stderrText, L"PANIC: "))
            return {LibraryEnding::Way::LuaPanic, exitCode, std::wstring(LineAfter(stderrText, L"PANIC: ")), abortRaised};
        if (abortRaised || !exitCalled)
            return {LibraryEnding::Way::Abort, exitCode, {}, abortRaised};
    }
    if (exitCalled)
        return {LibraryEnding::Way::Exit, exitCode, {}, true};
    if (exitCode == FailFastCode)
        return {LibraryEnding::Way::FastFail, exitCode, {}};
    if (exitCode >= 0xC0000000u)
        return {LibraryEnding::Way::Exception, exitCode, {}};
    return {LibraryEnding::Way::ExitCode, exitCode, {}};
}
