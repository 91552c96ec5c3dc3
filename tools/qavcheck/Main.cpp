// qavcheck: checks an interpreter library against the workbench's contract and
// tells its author what is wrong and how to fix it.
#include "framework/CaughtException.h"
#include "framework/Win.h"
#include "tools/qavcheck/Arguments.h"
#include "tools/qavcheck/Console.h"
#include "tools/qavcheck/ContractCheck.h"
#include "tools/qavcheck/ProgramFile.h"

#include <vector>

namespace {

constexpr int NotChecked = static_cast<int>(CheckOutcome::NotLoaded);

int Check(const std::vector<std::wstring>& args)
{
    Arguments arguments;
    std::wstring program = DefaultProgram;
    try {
        arguments = ParseArguments(args);
        if (arguments.help) {
            WriteLine(Stream::Out, UsageText);
            return 0;
        }
        if (!arguments.programFile.empty())
            program = ReadProgramFile(arguments.programFile);
    } catch (const Exception& e) {
        WriteLine(Stream::Error, L"qavcheck: " + e.Message());
        WriteLine(Stream::Error, UsageText);
        return NotChecked;
    }
    Report report(arguments.fullTexts);
    const CheckResult result = CheckLibrary({arguments.library, program, arguments.timeout}, report);
    report.Summary(result.outcome != CheckOutcome::NotLoaded, result.hung);
    // A hung call may hold the loader's lock or never return: end here, without
    // unloading anything or waiting for the thread that runs it.
    if (result.hung)
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckOutcome::Found));
    return static_cast<int>(result.outcome);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        return Check(std::vector<std::wstring>(argv + 1, argv + argc));
    } catch (...) {
        WriteLine(Stream::Error, L"qavcheck: " + SortCaughtException().exception.ToString());
        return NotChecked;
    }
}
