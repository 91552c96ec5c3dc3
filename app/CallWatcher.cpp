#include "app/CallWatcher.h"

#include "app/ProgramRescue.h"
#include "app/StopWindow.h"
#include "framework/Exception.h"

#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

int WholeSeconds(Clock::time_point since)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - since).count());
}

DWORD Milliseconds(Clock::duration d)
{
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    return ms <= 0 ? 0 : static_cast<DWORD>(ms);
}

[[noreturn]] void EndProcess()
{
    // The GUI thread may hold any lock: nothing may run on the way out.
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;)
        Sleep(INFINITE);
}

} // namespace

CallWatcher::CallWatcher(HWND centreOn)
    : centreOn_(centreOn), registered_(watch_), quit_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    // Without the thread every call is still guarded; only a slow one cannot be stopped.
    if (quit_)
        thread_.Reset(CreateThread(nullptr, 0, &CallWatcher::ThreadMain, this, 0, nullptr));
}

CallWatcher::~CallWatcher()
{
    if (thread_) {
        SetEvent(quit_.Get());
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
}

DWORD WINAPI CallWatcher::ThreadMain(void* self) noexcept
{
    try {
        static_cast<CallWatcher*>(self)->Watch();
    } catch (...) {
        // Out of memory for a text: the calls go on unwatched.
    }
    return 0;
}

void CallWatcher::Watch()
{
    Clock::time_point lastCall = Clock::now();
    for (;;) {
        const WatchedCallView call = watch_.Current();
        const Clock::time_point now = Clock::now();
        if (call.id == 0) {
            // Between the calls of a Run the watcher stays awake, so they need not wake it.
            const bool awake = now - lastCall < StayAwake;
            if (awake ? WaitForSingleObject(quit_.Get(), Milliseconds(LookAgain)) == WAIT_OBJECT_0
                      : !watch_.WaitForCall(quit_.Get()))
                return;
            if (!awake)
                lastCall = Clock::now();
            continue;
        }
        lastCall = now;
        const Clock::time_point due = call.began + ShowAfter;
        if (now < due) {
            if (WaitForSingleObject(quit_.Get(), Milliseconds(due - now)) == WAIT_OBJECT_0)
                return;
            continue;
        }
        if (!Attend(call))
            return;
        lastCall = Clock::now();
    }
}

bool CallWatcher::Attend(const WatchedCallView& call)
{
    const HANDLE quit = quit_.Get();
    std::unique_ptr<StopWindow> window;
    try {
        window = std::make_unique<StopWindow>(call.operation, centreOn_);
    } catch (const Exception&) {
        // No window, no way to stop: wait for the call like any other.
        while (watch_.RunningId() == call.id)
            if (WaitForSingleObject(quit, Milliseconds(LookAgain)) == WAIT_OBJECT_0)
                return false;
        return true;
    }

    enum class Stage { Running, Stopping, CannotStop, SaveFailed, Stopped, Saved };
    Stage stage = Stage::Running;
    bool askedLibrary = false;
    Clock::time_point since = Clock::now();
    const auto enter = [&](Stage next) {
        stage = next;
        since = Clock::now();
    };
    for (;;) {
        const bool trying = stage != Stage::Running && stage != Stage::Saved;
        if (MsgWaitForMultipleObjects(1, &quit, FALSE, trying ? 20 : Milliseconds(LookAgain), QS_ALLINPUT) ==
            WAIT_OBJECT_0)
            return false;
        // Once the copy is saved the process ends, even if the call returns meanwhile.
        if (stage != Stage::Saved && watch_.RunningId() != call.id)
            return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            window->Dispatch(msg);

        switch (window->TakePress()) {
        case StopWindow::Press::Stop:
            if (stage == Stage::Running) {
                askedLibrary = watch_.AskLibraryToStop(call.id);
                enter(Stage::Stopping);
            } else if (stage == Stage::SaveFailed) {
                enter(Stage::CannotStop);
            }
            break;
        case StopWindow::Press::SaveAndQuit:
            try {
                window->ShowSaved(SaveProgramCopy(*call.program));
                enter(Stage::Saved);
            } catch (const Exception& e) {
                window->ShowSaveFailed(e.Message());
                enter(Stage::SaveFailed);
            }
            break;
        case StopWindow::Press::Quit:
            EndProcess();
        case StopWindow::Press::None:
            break;
        }

        const Clock::duration inStage = Clock::now() - since;
        const Clock::duration libraryTime = askedLibrary ? Clock::duration(LibraryStopGrace) : Clock::duration::zero();
        const bool waitingForLibrary = stage == Stage::Stopping && inStage < libraryTime;
        if (!waitingForLibrary &&
            (stage == Stage::Stopping || stage == Stage::CannotStop || stage == Stage::SaveFailed)) {
            if (watch_.StopByForce(call.id))
                enter(Stage::Stopped);
            else if (stage == Stage::Stopping && inStage >= libraryTime + ForceTrial)
                enter(Stage::CannotStop);
        } else if (stage == Stage::Stopped && inStage >= ShowAfter) {
            // Redirected, yet still in the call: try again.
            enter(Stage::CannotStop);
        }
        if (stage == Stage::Saved && inStage >= SavedNotice)
            EndProcess();

        const int seconds = WholeSeconds(call.began);
        if (stage == Stage::Running)
            window->ShowRunning(seconds);
        else if (stage == Stage::Stopping)
            window->ShowStopping(seconds);
        else if (stage == Stage::CannotStop)
            window->ShowCannotStop(seconds);
    }
}
