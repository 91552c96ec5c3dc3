// The small window the call watcher shows for a library call that runs long:
// captioned "QAV Demo: <operation> is running", a text naming the operation
// and the seconds so far, and a "Stop" button; where the call cannot be stopped
// safely, or the library waits for an answer in a box of its own, also "Save
// and quit". It belongs to the watcher's thread and has no owner, so it answers
// while the main window is frozen. Esc and the close box press Stop, Enter the
// focused button.
#pragma once

#include "framework/UnicodeString.h"
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

class StopWindow {
public:
    enum class Press { None, Stop, SaveAndQuit, Quit };

    // Shows the window for the operation, centred on centreOn (borrowed; only its
    // rectangle is read), and gives it the focus. The window is owned from its
    // creation on: a constructor that throws leaves none.
    StopWindow(const wchar_t* operation, HWND centreOn);
    ~StopWindow();
    StopWindow(const StopWindow&) = delete;
    StopWindow& operator=(const StopWindow&) = delete;

    HWND Handle() const noexcept { return window_.Get(); }

    // Handles a message of this thread's queue, with the dialog keys.
    void Dispatch(MSG& msg);
    // The button pressed since the last call, if any.
    Press TakePress() noexcept;

    void ShowRunning(int seconds);
    // The library waits for an answer in a box of its own, captioned caption.
    void ShowWaitingForBox(const UnicodeString& caption, int seconds);
    void ShowStopping(int seconds);
    void ShowCannotStop(int seconds);
    void ShowSaveFailed(const UnicodeString& why);
    void ShowSaved(const UnicodeString& path);
    // Shows or hides Save and quit.
    void OfferSave(bool offered);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void SetMessage(const UnicodeString& text);
    void Layout();

    UnicodeString operation_;
    // Owned from WM_NCCREATE on, given up at WM_NCDESTROY.
    UniqueWindow window_;
    HWND text_ = nullptr;
    HWND stop_ = nullptr;
    HWND save_ = nullptr;
    UniqueFont font_;
    int dpi_ = 96;
    Press press_ = Press::None;
    bool saved_ = false;
    UnicodeString shown_;
};
