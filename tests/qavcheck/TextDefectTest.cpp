// qavcheck on texts whose fault shows only in memory or in their line ends: a
// text in a freed heap block, lines broken by a lone LF or CR; and how texts
// are shown, cut or whole.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/qavcheck/CheckerRun.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

CheckerRun CheckCopy(const wchar_t* library, const std::vector<std::wstring>& options = {})
{
    std::filesystem::copy_file(e2e::LibraryPath(library), TestDir() / L"QAV.dll");
    std::vector<std::wstring> args = options;
    args.push_back(L"QAV.dll");
    return RunChecker(args);
}

std::wstring CallLine(const CheckerRun& run, const std::wstring& operation)
{
    const auto lines = run.Starting(L"call: " + operation + L":");
    return lines.empty() ? std::wstring() : lines.front();
}

// GetLog returns the text of a string destroyed on return. The stacks' texts
// lie at the start of a live heap block, inside one, and in memory no heap
// manages: only the freed one is an error, and the last one is named as unseen.
TEST(FreedHeapText, IsAnErrorAndLiveHeapTextsAreNot)
{
    const CheckerRun run = CheckCopy(L"qavtest_freed_text");
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 1u);
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].rfind(L"error: GetLog: returned a pointer into a heap block that is already freed", 0), 0u);
    EXPECT_NE(findings[0].find(L"std::wstring(...).c_str()"), std::wstring::npos);
    EXPECT_NE(findings[0].find(L" Fix: return a NUL-terminated text that the library keeps"), std::wstring::npos);
    EXPECT_NE(CallLine(run, L"GetLog").find(L"a freed text"), std::wstring::npos);
    EXPECT_NE(CallLine(run, L"GetVarStack").find(L"a text long enough"), std::wstring::npos);
    EXPECT_NE(CallLine(run, L"GetParamStack").find(L"\"inside a heap block\""), std::wstring::npos);
    const auto notes = run.Starting(L"note: the text");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind(L"note: the text of GetObjectStack lies in memory that no heap of the process manages", 0),
              0u);
}

// The sample interpreter's and the template's texts are all alive: no note either.
TEST(FreedHeapText, ShippedLibrariesNeedNoNote)
{
    for (const wchar_t* library : {L"QAV.dll", L"QAVMinimal.dll"}) {
        const CheckerRun run = RunChecker({(e2e::BinDir() / library).wstring()});
        SCOPED_TRACE(run.Transcript());
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(run.Starting(L"note: the text").empty());
    }
}

TEST(LoneBreaks, AreWarnedWithTheirPlaceAndTheFix)
{
    const CheckerRun run = CheckCopy(L"qavtest_lone_breaks");
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 1u);
    const auto findings = run.Findings();
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].rfind(L"warning: GetLog: the text breaks lines with 3 lone LFs, the first at unit 10: "
                                L"\"line 1 = 3\\nbefore\\nRuntime error: di\"",
                                0),
              0u);
    EXPECT_EQ(findings[1].rfind(L"warning: GetVarStack: the text breaks lines with 1 lone CR, the first at unit 12: "
                                L"\"x = 1\\r\\ny = 2\\rz = 3\"",
                                0),
              0u);
    for (const auto& finding : findings) {
        EXPECT_NE(finding.find(L"only at CR LF"), std::wstring::npos);
        EXPECT_NE(finding.find(L" Fix: end every line with CR LF (L\"\\r\\n\")"), std::wstring::npos);
    }
    EXPECT_EQ(run.out.back().rfind(L"summary: 0 errors, 2 warnings, 11 calls in ", 0), 0u);
}

// Line ends inside the result, a one-line field, and CR LF everywhere else are no finding.
TEST(LoneBreaks, OnlyPaneTextsAreLookedAt)
{
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_bound"), TestDir() / L"QAV.dll");
    e2e::WriteScript(TestDir(), {"Execute text 1\\n2", "GetLog text a\\r\\nb\\r\\n", "GetVarStack text \\r\\n"});
    const CheckerRun run = RunChecker({L"QAV.dll"});
    EXPECT_EQ(run.exitCode, 0u) << run.Transcript();
    EXPECT_TRUE(run.Findings().empty()) << run.Transcript();
}

struct ShownCase {
    const char* name;
    std::vector<std::wstring> options;
    std::wstring shown; // in GetLog's call line
    bool note;          // a note before the summary says texts were cut
};

void PrintTo(const ShownCase& c, std::ostream* out)
{
    *out << c.name;
}

class LongText : public testing::TestWithParam<ShownCase> {};

TEST_P(LongText, IsShownAsAsked)
{
    const ShownCase& c = GetParam();
    std::filesystem::copy_file(e2e::LibraryPath(L"qavtest_bound"), TestDir() / L"QAV.dll");
    e2e::WriteScript(TestDir(), {"GetLog text " + std::string(50, 'a') + "\\r\\n" + std::string(30, 'b')});
    std::vector<std::wstring> args = c.options;
    args.push_back(L"QAV.dll");
    const CheckerRun run = RunChecker(args);
    SCOPED_TRACE(run.Transcript());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(CallLine(run, L"GetLog").find(L"82 units: " + c.shown), std::wstring::npos);
    ASSERT_GE(run.out.size(), 2u);
    const std::wstring& beforeSummary = run.out[run.out.size() - 2];
    EXPECT_EQ(beforeSummary == L"note: texts longer than 60 units are cut short above; --full-texts shows them whole.",
              c.note);
}

INSTANTIATE_TEST_SUITE_P(
    Options, LongText,
    testing::Values(ShownCase{"CutByDefault", {}, L"\"" + std::wstring(50, L'a') + L"\\r\\n" + std::wstring(8, L'b') +
                                                     L"...\"", true},
                    ShownCase{"WholeWithFullTexts", {L"--full-texts"},
                              L"\"" + std::wstring(50, L'a') + L"\\r\\n" + std::wstring(30, L'b') + L"\"", false}),
    [](const testing::TestParamInfo<ShownCase>& info) { return std::string(info.param.name); });

} // namespace
