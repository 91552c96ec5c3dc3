// The one thread besides the GUI thread: it watches every guarded library call
// and, once one has run for a second, shows the stop window (StopWindow) until
// the call returns. What the window does is decided by StopProtocol; this
// thread carries the events there and does what comes back: asks the library
// through its optional StopQAVInterface, stops the call by force where that is
// safe, saves the program as it was when the call began and ends the process.
// It never calls the library apart from StopQAVInterface, and never sends the
// GUI thread's windows a message.
#pragma once

#include "app/StopProtocol.h"
#include "binding/CallWatch.h"
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

#include <chrono>

class StopWindow;

class CallWatcher {
public:
    // How long a call runs before the stop window shows.
    static constexpr std::chrono::milliseconds ShowAfter{1000};

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
    // Carries the event to the protocol, and each effect's outcome after it.
    void Handle(stop_protocol::Event event, const WatchedCallView& call, StopWindow& window);

    HWND centreOn_;
    CallWatch watch_;
    RegisteredCallWatch registered_;
    UniqueKernelObject quit_;
    UniqueKernelObject thread_;
    stop_protocol::Stage stage_ = stop_protocol::Stage::Running;
    std::chrono::steady_clock::time_point since_;
};
