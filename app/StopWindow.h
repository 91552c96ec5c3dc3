// The small window the call watcher shows for a library call that runs long:
// caption "QAV Demo", a text naming the operation and the seconds so far, and a
// "Stop" button; where the call cannot be stopped safely, also "Save and quit".
// It belongs to the watcher's thread and has no owner, so it answers while the
// main window is frozen. Esc and the close box press Stop, Enter the focused
// button.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

class StopWindow {
public:
    enum class Press { None, Stop, SaveAndQuit, Quit };

    // Shows the window for the operation, centred on centreOn (borrowed; only its
    // rectangle is read), and gives it the focus.
    StopWindow(const wchar_t* operation, HWND centreOn);
    ~StopWindow();
    StopWindow(const StopWindow&) = delete;
    StopWindow& operator=(const StopWindow&) = delete;

    // Handles a message of this thread's queue, with the dialog keys.
    void Dispatch(MSG& msg);
    // The button pressed since the last call, if any.
    Press TakePress() noexcept;

    void ShowRunning(int seconds);
    void ShowStopping(int seconds);
    void ShowCannotStop(int seconds);
    void ShowSaveFailed(const UnicodeString& why);
    void ShowSaved(const UnicodeString& path);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void SetMessage(const UnicodeString& text);
    void Layout();

    UnicodeString operation_;
    HWND window_ = nullptr;
    HWND text_ = nullptr;
    HWND stop_ = nullptr;
    HWND save_ = nullptr;
    UniqueFont font_;
    int dpi_ = 96;
    Press press_ = Press::None;
    bool saved_ = false;
    UnicodeString shown_;
};
