#include "tests/e2e/E2E.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/e2e/libs/RecordFormat.h"
#include "tests/support/TestDir.h"

#include <filesystem>
#include <tuple>
#include <vector>

using namespace e2e;

namespace {

struct BindingCase {
    const char* name;
    const wchar_t* library; // null: no QAV.dll at all
    std::wstring logLine;
    // The library's whole record, from load to unload.
    std::vector<std::string> calls;
};

const std::vector<BindingCase>& Cases()
{
    static const std::vector<BindingCase> cases = {
        {"NoLibrary", nullptr, kNoLibraryLine, {}},
        {"NoEntryPoints", L"qavtest_no_entry_points", kNoGetLine, {"Attach", "Detach unload"}},
        {"OnlyFree", L"qavtest_free_only", kNoGetLine, {"Attach", "Detach unload"}},
        {"OnlyGet", L"qavtest_get_only", kNoFreeLine, {"Attach", "Detach unload"}},
        {"GetFailsSlotZero", L"qavtest_get_fails", kNoInterfaceLine,
         {"Attach", "GetQAVInterface slot=zero", "Detach unload"}},
        {"GetFailsSlotSet", L"qavtest_get_fails_set", kNoInterfaceLine,
         {"Attach", "GetQAVInterface slot=zero", "FreeQAVInterface slot=ours", "Detach unload"}},
        // A success that leaves the slot empty gives nothing to call: no GetVersion, no release.
        {"GetSucceedsSlotEmpty", L"qavtest_get_empty_slot", kNoInterfaceLine,
         {"Attach", "GetQAVInterface slot=zero", "Detach unload"}},
        // The release's failure line reaches Log before the library is unloaded.
        {"FreeFails", L"qavtest_free_fails", kTestVersionLine,
         {"Attach", "GetQAVInterface slot=zero", "GetVersion self=ok", "FreeQAVInterface slot=ours",
          "Log at unload: " + qavrec::Escape(kTestVersionLine + L"\r\n" + kFreeFailedLine), "Detach unload"}},
        {"EmptyVersion", L"qavtest_empty_version", L" DLL version ",
         {"Attach", "GetQAVInterface slot=zero", "GetVersion self=ok", "FreeQAVInterface slot=ours", "Detach unload"}},
        {"NullVersion", L"qavtest_null_version", L" DLL version ",
         {"Attach", "GetQAVInterface slot=zero", "GetVersion self=ok", "FreeQAVInterface slot=ours", "Detach unload"}},
        {"Bound", L"qavtest_bound", kTestVersionLine,
         {"Attach", "GetQAVInterface slot=zero", "GetVersion self=ok", "FreeQAVInterface slot=ours", "Detach unload"}},
    };
    return cases;
}

void PrintTo(const BindingCase& c, std::ostream* out)
{
    *out << c.name;
}

// Arguments are ignored: each case runs without and with these.
const wchar_t kArguments[] = L"-x \"C:\\no such dir\\QAV.dll\" /debug --run=1 QAV.dll";

class Binding : public testing::TestWithParam<std::tuple<BindingCase, bool>> {
protected:
    AppProcess Start() const
    {
        const auto& [c, withArguments] = GetParam();
        LaunchOptions options;
        if (c.library)
            options.library = LibraryPath(c.library);
        if (withArguments)
            options.arguments = kArguments;
        return AppProcess::Start(TestDir(), options);
    }
};

TEST_P(Binding, WindowShowsOnlyTheBindingLine)
{
    const auto& c = std::get<0>(GetParam());
    auto app = Start();
    EXPECT_EQ(app.WindowText(app.Window()), L"QAV Demo");
    EXPECT_EQ(app.Text(ControlId::Log), c.logLine);
    EXPECT_EQ(app.Text(ControlId::Text), L"");
    EXPECT_EQ(app.Text(ControlId::Result), L"");
    EXPECT_EQ(app.Text(ControlId::Stacks), L"");
    EXPECT_EQ(app.Text(ControlId::Run), L"Run");
    ExpectLayout(app, SystemDpi());
    ExpectTabOrder(app);
    EXPECT_EQ(app.Close(), 0u);
}

TEST_P(Binding, CloseReleasesOnceAndExitsZero)
{
    const auto& c = std::get<0>(GetParam());
    auto app = Start();
    EXPECT_EQ(app.Close(), 0u);
    EXPECT_EQ(RecordedCalls(TestDir()), c.calls);
}

std::string CaseName(const testing::TestParamInfo<Binding::ParamType>& info)
{
    return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_WithArguments" : "");
}

INSTANTIATE_TEST_SUITE_P(Libraries, Binding, testing::Combine(testing::ValuesIn(Cases()), testing::Bool()), CaseName);

// A library built for the other architecture cannot be loaded: the workbench
// reads it as no library at all, and its code never runs.
TEST(Binding, LibraryOfTheOtherArchitectureIsNoLibrary)
{
    const std::filesystem::path other = std::filesystem::path(QAV_OTHER_ARCH_BIN) / L"qavtest_bound.dll";
    if (!std::filesystem::exists(other))
        GTEST_SKIP() << "the other architecture's build is missing: " << other;
    LaunchOptions options;
    options.library = other;
    auto app = AppProcess::Start(TestDir(), options);
    EXPECT_EQ(app.Text(ControlId::Log), kNoLibraryLine);
    app.PressRun();
    EXPECT_EQ(app.Lines(ControlId::Log), (std::vector<std::wstring>{kNoLibraryLine, kNotBoundLine}));
    EXPECT_EQ(app.Close(), 0u);
    EXPECT_TRUE(RecordedCalls(TestDir()).empty());
}

struct ShowCase {
    WORD command;
    bool zoomed;
    bool iconic;
};

void PrintTo(const ShowCase& c, std::ostream* out)
{
    *out << "show command " << c.command;
}

class ShowCommand : public testing::TestWithParam<ShowCase> {};

TEST_P(ShowCommand, WindowOpensAsRequested)
{
    const auto c = GetParam();
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    options.showCommand = c.command;
    auto app = AppProcess::Start(TestDir(), options);
    EXPECT_EQ(IsZoomed(app.Window()) != FALSE, c.zoomed);
    EXPECT_EQ(IsIconic(app.Window()) != FALSE, c.iconic);
    EXPECT_EQ(app.Text(ControlId::Log), kTestVersionLine);
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Commands, ShowCommand,
                         testing::Values(ShowCase{SW_SHOWNORMAL, false, false}, ShowCase{SW_SHOWMAXIMIZED, true, false},
                                         ShowCase{SW_SHOWMINNOACTIVE, false, true}),
                         [](const testing::TestParamInfo<ShowCase>& info) {
                             return "Show" + std::to_string(info.param.command);
                         });

} // namespace
