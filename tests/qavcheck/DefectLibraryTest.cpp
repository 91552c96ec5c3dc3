// qavcheck on libraries with one defect each: the finding names the operation,
// and the exit code says what was found.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/qavcheck/CheckerRun.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr bool X86 = sizeof(void*) == 4;

// The default program, as the test libraries record it.
const std::string DefaultProgram = "var pet = { name: \"Rex\", age: 3 };\\r\\n"
                                   "function older(p, years) { return p.age + years; }\\r\\n"
                                   "print pet.name + \" is \" + pet.age;\\r\\n"
                                   "older(pet, 1 + 2);\\r\\n";

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
        // Exceptions raised non-continuable, as a C++ throw of Microsoft's compiler or of a Pascal library.
        {"CppExceptionInExecute", L"qavtest_bound", {"Execute raise E06D7363"}, 1,
         {{L"error: Execute: Unhandled C++ exception at address 0x", L"catch every exception inside each function"}}},
        {"CppExceptionInGetQAVInterface", L"qavtest_bound", {"GetQAVInterface raise E06D7363"}, 1,
         {{L"error: GetQAVInterface: Unhandled C++ exception", L"binds nothing"}}},
        {"PascalExceptionInGetVersion", L"qavtest_bound", {"GetVersion raise 0EEDFADE"}, 1,
         {{L"error: GetVersion: System exception 0x0EEDFADE at address 0x", L"nothing there caught it"}}},
        {"CppExceptionInGetFunctionStack", L"qavtest_bound", {"GetFunctionStack raise E06D7363"}, 1,
         {{L"error: GetFunctionStack: Unhandled C++ exception", L"error box"}}},
        {"CppExceptionInFreeQAVInterface", L"qavtest_bound", {"FreeQAVInterface raise E06D7363"}, 1,
         {{L"error: FreeQAVInterface: Unhandled C++ exception", L"at close"}}},
        // The optional stop entry point.
        {"StopExport", L"qavtest_stoppable", {}, 0, {}},
        {"StopExportKeepsItsFlag", L"qavtest_stop_sticks", {"Execute text R"}, 1,
         {{L"warning: StopQAVInterface: called while nothing ran, it changed the next Execute's result from \"R\"",
           L"clear the stop flag when a call begins"}}},
        {"StopExportFaults", L"qavtest_stoppable", {"StopQAVInterface raise E06D7363"}, 1,
         {{L"error: StopQAVInterface (while nothing runs): Unhandled C++ exception", L"presses Stop"}}},
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
                                            "Execute self=ok options=empty mode=1 program=" + DefaultProgram, "GetLog self=ok",
                                            "GetVarStack self=ok", "GetParamStack self=ok", "GetObjectStack self=ok",
                                            "GetFunctionStack self=ok", "FreeQAVInterface slot=ours", "Detach unload"}));
        EXPECT_EQ(run.Starting(L"call: ").size(), 11u) << "LoadLibrary, the nine calls, FreeLibrary: each timed";
    }
}

// A call that never returns is reported as hung, with its operation and what
// the workbench does with it, and the checker ends at once with exit code 1.
TEST(Hang, IsReportedWithItsOperationAndEndsTheCheck)
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_bound"), TestDir() / L"QAV.dll");
    e2e::WriteScript(TestDir(), {"GetVarStack hang"});
    const CheckerRun run = RunChecker({L"--timeout", L"1.5", L"QAV.dll"});
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.Findings().size(), 1u);
    EXPECT_EQ(run.Findings()[0].rfind(L"error: GetVarStack: still running after 1.5 s: hung. In the workbench a stop "
                                      L"window shows once a call has run for a second; its Stop ends the call by "
                                      L"force where its thread runs the library's own code",
                                      0),
              0u);
    EXPECT_NE(run.Findings()[0].find(L"offers only Save and quit"), std::wstring::npos);
    EXPECT_NE(run.Findings()[0].find(L"Fix: make sure the call returns"), std::wstring::npos);
    EXPECT_NE(run.Findings()[0].find(L"Export StopQAVInterface and poll its flag"), std::wstring::npos);
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

namespace {

// Whether a library has StopQAVInterface is said; where it has, it is called
// once while nothing runs, then Execute once more, before the release.
TEST(StopExport, IsNotedAndCalledWhileNothingRuns)
{
    for (const wchar_t* library : {L"qavtest_bound", L"qavtest_stoppable"}) {
        const bool has = std::wstring(library) == L"qavtest_stoppable";
        SCOPED_TRACE(has ? "with" : "without");
        std::filesystem::remove(TestDir() / L"calls.txt");
        std::filesystem::copy_file(e2e::LibraryPath(library), TestDir() / L"QAV.dll",
                                   std::filesystem::copy_options::overwrite_existing);
        const CheckerRun run = RunChecker({L"QAV.dll"});
        SCOPED_TRACE(run.Transcript());
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.Starting(has ? L"note: StopQAVInterface is exported" : L"note: StopQAVInterface is not exported").size(),
                  1u);
        EXPECT_EQ(run.Starting(L"call: StopQAVInterface (while nothing runs): ").size(), has ? 1u : 0u);
        auto calls = e2e::RecordedCalls(TestDir());
        const std::vector<std::string> expectedEnd =
            has ? std::vector<std::string>{"GetFunctionStack self=ok", "StopQAVInterface slot=ours",
                                           "Execute self=ok options=empty mode=1 program=" + DefaultProgram,
                                           "FreeQAVInterface slot=ours", "Detach unload"}
                : std::vector<std::string>{"GetFunctionStack self=ok", "FreeQAVInterface slot=ours", "Detach unload"};
        ASSERT_GE(calls.size(), expectedEnd.size());
        EXPECT_EQ(std::vector<std::string>(calls.end() - static_cast<std::ptrdiff_t>(expectedEnd.size()), calls.end()),
                  expectedEnd);
    }
}

} // namespace

namespace {

// Windows cannot load a library for want of a DLL it imports: that DLL is
// named, with the fix that fits it.
struct DependencyCase {
    const char* name;
    const wchar_t* library; // built outside bin/, where every DLL imports the system's only
    std::wstring names;     // in the finding
    std::wstring fix;       // how the fix starts
};

void PrintTo(const DependencyCase& c, std::ostream* out)
{
    *out << c.name;
}

class MissingDependency : public testing::TestWithParam<DependencyCase> {};

TEST_P(MissingDependency, IsNamedWithItsFix)
{
    const DependencyCase& c = GetParam();
    std::filesystem::copy_file(std::filesystem::path(QAV_MISSING_IMPORTS_DIR) / c.library, TestDir() / L"QAV.dll");
    const CheckerRun run = RunChecker({L"QAV.dll"});
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 2u);
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), 1u);
    const std::wstring& finding = findings[0];
    EXPECT_EQ(finding.rfind(L"error: LoadLibrary: Windows cannot load it: it needs ", 0), 0u);
    EXPECT_NE(finding.find(c.names), std::wstring::npos);
    EXPECT_NE(finding.find(L"neither beside it nor in the system's folders or on the PATH (error 126). The "
                           L"workbench reports \"DLL error!\"."),
              std::wstring::npos);
    EXPECT_NE(finding.find(L" Fix: " + c.fix), std::wstring::npos);
    EXPECT_EQ(run.out.back().rfind(L"summary: not checked: the library could not be loaded; 1 error", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, MissingDependency,
    testing::Values(DependencyCase{"MingwRuntime", L"qavtest_shared_runtime.dll", L"libstdc++-6.dll",
                                   L"link the MinGW runtime into the library: -static-libgcc -static-libstdc++"},
                    DependencyCase{"OwnDll", L"qavtest_needs_absent.dll", L"it needs qavtest_absent.dll, which is",
                                   L"ship it beside QAV.dll and QAVDemo.exe"}),
    [](const testing::TestParamInfo<DependencyCase>& info) { return std::string(info.param.name); });

// A text longer than any limit qavcheck had is read whole, as the workbench
// reads it, and only noted; one that runs into unreadable memory before its
// NUL stays an error (UnterminatedText above).
TEST(LongText, IsReadWholeAndNoted)
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_misbehaving"), TestDir() / L"QAV.dll");
    std::ofstream(TestDir() / L"do.txt") << "GetLog long 21000000\n";
    const CheckerRun run = RunChecker({L"QAV.dll"});
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.Findings().empty());
    const auto call = run.Starting(L"call: GetLog: ");
    ASSERT_EQ(call.size(), 1u);
    EXPECT_NE(call[0].find(L", 21000000 units: \"xxx"), std::wstring::npos);
    const auto notes = run.Starting(L"note: the text of GetLog is 21000000 UTF-16 units long: the workbench reads "
                                    L"and shows it whole");
    EXPECT_EQ(notes.size(), 1u);
}

} // namespace
