// How an end of the session's process is told from its exit code, its stderr
// and the marks the C runtime let it send, for the words of every runtime:
// msvcrt.dll as Windows and Wine have it, ucrtbase.dll (which sends no marks),
// libstdc++'s terminate handler, Lua.
#include "tools/qavcheck/LibraryEnding.h"

#include <gtest/gtest.h>

namespace {

struct JudgeCase {
    const char* name;
    uint32_t exitCode;
    std::wstring stderrText;
    bool abortRaised;
    bool exitCalled;
    LibraryEnding::Way way;
    std::wstring detail;
    bool seen;
};

void PrintTo(const JudgeCase& c, std::ostream* out)
{
    *out << c.name;
}

using Way = LibraryEnding::Way;

class Judge : public testing::TestWithParam<JudgeCase> {};

TEST_P(Judge, TellsHowTheProcessEnded)
{
    const JudgeCase& c = GetParam();
    const LibraryEnding end = JudgeLibraryEnding(c.exitCode, c.stderrText, c.abortRaised, c.exitCalled);
    EXPECT_EQ(end.way, c.way);
    EXPECT_EQ(end.exitCode, c.exitCode);
    EXPECT_EQ(end.detail, c.detail);
    EXPECT_EQ(end.seen, c.seen);
}

INSTANTIATE_TEST_SUITE_P(
    Runtimes, Judge,
    testing::Values(
        JudgeCase{"AbortRaised", 3, L"", true, false, Way::Abort, L"", true},
        JudgeCase{"AbortOfWindowsMsvcrt", 3,
                  L"\r\nThis application has requested the Runtime to terminate it in an unusual way.\r\n", true,
                  false, Way::Abort, L"", true},
        // A library of the UCRT raises SIGABRT in a table of its own: only the code tells, and exit(3) reads the same.
        JudgeCase{"ExitCodeThreeUnseen", 3, L"", false, false, Way::Abort, L"", false},
        JudgeCase{"ExitThree", 3, L"", false, true, Way::Exit, L"", true},
        JudgeCase{"Assert", 3, L"Assertion failed: x > 0, file lib.c, line 4\r\n\r\n", true, false, Way::FailedAssert,
                  L"Assertion failed: x > 0, file lib.c, line 4", true},
        JudgeCase{"TerminateWithWhat", 3,
                  L"terminate called after throwing an instance of 'std::runtime_error'\n  what():  boom\n", true, false,
                  Way::CppTerminate, L"std::runtime_error: boom", true},
        JudgeCase{"TerminateOfAPointer", 3, L"terminate called after throwing an instance of 'CScriptException*'\n",
                  false, false, Way::CppTerminate, L"CScriptException*", false},
        JudgeCase{"TerminateWithoutException", 3, L"terminate called without an active exception\n", true, false,
                  Way::CppTerminate, L"", true},
        JudgeCase{"LuaPanic", 3, L"PANIC: unprotected error in call to Lua API (attempt to call a nil value)\n", true,
                  false, Way::LuaPanic, L"unprotected error in call to Lua API (attempt to call a nil value)", true},
        // The same words with another exit code are the library's own output, not how it ended.
        JudgeCase{"PanicWordsThenExitOne", 1, L"PANIC: not really\n", false, true, Way::Exit, L"", true},
        JudgeCase{"ExitZero", 0, L"", false, true, Way::Exit, L"", true},
        JudgeCase{"ExitProcess", 5, L"", false, false, Way::ExitCode, L"", false},
        JudgeCase{"FastFail", 0xC0000409u, L"", false, false, Way::FastFail, L"", false},
        JudgeCase{"FaultOnItsOwnThread", 0xC0000005u, L"", false, false, Way::Exception, L"", false}),
    [](const testing::TestParamInfo<JudgeCase>& info) { return std::string(info.param.name); });

TEST(ExitCodeText, IsDecimalOrASystemStatusInHex)
{
    EXPECT_EQ(ExitCodeText(3), L"3");
    EXPECT_EQ(ExitCodeText(0xC0000409u), L"0xC0000409");
}

} // namespace
