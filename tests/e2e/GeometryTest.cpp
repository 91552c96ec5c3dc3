#include "tests/e2e/E2E.h"
#include "tests/support/TestDir.h"

#include <cstdlib>

using namespace e2e;

namespace {

// The density this run was set up for: QAV_EXPECT_DPI, or the default prefix's 96.
int ExpectedDpi()
{
    const char* value = std::getenv("QAV_EXPECT_DPI");
    return value && *value ? std::atoi(value) : 96;
}

TEST(Geometry, SystemDensityIsTheOneThisRunWasSetUpFor)
{
    EXPECT_EQ(SystemDpi(), ExpectedDpi());
}

class GeometryByLibrary : public testing::TestWithParam<const wchar_t*> {};

TEST_P(GeometryByLibrary, WindowAndControlsScaleWithDensity)
{
    LaunchOptions options;
    if (*GetParam())
        options.library = LibraryPath(GetParam());
    auto app = AppProcess::Start(TestDir(), options);
    ExpectLayout(app, ExpectedDpi());
    ExpectTabOrder(app);
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Geometry, GeometryByLibrary, testing::Values(L"qavtest_bound", L""),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(*info.param ? "Bound" : "NoLibrary");
                         });

struct Resize {
    const char* name;
    int extraWidth, extraHeight;
};

void PrintTo(const Resize& r, std::ostream* out)
{
    *out << r.name;
}

class Resizing : public testing::TestWithParam<Resize> {};

// Controls keep their place and size; the window itself never scrolls.
TEST_P(Resizing, LeavesEveryControlInPlace)
{
    const auto r = GetParam();
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    auto app = AppProcess::Start(TestDir(), options);
    RECT frame{};
    ASSERT_TRUE(GetWindowRect(app.Window(), &frame));
    const int dpi = ExpectedDpi();
    ASSERT_TRUE(SetWindowPos(app.Window(), nullptr, 0, 0, frame.right - frame.left + MulDiv(r.extraWidth, dpi, 96),
                             frame.bottom - frame.top + MulDiv(r.extraHeight, dpi, 96), SWP_NOMOVE | SWP_NOZORDER));
    RECT client{};
    ASSERT_TRUE(GetClientRect(app.Window(), &client));
    EXPECT_EQ(client.right, MulDiv(868, dpi, 96) + MulDiv(r.extraWidth, dpi, 96));
    ExpectControlRectangles(app, dpi);
    const auto style = GetWindowLongW(app.Window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), 0) << "the window shows scroll bars";
    EXPECT_EQ(app.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Geometry, Resizing,
                         testing::Values(Resize{"Larger", 200, 150}, Resize{"Smaller", -400, -300}),
                         [](const testing::TestParamInfo<Resize>& info) { return std::string(info.param.name); });

// A line longer than its pane stays one line, reached by the horizontal scroll bar.
TEST(Panes, LongLinesAreNotWrapped)
{
    LaunchOptions options;
    options.library = LibraryPath(L"qavtest_bound");
    auto app = AppProcess::Start(TestDir(), options);
    const std::wstring longLine(3000, L'w');
    for (const auto id : {ControlId::Text, ControlId::Log, ControlId::Stacks}) {
        SCOPED_TRACE(static_cast<int>(id));
        app.SetText(id, longLine + L"\r\n" + longLine);
        EXPECT_EQ(app.LineCount(id), 2);
        const auto style = GetWindowLongW(app.Control(id), GWL_STYLE);
        EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
        EXPECT_EQ(style & ES_READONLY, 0);
    }
    EXPECT_EQ(GetWindowLongW(app.Control(ControlId::Result), GWL_STYLE) & (ES_READONLY | ES_MULTILINE), 0);
    EXPECT_EQ(app.Close(), 0u);
}

} // namespace
