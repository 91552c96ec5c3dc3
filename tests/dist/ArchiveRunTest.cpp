// A release archive of this build's architecture, unpacked into an empty folder
// (QAV_DIST_DIR) by check-archives.sh: the programs in it run there as a user
// runs them, with nothing from the build beside them.
#include "tests/e2e/driver/AppDriver.h"
#include "tests/qavcheck/CheckerRun.h"

#include "framework/win32/SizedString.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::filesystem::path Unpacked()
{
    // A buffer too small gives the size needed, with its NUL.
    return SizedString([](wchar_t* buffer, DWORD capacity) {
        return GetEnvironmentVariableW(L"QAV_DIST_DIR", buffer, capacity);
    });
}

class Archive : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Unpacked().empty()) << "QAV_DIST_DIR names no folder: run by tests/dist/check-archives.sh";
        ASSERT_TRUE(std::filesystem::exists(Unpacked() / L"QAVDemo.exe"));
    }
};

std::wstring ControlText(HWND control)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        10000, &copied);
    text.resize(copied);
    return text;
}

// The workbench started from the unpacked folder binds the QAV.dll beside it.
TEST_F(Archive, WorkbenchComesUpWithTheVersionLine)
{
    const auto exe = Unpacked() / L"QAVDemo.exe";
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               Unpacked().c_str(), &startup, &info));
    const UniqueKernelObject process(info.hProcess);
    const UniqueKernelObject thread(info.hThread);
    HWND window = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            for (HWND w : e2e::TopLevelWindows(info.dwProcessId))
                if (IsWindowVisible(w) && e2e::ClassName(w) == L"TIDEForm")
                    window = w;
            return window != nullptr;
        },
        std::chrono::milliseconds(30000)));
    const std::wstring log = ControlText(GetDlgItem(window, static_cast<int>(e2e::ControlId::Log)));
    EXPECT_EQ(log.rfind(L" DLL version ", 0), 0u);
    EXPECT_GT(log.size(), std::wstring(L" DLL version ").size());
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    EXPECT_EQ(code, 0u);
}

TEST_F(Archive, QavcheckPassesTheBundledLibrary)
{
    const CheckerRun run = RunChecker({(Unpacked() / L"QAV.dll").wstring()}, std::chrono::milliseconds(60000),
                                      Unpacked() / L"qavcheck.exe");
    EXPECT_EQ(run.exitCode, 0u) << run.Transcript();
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back().rfind(L"summary: clean;", 0), 0u) << run.Transcript();
}

} // namespace
