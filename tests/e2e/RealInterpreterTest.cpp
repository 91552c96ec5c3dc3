#include "tests/e2e/E2E.h"
#include "tests/support/TestDir.h"

#include <cstdio>

using namespace e2e;

namespace {

// The interpreter built with the project, as a user meets it: a program typed
// into the editor that stops with a runtime error inside a function, so that
// every stack has something to show.
TEST(RealInterpreter, ShowsResultLogAndStacksOfATypedProgram)
{
    LaunchOptions options;
    options.library = BinDir() / L"QAV.dll";
    auto app = AppProcess::Start(TestDir(), options);
    const auto startLine = app.Text(ControlId::Log);
    EXPECT_EQ(startLine.rfind(L" DLL version ", 0), 0u);
    EXPECT_GT(startLine.size(), std::wstring(L" DLL version ").size()) << "the version text is not empty";

    app.TypeAtEnd(ControlId::Text, L"var greeting = \"Hello\";\r\n"
                                   L"var pet = { name: \"Rex\" };\r\n"
                                   L"function ratio(a, b) {\r\n"
                                   L"    return a / b;\r\n"
                                   L"}\r\n"
                                   L"print greeting + \" \" + pet.name;\r\n"
                                   L"ratio(6, 0);\r\n");
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"Run failed at line 4, column 14: division by zero");
    EXPECT_EQ(app.Lines(ControlId::Log),
              (std::vector<std::wstring>{L"Hello Rex", L"Error at line 4, column 14: division by zero"}));
    EXPECT_EQ(app.Lines(ControlId::Stacks),
              (std::vector<std::wstring>{L"Var stack:", L"greeting = \"Hello\"", L"pet = #1", L"Param stack:",
                                         L"ratio(a = 6, b = 0)", L"Object stack:", L"#1 {name: \"Rex\"}",
                                         L"Function stack:", L"ratio(a, b): called 1 time"}));
    EXPECT_EQ(app.Close(), 0u);
}

// A program that never ends, stopped from the window's Stop as a user would:
// the sample library honours the request itself, so the Run ends at once with
// its own message and the next Run is right.
TEST(RealInterpreter, StopEndsARunawayProgramAndTheNextRunIsRight)
{
    LaunchOptions options;
    options.library = BinDir() / L"QAV.dll";
    auto app = AppProcess::Start(TestDir(), options);
    // Takes no memory as it runs, so that no limit ends it before the stop window shows.
    app.SetText(ControlId::Text, L"var i = 0;\r\nwhile (true) i = i + 1;");
    app.PostRunClick();
    const auto stop = app.WaitForStopWindow();
    ASSERT_TRUE(stop.has_value()) << "no stop window";
    const auto pressed = std::chrono::steady_clock::now();
    app.Click(stop->stop);
    ASSERT_TRUE(app.WaitUntilGone(stop->window));
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - pressed;
    std::printf("Stop to a closed stop window: %.1f ms\n", took.count());
    app.Settle(ControlId::Log);
    // The library's own words, not the workbench's forced stop, which leaves Result as it was.
    const std::wstring result = app.Text(ControlId::Result);
    EXPECT_NE(result.find(L": stopped on request"), std::wstring::npos) << std::string(result.begin(), result.end());
    EXPECT_NE(app.Lines(ControlId::Log).back().find(L": stopped on request"), std::wstring::npos);
    EXPECT_EQ(app.Lines(ControlId::Stacks).front(), L"Var stack:");

    app.SetText(ControlId::Text, L"var a = [1, 2, 3];\r\nlen(a) * 2;");
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"6");
    EXPECT_EQ(app.Lines(ControlId::Stacks),
              (std::vector<std::wstring>{L"Var stack:", L"a = #1", L"Param stack:", L"Object stack:", L"#1 [1, 2, 3]",
                                         L"Function stack:"}));
    EXPECT_EQ(app.Close(), 0u);
}

} // namespace
