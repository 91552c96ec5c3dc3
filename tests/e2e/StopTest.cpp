// Library calls that do not return: the stop window, Stop, and Save and quit,
// driven as a user would with test libraries that spin in their own code, sleep
// or wait in the system, or stop themselves through StopQAVInterface.
#include "tests/e2e/E2E.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/e2e/driver/SavedCopies.h"
#include "tests/e2e/libs/RecordFormat.h"
#include "tests/support/TestDir.h"

#include <algorithm>
#include <regex>
#include <thread>

using namespace e2e;

namespace {

using std::chrono::milliseconds;

const std::vector<std::string> kNormalRun = {"Execute text R",       "GetLog text l1",        "GetVarStack text v1",
                                             "GetParamStack text p1", "GetObjectStack text o1", "GetFunctionStack text f1"};
const std::wstring kNormalStacks = L"Var stack:\r\nv1\r\nParam stack:\r\np1\r\nObject stack:\r\no1\r\nFunction stack:\r\nf1";

// The script of a Run whose operation misbehaves as told, the others answering as in kNormalRun.
std::vector<std::string> With(const std::string& first, const std::vector<std::string>& rest = kNormalRun)
{
    std::vector<std::string> script{first};
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

AppProcess Start(const wchar_t* library, const std::vector<std::string>& script, bool waitForWindow = true)
{
    WriteScript(TestDir(), script);
    LaunchOptions options;
    options.library = LibraryPath(library);
    options.waitForMainWindow = waitForWindow;
    return AppProcess::Start(TestDir(), options);
}

// How the library was stopped, as the Log line says it.
enum class StopWay { ForceOnly, AskedFirst };

bool IsStopLine(const std::wstring& line, const std::wstring& operation, StopWay way = StopWay::ForceOnly)
{
    const std::wstring how = way == StopWay::ForceOnly
                                 ? L"The library has no StopQAVInterface, so it was stopped by force\\."
                                 : L"Asked through StopQAVInterface, it did not return within 0\\.5 s, so it was "
                                   L"stopped by force\\.";
    return std::regex_match(line, std::wregex(operation + L" stopped after [0-9]+\\.[0-9] s\\. " + how));
}

bool Recorded(const std::string& call)
{
    const auto calls = RecordedCalls(TestDir());
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

std::wstring TextOf(const AppProcess& app, HWND control)
{
    return app.WindowText(control);
}

// Presses Run and waits for the stop window of a call that does not return.
StopWindowView RunUntilStopWindow(const AppProcess& app)
{
    app.PostRunClick();
    const auto stop = app.WaitForStopWindow();
    if (!stop)
        throw std::runtime_error("no stop window");
    return *stop;
}

// The next Run calls the library again and shows its answers; then the window closes with exit code 0.
void ExpectANormalRunThenClose(AppProcess& app)
{
    WriteScript(TestDir(), kNormalRun);
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"R");
    EXPECT_EQ(app.Text(ControlId::Log), L"l1");
    EXPECT_EQ(app.Text(ControlId::Stacks), kNormalStacks);
    EXPECT_EQ(app.Close(), 0u);
}

// Waits for the stop window, checks what it says, presses Stop and waits for it to close.
void StopTheCall(const AppProcess& app, const std::wstring& operation)
{
    const auto stop = app.WaitForStopWindow();
    ASSERT_TRUE(stop.has_value()) << "no stop window";
    EXPECT_EQ(TextOf(app, stop->window), L"QAV Demo: " + operation + L" is running");
    const std::wstring text = TextOf(app, stop->text);
    EXPECT_NE(text.find(operation), std::wstring::npos) << qavrec::Escape(text);
    EXPECT_TRUE(std::regex_search(text, std::wregex(L"[0-9]+ s"))) << qavrec::Escape(text);
    EXPECT_EQ(TextOf(app, stop->stop), L"Stop");
    EXPECT_FALSE(IsWindowVisible(stop->save)) << "Save and quit is offered where Stop is safe";
    app.Click(stop->stop);
    EXPECT_TRUE(app.WaitUntilGone(stop->window)) << "the stop window stayed";
}

struct SpinCase {
    const char* operation;
    // What the panes show afterwards: as after a fault in that operation.
    std::wstring result;
    std::vector<std::wstring> logBefore; // Log's lines before the stop line
    std::wstring stacks;
};

void PrintTo(const SpinCase& c, std::ostream* out)
{
    *out << c.operation;
}

class SpinningOperation : public testing::TestWithParam<SpinCase> {};

// The stop ends the call; the panes keep what was shown, one line says so, and
// the next Run calls the library again.
TEST_P(SpinningOperation, IsStoppedAndTheNextRunCallsTheLibraryAgain)
{
    const auto& c = GetParam();
    auto app = Start(L"qavtest_bound", With(std::string(c.operation) + " spin"));
    app.SetText(ControlId::Text, L"program\r\ntext");
    app.SetText(ControlId::Result, L"old result");
    app.SetText(ControlId::Stacks, L"old stacks");
    const auto pressed = std::chrono::steady_clock::now();
    const StopWindowView stop = RunUntilStopWindow(app);
    EXPECT_GE(std::chrono::steady_clock::now() - pressed, milliseconds(900)) << "shown before a second had passed";
    app.Click(stop.stop);
    ASSERT_TRUE(app.WaitUntilGone(stop.window));
    app.Settle(ControlId::Log);

    auto log = app.Lines(ControlId::Log);
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(IsStopLine(log.back(), std::wstring(c.operation, c.operation + strlen(c.operation))))
        << qavrec::Escape(log.back());
    log.pop_back();
    EXPECT_EQ(log, c.logBefore);
    EXPECT_EQ(app.Text(ControlId::Result), c.result);
    EXPECT_EQ(app.Text(ControlId::Stacks), c.stacks);
    EXPECT_EQ(app.Text(ControlId::Text), L"program\r\ntext");
    EXPECT_FALSE(app.WaitForErrorBox(milliseconds(200)).has_value()) << "a stop shows no box";

    ExpectANormalRunThenClose(app);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, SpinningOperation,
    testing::Values(SpinCase{"Execute", L"old result", {kTestVersionLine}, L"old stacks"},
                    SpinCase{"GetLog", L"R", {}, L""},
                    SpinCase{"GetVarStack", L"R", {L"l1"}, L""},
                    SpinCase{"GetParamStack", L"R", {L"l1"}, L"Var stack:\r\nv1"},
                    SpinCase{"GetObjectStack", L"R", {L"l1"}, L"Var stack:\r\nv1\r\nParam stack:\r\np1"},
                    SpinCase{"GetFunctionStack", L"R", {L"l1"},
                             L"Var stack:\r\nv1\r\nParam stack:\r\np1\r\nObject stack:\r\no1"}),
    [](const testing::TestParamInfo<SpinCase>& info) { return std::string(info.param.operation); });

struct StartupCase {
    const char* entry;
    bool bound; // the slot was set before the call
};

void PrintTo(const StartupCase& c, std::ostream* out)
{
    *out << c.entry;
}

class SpinningAtStartup : public testing::TestWithParam<StartupCase> {};

// The window shows after the stop, with the stop as the binding's line.
TEST_P(SpinningAtStartup, IsStoppedAndTheWindowShows)
{
    const auto& c = GetParam();
    auto app = Start(L"qavtest_bound", {std::string(c.entry) + " spin", "Execute text R"}, false);
    StopTheCall(app, std::wstring(c.entry, c.entry + strlen(c.entry)));
    app.WaitForMainWindow();
    const auto log = app.Lines(ControlId::Log);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(IsStopLine(log[0], std::wstring(c.entry, c.entry + strlen(c.entry)))) << qavrec::Escape(log[0]);
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), c.bound ? L"R" : L"");
    EXPECT_EQ(app.Close(), 0u);
    EXPECT_EQ(Recorded("FreeQAVInterface slot=ours"), c.bound);
}

INSTANTIATE_TEST_SUITE_P(Entries, SpinningAtStartup,
                         testing::Values(StartupCase{"GetQAVInterface", false}, StartupCase{"GetVersion", true}),
                         [](const testing::TestParamInfo<StartupCase>& info) { return std::string(info.param.entry); });

TEST(SpinningAtClose, IsStoppedAndTheWindowStillCloses)
{
    auto app = Start(L"qavtest_bound", {"FreeQAVInterface spin"});
    app.RequestClose();
    StopTheCall(app, L"FreeQAVInterface");
    EXPECT_EQ(app.WaitForExit(), 0u);
    const auto calls = RecordedCalls(TestDir());
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "FreeQAVInterface slot=ours");
    EXPECT_EQ(calls.back(), "Detach unload");
}

// The stop window takes the focus, so Esc presses Stop.
TEST(StopWindow, TakesTheFocusAndEscPressesStop)
{
    auto app = Start(L"qavtest_bound", With("Execute spin"));
    const StopWindowView stop = RunUntilStopWindow(app);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(stop.window, nullptr), &info));
    EXPECT_EQ(info.hwndFocus, stop.stop);
    EXPECT_EQ(info.hwndActive, stop.window);
    app.PostKey(stop.stop, VK_ESCAPE);
    ASSERT_TRUE(app.WaitUntilGone(stop.window));
    EXPECT_TRUE(IsStopLine(app.Lines(ControlId::Log).back(), L"Execute"));
    EXPECT_EQ(app.Close(), 0u);
}

// Its text counts the seconds while the call runs.
TEST(StopWindow, CountsTheSeconds)
{
    auto app = Start(L"qavtest_bound", With("Execute spin"));
    const StopWindowView stop = RunUntilStopWindow(app);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(app, stop.text).find(L" 2 s") != std::wstring::npos; }, milliseconds(4000)))
        << qavrec::Escape(TextOf(app, stop.text));
    app.Click(stop.stop);
    EXPECT_TRUE(app.WaitUntilGone(stop.window));
    EXPECT_EQ(app.Close(), 0u);
}

// A call that returns by itself closes its window; the next slow call gets one of its own.
TEST(StopWindow, ClosesWhenTheCallReturnsAndComesBackForTheNextSlowOne)
{
    auto app = Start(L"qavtest_bound", {"Execute spin-ms 1800", "GetLog spin"});
    const StopWindowView first = RunUntilStopWindow(app);
    EXPECT_NE(TextOf(app, first.text).find(L"Execute"), std::wstring::npos);
    EXPECT_TRUE(app.WaitUntilGone(first.window)) << "the window stayed after Execute returned";
    StopTheCall(app, L"GetLog");
    app.Settle(ControlId::Log);
    const auto log = app.Lines(ControlId::Log);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(IsStopLine(log[0], L"GetLog")) << qavrec::Escape(log[0]);
    EXPECT_EQ(app.Close(), 0u);
}

TEST(StopWindow, WorksForManyStopsInARow)
{
    auto app = Start(L"qavtest_bound", With("Execute spin"));
    for (int round = 1; round <= 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        app.PostRunClick();
        StopTheCall(app, L"Execute");
        app.Settle(ControlId::Log);
        EXPECT_TRUE(IsStopLine(app.Lines(ControlId::Log).back(), L"Execute"));
    }
    const auto calls = RecordedCalls(TestDir());
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("Execute ", 0) == 0; }), 4);
    ExpectANormalRunThenClose(app);
}

// Stop pressed as the call returns by itself: either outcome, told consistently, and the window works.
TEST(StopWindow, PressedAsTheCallReturnsLeavesAUsableWindow)
{
    auto app = Start(L"qavtest_bound", With("Execute spin-ms 1300"));
    app.SetText(ControlId::Result, L"old result");
    const StopWindowView stop = RunUntilStopWindow(app);
    PostMessageW(stop.stop, BM_CLICK, 0, 0);
    EXPECT_TRUE(app.WaitUntilGone(stop.window));
    app.Settle(ControlId::Log);
    const auto log = app.Lines(ControlId::Log);
    ASSERT_FALSE(log.empty());
    if (IsStopLine(log.back(), L"Execute"))
        EXPECT_EQ(app.Text(ControlId::Result), L"old result");
    else
        EXPECT_EQ(app.Text(ControlId::Log), L"l1") << "returned by itself: the Run went on";
    ExpectANormalRunThenClose(app);
}

TEST(StopExport, LetsTheLibraryEndTheCallWithItsOwnMessage)
{
    auto app = Start(L"qavtest_stoppable", With("Execute spin"));
    const StopWindowView stop = RunUntilStopWindow(app);
    const auto pressed = std::chrono::steady_clock::now();
    app.Click(stop.stop);
    ASSERT_TRUE(app.WaitUntilGone(stop.window));
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, milliseconds(400)) << "not the library's own stop";
    app.Settle(ControlId::Log);
    EXPECT_EQ(app.Text(ControlId::Result), L"stopped by the library");
    EXPECT_EQ(app.Text(ControlId::Log), L"l1") << "the Run goes on as after any return";
    EXPECT_EQ(app.Text(ControlId::Stacks), kNormalStacks);
    EXPECT_TRUE(Recorded("StopQAVInterface slot=ours"));
    EXPECT_EQ(app.Close(), 0u);
}

TEST(StopExport, IgnoredByTheLibraryStillStopsTheCall)
{
    auto app = Start(L"qavtest_stop_ignored", With("Execute spin"));
    app.SetText(ControlId::Result, L"old result");
    app.PostRunClick();
    StopTheCall(app, L"Execute");
    app.Settle(ControlId::Log);
    EXPECT_TRUE(IsStopLine(app.Lines(ControlId::Log).back(), L"Execute", StopWay::AskedFirst))
        << qavrec::Escape(app.Lines(ControlId::Log).back());
    EXPECT_EQ(app.Text(ControlId::Result), L"old result");
    EXPECT_TRUE(Recorded("StopQAVInterface slot=ours"));
    EXPECT_EQ(app.Close(), 0u);
}

// Waits until the stop window says the call cannot be stopped and offers Save and quit.
void ExpectCannotStop(const AppProcess& app, const StopWindowView& stop)
{
    app.Click(stop.stop);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(stop.save) != FALSE; }, milliseconds(5000)))
        << "no Save and quit";
    const std::wstring text = TextOf(app, stop.text);
    EXPECT_NE(text.find(L"cannot be stopped safely"), std::wstring::npos) << qavrec::Escape(text);
    EXPECT_EQ(TextOf(app, stop.save), L"Save and quit");
}

class WaitingInTheSystem : public testing::TestWithParam<const char*> {};

// Where a stop is not safe, Save and quit keeps the program, every character of it, and ends the process.
TEST_P(WaitingInTheSystem, CannotBeStoppedAndSaveAndQuitKeepsTheProgram)
{
    const std::wstring program = L"x = \"\U0001F600 \U0001D11E é\"\r\n\r\nprint x\r\n  last line";
    auto app = Start(L"qavtest_bound", With(std::string("Execute ") + GetParam()));
    app.SetText(ControlId::Text, program);
    const StopWindowView stop = RunUntilStopWindow(app);
    ExpectCannotStop(app, stop);
    EXPECT_TRUE(app.IsRunning()) << "a call that cannot be stopped is not stopped";
    app.Click(stop.save);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(app, stop.text).find(L"saved to") != std::wstring::npos; },
                          milliseconds(5000)));
    const std::wstring said = TextOf(app, stop.text);
    EXPECT_EQ(app.WaitForExit(), 0u);

    const auto copies = SavedCopies(TestDir());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_NE(said.find(copies[0].filename().wstring()), std::wstring::npos) << qavrec::Escape(said);
    const std::string bytes = FileBytes(copies[0]);
    EXPECT_EQ(bytes, Utf8(program));
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF"), std::string::npos) << "a byte-order mark";
}

INSTANTIATE_TEST_SUITE_P(Calls, WaitingInTheSystem, testing::Values("sleep", "wait"));

// A directory that cannot be written: the window says where saving failed, and the process goes on.
TEST(SaveAndQuit, WhereTheFolderCannotBeWrittenSaysSoAndDoesNotEnd)
{
    WriteScript(TestDir(), With("Execute sleep"));
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    // A folder of a file system that nobody, not even root, can write in.
    options.currentDirectory = L"Z:\\proc";
    auto app = AppProcess::Start(TestDir(), options);
    const StopWindowView stop = RunUntilStopWindow(app);
    ExpectCannotStop(app, stop);
    app.Click(stop.save);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(app, stop.text).find(L"Could not save") != std::wstring::npos; },
                          milliseconds(5000)));
    const std::wstring said = TextOf(app, stop.text);
    EXPECT_TRUE(std::regex_search(said, std::wregex(L"Cannot create file \"Z:\\\\proc\\\\QAVDemo-program-[0-9]{8}-[0-9]{6}\\.txt\"\\. .+\\. QAV Demo goes on running")))
        << qavrec::Escape(said);
    std::this_thread::sleep_for(milliseconds(3500));
    EXPECT_TRUE(app.IsRunning()) << "ended without saving";
    EXPECT_TRUE(IsWindowVisible(stop.save)) << "Save and quit is no longer offered";
}

// A box of the library's own, such as a failed assert's: the stop window says the
// call waits for an answer there and offers Save and quit at once; the answer
// goes on as the library goes on (here: its abort, survived).
TEST(BoxOfTheLibrary, StopWindowSaysItWaitsForAnAnswerAndTheAnswerGoesOn)
{
    auto app = Start(L"qavtest_bound", With("Execute assert"));
    const StopWindowView stop = RunUntilStopWindow(app);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(stop.save) != FALSE; }, milliseconds(5000)))
        << "no Save and quit";
    const std::wstring text = TextOf(app, stop.text);
    EXPECT_NE(text.find(L"Execute is waiting for an answer in a box of the library's own"), std::wstring::npos)
        << qavrec::Escape(text);
    const auto box = app.WaitForErrorBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(text.find(box->caption), std::wstring::npos) << "the box's caption is named";
    app.Dismiss(*box);
    EXPECT_TRUE(app.WaitUntilGone(stop.window)) << "the stop window stayed";
    const auto report = app.WaitForErrorBox();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->text.rfind(L"The library called abort() in Execute", 0), 0u) << qavrec::Escape(report->text);
    app.Dismiss(*report);
    ExpectANormalRunThenClose(app);
}

TEST(BoxOfTheLibrary, SaveAndQuitKeepsTheProgramWithoutAnAnswer)
{
    const std::wstring program = L"print \"\U0001F600\"\r\n";
    auto app = Start(L"qavtest_bound", With("Execute box Go on?"));
    app.SetText(ControlId::Text, program);
    const StopWindowView stop = RunUntilStopWindow(app);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(stop.save) != FALSE; }, milliseconds(5000)));
    EXPECT_NE(TextOf(app, stop.text).find(L"(\"qavtest box\""), std::wstring::npos) << qavrec::Escape(TextOf(app, stop.text));
    app.Click(stop.save);
    EXPECT_EQ(app.WaitForExit(), 0u);
    const auto copies = SavedCopies(TestDir());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(FileBytes(copies[0]), Utf8(program));
}

} // namespace
