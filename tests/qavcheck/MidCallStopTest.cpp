// StopQAVInterface called while Execute runs, from another thread, as the
// workbench's Stop calls it: how long Execute takes to return after it, against
// the workbench's grace; with --stop-after, and in the default session once a
// call has run for the timeout.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/qavcheck/CheckerRun.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

struct StopCase {
    const char* name;
    const wchar_t* library;            // a test library built beside the tests
    std::string behaviour;             // do.txt of qavtest_misbehaving, script.txt's line of the others
    std::vector<std::wstring> options; // before the library
    unsigned long exitCode;
    std::vector<std::wstring> findings; // how each starts
    std::vector<std::wstring> notes;    // how each note about the stop starts
    // How often StopQAVInterface was called while Execute ran: for the Run's
    // Execute, and again for the one after the stop asked while nothing ran.
    size_t stops;
};

void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::wstring InTime = L"note: Execute returned ";
const std::wstring AtTimeout =
    L"note: Execute was still running after 1 s, so it was asked to stop through StopQAVInterface, as a user presses Stop";

const std::vector<StopCase>& StopCases()
{
    static const std::vector<StopCase> cases = {
        {"WithinTheGrace", L"qavtest_misbehaving", "Execute spin", {L"--stop-after", L"200"}, 0, {}, {InTime}, 2},
        {"PastTheGrace", L"qavtest_misbehaving", "Execute spin 1400", {L"--stop-after", L"200"}, 1,
         {L"warning: Execute: returned "}, {}, 2},
        {"Ignored", L"qavtest_misbehaving", "Execute deaf", {L"--stop-after", L"200", L"--timeout", L"1"}, 1,
         {L"error: Execute: still running 1 s after StopQAVInterface asked it to stop: hung. In the workbench a stop "
          L"window shows once a call has run for a second; its Stop asks the library through StopQAVInterface, then, "
          L"if the call goes on for 0.5 s, ends the call by force"},
         {}, 1},
        {"AtTheTimeout", L"qavtest_misbehaving", "Execute spin", {L"--timeout", L"1"}, 0, {}, {AtTimeout, InTime}, 2},
        {"NotNeeded", L"qavtest_misbehaving", "", {L"--stop-after", L"200"}, 1,
         {L"warning: Execute: returned after "}, {}, 0},
        {"NotExported", L"qavtest_bound", "", {L"--stop-after", L"200"}, 1,
         {L"warning: Execute: --stop-after asks for a stop through StopQAVInterface, which the library does not "
          L"export: not tried."},
         {}, 0},
        // The library keeps the stop asked while nothing ran: the next Execute ends at once.
        {"KeptFromCallToCall", L"qavtest_stop_sticks", "Execute spin", {L"--stop-after", L"200"}, 1,
         {L"warning: StopQAVInterface: called while nothing ran, it ended the next Execute: that one returned by "
          L"itself after "},
         {InTime}, 1},
    };
    return cases;
}

class MidCallStop : public testing::TestWithParam<StopCase> {};

TEST_P(MidCallStop, IsTimedAgainstTheGrace)
{
    const StopCase& c = GetParam();
    std::filesystem::copy_file(e2e::LibraryPath(c.library), TestDir() / L"QAV.dll");
    if (std::wstring(c.library) == L"qavtest_misbehaving")
        std::ofstream(TestDir() / L"do.txt") << c.behaviour << "\n";
    else if (!c.behaviour.empty())
        e2e::WriteScript(TestDir(), {c.behaviour});
    std::vector<std::wstring> args = c.options;
    args.push_back(L"QAV.dll");
    const CheckerRun run = RunChecker(args);
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, c.exitCode);
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), c.findings.size());
    for (size_t i = 0; i < findings.size(); ++i) {
        EXPECT_EQ(findings[i].rfind(c.findings[i], 0), 0u) << "finding " << i;
        EXPECT_NE(findings[i].find(L" Fix: "), std::wstring::npos) << "finding " << i;
    }
    std::vector<std::wstring> notes;
    for (const auto& line : run.Starting(L"note: Execute "))
        notes.push_back(line);
    ASSERT_EQ(notes.size(), c.notes.size());
    for (size_t i = 0; i < notes.size(); ++i)
        EXPECT_EQ(notes[i].rfind(c.notes[i], 0), 0u) << "note " << i;
    EXPECT_EQ(run.Starting(L"call: StopQAVInterface (while Execute runs): ").size(), c.stops);
}

INSTANTIATE_TEST_SUITE_P(Libraries, MidCallStop, testing::ValuesIn(StopCases()),
                         [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// How long the return took is said, against the grace, and what it means.
TEST(MidCallStop, PastTheGraceSaysHowLongAndWhatTheWorkbenchDoes)
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_misbehaving"), TestDir() / L"QAV.dll");
    std::ofstream(TestDir() / L"do.txt") << "Execute spin 1400\n";
    const CheckerRun run = RunChecker({L"--stop-after", L"200", L"QAV.dll"});
    SCOPED_TRACE(run.Transcript());
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), 1u);
    const std::wstring& finding = findings[0];
    const double seconds = std::wcstod(finding.c_str() + std::wstring(L"warning: Execute: returned ").size(), nullptr);
    EXPECT_GE(seconds, 1.4);
    EXPECT_LT(seconds, 5.0);
    EXPECT_NE(finding.find(L" s after StopQAVInterface, more than the workbench's grace of 0.5 s: the workbench stops "
                           L"it by force first"),
              std::wstring::npos);
    EXPECT_NE(run.Starting(L"call: Execute: ")[0].find(L"\"stopped by the library\""), std::wstring::npos);
}

} // namespace
