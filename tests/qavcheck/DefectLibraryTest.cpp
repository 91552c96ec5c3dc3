// qavcheck on libraries with one defect each: the finding names the operation,
// and the exit code says what was found.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/qavcheck/CheckerRun.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr bool X86 = sizeof(void*) == 4;

struct DefectCase {
    const char* name;
    const wchar_t* library;          // a test library built beside the tests
    std::vector<std::string> script; // its script.txt
    unsigned long exitCode;
    // Every finding, in order: how each line starts, and a part of it.
    std::vector<std::pair<std::wstring, std::wstring>> findings;
};

void PrintTo(const DefectCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::vector<DefectCase>& Cases()
{
    static const std::vector<DefectCase> cases = {
        {"Clean", L"qavtest_bound", {}, 0, {}},
        {"NullText", L"qavtest_bound", {"GetVarStack null"}, 1,
         {{L"error: GetVarStack: returned null", L"Fix: return L\"\""}}},
        {"NullTextMayBeALocalArray", L"qavtest_bound", {"GetVarStack null"}, 1,
         {{L"error: GetVarStack: returned null", L"or it returns a local array, whose address GCC replaces by null"}}},
        {"FaultInGetLog", L"qavtest_bound", {"GetLog fault access-violation"}, 1,
         {{L"error: GetLog: Access violation", L"QAV.dll+0x"}}},
        {"FaultSourceLineNeedsDebugInformation", L"qavtest_bound", {"GetLog fault access-violation"}, 1,
         {{L"error: GetLog: Access violation", L"names the source line of a library built with -g"}}},
        {"DivisionInExecute", L"qavtest_bound", {"Execute fault divide-by-zero"}, 1,
         {{L"error: Execute: Integer division by zero", L"error box"}}},
        {"StackOverflowInGetFunctionStack", L"qavtest_bound", {"GetFunctionStack fault stack-overflow"}, 1,
         {{L"error: GetFunctionStack: Stack overflow", L"QAV.dll"}}},
        {"FaultInGetQAVInterface", L"qavtest_bound", {"GetQAVInterface fault access-violation"}, 1,
         {{L"error: GetQAVInterface: Access violation", L"binds nothing"}}},
        {"GetQAVInterfaceFails", L"qavtest_get_fails", {}, 1,
         {{L"error: GetQAVInterface: returned 0", L"Ошибка инициализации интерфейса QAV_INTERFACE"}}},
        {"GetQAVInterfaceFailsWithSlotSet", L"qavtest_get_fails_set", {}, 1,
         {{L"error: GetQAVInterface: returned 0", L"still calls FreeQAVInterface"}}},
        {"GetQAVInterfaceLeavesSlotEmpty", L"qavtest_get_empty_slot", {}, 1,
         {{L"error: GetQAVInterface: returned nonzero but left the slot 0", L"*slot"}}},
        {"FreeQAVInterfaceFails", L"qavtest_free_fails", {}, 1,
         {{L"error: FreeQAVInterface: returned 0", L"Ошибка освобождения интерфейса QAV_INTERFACE"}}},
        {"DecoratedExports", L"qavtest_decorated", {}, 1,
         {{L"error: GetQAVInterface: not exported by this name", L"only as GetQAVInterface@4"},
          {L"error: FreeQAVInterface: not exported by this name", L"only as FreeQAVInterface@4"}}},
        {"DecoratedExportsMsvc", L"qavtest_decorated_msvc", {}, 1,
         {{L"error: GetQAVInterface: not exported by this name", L"only as _GetQAVInterface@4"},
          {L"error: FreeQAVInterface: not exported by this name", L"-Wl,--kill-at"}}},
        {"NoEntryPoints", L"qavtest_no_entry_points", {}, 1,
         {{L"error: GetQAVInterface: not exported", L"Ошибка инициализации GetQAV"},
          {L"error: FreeQAVInterface: not exported", L"Ошибка инициализации FreeQAV"}}},
        {"IllFormedText", L"qavtest_bound", {"GetLog text a\\uD800b"}, 1,
         {{L"warning: GetLog: the text is not well-formed UTF-16", L"0xD800 at unit 1 of 3"}}},
        {"UnterminatedText", L"qavtest_bound", {"GetObjectStack unterminated"}, 1,
         {{L"error: GetObjectStack: the text at 0x", L"runs into memory that cannot be read before its NUL"}}},
        {"TextOnTheStack", L"qavtest_bound", {"GetParamStack stack"}, 1,
         {{L"error: GetParamStack: returned a pointer into the stack", L"Fix: return a NUL-terminated text"}}},
        {"NullVersion", L"qavtest_null_version", {}, 1, {{L"error: GetVersion: returned null", L""}}},
    };
    return cases;
}

class Defect : public testing::TestWithParam<DefectCase> {};

TEST_P(Defect, IsNamedWithItsOperation)
{
    const DefectCase& c = GetParam();
    std::filesystem::copy_file(e2e::LibraryPath(c.library), TestDir() / L"QAV.dll");
    e2e::WriteScript(TestDir(), c.script);
    const CheckerRun run = RunChecker({L"QAV.dll"});
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, c.exitCode);
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), c.findings.size());
    for (size_t i = 0; i < findings.size(); ++i) {
        EXPECT_EQ(findings[i].rfind(c.findings[i].first, 0), 0u) << "finding " << i;
        EXPECT_NE(findings[i].find(c.findings[i].second), std::wstring::npos) << "finding " << i;
        EXPECT_NE(findings[i].find(L" Fix: "), std::wstring::npos) << "finding " << i << " says how to fix it";
    }
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back().rfind(c.exitCode == 0 ? L"summary: clean; 0 errors, 0 warnings" : L"summary: ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Libraries, Defect, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<DefectCase>& info) { return std::string(info.param.name); });

// Every call a Run makes, in the workbench's order and with its arguments, also
// after an operation faulted; the library is released and unloaded last.
TEST(CallOrder, IsTheWorkbenchsEvenAfterAFault)
{
    for (const bool fault : {false, true}) {
        SCOPED_TRACE(fault ? "GetLog faults" : "clean");
        std::filesystem::remove(TestDir() / L"calls.txt");
        std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_bound"), TestDir() / L"QAV.dll",
                                   std::filesystem::copy_options::overwrite_existing);
        e2e::WriteScript(TestDir(), fault ? std::vector<std::string>{"GetLog fault access-violation"}
                                          : std::vector<std::string>{});
        const CheckerRun run = RunChecker({L"QAV.dll"});
        EXPECT_EQ(run.exitCode, fault ? 1u : 0u) << run.Transcript();
        EXPECT_EQ(e2e::RecordedCalls(TestDir()),
                  (std::vector<std::string>{"Attach", "GetQAVInterface slot=zero", "GetVersion self=ok",
                                            "Execute self=ok options=empty mode=1 program=1 + 2", "GetLog self=ok",
                                            "GetVarStack self=ok", "GetParamStack self=ok", "GetObjectStack self=ok",
                                            "GetFunctionStack self=ok", "FreeQAVInterface slot=ours", "Detach unload"}));
        EXPECT_EQ(run.Starting(L"call: ").size(), 11u) << "LoadLibrary, the nine calls, FreeLibrary: each timed";
    }
}

// A call that never returns is reported as hung, with its operation, and the
// checker ends at once with exit code 1.
TEST(Hang, IsReportedWithItsOperationAndEndsTheCheck)
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_bound"), TestDir() / L"QAV.dll");
    e2e::WriteScript(TestDir(), {"GetVarStack hang"});
    const CheckerRun run = RunChecker({L"--timeout", L"1.5", L"QAV.dll"});
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.Findings().size(), 1u);
    EXPECT_EQ(run.Findings()[0].rfind(L"error: GetVarStack: still running after 1.5 s: hung", 0), 0u);
    EXPECT_EQ(run.out.back().rfind(L"summary: stopped at a hung call; 1 error", 0), 0u);
    EXPECT_NE(run.out.back().find(L" calls in "), std::wstring::npos) << "the calls that returned, timed";
    EXPECT_NE(run.out.back().find(L", then one given up after 1.5 s; the check took "), std::wstring::npos)
        << "the time the hung call held the check is not hidden";
    EXPECT_LT(run.took, std::chrono::seconds(20));
    const auto calls = e2e::RecordedCalls(TestDir());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "GetVarStack self=ok") << "nothing is called after the hung call, nor is the library unloaded";
}

// On x86, a library whose every function is cdecl: each of the nine is named
// with the bytes it left on the stack, and the checker carries on to the end.
// x64 has one convention: there the same library is clean.
TEST(Cdecl, EveryOperationIsNamedOnX86)
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_cdecl"), TestDir() / L"QAV.dll");
    const CheckerRun run = RunChecker({L"QAV.dll"});
    SCOPED_TRACE(run.Transcript());
    if (!X86) {
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(run.Findings().empty());
        return;
    }
    EXPECT_EQ(run.exitCode, 1u);
    const std::vector<std::wstring> expected = {
        L"error: GetQAVInterface: took 0 bytes of arguments off the stack; stdcall takes 4",
        L"error: GetVersion: took 0 bytes of arguments off the stack; stdcall takes 4",
        L"error: Execute: took 0 bytes of arguments off the stack; stdcall takes 16",
        L"error: GetLog: took 0 bytes of arguments off the stack; stdcall takes 4",
        L"error: GetVarStack: took 0 bytes of arguments off the stack; stdcall takes 4",
        L"error: GetParamStack: took 0 bytes of arguments off the stack; stdcall takes 4",
        L"error: GetObjectStack: took 0 bytes of arguments off the stack; stdcall takes 4",
        L"error: GetFunctionStack: took 0 bytes of arguments off the stack; stdcall takes 4",
        L"error: FreeQAVInterface: took 0 bytes of arguments off the stack; stdcall takes 4",
    };
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(findings[i].rfind(expected[i], 0), 0u) << "finding " << i;
    EXPECT_EQ(run.out.back().rfind(L"summary: 9 errors, 0 warnings", 0), 0u);
}

} // namespace
