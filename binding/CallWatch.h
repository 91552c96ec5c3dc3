// What a watching thread needs to see and stop the library calls of the thread
// that makes them. The calling thread only publishes: which call runs, since
// when, and the program text it was given. The watching thread reads that, asks
// the library to stop through its optional StopQAVInterface, or stops the call by
// force where that is safe: while the calling thread runs the library's own code,
// where it holds no lock of the system. It never sends the calling thread a
// message nor waits for it.
#pragma once

#include "binding/FaultGuard.h"
#include "contract/QAVInterface.h"
#include "framework/UnicodeString.h"
#include "framework/Win.h"
#include "framework/win32/UniqueHandle.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

// A call as the watching thread sees it; id 0: none runs.
struct WatchedCallView {
    uint32_t id = 0;
    const wchar_t* operation = L"";
    std::chrono::steady_clock::time_point began;
    // The program as it was when the call began; never null.
    std::shared_ptr<const UnicodeString> program;
};

class CallWatch {
public:
    // Watches the calls of the thread that creates it.
    CallWatch();
    ~CallWatch();
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;

    // The watch of the calling thread's library calls while one is registered
    // (RegisteredCallWatch); null otherwise.
    static CallWatch* Active() noexcept;

    // On the calling thread.
    // The program text a call that begins from now on is given, or works for.
    void SetProgram(std::shared_ptr<const UnicodeString> program) noexcept;
    // The loaded library (borrowed; its image is the code a call may be stopped
    // in), its optional stop entry point and the slot to give it.
    void SetLibrary(HMODULE library, QAV_STOP_INTERFACE_FN stop, QAV_INTERFACE** slot) noexcept;
    // Before the library is unloaded: waits for a stop request in progress.
    void ForgetLibrary() noexcept;
    // Around each guarded call (WatchedCall does both).
    void Begin(const wchar_t* operation, fault_guard_detail::FaultRecord& record) noexcept;
    void End() noexcept;

    // On the watching thread.
    // Waits until a call begins (true) or quit is signalled (false). Every call
    // that begins signals once; the watching thread then reads Current(), and
    // a signal of a call that has ended meanwhile finds none running.
    bool WaitForCall(HANDLE quit);
    WatchedCallView Current() const;
    // The id of the call running now; 0 when none runs.
    uint32_t RunningId() const noexcept { return runningId_.load(); }
    // While announced, each end of a call signals CallEnded(), an auto-reset event.
    void AnnounceEnds(bool announce) noexcept;
    HANDLE CallEnded() const noexcept { return ended_.Get(); }
    // The thread whose calls are watched.
    DWORD CallingThreadId() const noexcept { return threadId_; }
    bool HasStopEntry() const noexcept;
    // Calls StopQAVInterface while the call id still runs; false when the
    // library has none, or it faulted.
    bool AskLibraryToStop(uint32_t id) noexcept;
    // Whether the last call that began was asked to stop through StopQAVInterface.
    bool LastCallAsked() const noexcept { return lastCallAsked_.load(); }
    // Stops the call id by force if the thread is in the library's own code now.
    bool StopByForce(uint32_t id) noexcept;

private:
    DWORD threadId_;            // the calling thread
    UniqueKernelObject thread_; // the calling thread
    UniqueKernelObject began_;  // auto-reset: signalled as each call begins
    UniqueKernelObject ended_;  // auto-reset: signalled as a call ends, while announced
    std::atomic<bool> announceEnds_{false};
    std::atomic<bool> lastCallAsked_{false};

    mutable std::mutex mutex_; // guards view_ and program_
    WatchedCallView view_;
    std::shared_ptr<const UnicodeString> program_;
    uint32_t nextId_ = 1;

    // Read while the calling thread is suspended, when no lock may be taken.
    std::atomic<uint32_t> runningId_{0};
    std::atomic<fault_guard_detail::FaultRecord*> record_{nullptr};
    std::atomic<uintptr_t> imageStart_{0};
    std::atomic<uintptr_t> imageEnd_{0};

    mutable std::mutex libraryMutex_; // held while the stop entry point runs, so the library stays loaded
    QAV_STOP_INTERFACE_FN stop_ = nullptr;
    QAV_INTERFACE** slot_ = nullptr;
};

// Makes a watch the active one while it lives.
class RegisteredCallWatch {
public:
    explicit RegisteredCallWatch(CallWatch& watch) noexcept;
    ~RegisteredCallWatch();
    RegisteredCallWatch(const RegisteredCallWatch&) = delete;
    RegisteredCallWatch& operator=(const RegisteredCallWatch&) = delete;

private:
    CallWatch* previous_;
};

// Tells the active watch, if any, and the last words of a library that ends the
// process, the program text of the calls that follow.
void WatchProgram(std::shared_ptr<const UnicodeString> program) noexcept;

// One guarded call of the active watch, if any, and its duration.
class WatchedCall final : public GuardedCallHooks {
public:
    explicit WatchedCall(const wchar_t* operation) noexcept
        : operation_(operation), watch_(CallWatch::Active()), began_(std::chrono::steady_clock::now())
    {
    }
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

    GuardedCallHooks* Hooks() noexcept { return watch_ ? this : nullptr; }
    double Seconds() const noexcept
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    }
    // Whether the call was asked to stop through StopQAVInterface before it was stopped.
    bool LibraryWasAsked() const noexcept { return watch_ && watch_->LastCallAsked(); }

    void Entering(fault_guard_detail::FaultRecord& record) noexcept override { watch_->Begin(operation_, record); }
    void Left() noexcept override { watch_->End(); }

private:
    const wchar_t* operation_;
    CallWatch* watch_;
    std::chrono::steady_clock::time_point began_;
};
