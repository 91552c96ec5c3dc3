#include "E2E.h"
#include "TestDir.h"

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

} // namespace
