#include "framework/win32/UniqueHandle.h"
#include "tests/e2e/E2E.h"
#include "tests/e2e/driver/LibraryFiles.h"
#include "tests/e2e/libs/RecordFormat.h"
#include "tests/support/TestDir.h"

#include <algorithm>

using namespace e2e;

namespace {

class Keyboard : public testing::Test {
protected:
    void SetUp() override
    {
        LaunchOptions options;
        options.library = LibraryPath(L"qavtest_bound");
        app_.emplace(AppProcess::Start(TestDir(), options));
        SetForegroundWindow(App().Window());
        ASSERT_TRUE(WaitUntil([&] { return App().Focus() != nullptr; })) << "no control got the focus";
    }

    AppProcess& App() { return *app_; }

    // Tab until the control has the focus; fails when Tab stops moving it.
    void TabTo(ControlId id)
    {
        const HWND target = App().Control(id);
        for (int i = 0; i < 6 && App().Focus() != target; ++i) {
            const HWND from = App().Focus();
            ASSERT_NE(from, nullptr) << "no control has the focus";
            App().PostKey(from, VK_TAB);
            ASSERT_TRUE(WaitUntil([&] { return App().Focus() != from; })) << "Tab did not move the focus";
        }
        ASSERT_EQ(App().Focus(), target);
    }

    static size_t RunsMade()
    {
        const auto calls = RecordedCalls(TestDir());
        return static_cast<size_t>(
            std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("Execute", 0) == 0; }));
    }

    bool RunWasPressed() const { return RunsMade() > 0; }

    // Waits for the focus to come back to Run, then Enter must press it, once.
    // Windows gives the activation back to the window that had it. Wine with no
    // window manager sometimes gives it to its desktop instead, as the X server
    // takes the focus back from a window that went (the error box), and that may
    // come after the focus was back on Run: then the workbench is activated
    // again, as a window manager would, and Enter is pressed again. Only a lost
    // activation is forgiven.
    void ExpectEnterPressesRun()
    {
        const HWND run = App().Control(ControlId::Run);
        const size_t before = RunsMade();
        bool pressed = false;
        for (int attempt = 0; attempt < 4 && !pressed; ++attempt) {
            if (GetForegroundWindow() == GetDesktopWindow())
                SetForegroundWindow(App().Window());
            if (!WaitUntil([&] { return App().Focus() == run; }, std::chrono::milliseconds(3000))) {
                ASSERT_EQ(GetForegroundWindow(), GetDesktopWindow()) << "Run did not get the focus back";
                continue;
            }
            App().PostKey(run, VK_RETURN);
            pressed = WaitUntil([&] { return RunsMade() > before; }, std::chrono::milliseconds(3000));
            ASSERT_TRUE(pressed || GetForegroundWindow() == GetDesktopWindow()) << "Enter did not press Run";
        }
        EXPECT_EQ(RunsMade(), before + 1) << "Enter did not press Run once";
    }

    std::optional<AppProcess> app_;
};

TEST_F(Keyboard, TabCyclesThroughTheControlsInOrder)
{
    TabTo(ControlId::Text);
    for (size_t i = 1; i <= std::size(kLayout); ++i) {
        const auto& next = kLayout[i % std::size(kLayout)];
        const HWND from = App().Focus();
        App().PostKey(from, VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return App().Focus() != from; })) << "Tab did not move on from stop " << i - 1;
        EXPECT_EQ(App().Focus(), App().Control(next.id)) << "tab stop " << i << " should be " << next.name;
    }
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, EnterInAPaneStartsALine)
{
    for (const auto id : {ControlId::Text, ControlId::Log, ControlId::Stacks}) {
        SCOPED_TRACE(static_cast<int>(id));
        TabTo(id);
        App().SetText(id, L"");
        const HWND pane = App().Control(id);
        App().PostChar(pane, L'a');
        App().PostKey(pane, VK_RETURN);
        // The line break arrives as a character translated from the key, behind anything posted now.
        EXPECT_TRUE(WaitUntil([&] { return App().Text(id) == L"a\r\n"; })) << qavrec::Escape(App().Text(id));
        App().PostChar(pane, L'b');
        EXPECT_TRUE(WaitUntil([&] { return App().Text(id) == L"a\r\nb"; })) << qavrec::Escape(App().Text(id));
    }
    EXPECT_FALSE(RunWasPressed());
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, EnterAndEscapeElsewhereNeitherPressRunNorClose)
{
    TabTo(ControlId::Result);
    const HWND result = App().Control(ControlId::Result);
    App().PostKey(result, VK_RETURN);
    App().PostKey(result, VK_ESCAPE);
    App().PostChar(result, L'z');
    ASSERT_TRUE(WaitUntil([&] { return App().Text(ControlId::Result) == L"z"; })) << "the keys were not handled";
    EXPECT_TRUE(App().IsRunning());
    EXPECT_TRUE(IsWindowVisible(App().Window()));
    EXPECT_FALSE(RunWasPressed());
    EXPECT_EQ(App().Close(), 0u);
}

// Esc is no close request: in a pane it neither closes the window nor presses
// Run, and leaves the pane's text and selection as they were.
TEST_F(Keyboard, EscapeInAPaneChangesNothing)
{
    const std::wstring text = L"var a = 1;\r\nprint a;";
    for (const auto id : {ControlId::Text, ControlId::Log, ControlId::Stacks}) {
        SCOPED_TRACE(static_cast<int>(id));
        TabTo(id);
        App().SetText(id, text);
        App().Select(id, 4, 15);
        App().PostKey(App().Control(id), VK_ESCAPE);
        App().Settle(id);
        ASSERT_TRUE(App().IsRunning());
        EXPECT_TRUE(IsWindowVisible(App().Window()));
        EXPECT_EQ(App().Text(id), text);
        EXPECT_EQ(App().Selection(id), std::make_pair(4, 15));
        EXPECT_EQ(App().Focus(), App().Control(id));
    }
    EXPECT_FALSE(RunWasPressed());
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, AltF4InAPaneClosesTheWindowAndReleasesTheLibrary)
{
    TabTo(ControlId::Text);
    App().SetText(ControlId::Text, L"print 1;");
    App().PostAltKey(App().Control(ControlId::Text), VK_F4);
    EXPECT_EQ(App().WaitForExit(), 0u);
    EXPECT_EQ(RecordedCalls(TestDir()).back(), "Detach unload");
    const auto calls = RecordedCalls(TestDir());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "FreeQAVInterface slot=ours"), 1);
}

TEST_F(Keyboard, CloseFromTheSystemMenuClosesTheWindow)
{
    TabTo(ControlId::Log);
    PostMessageW(App().Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(App().WaitForExit(), 0u);
    const auto calls = RecordedCalls(TestDir());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "FreeQAVInterface slot=ours"), 1);
}

// Enter presses Run whenever Run has the focus, whatever brought it there.
TEST_F(Keyboard, EnterPressesRunAfterTab)
{
    TabTo(ControlId::Run);
    ExpectEnterPressesRun();
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, EnterPressesRunAfterAClickOnIt)
{
    TabTo(ControlId::Text);
    const HWND run = App().Control(ControlId::Run);
    PostMessageW(run, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(run, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(WaitUntil([&] { return RunsMade() == 1; })) << "the click did not press Run";
    ExpectEnterPressesRun();
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, EnterPressesRunAfterAnotherWindowWasActive)
{
    TabTo(ControlId::Run);
    const UniqueHandle<HWND, DestroyWindow> other(
        CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                        nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(other);
    SetForegroundWindow(other.Get());
    ASSERT_TRUE(WaitUntil([&] { return App().Focus() == nullptr; })) << "the workbench stayed active";
    SetForegroundWindow(App().Window());
    ExpectEnterPressesRun();
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, EnterPressesRunAfterTheErrorBox)
{
    WriteScript(TestDir(), {"Execute raise E06D7363"});
    TabTo(ControlId::Run);
    App().PostKey(App().Control(ControlId::Run), VK_RETURN);
    const auto box = App().WaitForErrorBox();
    ASSERT_TRUE(box.has_value()) << "no error box";
    App().Dismiss(*box);
    WriteScript(TestDir(), {"Execute text R"});
    ExpectEnterPressesRun();
    EXPECT_EQ(App().Text(ControlId::Result), L"R");
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, EnterPressesRunAfterTheStopWindow)
{
    WriteScript(TestDir(), {"Execute spin-ms 2500"});
    TabTo(ControlId::Run);
    App().PostKey(App().Control(ControlId::Run), VK_RETURN);
    const auto stop = App().WaitForStopWindow();
    ASSERT_TRUE(stop.has_value()) << "no stop window";
    // The user clicks into it, and back into the workbench once it is gone.
    SetForegroundWindow(stop->window);
    ASSERT_TRUE(App().WaitUntilGone(stop->window));
    WriteScript(TestDir(), {"Execute text R"});
    SetForegroundWindow(App().Window());
    ExpectEnterPressesRun();
    EXPECT_EQ(App().Text(ControlId::Result), L"R");
    EXPECT_EQ(App().Close(), 0u);
}

TEST_F(Keyboard, SpaceOnTheFocusedRunButtonPressesIt)
{
    TabTo(ControlId::Run);
    App().PostKey(App().Control(ControlId::Run), VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return RunWasPressed(); }));
    EXPECT_EQ(App().Close(), 0u);
}

} // namespace
