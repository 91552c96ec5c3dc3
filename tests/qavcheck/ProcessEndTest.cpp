// qavcheck outlives a library that ends the process: abort() and what ends in
// it, exit() and its kin, in Execute and at start-up and close. Each is named
// with its call, how it ended and the fix; the exit code is 1, never the
// library's own. A C++ exception escaping on x64 is caught instead, as the
// workbench catches it; on x86 it ends the process through std::terminate.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/qavcheck/CheckerRun.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr bool X86 = sizeof(void*) == 4;

// qavtest_misbehaving as QAV.dll, doing what behaviour says (see libs/Misbehaving.cpp).
CheckerRun CheckMisbehaving(const std::string& behaviour, const std::vector<std::wstring>& options = {})
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_misbehaving"), TestDir() / L"QAV.dll");
    std::ofstream(TestDir() / L"do.txt") << behaviour << "\n";
    std::vector<std::wstring> args = options;
    args.push_back(L"QAV.dll");
    return RunChecker(args);
}

struct EndCase {
    const char* name;
    std::string behaviour;        // do.txt
    std::wstring finding;         // the one finding, as it starts
    std::wstring fix;             // a part of its fix
    std::wstring printed;         // a line the process wrote to stderr, shown before it; empty: none looked for
};

void PrintTo(const EndCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::wstring Survives = L"The workbench survives it when the library does it on the calling thread";
const std::wstring ExitFix = L"Fix: return an error text instead of ending the process";

const std::vector<EndCase>& EndCases()
{
    static const std::vector<EndCase> cases = {
        {"Abort", "Execute abort",
         L"error: Execute: the library ended the process with exit code 3 during Execute: it called abort(); a failed "
         L"assert, Lua's panic and an uncaught C++ exception end so too. " + Survives,
         L"Fix: report failures in the texts", L""},
        {"FailedAssert", "Execute assert",
         L"error: Execute: the library ended the process with exit code 3 during Execute: an assert failed "
         L"(Assertion failed: g_interpreterReady && \"the interpreter is ready\", file ",
         L"Fix: make the condition hold", L"stderr: Assertion failed: g_interpreterReady && \"the interpreter is ready\""},
        {"LuaPanic", "Execute panic",
         L"error: Execute: the library ended the process with exit code 3 during Execute: Lua's panic (unprotected "
         L"error in call to Lua API (attempt to call a nil value)): an error raised outside lua_pcall, which ends in "
         L"abort(). " + Survives,
         L"Fix: call into Lua only through lua_pcall",
         L"stderr: PANIC: unprotected error in call to Lua API (attempt to call a nil value)"},
        {"ExitZero", "Execute exit 0",
         L"error: Execute: the library ended the process with exit code 0 during Execute: it called exit(0). " + Survives,
         ExitFix, L""},
        {"ExitThree", "Execute exit 3",
         L"error: Execute: the library ended the process with exit code 3 during Execute: it called exit(3). " + Survives,
         ExitFix, L""},
        {"UnderscoreExit", "Execute _exit 9",
         L"error: Execute: the library ended the process with exit code 9 during Execute: exit(), _exit(), "
         L"quick_exit(), ExitProcess() and TerminateProcess() end so. " + Survives,
         ExitFix, L""},
        {"ExitProcess", "Execute ExitProcess 5",
         L"error: Execute: the library ended the process with exit code 5 during Execute: exit(), _exit()", ExitFix, L""},
        {"TerminateProcess", "Execute TerminateProcess 7",
         L"error: Execute: the library ended the process with exit code 7 during Execute: exit(), _exit()", ExitFix, L""},
        {"AbortAtStartUp", "GetVersion abort",
         L"error: GetVersion: the library ended the process with exit code 3 during GetVersion: it called abort()",
         L"Fix: report failures in the texts", L""},
        {"ExitAtClose", "FreeQAVInterface exit 4",
         L"error: FreeQAVInterface: the library ended the process with exit code 4 during FreeQAVInterface: it called "
         L"exit(4).",
         ExitFix, L""},
        // On x86 the library's own unwinder stops at its edge: std::terminate, then abort().
        {"CppException", "Execute throw",
         X86 ? L"error: Execute: the library ended the process with exit code 3 during Execute: a C++ exception escaped "
               L"it (std::runtime_error: boom): the 32-bit MinGW runtime (DWARF unwinding) finds no handler at the "
               L"library's edge and calls std::terminate, which ends in abort(). " + Survives
             : L"error: Execute: a C++ exception escaped it: std::runtime_error: boom. The workbench reports it as the "
               L"library's, naming the operation. The workbench shows it in an error box and the Run ends there.",
         L"Fix: catch every exception inside each function the workbench calls",
         X86 ? L"stderr: terminate called after throwing an instance of 'std::runtime_error'" : L""},
        {"CppPointerException", "Execute throw-pointer",
         X86 ? L"error: Execute: the library ended the process with exit code 3 during Execute: a C++ exception escaped "
               L"it (ScriptError*): "
             : L"error: Execute: a C++ exception escaped it: ScriptError*. ",
         L"docs/authors.md, \"C++ and MinGW\"", L""},
    };
    return cases;
}

class LibraryEnd : public testing::TestWithParam<EndCase> {};

TEST_P(LibraryEnd, IsNamedWithItsCallAndExitCodeOne)
{
    const EndCase& c = GetParam();
    const CheckerRun run = CheckMisbehaving(c.behaviour);
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 1u);
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].rfind(c.finding, 0), 0u);
    EXPECT_NE(findings[0].find(c.fix), std::wstring::npos);
    if (!c.printed.empty()) {
        ASSERT_EQ(run.Starting(c.printed).size(), 1u);
        EXPECT_NE(findings[0].find(L"What the process wrote to stderr is above."), std::wstring::npos);
    }
    const bool ended = findings[0].find(L"ended the process") != std::wstring::npos;
    EXPECT_EQ(run.out.back().rfind(ended ? L"summary: the library ended the process; 1 error, 0 warnings, "
                                         : L"summary: 1 error, 0 warnings, ",
                                   0),
              0u);
    EXPECT_TRUE(run.err.empty()) << "qavcheck itself wrote nothing to stderr";
}

INSTANTIATE_TEST_SUITE_P(Libraries, LibraryEnd, testing::ValuesIn(EndCases()),
                         [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

// The calls before the end are reported as they returned; the one that ended
// the process has no line of its own, and nothing is called after it.
TEST(LibraryEnd, KeepsTheCallsBeforeIt)
{
    const CheckerRun run = CheckMisbehaving("GetLog exit 0");
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 1u);
    std::vector<std::wstring> operations;
    for (const auto& line : run.Starting(L"call: "))
        operations.push_back(line.substr(6, line.find(L':', 6) - 6));
    EXPECT_EQ(operations, (std::vector<std::wstring>{L"LoadLibrary", L"GetQAVInterface", L"GetVersion", L"Execute"}));
    ASSERT_EQ(run.Findings().size(), 1u);
    EXPECT_EQ(run.Findings()[0].rfind(L"error: GetLog: the library ended the process with exit code 0 during GetLog", 0),
              0u);
    EXPECT_NE(run.out.back().find(L", 4 calls in "), std::wstring::npos);
}

// What the library writes to stdout in a session that goes on is shown after
// it, the last 40 lines, with how much there was; it is no finding.
TEST(LibraryOutput, IsShownAfterTheSession)
{
    const CheckerRun run = CheckMisbehaving("GetLog print 100");
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.Findings().empty());
    const auto printed = run.Starting(L"stdout: ");
    ASSERT_EQ(printed.size(), 41u);
    EXPECT_EQ(printed[0], L"stdout: ... (892 bytes in all; the last lines follow)");
    EXPECT_EQ(printed[1], L"stdout: line 61");
    EXPECT_EQ(printed[40], L"stdout: line 100");
    EXPECT_EQ(run.out.back().rfind(L"summary: clean;", 0), 0u);
}

} // namespace
