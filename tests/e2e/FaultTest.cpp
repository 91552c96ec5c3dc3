#include "tests/e2e/E2E.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/e2e/libs/RecordFormat.h"
#include "tests/support/TestDir.h"

#include <algorithm>
#include <cstring>

using namespace e2e;

namespace {

AppProcess StartWithScript(const std::vector<std::string>& script)
{
    WriteScript(TestDir(), script);
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    return AppProcess::Start(TestDir(), options);
}

bool Recorded(const std::string& call)
{
    const auto calls = RecordedCalls(TestDir());
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// The report names the call that faulted.
void ExpectNamesOperation(const std::wstring& text, const char* operation)
{
    const std::wstring named = L"It arose in the library's " + std::wstring(operation, operation + std::strlen(operation)) + L".";
    EXPECT_NE(text.find(named), std::wstring::npos) << qavrec::Escape(text);
}

void ExpectFaultText(const std::wstring& text, const char* operation)
{
    EXPECT_EQ(text.rfind(L"Access violation at address 0x", 0), 0u) << qavrec::Escape(text);
    EXPECT_NE(text.find(L"in module 'QAV.dll'"), std::wstring::npos) << qavrec::Escape(text);
    ExpectNamesOperation(text, operation);
}

struct StartupFault {
    const char* entry;
    bool bound; // the interface slot was filled before the fault
};

void PrintTo(const StartupFault& c, std::ostream* out)
{
    *out << c.entry;
}

class FaultWhileBinding : public testing::TestWithParam<StartupFault> {};

// Binding reports in Log and never raises: a fault there is its one line, without a box.
TEST_P(FaultWhileBinding, IsTheBindingLineAndTheProgramGoesOn)
{
    const auto c = GetParam();
    auto app = StartWithScript({std::string(c.entry) + " fault access-violation", "Execute text R"});
    const auto log = app.Lines(ControlId::Log);
    ASSERT_EQ(log.size(), 1u);
    ExpectFaultText(log[0], c.entry);
    EXPECT_FALSE(app.WaitForErrorBox(std::chrono::milliseconds(300)).has_value());
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), c.bound ? L"R" : L"");
    EXPECT_EQ(app.Close(), 0u);
    EXPECT_EQ(Recorded("FreeQAVInterface slot=ours"), c.bound);
    EXPECT_EQ(RecordedCalls(TestDir()).back(), "Detach unload");
}

INSTANTIATE_TEST_SUITE_P(Entries, FaultWhileBinding,
                         testing::Values(StartupFault{"GetQAVInterface", false}, StartupFault{"GetVersion", true}),
                         [](const testing::TestParamInfo<StartupFault>& info) { return std::string(info.param.entry); });

TEST(FaultInExecute, LeavesResultLogAndStacksAsTheyWere)
{
    auto app = StartWithScript({"Execute fault access-violation"});
    app.SetText(ControlId::Result, L"old result");
    app.SetText(ControlId::Stacks, L"old stacks");
    app.PressRun();
    const auto box = app.WaitForErrorBox();
    ASSERT_TRUE(box.has_value());
    ExpectFaultText(box->text, "Execute");
    app.Dismiss(*box);
    EXPECT_EQ(app.Text(ControlId::Result), L"old result");
    EXPECT_EQ(app.Text(ControlId::Log), kTestVersionLine);
    EXPECT_EQ(app.Text(ControlId::Stacks), L"old stacks");
    EXPECT_FALSE(Recorded("GetLog self=ok"));
    EXPECT_EQ(app.Close(), 0u);
}

class FaultInFreeQAVInterface : public testing::TestWithParam<const char*> {};

// A fault, or an exception that must not be continued.
TEST_P(FaultInFreeQAVInterface, StillUnloadsAndExitsZero)
{
    auto app = StartWithScript({std::string("FreeQAVInterface ") + GetParam()});
    EXPECT_EQ(app.Close(), 0u);
    const auto calls = RecordedCalls(TestDir());
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "FreeQAVInterface slot=ours");
    EXPECT_EQ(calls.back(), "Detach unload");
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultInFreeQAVInterface, testing::Values("fault stack-overflow", "raise E06D7363"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, 5);
                         });

struct RaisedCase {
    const char* operation;
    const char* code;          // hexadecimal, raised non-continuable
    const wchar_t* words;      // how the report begins
};

void PrintTo(const RaisedCase& c, std::ostream* out)
{
    *out << c.operation << " " << c.code;
}

std::string RaisedName(const testing::TestParamInfo<RaisedCase>& info)
{
    return std::string(info.param.operation) + "_" + info.param.code;
}

constexpr const wchar_t* kCppWords = L"Unhandled C++ exception at address 0x";
constexpr const wchar_t* kPascalWords = L"System exception 0x0EEDFADE at address 0x";

class RaisedDuringARun : public testing::TestWithParam<RaisedCase> {};

// An exception that must not be continued is reported like a fault, in a box;
// the window stays usable and the next Run calls the library again.
TEST_P(RaisedDuringARun, IsReportedInABoxAndTheNextRunWorks)
{
    const auto& c = GetParam();
    auto app = StartWithScript({std::string(c.operation) + " raise " + c.code, "Execute text R"});
    app.SetText(ControlId::Text, L"typed");
    app.PressRun();
    const auto box = app.WaitForErrorBox();
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_EQ(box->text.rfind(c.words, 0), 0u) << qavrec::Escape(box->text);
    ExpectNamesOperation(box->text, c.operation);
    app.Dismiss(*box);
    ASSERT_TRUE(app.IsRunning());
    EXPECT_EQ(app.Text(ControlId::Text), L"typed");
    WriteScript(TestDir(), {"Execute text R2"});
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"R2");
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Operations, RaisedDuringARun,
                         testing::Values(RaisedCase{"Execute", "E06D7363", kCppWords},
                                         RaisedCase{"Execute", "0EEDFADE", kPascalWords},
                                         RaisedCase{"GetLog", "E06D7363", kCppWords},
                                         RaisedCase{"GetVarStack", "E06D7363", kCppWords},
                                         RaisedCase{"GetParamStack", "E06D7363", kCppWords},
                                         RaisedCase{"GetObjectStack", "E06D7363", kCppWords},
                                         RaisedCase{"GetFunctionStack", "0EEDFADE", kPascalWords}),
                         RaisedName);

class RaisedWhileBinding : public testing::TestWithParam<RaisedCase> {};

// At start-up it is the binding's line, without a box, and the window shows.
TEST_P(RaisedWhileBinding, IsTheBindingLine)
{
    const auto& c = GetParam();
    auto app = StartWithScript({std::string(c.operation) + " raise " + c.code, "Execute text R"});
    const auto log = app.Lines(ControlId::Log);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind(c.words, 0), 0u) << qavrec::Escape(log[0]);
    ExpectNamesOperation(log[0], c.operation);
    EXPECT_FALSE(app.WaitForErrorBox(std::chrono::milliseconds(300)).has_value());
    app.PressRun();
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Entries, RaisedWhileBinding,
                         testing::Values(RaisedCase{"GetQAVInterface", "E06D7363", kCppWords},
                                         RaisedCase{"GetVersion", "E06D7363", kCppWords},
                                         RaisedCase{"GetVersion", "0EEDFADE", kPascalWords}),
                         RaisedName);

struct TitleCase {
    const wchar_t* exeName;
    const wchar_t* caption;
};

void PrintTo(const TitleCase& c, std::ostream* out)
{
    *out << qavrec::Escape(c.exeName);
}

class ErrorBoxCaption : public testing::TestWithParam<TitleCase> {};

// The box's caption is the program's file name up to its first full stop, lower case after the first letter.
TEST_P(ErrorBoxCaption, ComesFromTheProgramsFileName)
{
    WriteScript(TestDir(), {"GetLog fault illegal-instruction"});
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    options.exeName = GetParam().exeName;
    auto app = AppProcess::Start(TestDir(), options);
    app.PressRun();
    const auto box = app.WaitForErrorBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, GetParam().caption);
    app.Dismiss(*box);
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, ErrorBoxCaption,
                         testing::Values(TitleCase{L"QAVDemo.exe", L"Qavdemo"},
                                         TitleCase{L"WORK.Bench.EXE", L"Work"},
                                         TitleCase{L"x.exe", L"x"},
                                         TitleCase{L"ДЕМО.exe", L"Демо"},
                                         TitleCase{L"ÉTUDE Ω.exe", L"Étude ω"}),
                         [](const testing::TestParamInfo<TitleCase>& info) {
                             return std::to_string(info.index);
                         });

// A library built with the wrong calling convention (cdecl) works by luck on
// x86 until the stack gives way: the 32-bit workbench says so once, in Log, and
// puts the stack back after every call. x64 has one convention, and nothing to say.
TEST(CallingConvention, ACdeclLibraryIsNamedOnceAndStillRuns)
{
    WriteScript(TestDir(), {"Execute text R", "GetLog text L"});
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_cdecl");
    auto app = AppProcess::Start(TestDir(), options);
    const auto log = app.Lines(ControlId::Log);
#if defined(_WIN64)
    EXPECT_EQ(log, std::vector<std::wstring>{kTestVersionLine});
#else
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], kTestVersionLine);
    EXPECT_EQ(log[1].rfind(L"The library's GetQAVInterface left its 4 bytes of arguments on the stack: it uses the "
                           L"cdecl calling convention",
                           0),
              0u)
        << qavrec::Escape(log[1]);
#endif
    for (int run = 0; run < 3; ++run) {
        app.PressRun();
        EXPECT_EQ(app.Text(ControlId::Result), L"R");
        EXPECT_EQ(app.Text(ControlId::Log), L"L") << "said once in a session";
    }
    EXPECT_EQ(app.Close(), 0u);
}

} // namespace
