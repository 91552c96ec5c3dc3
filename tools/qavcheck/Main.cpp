// qavcheck: checks an interpreter library against the workbench's contract and
// tells its author what is wrong and how to fix it. The library is called in a
// process of its own (the session's), which qavcheck starts by running itself
// again with --session.
#include "framework/CaughtException.h"
#include "tools/qavcheck/Arguments.h"
#include "tools/qavcheck/Console.h"
#include "tools/qavcheck/ContractCheck.h"
#include "tools/qavcheck/ProgramFile.h"
#include "tools/qavcheck/Session.h"
#include "tools/qavcheck/SessionProcess.h"

#include <vector>

namespace {

constexpr int NotChecked = static_cast<int>(CheckOutcome::NotLoaded);

int Check(const std::vector<std::wstring>& args)
{
    Arguments arguments;
    try {
        arguments = ParseArguments(args);
        if (arguments.session)
            return RunSession(arguments);
        if (arguments.help) {
            WriteLine(Stream::Out, UsageText);
            return 0;
        }
        // Read here too, so that a program file that cannot be read is a usage error.
        if (!arguments.programFile.empty())
            static_cast<void>(ReadProgramFile(arguments.programFile));
    } catch (const Exception& e) {
        WriteLine(Stream::Error, L"qavcheck: " + e.Message());
        WriteLine(Stream::Error, UsageText);
        return NotChecked;
    }
    return CheckInSessionProcess(arguments, args);
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
