#include "tests/e2e/E2E.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/e2e/libs/RecordFormat.h"
#include "tests/support/RunOrder.h"
#include "tests/support/TestDir.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace e2e;

namespace {

using Lines = std::vector<std::wstring>;
using Calls = std::vector<std::string>;

const Calls kRunCalls = RunOperations();
const Lines kHeadersOnly = StackHeaders();

AppProcess StartBound()
{
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    return AppProcess::Start(TestDir(), options);
}

// The calls recorded after start-up, each cut to its operation name.
Calls RunCallNames()
{
    Calls names;
    bool started = false;
    for (const auto& call : RecordedCalls(TestDir())) {
        const std::string name = call.substr(0, call.find(' '));
        started = started || name == "Execute";
        if (started)
            names.push_back(name);
    }
    return names;
}

std::string ExecuteRecord(const std::wstring& program)
{
    return "Execute self=ok options=empty mode=1 program=" + qavrec::Escape(program);
}

// A pane shows only whole CR LF line ends: a lone CR or LF would show as a line break the lines do not have.
void ExpectOnlyCrLf(const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == L'\n') << "lone CR at " << i;
        } else if (text[i] == L'\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == L'\r') << "lone LF at " << i;
        }
    }
}

void ScriptAll(const std::string& answer)
{
    WriteScript(TestDir(), {"Execute " + answer, "GetLog " + answer, "GetVarStack " + answer,
                            "GetParamStack " + answer, "GetObjectStack " + answer, "GetFunctionStack " + answer});
}

TEST(Run, ExecuteGetsTheEditorTextExactly)
{
    const std::wstring programs[] = {
        L"x = 1",
        L"first line\r\n  second\tline\r\n\r\nfourth",
        L"ends with a line end\r\n",
        L"\r\n\r\nstarts blank",
        L"back\\slash \"quotes\" Ж€ 0",
        std::wstring(5000, L'a') + L"\r\n" + std::wstring(3000, L'b'),
        L"",
    };
    auto app = StartBound();
    for (const auto& program : programs) {
        SCOPED_TRACE(qavrec::Escape(program.substr(0, 60)));
        app.SetText(ControlId::Text, program);
        app.PressRun();
        const auto calls = RecordedCalls(TestDir());
        const auto execute = std::find_if(calls.rbegin(), calls.rend(),
                                          [](const std::string& c) { return c.rfind("Execute ", 0) == 0; });
        ASSERT_NE(execute, calls.rend());
        EXPECT_EQ(*execute, ExecuteRecord(program));
        EXPECT_EQ(app.Text(ControlId::Text), program) << "the editor keeps its text";
    }
    EXPECT_EQ(app.Close(), 0u);
}

TEST(Run, CallsEachOperationOnceInOrder)
{
    auto app = StartBound();
    app.PressRun();
    EXPECT_EQ(RunCallNames(), kRunCalls);
    app.PressRun();
    Calls twice = kRunCalls;
    twice.insert(twice.end(), kRunCalls.begin(), kRunCalls.end());
    EXPECT_EQ(RunCallNames(), twice);
    EXPECT_EQ(app.Close(), 0u);
    EXPECT_EQ(RecordedCalls(TestDir()).back(), "Detach unload");
}

TEST(Run, PanesShowTheAnswers)
{
    WriteScript(TestDir(), {"Execute text result \\u0416", "GetLog text log a\\r\\nlog b",
                            "GetVarStack text v1\\r\\nv2", "GetParamStack text p1",
                            "GetObjectStack text o1\\r\\no2\\r\\n", "GetFunctionStack text f1"});
    auto app = StartBound();
    app.SetText(ControlId::Text, L"program");
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"result Ж");
    EXPECT_EQ(app.Text(ControlId::Log), L"log a\r\nlog b");
    EXPECT_EQ(app.Lines(ControlId::Stacks), (Lines{L"Var stack:", L"v1", L"v2", L"Param stack:", L"p1",
                                                   L"Object stack:", L"o1", L"o2", L"Function stack:", L"f1"}));
    EXPECT_EQ(app.Text(ControlId::Text), L"program");
    EXPECT_EQ(app.Close(), 0u);
}

// The library may put another object into the slot during a call: every later
// call goes to the object the slot holds then, the release included.
TEST(Run, ReadsTheInterfaceSlotBeforeEveryCall)
{
    WriteScript(TestDir(), {"Execute swap R", "GetLog text L", "GetFunctionStack text f1"});
    auto app = StartBound();
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"R");
    EXPECT_EQ(app.Text(ControlId::Log), L"L");
    EXPECT_EQ(app.Lines(ControlId::Stacks).back(), L"f1");
    EXPECT_EQ(app.Close(), 0u);
    Calls afterExecute;
    bool seen = false;
    for (const auto& call : RecordedCalls(TestDir())) {
        if (seen)
            afterExecute.push_back(call);
        seen = seen || call.rfind("Execute self=ok", 0) == 0;
    }
    EXPECT_EQ(afterExecute, (Calls{"GetLog self=second", "GetVarStack self=second", "GetParamStack self=second",
                                   "GetObjectStack self=second", "GetFunctionStack self=second",
                                   "FreeQAVInterface slot=second", "Detach unload"}));
}

// A failure after Result is set and both panes are cleared: what was done stays
// done, and the failure is the one line of Log.
TEST(Run, AFailureAfterThePanesAreClearedLeavesThemAsTheFailureFoundThem)
{
    WriteScript(TestDir(), {"Execute text first", "GetLog text l1", "GetVarStack text v1"});
    auto app = StartBound();
    app.PressRun();
    ASSERT_EQ(app.Lines(ControlId::Stacks).size(), 5u);
    WriteScript(TestDir(), {"Execute clear-slot second", "GetLog text never shown"});
    app.PressRun();
    EXPECT_FALSE(app.WaitForErrorBox(std::chrono::milliseconds(200)).has_value());
    EXPECT_EQ(app.Text(ControlId::Result), L"second");
    EXPECT_EQ(app.Lines(ControlId::Log),
              Lines{L"Run: the interpreter emptied its interface slot during the Run, so it stopped here."});
    EXPECT_EQ(app.Text(ControlId::Stacks), L"");
    Calls expected = kRunCalls;
    expected.push_back("Execute");
    EXPECT_EQ(RunCallNames(), expected);
    EXPECT_EQ(app.Close(), 0u);
    const auto calls = RecordedCalls(TestDir());
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& c) { return c.rfind("FreeQAVInterface", 0) == 0; }),
              0)
        << "an empty slot is not given back";
}

// A library that answers every operation in one buffer, which the next call
// overwrites: each text is copied before anything else is called.
TEST(Run, ALibraryThatReusesOneBufferShowsEveryText)
{
    WriteScript(TestDir(), {"Execute text result", "GetLog text log line", "GetVarStack text v1\\r\\nv2",
                            "GetParamStack text p1", "GetObjectStack text o1", "GetFunctionStack text f1"});
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_shared_buffer");
    auto app = AppProcess::Start(TestDir(), options);
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"result");
    EXPECT_EQ(app.Text(ControlId::Log), L"log line");
    EXPECT_EQ(app.Lines(ControlId::Stacks), (Lines{L"Var stack:", L"v1", L"v2", L"Param stack:", L"p1",
                                                   L"Object stack:", L"o1", L"Function stack:", L"f1"}));
    EXPECT_EQ(app.Close(), 0u);
}

TEST(Run, FirstRunRemovesTheStartupLine)
{
    WriteScript(TestDir(), {"GetLog text only this"});
    auto app = StartBound();
    ASSERT_EQ(app.Text(ControlId::Log), kTestVersionLine);
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Log), L"only this");
    EXPECT_EQ(app.Close(), 0u);
}

TEST(Run, SecondRunReplacesWhatTheFirstShowed)
{
    WriteScript(TestDir(), {"Execute text first", "GetLog text log 1\\r\\nlog 2", "GetVarStack text v1",
                            "GetParamStack text p1", "GetObjectStack text o1", "GetFunctionStack text f1"});
    auto app = StartBound();
    app.PressRun();
    ASSERT_EQ(app.Text(ControlId::Result), L"first");
    app.SetText(ControlId::Stacks, L"typed by the user");
    WriteScript(TestDir(), {"Execute text second", "GetLog text log 3", "GetVarStack text v2",
                            "GetParamStack null", "GetObjectStack text o2", "GetFunctionStack text f2"});
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"second");
    EXPECT_EQ(app.Text(ControlId::Log), L"log 3");
    EXPECT_EQ(app.Lines(ControlId::Stacks),
              (Lines{L"Var stack:", L"v2", L"Param stack:", L"Object stack:", L"o2", L"Function stack:", L"f2"}));
    EXPECT_EQ(app.Close(), 0u);
}

// A close request that arrives while a Run is under way is handled after it.
TEST(Run, CloseDuringARunWaitsForItsEnd)
{
    WriteScript(TestDir(), {"GetLog lines 100000 log "});
    auto app = StartBound();
    app.PostRunClick();
    EXPECT_EQ(app.Close(), 0u);
    const auto calls = RecordedCalls(TestDir());
    const std::vector<std::string> tail(calls.end() - std::min<size_t>(calls.size(), 4), calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"GetObjectStack self=ok", "GetFunctionStack self=ok",
                                              "FreeQAVInterface slot=ours", "Detach unload"}));
}

// Far beyond the EDIT control's default limit of 30,000 characters, in every section.
TEST(Run, BigAnswersArriveWhole)
{
    WriteScript(TestDir(), {"Execute lines 1 result", "GetLog lines 50000 log ", "GetVarStack lines 3 v",
                            "GetParamStack lines 20000 param ", "GetObjectStack lines 20000 object ",
                            "GetFunctionStack lines 20000 function "});
    auto app = StartBound();
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"result1");
    EXPECT_EQ(app.Text(ControlId::Log), qavrec::NumberedLines(L"log ", 50000));
    const std::wstring expected = L"Var stack:\r\n" + qavrec::NumberedLines(L"v", 3) + L"\r\nParam stack:\r\n" +
                                  qavrec::NumberedLines(L"param ", 20000) + L"\r\nObject stack:\r\n" +
                                  qavrec::NumberedLines(L"object ", 20000) + L"\r\nFunction stack:\r\n" +
                                  qavrec::NumberedLines(L"function ", 20000);
    const std::wstring stacks = app.Text(ControlId::Stacks);
    EXPECT_EQ(stacks.size(), expected.size());
    EXPECT_TRUE(stacks == expected) << "the Stacks pane differs from the four sections";
    EXPECT_EQ(app.Close(), 0u);
}

// What a user types or pastes is not cut at the default limit of 30,000 characters.
TEST(Run, TextControlsTakeLongInput)
{
    auto app = StartBound();
    const std::wstring longText(40000, L'a');
    for (const auto id : {ControlId::Text, ControlId::Result, ControlId::Log, ControlId::Stacks}) {
        SCOPED_TRACE(static_cast<int>(id));
        app.SetText(id, longText);
        app.TypeAtEnd(id, L"tail");
        const std::wstring text = app.Text(id);
        EXPECT_EQ(text.size(), longText.size() + 4);
        EXPECT_EQ(text.substr(text.size() < 4 ? 0 : text.size() - 4), L"tail");
    }
    EXPECT_EQ(app.Close(), 0u);
}

class EmptyAnswers : public testing::TestWithParam<const char*> {};

TEST_P(EmptyAnswers, GiveEmptyPanesAndTheFourHeaders)
{
    auto app = StartBound();
    app.SetText(ControlId::Result, L"old result");
    ScriptAll(GetParam());
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"");
    EXPECT_EQ(app.Text(ControlId::Log), L"");
    EXPECT_EQ(app.Text(ControlId::Stacks), L"Var stack:\r\nParam stack:\r\nObject stack:\r\nFunction stack:");
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(NullOrEmpty, EmptyAnswers, testing::Values("null", "text"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "null" ? "Null" : "Empty";
                         });

struct SplitCase {
    const char* name;
    const char* answer; // escaped as in script.txt
    Lines lines;
};

void PrintTo(const SplitCase& c, std::ostream* out)
{
    *out << c.answer;
}

class AnswerLines : public testing::TestWithParam<SplitCase> {};

// What a user sees of a returned text: each CR LF starts a line, a blank line stays one line.
TEST_P(AnswerLines, ShowAsTheUserExpects)
{
    const auto& c = GetParam();
    WriteScript(TestDir(), {std::string("GetLog text ") + c.answer, std::string("GetVarStack text ") + c.answer});
    auto app = StartBound();
    app.PressRun();
    const std::wstring log = app.Text(ControlId::Log);
    const std::wstring stacks = app.Text(ControlId::Stacks);
    ExpectOnlyCrLf(log);
    ExpectOnlyCrLf(stacks);
    EXPECT_EQ(SplitLines(log), c.lines);
    Lines expectedStacks = {L"Var stack:"};
    expectedStacks.insert(expectedStacks.end(), c.lines.begin(), c.lines.end());
    expectedStacks.insert(expectedStacks.end(), kHeadersOnly.begin() + 1, kHeadersOnly.end());
    EXPECT_EQ(SplitLines(stacks), expectedStacks);
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AnswerLines,
    testing::Values(SplitCase{"BlankLineStaysOne", "a\\r\\n\\r\\nb", {L"a", L"", L"b"}},
                    SplitCase{"TwoBlankLines", "a\\r\\n\\r\\n\\r\\nb", {L"a", L"", L"", L"b"}},
                    SplitCase{"FinalLineEndAddsNothing", "a\\r\\nb\\r\\n", {L"a", L"b"}},
                    SplitCase{"SingleLine", "one line", {L"one line"}},
                    SplitCase{"ZeroFirstLineDropped", "0\\r\\na", {L"a"}},
                    SplitCase{"ZeroInsideKept", "x0y\\r\\n0", {L"x0y", L"0"}},
                    SplitCase{"SurrogatePairKept", "smile \\uD83D\\uDE00", {L"smile \U0001F600"}},
                    SplitCase{"LeadingSpacesKept", "  indented\\r\\n\\u0009Tab", {L"  indented", L"\tTab"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

// A lone CR or LF inside a returned line stays in the pane's text, where copying
// finds it; only the LF that cutting at CR LF leaves at a line's front goes.
TEST(Run, LoneBreaksInsideALineStayInThePane)
{
    WriteScript(TestDir(), {"GetLog text a\\nb\\rc\\r\\nd\\r\\n\\ne\\r\\r\\nf", "GetVarStack text \\nv\\r"});
    auto app = StartBound();
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Log), L"a\nb\rc\r\nd\r\n\ne\r\r\nf");
    EXPECT_EQ(SplitLines(app.Text(ControlId::Stacks))[1], L"v\r") << "the LF a text starts with reads as the cut's";
    EXPECT_EQ(app.Close(), 0u);
}

// Start, Runs and close leave no file behind: exceptions.log is only for failures.
TEST(Run, OrdinaryUseWritesNoFile)
{
    WriteScript(TestDir(), {"GetLog text a\\r\\nb", "GetVarStack text v"});
    auto app = StartBound();
    app.PressRun();
    app.PressRun();
    EXPECT_EQ(app.Close(), 0u);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(TestDir()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"QAV.dll", "QAVDemo.exe", "calls.txt", "script.txt"}));
}

struct FaultCase {
    const char* kind;
    const wchar_t* words;
};

void PrintTo(const FaultCase& c, std::ostream* out)
{
    *out << c.kind;
}

class FaultInGetParamStack : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultInGetParamStack, IsReportedAndTheWindowStaysUsable)
{
    const auto& c = GetParam();
    const std::vector<std::string> faulty = {"Execute text R", "GetLog text l1\\r\\nl2", "GetVarStack text v1",
                                             std::string("GetParamStack fault ") + c.kind,
                                             "GetObjectStack text o1", "GetFunctionStack text f1"};
    WriteScript(TestDir(), faulty);
    auto app = StartBound();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("fault " + std::to_string(round));
        app.PressRun();
        const auto box = app.WaitForErrorBox();
        ASSERT_TRUE(box.has_value()) << "no error box";
        EXPECT_EQ(box->caption, L"Qavdemo");
        EXPECT_EQ(box->text.rfind(std::wstring(c.words) + L" at address 0x", 0), 0u) << qavrec::Escape(box->text);
        EXPECT_NE(box->text.find(L"in module 'QAV.dll'"), std::wstring::npos) << qavrec::Escape(box->text);
        EXPECT_NE(box->text.find(L"It arose in the library's GetParamStack."), std::wstring::npos)
            << qavrec::Escape(box->text);
        EXPECT_NE(box->text.find(L"unreliable"), std::wstring::npos) << qavrec::Escape(box->text);
        EXPECT_TRUE(box->hasIcon);
        EXPECT_FALSE(IsWindowEnabled(app.Window())) << "the window takes input while the box is shown";
        EXPECT_EQ(app.Text(ControlId::Result), L"R");
        EXPECT_EQ(app.Text(ControlId::Log), L"l1\r\nl2");
        EXPECT_EQ(app.Text(ControlId::Stacks), L"Var stack:\r\nv1");
        app.Dismiss(*box);
        ASSERT_TRUE(app.IsRunning());
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.Window()) != FALSE; })) << "the window stays disabled";
    }
    const Calls faultyRun = RunOperationsThrough("GetParamStack");
    Calls expected = faultyRun;
    expected.insert(expected.end(), faultyRun.begin(), faultyRun.end());
    EXPECT_EQ(RunCallNames(), expected) << "nothing is called after the fault";

    WriteScript(TestDir(), {"Execute text fine", "GetParamStack text p1"});
    app.SetText(ControlId::Text, L"again");
    app.PressRun();
    EXPECT_FALSE(app.WaitForErrorBox(std::chrono::milliseconds(300)).has_value());
    EXPECT_EQ(app.Text(ControlId::Result), L"fine");
    EXPECT_EQ(app.Text(ControlId::Log), L"");
    EXPECT_EQ(app.Lines(ControlId::Stacks),
              (Lines{L"Var stack:", L"Param stack:", L"p1", L"Object stack:", L"Function stack:"}));
    EXPECT_EQ(RecordedCalls(TestDir()).back(), "GetFunctionStack self=ok");
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultInGetParamStack,
                         testing::Values(FaultCase{"access-violation", L"Access violation"},
                                         FaultCase{"illegal-instruction", L"Illegal instruction"},
                                         FaultCase{"divide-by-zero", L"Integer division by zero"},
                                         FaultCase{"stack-overflow", L"Stack overflow"}),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                             std::string name = info.param.kind;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

struct UnboundCase {
    const char* name;
    const wchar_t* library;
    std::wstring startLine;
};

void PrintTo(const UnboundCase& c, std::ostream* out)
{
    *out << c.name;
}

class RunWithoutInterface : public testing::TestWithParam<UnboundCase> {};

TEST_P(RunWithoutInterface, AddsOneLineAndChangesNothingElse)
{
    const auto& c = GetParam();
    LaunchOptions options;
    if (c.library)
        options.library = LibraryPath(c.library);
    auto app = AppProcess::Start(TestDir(), options);
    app.SetText(ControlId::Text, L"x = 1\r\ny");
    app.SetText(ControlId::Result, L"kept");
    app.SetText(ControlId::Stacks, L"stays");
    const auto before = RecordedCalls(TestDir());
    for (size_t presses = 1; presses <= 2; ++presses) {
        app.PressRun();
        const auto log = app.Lines(ControlId::Log);
        ASSERT_EQ(log.size(), presses + 1);
        EXPECT_EQ(log[0], c.startLine);
        EXPECT_FALSE(log.back().empty());
        EXPECT_EQ(log.back(), log[1]);
    }
    EXPECT_FALSE(app.WaitForErrorBox(std::chrono::milliseconds(200)).has_value());
    EXPECT_EQ(app.Text(ControlId::Text), L"x = 1\r\ny");
    EXPECT_EQ(app.Text(ControlId::Result), L"kept");
    EXPECT_EQ(app.Text(ControlId::Stacks), L"stays");
    EXPECT_EQ(RecordedCalls(TestDir()), before) << "the library is not called";
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(States, RunWithoutInterface,
                         testing::Values(UnboundCase{"NoLibrary", nullptr, kNoLibraryLine},
                                         UnboundCase{"NoEntryPoints", L"qavtest_no_entry_points", kNoGetLine},
                                         UnboundCase{"OnlyGet", L"qavtest_get_only", kNoFreeLine},
                                         UnboundCase{"GetFailsSlotZero", L"qavtest_get_fails", kNoInterfaceLine},
                                         UnboundCase{"GetFailsSlotSet", L"qavtest_get_fails_set", kNoInterfaceLine},
                                         UnboundCase{"GetSucceedsSlotEmpty", L"qavtest_get_empty_slot",
                                                     kNoInterfaceLine}),
                         [](const testing::TestParamInfo<UnboundCase>& info) { return std::string(info.param.name); });

} // namespace
