#include "binding/CallWatch.h"

#include "binding/ConventionCheck.h"
#include "binding/ProcessEndGuard.h"

#include <utility>

namespace {

std::atomic<CallWatch*> activeWatch{nullptr};

const auto emptyProgram = std::make_shared<const UnicodeString>();

// The loaded image's extent, from its own headers.
uintptr_t ImageSize(HMODULE library) noexcept
{
    const auto base = reinterpret_cast<const unsigned char*>(library);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

} // namespace

CallWatch::CallWatch()
    : threadId_(GetCurrentThreadId()),
      thread_(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT | SYNCHRONIZE, FALSE,
                         threadId_)),
      began_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), ended_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      program_(emptyProgram)
{
}

CallWatch::~CallWatch() = default;

CallWatch* CallWatch::Active() noexcept
{
    return activeWatch.load();
}

void CallWatch::SetProgram(std::shared_ptr<const UnicodeString> program) noexcept
{
    const std::lock_guard lock(mutex_);
    program_ = program ? std::move(program) : emptyProgram;
}

void CallWatch::SetLibrary(HMODULE library, QAV_STOP_INTERFACE_FN stop, QAV_INTERFACE** slot) noexcept
{
    const std::lock_guard lock(libraryMutex_);
    stop_ = stop;
    slot_ = slot;
    const auto start = reinterpret_cast<uintptr_t>(library);
    imageStart_ = start;
    imageEnd_ = library ? start + ImageSize(library) : 0;
}

void CallWatch::ForgetLibrary() noexcept
{
    SetLibrary(nullptr, nullptr, nullptr);
}

void CallWatch::Begin(const wchar_t* operation, fault_guard_detail::FaultRecord& record) noexcept
{
    {
        const std::lock_guard lock(mutex_);
        view_.id = nextId_++;
        if (nextId_ == 0)
            nextId_ = 1;
        view_.operation = operation;
        view_.began = std::chrono::steady_clock::now();
        view_.program = program_;
        record_ = &record;
        lastCallAsked_ = false;
        runningId_ = view_.id;
    }
    SetEvent(began_.Get());
}

void CallWatch::End() noexcept
{
    {
        const std::lock_guard lock(mutex_);
        runningId_ = 0;
        record_ = nullptr;
        view_ = WatchedCallView{};
    }
    if (announceEnds_.load())
        SetEvent(ended_.Get());
}

bool CallWatch::WaitForCall(HANDLE quit)
{
    const HANDLE events[] = {quit, began_.Get()};
    return WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0;
}

void CallWatch::AnnounceEnds(bool announce) noexcept
{
    announceEnds_ = announce;
}

WatchedCallView CallWatch::Current() const
{
    const std::lock_guard lock(mutex_);
    WatchedCallView view = view_;
    if (!view.program)
        view.program = emptyProgram;
    return view;
}

bool CallWatch::HasStopEntry() const noexcept
{
    const std::lock_guard lock(libraryMutex_);
    return stop_ != nullptr;
}

bool CallWatch::AskLibraryToStop(uint32_t id) noexcept
{
    const std::lock_guard lock(libraryMutex_);
    if (!stop_ || runningId_.load() != id)
        return false;
    try {
        QAV_STOP_INTERFACE_FN stop = stop_;
        QAV_INTERFACE** slot = slot_;
        CallGuarded([stop, slot] { return CallContract(stop, slot); });
        if (runningId_.load() == id)
            lastCallAsked_ = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool CallWatch::StopByForce(uint32_t id) noexcept
{
    // Read before the thread is suspended: meanwhile this thread takes no lock
    // and allocates nothing, since the suspended thread may hold the lock.
    const uintptr_t start = imageStart_.load();
    const uintptr_t end = imageEnd_.load();
    if (start == 0 || !thread_)
        return false;
    if (SuspendThread(thread_.Get()) == static_cast<DWORD>(-1))
        return false;
    bool stopped = false;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (GetThreadContext(thread_.Get(), &context) && runningId_.load() == id) {
        fault_guard_detail::FaultRecord* record = record_.load();
        const uintptr_t at = InstructionPointer(context);
        if (record && record->frame != 0 && at >= start && at < end) {
            StopGuardedCall(context, *record);
            stopped = SetThreadContext(thread_.Get(), &context) != 0;
            if (!stopped)
                record->stopped = false;
        }
    }
    ResumeThread(thread_.Get());
    return stopped;
}

void WatchProgram(std::shared_ptr<const UnicodeString> program) noexcept
{
    KeepForLastWords(program);
    if (CallWatch* watch = CallWatch::Active())
        watch->SetProgram(std::move(program));
}

RegisteredCallWatch::RegisteredCallWatch(CallWatch& watch) noexcept : previous_(activeWatch.exchange(&watch))
{
}

RegisteredCallWatch::~RegisteredCallWatch()
{
    activeWatch = previous_;
}
