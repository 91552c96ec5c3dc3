// The one thread besides the GUI thread: it watches every guarded library call
// and, once one has run for a second, shows the stop window (StopWindow) until
// the call returns. Stop asks the library through its optional
// StopQAVInterface and, if the call goes on, stops it by force where that is
// safe; where it is not, "Save and quit" saves the program as it was when the
// call began and ends the process. The thread never calls the library apart
// from StopQAVInterface, and never sends the GUI thread's windows a message.
#pragma once

#include "binding/CallWatch.h"
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

#include <chrono>

class CallWatcher {
public:
    // How long a call runs before the stop window shows.
    static constexpr std::chrono::milliseconds ShowAfter{1000};
    // How long a library that has StopQAVInterface gets to return by itself.
    static constexpr std::chrono::milliseconds LibraryStopGrace{500};
    // How long a forced stop is tried before the window says it is not safe.
    static constexpr std::chrono::milliseconds ForceTrial{300};
    // How long the window names the saved file before the process ends.
    static constexpr std::chrono::milliseconds SavedNotice{3000};
    // How often a call's end is looked for, and how long after one the watcher
    // goes on looking before it waits to be woken.
    static constexpr std::chrono::milliseconds LookAgain{100};
    static constexpr std::chrono::milliseconds StayAwake{1000};

    // On the GUI thread, whose calls it watches from now on; centreOn: the main
    // window, which the stop window is centred on (borrowed).
    explicit CallWatcher(HWND centreOn);
    ~CallWatcher();
    CallWatcher(const CallWatcher&) = delete;
    CallWatcher& operator=(const CallWatcher&) = delete;

private:
    static DWORD WINAPI ThreadMain(void* self) noexcept;
    void Watch();
    // Shows the stop window for the call until it ends; false when told to quit.
    bool Attend(const WatchedCallView& call);

    HWND centreOn_;
    CallWatch watch_;
    RegisteredCallWatch registered_;
    UniqueKernelObject quit_;
    UniqueKernelObject thread_;
};
