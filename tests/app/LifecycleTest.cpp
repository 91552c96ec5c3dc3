// The window's hold on the interpreter library, in this process: what it
// loads, and its release when it closes.
#include "app/Main.h"
#include "binding/Binding.h"
#include "framework/Application.h"
#include "framework/win32/Paths.h"
#include "tests/app/FakeInterpreter.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

std::filesystem::path BesideTheTests(const wchar_t* name)
{
    return std::filesystem::path(ModuleFileName(nullptr)).parent_path() / name;
}

// Closing twice, as two close requests in a row would: the release runs once,
// the interface given back before the library is unloaded.
TEST(Release, RunsOnceAndInOrder)
{
    const auto library = TestDir() / L"QAV.dll";
    std::filesystem::copy_file(BesideTheTests(L"qavtest_bound.dll"), library);
    const UnicodeString path = library.wstring();
    ScopedInterpreterLibrary recording(path.c_str());
    auto form = std::make_unique<TIDEForm>(Application);
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    // The slot an earlier window of this process left is not cleared: binding never writes it.
    auto calls = e2e::RecordedCalls(TestDir());
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1].rfind("GetQAVInterface slot=", 0), 0u) << calls[1];
    calls[1] = "GetQAVInterface";
    EXPECT_EQ(calls, (std::vector<std::string>{"Attach", "GetQAVInterface", "GetVersion self=ok",
                                               "FreeQAVInterface slot=ours", "Detach unload"}));
    EXPECT_EQ(InterpreterState, BindingState::Released);
    EXPECT_EQ(BoundInterface(), nullptr);
}

TEST(Release, AWindowBuiltHereFreesTheLibraryItLoaded)
{
    ASSERT_EQ(GetModuleHandleW(L"QAV.dll"), nullptr);
    auto form = std::make_unique<TIDEForm>(Application);
    EXPECT_NE(GetModuleHandleW(L"QAV.dll"), nullptr) << "the sample QAV.dll beside the tests was not loaded";
    TCloseAction action = TCloseAction::caHide;
    form->FormClose(form.get(), action);
    EXPECT_EQ(action, TCloseAction::caHide);
    EXPECT_EQ(GetModuleHandleW(L"QAV.dll"), nullptr);
}

TEST(Release, AWindowToldToLoadNothingLoadsNothing)
{
    NoLibrary none;
    auto form = std::make_unique<TIDEForm>(Application);
    EXPECT_EQ(InterpreterLibrary, nullptr);
    EXPECT_EQ(form->Log->Text(), L"DLL error!");
    TCloseAction action = TCloseAction::caHide;
    form->FormClose(form.get(), action);
    EXPECT_EQ(form->Log->Text(), L"DLL error!");
}

} // namespace
