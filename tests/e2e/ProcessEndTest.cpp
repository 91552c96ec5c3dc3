// A library that ends the process from inside a call: abort(), a failed assert,
// an escaping C++ exception, exit() and its kin. Inside a call on the calling
// thread the workbench ends the call instead and goes on; where that cannot be
// done, it keeps the program before the process ends.
#include "tests/e2e/E2E.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/e2e/driver/SavedCopies.h"
#include "tests/e2e/libs/RecordFormat.h"
#include "tests/support/TestDir.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace e2e;

namespace {

const std::wstring kProgram = L"x = \"\U0001F600 \U0001D11E \u00E9\"\r\n\r\nprint x\r\n  last";
const std::wstring kUnreliable = L" The interpreter may now be unreliable.";
const std::wstring kAbortWords = L" (a failed assert, an uncaught C++ exception or a panic ends so).";

AppProcess Start(const wchar_t* library, const std::vector<std::string>& script)
{
    WriteScript(TestDir(), script);
    LaunchOptions options;
    options.library = LibraryPath(library);
    return AppProcess::Start(TestDir(), options);
}

size_t Count(const std::vector<std::string>& calls, const std::string& call)
{
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
}

// A box of the C runtime's own before ours (a failed assert's) is answered.
std::optional<ErrorBox> OurBox(const AppProcess& app)
{
    for (;;) {
        auto box = app.WaitForErrorBox();
        if (!box || box->text.find(L"Assertion failed") == std::wstring::npos)
            return box;
        app.Dismiss(*box);
    }
}

struct EndCase {
    const char* line;   // what the library's call does
    std::wstring words; // the report
};

void PrintTo(const EndCase& c, std::ostream* out)
{
    *out << c.line;
}

std::string EndName(const testing::TestParamInfo<EndCase>& info)
{
    std::string name = info.param.line;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

std::wstring Ended(const std::wstring& call, const std::wstring& operation)
{
    return L"The library called " + call + L" in " + operation +
           L" to end the process; QAV Demo ended the call instead." + kUnreliable;
}

const EndCase kEndsInExecute[] = {
    {"abort", L"The library called abort() in Execute" + kAbortWords + kUnreliable},
    {"assert", L"The library called abort() in Execute" + kAbortWords + kUnreliable},
    {"panic unprotected error in call to Lua API",
     L"The library called abort() in Execute" + kAbortWords +
         L" It wrote: PANIC: unprotected error in call to Lua API." + kUnreliable},
    {"throw fixture: boom", L"A C++ exception escaped the library's Execute: fixture: boom (std::runtime_error)." + kUnreliable},
    {"throw-pointer", L"A C++ exception escaped the library's Execute: an exception of type ScriptError*." + kUnreliable},
    {"exit 3", Ended(L"exit(3)", L"Execute")},
    {"exit 0", Ended(L"exit(0)", L"Execute")},
    {"_exit 9", Ended(L"_exit(9)", L"Execute")},
    {"_exit -1", Ended(L"_exit(-1)", L"Execute")},
    {"ExitProcess 5", Ended(L"ExitProcess(5)", L"Execute")},
    {"TerminateProcess 7", Ended(L"TerminateProcess(its own process, 7)", L"Execute")},
};

class EndInExecute : public testing::TestWithParam<EndCase> {};

// Survived as a fault is: the box names the call and the way, nothing the user
// sees changes, and the next Run calls the library again.
TEST_P(EndInExecute, EndsTheCallAndTheNextRunWorks)
{
    const EndCase& c = GetParam();
    auto app = Start(L"qavtest_bound", {std::string("Execute ") + c.line});
    app.SetText(ControlId::Text, kProgram);
    app.SetText(ControlId::Result, L"old result");
    app.SetText(ControlId::Stacks, L"old stacks");
    // Posted: a failed assert's box holds the click until it is answered.
    app.PostRunClick();
    const auto box = OurBox(app);
    ASSERT_TRUE(box.has_value()) << "no box";
    EXPECT_EQ(box->text, c.words) << qavrec::Escape(box->text);
    app.Dismiss(*box);
    EXPECT_EQ(app.Text(ControlId::Text), kProgram);
    EXPECT_EQ(app.Text(ControlId::Result), L"old result");
    EXPECT_EQ(app.Text(ControlId::Stacks), L"old stacks");

    WriteScript(TestDir(), {"Execute text again", "GetLog text L"});
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"again");
    EXPECT_EQ(app.Lines(ControlId::Log), std::vector<std::wstring>{L"L"});
    EXPECT_EQ(app.Close(), 0u);
    const auto calls = RecordedCalls(TestDir());
    EXPECT_EQ(Count(calls, "GetLog self=ok"), 1u) << "the Run that ended called on";
    EXPECT_EQ(calls.back(), "Detach unload");
}

INSTANTIATE_TEST_SUITE_P(Ways, EndInExecute, testing::ValuesIn(kEndsInExecute), EndName);

// The same in a later call of the Run: it ends there, after Result was set.
TEST(EndInGetLog, EndsTheRunThereAndTheNextRunWorks)
{
    auto app = Start(L"qavtest_bound", {"Execute text R", "GetLog exit 2"});
    app.SetText(ControlId::Stacks, L"old stacks");
    app.PressRun();
    const auto box = app.WaitForErrorBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, Ended(L"exit(2)", L"GetLog"));
    app.Dismiss(*box);
    EXPECT_EQ(app.Text(ControlId::Result), L"R");
    EXPECT_EQ(app.Text(ControlId::Stacks), L"");
    WriteScript(TestDir(), {"Execute text R2"});
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Stacks), L"Var stack:\r\nParam stack:\r\nObject stack:\r\nFunction stack:");
    EXPECT_EQ(app.Close(), 0u);
}

// At start-up the report is the binding's one line, and the window works.
TEST(EndInGetVersion, IsTheBindingLineAndRunsWork)
{
    auto app = Start(L"qavtest_bound", {"GetVersion abort", "Execute text R"});
    EXPECT_EQ(app.Lines(ControlId::Log),
              std::vector<std::wstring>{L"The library called abort() in GetVersion" + kAbortWords + kUnreliable});
    EXPECT_FALSE(app.WaitForErrorBox(std::chrono::milliseconds(300)).has_value());
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"R");
    EXPECT_EQ(app.Close(), 0u);
}

TEST(EndInGetQAVInterface, IsTheBindingLine)
{
    auto app = Start(L"qavtest_bound", {"GetQAVInterface ExitProcess 1"});
    EXPECT_EQ(app.Lines(ControlId::Log), std::vector<std::wstring>{Ended(L"ExitProcess(1)", L"GetQAVInterface")});
    EXPECT_EQ(app.Close(), 0u);
}

// At close the window goes as always: exit code 0, the library unloaded.
TEST(EndInFreeQAVInterface, StillClosesWithExitCodeZero)
{
    auto app = Start(L"qavtest_bound", {"FreeQAVInterface exit 3"});
    EXPECT_EQ(app.Close(), 0u);
    const auto calls = RecordedCalls(TestDir());
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "FreeQAVInterface slot=ours");
    EXPECT_EQ(calls.back(), "Detach unload");
}

// A library linked against the Universal C runtime, as Microsoft's compiler links one.
class EndInAUcrtLibrary : public testing::TestWithParam<EndCase> {};

TEST_P(EndInAUcrtLibrary, EndsTheCallAndTheNextRunWorks)
{
    const EndCase& c = GetParam();
    auto app = Start(L"qavtest_ucrt", {});
    app.SetText(ControlId::Text, std::wstring(c.line, c.line + std::strlen(c.line)));
    app.PostRunClick();
    const auto box = OurBox(app);
    ASSERT_TRUE(box.has_value()) << "no box";
    EXPECT_EQ(box->text, c.words) << qavrec::Escape(box->text);
    app.Dismiss(*box);
    app.SetText(ControlId::Text, L"hello");
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"ran: hello");
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, EndInAUcrtLibrary,
    testing::Values(EndCase{"abort", L"The library called abort() in Execute" + kAbortWords + kUnreliable},
                    EndCase{"assert", L"The library called abort() in Execute" + kAbortWords + kUnreliable},
                    EndCase{"exit 3", Ended(L"exit(3)", L"Execute")},
                    EndCase{"quick_exit 6", Ended(L"quick_exit(6)", L"Execute")},
                    EndCase{"_exit 2", Ended(L"_exit(2)", L"Execute")}),
    EndName);

struct KeptCase {
    const char* line;
    DWORD exitCode;
    std::wstring said; // how exceptions.log's line begins
};

void PrintTo(const KeptCase& c, std::ostream* out)
{
    *out << c.line;
}

class EndNotSurvived : public testing::TestWithParam<KeptCase> {};

// From a thread of the library's own, or by a way that was not turned aside:
// the process ends, with the program saved first and a line in exceptions.log.
TEST_P(EndNotSurvived, KeepsTheProgramAndSaysWhereInExceptionsLog)
{
    const KeptCase& c = GetParam();
    auto app = Start(L"qavtest_bound", {std::string("Execute ") + c.line});
    app.SetText(ControlId::Text, kProgram);
    app.PostRunClick();
    EXPECT_EQ(app.WaitForExit(), c.exitCode);

    const auto copies = SavedCopies(TestDir());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(FileBytes(copies[0]), Utf8(kProgram));
    const std::string log = FileBytes(TestDir() / "exceptions.log");
    const std::string said = Utf8(c.said) + "; the program was saved to ";
    EXPECT_NE(log.find("] : " + said), std::string::npos) << log;
    EXPECT_NE(log.find(Utf8(copies[0].filename().wstring()) + ".\r\n"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Ways, EndNotSurvived,
    testing::Values(
        KeptCase{"exit-thread 4", 4, L"The library ended the process with exit(4) in Execute, from a thread of its own"},
        KeptCase{"exit-unseen 6", 6, L"The library ended the process in Execute, in a way QAV Demo could not turn aside"}),
    [](const testing::TestParamInfo<KeptCase>& info) { return std::string(info.param.line).substr(0, 10) == "exit-threa" ? std::string("OwnThread") : std::string("Unseen"); });

} // namespace
