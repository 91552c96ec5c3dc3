#include "tests/e2e/E2E.h"
#include "tests/support/TestDir.h"

using namespace e2e;

namespace {

// The template library of examples/minimal as an author first meets it: bound
// by the workbench, which shows its answers in every pane, run after run.
TEST(MinimalTemplate, AnswersEveryPaneThroughTheWorkbench)
{
    LaunchOptions options;
    options.library = BinDir() / L"QAVMinimal.dll";
    auto app = AppProcess::Start(TestDir(), options);
    EXPECT_EQ(app.Text(ControlId::Log), L" DLL version minimal 1.0");

    app.TypeAtEnd(ControlId::Text, L"1 + 2\r\n\r\n  6 * (3 + 4)\r\n");
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"42");
    EXPECT_EQ(app.Lines(ControlId::Log), (std::vector<std::wstring>{L"line 1 = 3", L"line 2 = 42"}));
    EXPECT_EQ(app.Lines(ControlId::Stacks),
              (std::vector<std::wstring>{L"Var stack:", L"lines = 2", L"Param stack:", L"options = \"\"", L"mode = 1",
                                         L"Object stack:", L"values: 3 42", L"Function stack:",
                                         L"evaluate: called 2 times"}));

    app.SetText(ControlId::Text, L"-2147483648 / -1\r\n7 % 0");
    app.PressRun();
    EXPECT_EQ(app.Text(ControlId::Result), L"error: division by zero");
    EXPECT_EQ(app.Lines(ControlId::Log),
              (std::vector<std::wstring>{L"line 1: error: overflow", L"line 2: error: division by zero"}));
    EXPECT_EQ(app.Lines(ControlId::Stacks).back(), L"evaluate: called 4 times");
    EXPECT_EQ(app.Close(), 0u);
}

} // namespace
