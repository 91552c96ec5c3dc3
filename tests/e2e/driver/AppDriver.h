// Drives QAVDemo.exe from another process: starts it in a folder with a chosen
// interpreter library, reads and sets its controls, presses Run, handles its
// error box and closes it. Every wait is bounded; a process left running is
// killed when its AppProcess goes away.
#pragma once

#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

enum class ControlId : int { Text = 1001, Run = 1002, Result = 1003, Log = 1004, Stacks = 1005 };


// The folder of the running program: build/bin, where QAVDemo.exe and the test libraries are.
std::filesystem::path BinDir();

// A test library built beside the tests, e.g. LibraryPath(L"qavtest_bound").
std::filesystem::path LibraryPath(const std::wstring& name);

// The screen's pixel density as this process sees it.
int SystemDpi();

struct LaunchOptions {
    // Copied into the folder as QAV.dll; empty: the folder holds no QAV.dll.
    std::filesystem::path library;
    // Appended to the command line after the program's quoted path.
    std::wstring arguments;
    // STARTUPINFO.wShowWindow, when given.
    std::optional<WORD> showCommand;
    // The name the program is copied under.
    std::wstring exeName = L"QAVDemo.exe";
    // The process's current directory; empty: the folder it is copied to.
    std::wstring currentDirectory;
    // False: Start returns once the process runs, before its window shows
    // (WaitForMainWindow waits for it).
    bool waitForMainWindow = true;
};

// The window the program shows for a library call that runs long.
struct StopWindowView {
    HWND window = nullptr;
    HWND text = nullptr; // the static text naming the call
    HWND stop = nullptr; // "Stop", or "Quit" once the program is saved
    HWND save = nullptr; // "Save and quit", shown only where a stop is not safe
};

struct ErrorBox {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    bool hasIcon = false;
};

class AppProcess {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};

    // Copies QAVDemo.exe (and the library) into folder and starts it there,
    // with that folder as its current directory; returns once its main window is visible.
    static AppProcess Start(const std::filesystem::path& folder, const LaunchOptions& options = {});

    AppProcess(AppProcess&&) noexcept = default;
    AppProcess& operator=(AppProcess&&) noexcept = default;
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;
    ~AppProcess();

    DWORD ProcessId() const { return processId_; }
    // The moment just before CreateProcessW.
    std::chrono::steady_clock::time_point StartedAt() const { return startedAt_; }
    HWND Window() const { return window_; }
    HWND Control(ControlId id) const;
    bool IsRunning() const;

    std::wstring WindowText(HWND window) const;
    std::wstring Text(ControlId id) const { return WindowText(Control(id)); }
    // The pane's text cut at CR LF; an empty pane has no lines.
    std::vector<std::wstring> Lines(ControlId id) const;
    void SetText(ControlId id, const std::wstring& text, std::chrono::milliseconds timeout = kDefaultTimeout) const;
    // The number of lines an EDIT control shows for its text (EM_GETLINECOUNT).
    int LineCount(ControlId id) const;
    // The selection of an EDIT control, as first and one-past-last character (EM_GETSEL).
    std::pair<int, int> Selection(ControlId id) const;
    void Select(ControlId id, int first, int pastLast) const;
    // Returns once the program's GUI thread has handled every message posted to
    // the control before this call, and whatever handling them posted in turn.
    void Settle(ControlId id) const;
    // Puts text at the end of a control's text as typing or pasting does (EM_REPLACESEL).
    void TypeAtEnd(ControlId id, const std::wstring& text) const;
    // The window with the keyboard focus in the program's GUI thread, or null.
    HWND Focus() const;
    // A key pressed and released on target, as the keyboard would post it; the
    // program's message loop translates it.
    void PostKey(HWND target, WORD virtualKey) const;
    // The key pressed with Alt held, as the keyboard would post it.
    void PostAltKey(HWND target, WORD virtualKey) const;
    // One typed character, posted to target.
    void PostChar(HWND target, wchar_t character) const;
    // BM_CLICK on Run, posted: returns at once.
    void PostRunClick() const;
    // BM_CLICK on Run; returns when the click has been handled.
    void PressRun(std::chrono::milliseconds timeout = kDefaultTimeout) const;

    // The error box this process shows, waiting for it up to timeout.
    std::optional<ErrorBox> WaitForErrorBox(std::chrono::milliseconds timeout = std::chrono::milliseconds{10000}) const;
    // Presses OK on the box and waits until it is gone.
    void Dismiss(const ErrorBox& box) const;

    // Waits for the main window to show, after a start that did not.
    void WaitForMainWindow(std::chrono::milliseconds timeout = kDefaultTimeout);
    // The stop window, found as a user would: a visible top-level window whose
    // caption begins "QAV Demo: " ("QAV Demo: Execute is running"); waits up to timeout.
    std::optional<StopWindowView> WaitForStopWindow(std::chrono::milliseconds timeout = std::chrono::milliseconds{10000}) const;
    // BM_CLICK on a button of a window that answers; returns when it was handled.
    void Click(HWND button) const;
    // Waits until the window is gone; false when it is still there after timeout.
    bool WaitUntilGone(HWND window, std::chrono::milliseconds timeout = std::chrono::milliseconds{10000}) const;
    // WM_CLOSE to the main window; returns at once.
    void RequestClose() const;

    // WM_CLOSE, then waits for the exit and returns the exit code; a process
    // still running after the timeout is killed and a runtime_error thrown.
    DWORD Close(std::chrono::milliseconds timeout = kDefaultTimeout);
    // Waits for the program to end on its own; returns its exit code. Still
    // running after the timeout: killed, and a runtime_error thrown.
    DWORD WaitForExit(std::chrono::milliseconds timeout = kDefaultTimeout);

private:
    AppProcess() = default;
    // SendMessageTimeoutW to one of its windows; a message left unanswered throws.
    LRESULT Send(HWND target, UINT message, WPARAM wParam, LPARAM lParam,
                 std::chrono::milliseconds timeout = kDefaultTimeout) const;

    UniqueHandle<HANDLE, CloseHandle> process_;
    DWORD processId_ = 0;
    HWND window_ = nullptr;
    std::chrono::steady_clock::time_point startedAt_;
};

// Top-level windows of a process, visible or not.
std::vector<HWND> TopLevelWindows(DWORD processId);
std::wstring ClassName(HWND window);

// Polls the condition every few milliseconds until it holds or the timeout passes.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds{10000});

// Splits at CR LF; an empty text gives no lines.
std::vector<std::wstring> SplitLines(const std::wstring& text);

} // namespace e2e
