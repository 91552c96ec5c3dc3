#include "framework/Application.h"

#include "framework/CaughtException.h"
#include "framework/ErrorText.h"
#include "framework/Win.h"
#include "framework/win32/Paths.h"

#include <objbase.h>

namespace {

int StartupShowCommand()
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
}

TApplication application;

} // namespace

TApplication* Application = &application;

TApplication::TApplication() : Title(DefaultTitle(ModuleFileName(nullptr)))
{
}

TApplication::~TApplication()
{
    forms_.clear();
    if (comInitialized_)
        CoUninitialize();
}

void TApplication::Initialize()
{
    if (!comInitialized_)
        comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void TApplication::Adopt(std::unique_ptr<TForm> form)
{
    TForm* raw = form.get();
    forms_.push_back(std::move(form));
    if (!mainForm_)
        mainForm_ = raw;
}

void TApplication::Run()
{
    if (!mainForm_)
        return;
    mainForm_->Show(StartupShowCommand());
    const HWND main = mainForm_->Handle();
    MSG msg;
    while (!terminated_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (!IsDialogMessageW(main, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ShowDeferredExceptions();
    }
}

void TApplication::Terminate()
{
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::ShowException(const Exception& e)
{
    ShowErrorBox(ErrorBoxText(e));
}

void TApplication::HandleException(std::exception_ptr e) noexcept
{
    try {
        try {
            std::rethrow_exception(e);
        } catch (...) {
            ShowException(SortCaughtException().exception);
        }
    } catch (...) {
        // Sorting needs memory for the words; without it there is one thing left to say.
        ShowErrorBox(L"Out of memory.");
    }
}

void TApplication::DeferException(std::exception_ptr e) noexcept
{
    try {
        deferred_.push_back(std::move(e));
    } catch (...) {
        return;
    }
    // A sent message is handled inside GetMessageW without returning from it;
    // a posted wake-up lets the loop show the exception at once.
    if (mainForm_ && mainForm_->Handle())
        PostMessageW(mainForm_->Handle(), WM_NULL, 0, 0);
}

void TApplication::ShowDeferredExceptions() noexcept
{
    while (!deferred_.empty()) {
        std::exception_ptr e = std::move(deferred_.front());
        deferred_.erase(deferred_.begin());
        HandleException(std::move(e));
    }
}

void TApplication::ShowErrorBox(const UnicodeString& text) noexcept
{
    // The application's windows take no input while the box is up: the main
    // window as its owner when it shows, else every window of the thread
    // (task-modal). The owner gets the activation back when the box goes, and
    // with it its focused control the focus.
    const HWND main = mainForm_ ? mainForm_->Handle() : nullptr;
    const HWND owner = main && IsWindowVisible(main) && !IsIconic(main) ? main : nullptr;
    MessageBoxW(owner, text.c_str(), Title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
