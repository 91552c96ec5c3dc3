// The application's start and its message loop, each run in this process with
// an application object of the test's own, as the entry function runs them.
#include "app/Main.h"
#include "app/Startup.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include "tests/app/BoxWatcher.h"
#include "tests/app/FakeInterpreter.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <optional>

namespace {

// A window whose creation fails after its controls exist, with what it throws.
template <class Thrown>
class TFailingForm : public TIDEForm {
public:
    explicit TFailingForm(TApplication* owner) : TIDEForm(owner) { throw Thrown(); }
};

struct CannotCreate : Exception {
    CannotCreate() : Exception(L"Cannot create the window", Exception(L"No room for it")) {}
};

// The quit request a main window's close leaves in the thread's queue would end
// the next test's message loop at once.
void DropQuitRequest()
{
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// Starts an application whose main window fails with Thrown while it is created:
// the box it showed; afterwards no window may stay and the form variable is null.
template <class Thrown>
std::optional<SeenBox> StartWithAFailingWindow(TApplication& application)
{
    NoLibrary none;
    TFailingForm<Thrown>* form = nullptr;
    BoxWatcher watcher;
    EXPECT_EQ(StartApplication(application, form), 0);
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(CountOwnWindows(L"TIDEForm"), 0);
    DropQuitRequest();
    return watcher.Seen();
}

TEST(Startup, AFailureWhileTheWindowIsCreatedIsShownAndNoWindowStays)
{
    TApplication application;
    const auto box = StartWithAFailingWindow<CannotCreate>(application);
    ASSERT_TRUE(box.has_value());
    // The innermost message, with its full stop.
    EXPECT_EQ(box->text, L"No room for it.");
    EXPECT_EQ(box->caption, application.Title);
}

TEST(Startup, AForeignExceptionGivesABoxThatSaysSomething)
{
    TApplication application;
    const auto box = StartWithAFailingWindow<int>(application);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, L"An exception of an unknown kind was raised.");
}

TEST(Startup, InitializeMakesTheThreadASingleThreadedApartment)
{
    TApplication application;
    application.Initialize();
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
}

// A handler's Exception reaches the message loop, which shows it; the window
// then works as before: a Run after the box shows the interpreter's answer.
TEST(MessageLoop, ShowsAnExceptionFromAHandlerAndTheWindowStaysUsable)
{
    FakeInterpreter fake;
    fake.result = L"after the box";
    FakeLibrary library(fake);
    TApplication application;
    TIDEForm* form = nullptr;
    application.CreateForm(form);
    form->Run->OnClick = [](TObject*) { throw Exception(L"The handler failed"); };

    std::wstring resultAfterwards;
    BoxWatcher watcher(form->Handle(), [&] {
        form->Run->OnClick = [form](TObject* sender) { form->RunClick(sender); };
        SendMessageW(form->Run->Handle(), BM_CLICK, 0, 0);
        resultAfterwards = form->Result->Text();
        PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    });
    PostMessageW(form->Run->Handle(), BM_CLICK, 0, 0);
    application.Run();

    const auto box = watcher.Seen();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, L"The handler failed.");
    EXPECT_TRUE(box->ownWindowsDisabled);
    EXPECT_EQ(resultAfterwards, L"after the box");
    // The close released the interpreter, once.
    EXPECT_EQ(fake.calls.back(), "FreeQAVInterface");
    DropQuitRequest();
}

} // namespace
