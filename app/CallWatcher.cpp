#include "app/CallWatcher.h"

#include "app/LibraryBox.h"
#include "app/ProgramRescue.h"
#include "app/StopWindow.h"
#include "framework/Exception.h"

#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
using stop_protocol::Effect;
using stop_protocol::Event;
using stop_protocol::Stage;

int WholeSeconds(Clock::time_point since)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - since).count());
}

DWORD Milliseconds(Clock::duration d)
{
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    return ms <= 0 ? 0 : static_cast<DWORD>(ms);
}

// How often the window looks again: often while a stop is being tried, else
// for the seconds it shows and a box of the library's.
DWORD TickFor(Stage stage)
{
    switch (stage) {
    case Stage::Running:
        return 250;
    case Stage::Saved:
        return 100;
    default:
        return 20;
    }
}

Event EventFor(StopWindow::Press press)
{
    switch (press) {
    case StopWindow::Press::Stop:
        return Event::StopPressed;
    case StopWindow::Press::SaveAndQuit:
        return Event::SavePressed;
    case StopWindow::Press::Quit:
        return Event::QuitPressed;
    case StopWindow::Press::None:
        break;
    }
    return Event::Tick;
}

[[noreturn]] void EndProcess()
{
    // The GUI thread may hold any lock: nothing may run on the way out.
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;)
        Sleep(INFINITE);
}

void Show(StopWindow& window, Stage stage, const std::optional<UnicodeString>& box, int seconds)
{
    const stop_protocol::Display display = stop_protocol::Show(stage, box.has_value());
    switch (display.text) {
    case stop_protocol::Shown::Running:
        window.ShowRunning(seconds);
        break;
    case stop_protocol::Shown::WaitingBox:
        window.ShowWaitingForBox(box.value_or(UnicodeString()), seconds);
        break;
    case stop_protocol::Shown::Stopping:
        window.ShowStopping(seconds);
        break;
    case stop_protocol::Shown::CannotStop:
        window.ShowCannotStop(seconds);
        break;
    case stop_protocol::Shown::Unchanged:
        break;
    }
    window.OfferSave(display.offersSave);
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

// Sleeps until a call begins, then until it has run for ShowAfter; a call that
// ended meanwhile leaves nothing to attend.
void CallWatcher::Watch()
{
    for (;;) {
        const WatchedCallView call = watch_.Current();
        if (call.id == 0) {
            if (!watch_.WaitForCall(quit_.Get()))
                return;
            continue;
        }
        const Clock::time_point now = Clock::now();
        const Clock::time_point due = call.began + ShowAfter;
        if (now < due) {
            if (WaitForSingleObject(quit_.Get(), Milliseconds(due - now)) == WAIT_OBJECT_0)
                return;
            continue;
        }
        if (!Attend(call))
            return;
    }
}

bool CallWatcher::Attend(const WatchedCallView& call)
{
    const HANDLE events[] = {quit_.Get(), watch_.CallEnded()};
    watch_.AnnounceEnds(true);
    struct Quiet {
        CallWatch& watch;
        ~Quiet() { watch.AnnounceEnds(false); }
    } quiet{watch_};

    std::unique_ptr<StopWindow> window;
    try {
        window = std::make_unique<StopWindow>(call.operation, centreOn_);
    } catch (const Exception&) {
        // No window, no way to stop: wait for the call like any other.
        while (watch_.RunningId() == call.id)
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0)
                return false;
        return true;
    }

    stage_ = Stage::Running;
    since_ = Clock::now();
    for (;;) {
        // Once the copy is saved the process ends, even if the call returns meanwhile.
        if (stage_ != Stage::Saved && watch_.RunningId() != call.id)
            return true;
        if (MsgWaitForMultipleObjects(2, events, FALSE, TickFor(stage_), QS_ALLINPUT) == WAIT_OBJECT_0)
            return false;
        if (stage_ != Stage::Saved && watch_.RunningId() != call.id)
            return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            window->Dispatch(msg);
        Handle(EventFor(window->TakePress()), call, *window);
        Show(*window, stage_, LibraryBoxCaption(watch_.CallingThreadId()), WholeSeconds(call.began));
    }
}

void CallWatcher::Handle(Event event, const WatchedCallView& call, StopWindow& window)
{
    for (;;) {
        const stop_protocol::Step step = stop_protocol::Next(stage_, event, Clock::now() - since_);
        if (step.next != stage_) {
            stage_ = step.next;
            since_ = Clock::now();
        }
        switch (step.effect) {
        case Effect::None:
            return;
        case Effect::AskLibrary:
            event = watch_.AskLibraryToStop(call.id) ? Event::LibraryTookNote : Event::LibraryCannotBeAsked;
            break;
        case Effect::Force:
            event = watch_.StopByForce(call.id) ? Event::Forced : Event::NotForced;
            break;
        case Effect::SaveProgram:
            try {
                window.ShowSaved(SaveProgramCopy(*call.program));
                event = Event::Saved;
            } catch (const Exception& e) {
                window.ShowSaveFailed(e.Message());
                event = Event::NotSaved;
            }
            break;
        case Effect::EndProcess:
            EndProcess();
        }
    }
}
