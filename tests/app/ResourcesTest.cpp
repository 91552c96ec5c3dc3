#include "framework/Win.h"
#include "framework/win32/Paths.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// QAVDemo.exe stands beside the test program.
std::wstring ProgramBesideUs()
{
    const std::wstring p = ModuleFileName(nullptr);
    return p.substr(0, p.find_last_of(L"\\/") + 1) + L"QAVDemo.exe";
}

class ResourcesTest : public testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryExW(ProgramBesideUs().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }

    std::string Resource(LPCWSTR name, LPCWSTR type) const
    {
        const HRSRC found = FindResourceW(module, name, type);
        if (!found)
            return {};
        const HGLOBAL loaded = LoadResource(module, found);
        return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }

    HMODULE module = nullptr;
};

TEST_F(ResourcesTest, ManifestDeclaresPerMonitorDpiThemesInvokerAndSupportedSystems)
{
    const std::string manifest = Resource(MAKEINTRESOURCEW(1), RT_MANIFEST);
    for (const char* needle :
         {"<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
          ">PerMonitorV2, PerMonitor</dpiAwareness>", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "level=\"asInvoker\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
          "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
          "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ResourcesTest, MainIconHasFiveSizesAtThirtyTwoBits)
{
    const std::string group = Resource(L"MAINICON", RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(group.size(), 6u + count * sizeof(IconDirEntry));
    std::set<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const auto* e = reinterpret_cast<const IconDirEntry*>(group.data() + 6 + i * sizeof(IconDirEntry));
        sizes.insert(e->width == 0 ? 256 : e->width);
        EXPECT_EQ(e->bitCount, 32);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 256}));
}

TEST_F(ResourcesTest, VersionRecordIsOneZeroZeroZeroInUsEnglish)
{
    const std::string version = Resource(MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    ASSERT_FALSE(version.empty());
    void* block = nullptr;
    UINT size = 0;
    std::string copy = version; // VerQueryValueW wants a writable block
    ASSERT_TRUE(VerQueryValueW(copy.data(), L"\\", &block, &size));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    ASSERT_TRUE(VerQueryValueW(copy.data(), L"\\VarFileInfo\\Translation", &block, &size));
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(static_cast<const WORD*>(block)[0], 0x0409);
    EXPECT_EQ(static_cast<const WORD*>(block)[1], 1252);
}

} // namespace
