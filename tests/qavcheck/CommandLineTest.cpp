// qavcheck's command line and the files it is given: what cannot be checked
// ends with exit code 2 and says why; the program file reaches Execute as the
// workbench's editor would hand it over.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/qavcheck/CheckerRun.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr bool X86 = sizeof(void*) == 4;

void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& part)
{
    for (const auto& line : lines)
        if (line.find(part) != std::wstring::npos)
            return true;
    return false;
}

struct UsageCase {
    const char* name;
    std::vector<std::wstring> args;
    std::wstring says; // on stderr
};

class Usage : public testing::TestWithParam<UsageCase> {};

TEST_P(Usage, IsRefusedWithExitCode2)
{
    const CheckerRun run = RunChecker(GetParam().args);
    EXPECT_EQ(run.exitCode, 2u) << run.Transcript();
    EXPECT_TRUE(Contains(run.err, GetParam().says)) << run.Transcript();
    EXPECT_TRUE(Contains(
        run.err, L"Usage: qavcheck [--program FILE] [--timeout SECONDS] [--stop-after MS] [--full-texts] PATH\\TO\\QAV.dll"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Usage,
    testing::Values(UsageCase{"NoLibrary", {}, L"no library given"},
                    UsageCase{"TwoLibraries", {L"a.dll", L"b.dll"}, L"one library at a time"},
                    UsageCase{"UnknownOption", {L"--fast", L"QAV.dll"}, L"unknown option --fast"},
                    UsageCase{"ProgramWithoutFile", {L"QAV.dll", L"--program"}, L"--program needs a value"},
                    UsageCase{"ZeroTimeout", {L"--timeout", L"0", L"QAV.dll"}, L"--timeout needs a number"},
                    UsageCase{"WordTimeout", {L"--timeout", L"ten", L"QAV.dll"}, L"--timeout needs a number"},
                    UsageCase{"NegativeStopAfter", {L"--stop-after", L"-5", L"QAV.dll"},
                              L"--stop-after needs a number of milliseconds above 0, up to 86400000: '-5'"},
                    UsageCase{"StopAfterWithoutValue", {L"QAV.dll", L"--stop-after"}, L"--stop-after needs a value"},
                    UsageCase{"MissingProgramFile", {L"--program", L"none.txt", L"QAV.dll"},
                              L"cannot open the program file"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

TEST(Usage, HelpExitsZero)
{
    const CheckerRun run = RunChecker({L"--help"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Contains(run.out, L"Exit code: 0 clean, 1 something found (the library ending the process too), 2 "
                                  L"the library could not be checked."));
    EXPECT_TRUE(Contains(run.out, L"give one in"));
}

struct UnloadableCase {
    const char* name;
    std::function<std::filesystem::path()> make; // the file to check
    std::wstring says;
};

class Unloadable : public testing::TestWithParam<UnloadableCase> {};

TEST_P(Unloadable, IsReportedWithExitCode2)
{
    const auto path = GetParam().make();
    if (path.empty())
        GTEST_SKIP() << "the other architecture's build is missing";
    const CheckerRun run = RunChecker({path.wstring()});
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 2u);
    ASSERT_EQ(run.Findings().size(), 1u);
    EXPECT_EQ(run.Findings()[0].rfind(L"error: file: ", 0), 0u);
    EXPECT_NE(run.Findings()[0].find(GetParam().says), std::wstring::npos);
    EXPECT_NE(run.Findings()[0].find(L"The workbench reports \"DLL error!\""), std::wstring::npos);
    EXPECT_EQ(run.out.back().rfind(L"summary: not checked", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Unloadable,
    testing::Values(
        UnloadableCase{"Missing", [] { return TestDir() / L"QAV.dll"; }, L"cannot open the file"},
        UnloadableCase{"Text",
                       [] {
                           WriteBytes(TestDir() / L"QAV.dll", "not a library\r\n");
                           return TestDir() / L"QAV.dll";
                       },
                       L"not a Windows DLL"},
        UnloadableCase{"CutShort",
                       [] {
                           std::ifstream in(e2e::BinDir() / L"QAV.dll", std::ios::binary);
                           std::string head(300, '\0');
                           in.read(head.data(), 300);
                           WriteBytes(TestDir() / L"QAV.dll", head);
                           return TestDir() / L"QAV.dll";
                       },
                       L"not a Windows DLL"},
        UnloadableCase{"Program", [] { return e2e::BinDir() / L"QAVDemo.exe"; }, L"is a program, not a DLL"},
        UnloadableCase{"OtherArchitecture",
                       []() -> std::filesystem::path {
                           const auto other = std::filesystem::path(QAV_OTHER_ARCH_BIN) / L"qavtest_bound.dll";
                           return std::filesystem::exists(other) ? other : std::filesystem::path();
                       },
                       X86 ? L"is a library for x64 (64-bit); this qavcheck, like the workbench beside it, is x86 (32-bit)"
                           : L"is a library for x86 (32-bit); this qavcheck, like the workbench beside it, is x64 (64-bit)"}),
    [](const testing::TestParamInfo<UnloadableCase>& info) { return std::string(info.param.name); });

struct ProgramCase {
    const char* name;
    std::string bytes;   // the program file
    std::string arrives; // as Execute records it
};

class ProgramFile : public testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramFile, ReachesExecuteAsTheEditorHoldsIt)
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_bound"), TestDir() / L"QAV.dll");
    WriteBytes(TestDir() / L"program.txt", GetParam().bytes);
    const CheckerRun run = RunChecker({L"--program", L"program.txt", L"QAV.dll"});
    EXPECT_EQ(run.exitCode, 0u) << run.Transcript();
    const auto calls = e2e::RecordedCalls(TestDir());
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[3], "Execute self=ok options=empty mode=1 program=" + GetParam().arrives);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ProgramFile,
    testing::Values(ProgramCase{"Utf8", "x = 1\nprint \xC3\x84\xF0\x9F\x98\x80", "x = 1\\r\\nprint \\u00C4\\uD83D\\uDE00"},
                    ProgramCase{"Utf8WithBom", "\xEF\xBB\xBF" "a\r\nb\n", "a\\r\\nb\\r\\n"},
                    ProgramCase{"Utf16WithBom", std::string("\xFF\xFE" "a\0\n\0\x04\x04", 8), "a\\r\\n\\u0404"},
                    ProgramCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<ProgramCase>& info) { return std::string(info.param.name); });

TEST(ProgramFile, ThatIsNotTextIsRefused)
{
    WriteBytes(TestDir() / L"program.txt", "\xC3\x28");
    const CheckerRun run = RunChecker({L"--program", L"program.txt", L"QAV.dll"});
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(Contains(run.err, L"is neither UTF-8 nor UTF-16")) << run.Transcript();
}

// The libraries the project ships: the sample interpreter and the templates in
// C and C++, these also built with <windows.h> included first.
struct ShippedCase {
    const char* name;
    const wchar_t* library;
};

void PrintTo(const ShippedCase& c, std::ostream* out)
{
    *out << c.name;
}

class ShippedLibrary : public testing::TestWithParam<ShippedCase> {};

TEST_P(ShippedLibrary, IsClean)
{
    const std::wstring library = GetParam().library;
    const CheckerRun run = RunChecker({(e2e::BinDir() / library).wstring()});
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.Findings().empty());
    // A library with StopQAVInterface gets two calls more: the stop while nothing runs, and Execute again.
    const bool stops = !run.Starting(L"note: StopQAVInterface is exported").empty();
    EXPECT_EQ(run.out.back().rfind(stops ? L"summary: clean; 0 errors, 0 warnings, 13 calls in "
                                         : L"summary: clean; 0 errors, 0 warnings, 11 calls in ",
                                   0),
              0u);
    EXPECT_TRUE(stops) << "the sample and the templates have the optional StopQAVInterface";
}

INSTANTIATE_TEST_SUITE_P(Project, ShippedLibrary,
                         testing::Values(ShippedCase{"Sample", L"QAV.dll"}, ShippedCase{"Template", L"QAVMinimal.dll"},
                                         ShippedCase{"TemplateWithWindowsHeader", L"qavtest_minimal_windows.dll"},
                                         ShippedCase{"CppTemplate", L"QAVMinimalCpp.dll"},
                                         ShippedCase{"CppTemplateWithWindowsHeader",
                                                     L"qavtest_minimal_cpp_windows.dll"}),
                         [](const testing::TestParamInfo<ShippedCase>& info) { return std::string(info.param.name); });

// The default program is one of the sample interpreter's language, so that a
// check of the sample runs a program rather than only its error path.
TEST(DefaultProgram, RunsInTheSampleInterpreter)
{
    const CheckerRun run = RunChecker({(e2e::BinDir() / L"QAV.dll").wstring()});
    SCOPED_TRACE(run.Transcript());
    const auto execute = run.Starting(L"call: Execute: ");
    ASSERT_EQ(execute.size(), 1u);
    EXPECT_NE(execute[0].find(L", 1 unit: \"6\""), std::wstring::npos);
    const auto log = run.Starting(L"call: GetLog: ");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(L"\"Rex is 3\""), std::wstring::npos);
}

} // namespace
