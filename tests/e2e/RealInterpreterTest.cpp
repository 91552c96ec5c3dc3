#include "tests/e2e/E2E.h"
#include "tests/support/TestDir.h"

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

} // namespace
